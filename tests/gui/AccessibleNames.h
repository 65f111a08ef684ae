// SPDX-License-Identifier: GPL-3.0-or-later
// The accessible-name walk: every control a user can reach (a focusable widget, or a button, slider or item view
// even without focus) must carry an accessible name. Parts Qt builds itself (a spin box's edit, scroll bars,
// item-view headers, "qt_" tab and overflow bars, viewports) are skipped. New windows are added to the table of
// everyControlIsNamed in tst_windows.cpp.
#pragma once

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QHeaderView>
#include <QScrollBar>
#include <QStringList>

inline bool IsUserControl(const QWidget* w) {
  if (qobject_cast<const QScrollBar*>(w) || qobject_cast<const QHeaderView*>(w)) return false;
  if (w->objectName().startsWith(QLatin1String("qt_"))) return false;
  for (const QWidget* p = w->parentWidget(); p; p = p->parentWidget())
    if (qobject_cast<const QAbstractSpinBox*>(p) || qobject_cast<const QComboBox*>(p)) return false;
  if (const auto* area = qobject_cast<const QAbstractScrollArea*>(w->parentWidget()); area && area->viewport() == w)
    return false;
  return w->focusPolicy() != Qt::NoFocus || qobject_cast<const QAbstractButton*>(w) ||
         qobject_cast<const QAbstractSlider*>(w) || qobject_cast<const QAbstractItemView*>(w);
}

// "ClassName objectName" of each control of `root` (itself included) without an accessible name.
inline QStringList ControlsWithoutAccessibleName(QWidget* root) {
  QStringList missing;
  QList<QWidget*> all = root->findChildren<QWidget*>();
  all.prepend(root);
  for (QWidget* w : all)
    if (IsUserControl(w) && w->accessibleName().isEmpty())
      missing << QString::fromLatin1(w->metaObject()->className()) + QLatin1Char(' ') + w->objectName();
  return missing;
}
