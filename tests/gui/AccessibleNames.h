// The accessible-name check every window of the program passes: screen
// readers and end-to-end tests find controls by name, so every control a user
// can reach (every focusable widget, and every button, slider or item view
// even when it takes no focus) carries one. Parts of a composite control that
// Qt builds itself (a spin box's edit, a scroll area's bars) are skipped.
//
// Add a new window to tst_accessibility.cpp's table; elsewhere:
//   QCOMPARE(ControlsWithoutAccessibleName(&window), QStringList());
#pragma once

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractScrollArea>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QHeaderView>
#include <QScrollBar>
#include <QStringList>
#include <QWidget>

inline bool IsUserControl(const QWidget* w) {
  // Parts Qt builds itself: a scroll area's bars, an item view's header, the
  // tab bar of a tab widget, the overflow buttons of menu and tool bars.
  if (qobject_cast<const QScrollBar*>(w) || qobject_cast<const QHeaderView*>(w)) return false;
  if (w->objectName().startsWith(QLatin1String("qt_"))) return false;
  for (const QWidget* p = w->parentWidget(); p; p = p->parentWidget())
    if (qobject_cast<const QAbstractSpinBox*>(p) || qobject_cast<const QComboBox*>(p)) return false;
  if (const auto* area = qobject_cast<const QAbstractScrollArea*>(w->parentWidget()); area && area->viewport() == w)
    return false;  // a scroll area's viewport
  return w->focusPolicy() != Qt::NoFocus || qobject_cast<const QAbstractButton*>(w) ||
         qobject_cast<const QAbstractSlider*>(w) || qobject_cast<const QAbstractItemView*>(w);
}

// "ClassName objectName" of each control under `root` (itself included) that
// has no accessible name.
inline QStringList ControlsWithoutAccessibleName(QWidget* root) {
  QStringList missing;
  QList<QWidget*> all = root->findChildren<QWidget*>();
  all.prepend(root);
  for (QWidget* w : all)
    if (IsUserControl(w) && w->accessibleName().isEmpty())
      missing << QString::fromLatin1(w->metaObject()->className()) + QLatin1Char(' ') + w->objectName();
  return missing;
}
