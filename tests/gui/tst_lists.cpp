// SPDX-License-Identifier: GPL-3.0-or-later
// The BMP list dialog, the image preview window and the list commands of the
// main window, driven as a user would.
#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

#include "app/ParamGlob.h"
#include "app/ui/MainForm.h"
#include "browse/ui/BrowseImage.h"
#include "browse/ui/FolderTree.h"
#include "browse/ui/LoadBMPForm.h"
#include "image/ui/FastIMG.h"
#include "platform/Messages.h"
#include "support/BmpListFixtures.h"

namespace {

std::string Local(const QString& p) { return QFile::encodeName(p).toStdString(); }

// A real 24-bit picture, so that the preview and the sequence can show it.
bool WritePicture(const QString& path, int w, int h) {
  TFastDIB d;
  d.SetSize(w, h, 24, 0);
  return d.SaveToFile(Local(path)).ok();
}

QStringList Texts(const QTreeWidgetItem* item) {
  QStringList t;
  for (int c = 0; c < item->columnCount(); ++c) t << item->text(c);
  return t;
}

int RowOf(const QTreeWidget* list, const QString& name) {
  for (int i = 0; i < list->topLevelItemCount(); ++i)
    if (list->topLevelItem(i)->text(0) == name) return i;
  return -1;
}

}  // namespace

class TestLists : public QObject {
  Q_OBJECT
  QTemporaryDir Dir_;
  TScriptedMessages Messages_;
  std::unique_ptr<TMessagesScope> Scope_;
  QString Pics_;

 private slots:
  void initTestCase() {
    QVERIFY(Dir_.isValid());
    Scope_ = std::make_unique<TMessagesScope>(Messages_);
    SetIniPath(Local(Dir_.filePath(QStringLiteral("stellon.ini"))));
    Pics_ = Dir_.filePath(QStringLiteral("pics"));
    QVERIFY(QDir().mkpath(Pics_));
    QVERIFY(WritePicture(Pics_ + QStringLiteral("/first.bmp"), 16, 8));
    QVERIFY(WritePicture(Pics_ + QStringLiteral("/second.BMP"), 4, 2));
    QVERIFY(WriteTextFile(Local(Pics_ + QStringLiteral("/bad.bmp")), "x"));
  }

  void listDialogMapsItsControls() {
    TLoadBMPForm form(Local(Pics_));
    form.FinishListing();
    QCOMPARE(form.windowTitle(), QStringLiteral("Open/Edit a BMP file list"));
    QCOMPARE(form.LabelRepertoire->text(), Pics_);
    QCOMPARE(form.ListView1->topLevelItemCount(), 3);
    QCOMPARE(form.ListView2->columnCount(), 6);
    QCOMPARE(form.ListView2->headerItem()->text(5), QStringLiteral("Directory"));
    QCOMPARE(Texts(form.ListView1->topLevelItem(RowOf(form.ListView1, "bad.bmp"))).mid(1, 4),
             QStringList({" Ko", "", "UNK"}));
    QVERIFY(form.Btn_AjAll->isEnabled());
    QVERIFY(!form.Btn_Ajoute->isEnabled());

    form.ListView1->topLevelItem(RowOf(form.ListView1, "first.bmp"))->setSelected(true);
    QVERIFY(form.Btn_Ajoute->isEnabled());
    QCOMPARE(form.FastIMG1->Bmp().Width(), 16);  // previewed
    form.Btn_Ajoute->click();
    QVERIFY(!form.Btn_Ajoute->isEnabled());
    QVERIFY(form.ListView1->selectedItems().isEmpty());
    form.Btn_AjAll->click();
    QCOMPARE(form.ListView2->topLevelItemCount(), 2);
    QCOMPARE(Texts(form.ListView2->topLevelItem(0)),
             QStringList({"first.bmp", "0 Ko", form.Model.SelectedList->Objects(0)->Date.c_str(), "16M", "16x8", Pics_}));
    form.Btn_Vider->click();
    QCOMPARE(form.ListView2->topLevelItemCount(), 0);

    // The computer node is not a folder: its name in brackets, the list kept.
    form.dfsSystemTreeView1->setCurrentItem(form.dfsSystemTreeView1->topLevelItem(0));
    QCOMPARE(form.LabelRepertoire->text(), QStringLiteral("[Computer]"));
    QCOMPARE(form.ListView1->topLevelItemCount(), 3);
    for (QWidget* w : form.findChildren<QWidget*>())
      if (!w->objectName().isEmpty() && !w->objectName().startsWith(QLatin1String("qt_"))) QVERIFY2(!w->accessibleName().isEmpty(), qPrintable(w->objectName()));
  }

  void bmpListCommandOpensTheSelection() {
    TMainForm f;
    ParamGlob.repertoire = Local(Pics_);
    auto* action = f.findChild<QAction*>(QStringLiteral("Action_Ouvrir_Bmp"));
    QVERIFY(action && action->isEnabled());
    QTimer::singleShot(0, [] {
      auto* d = qobject_cast<TLoadBMPForm*>(QApplication::activeModalWidget());
      QVERIFY(d);
      d->FinishListing();
      d->ListView1->topLevelItem(RowOf(d->ListView1, "second.BMP"))->setSelected(true);
      d->Btn_Ajoute->click();
      d->Btn_AjAll->click();
      d->BtnOK->click();
    });
    action->trigger();
    QVERIFY(f.windowTitle().endsWith(QStringLiteral(" - Séquence fichier BMP")));
    auto* list = f.findChild<QListWidget*>(QStringLiteral("CheckListBox1"));
    QCOMPARE(list->count(), 2);
    QCOMPARE(list->item(0)->text(), QStringLiteral("1 - second.BMP"));
    QCOMPARE(list->item(1)->text(), QStringLiteral("2 - first.bmp"));
    QVERIFY(f.Controller().CurrentImage());
    QCOMPARE(f.Controller().CurrentImage()->Width(), 4);
    f.close();
  }

  void kelvaronListFromMenuAndCommandLine() {
    const QString list = Dir_.filePath(QStringLiteral("night.lst"));
    QVERIFY(WriteTextFile(Local(list), "0\r\n" + Local(Pics_) + "\\\r\nfirst.bmp\r\n3\r\n4\r\n5\r\n6\r\n/gone/\r\nx.bmp\r\n"));
    Messages_.Asked.clear();
    Messages_.Answers = {TMsgButton::Yes};
    {
      TMainForm f;
      f.ChooseOpenFile = [list](const QString& caption, const QString&) {
        return caption == QStringLiteral("Open a Kelvaron ffile list") ? list : QString();
      };
      f.findChild<QAction*>(QStringLiteral("Action_ouvrir_kelvaron"))->trigger();
      QVERIFY(f.windowTitle().endsWith(QStringLiteral(" - night.lst (Kelvaron)")));
      QCOMPARE(f.findChild<QListWidget*>(QStringLiteral("CheckListBox1"))->count(), 1);
      QCOMPARE(Messages_.Asked.size(), size_t(1));
      QVERIFY(f.Controller().CurrentImage());
      f.close();
    }
    {
      TMainForm f;
      f.CommandLineParams = {QStringLiteral("/kelvaron"), QLatin1Char('"') + list + QLatin1Char('"')};
      Messages_.Answers = {TMsgButton::Yes};
      f.OpenFromCommandLine();
      QCOMPARE(f.findChild<QListWidget*>(QStringLiteral("CheckListBox1"))->count(), 1);
      f.close();
    }
  }

  void previewWindowModes() {
    TBrowseImage b(Local(Pics_));
    b.FinishListing();
    QCOMPARE(b.windowTitle(), QStringLiteral("Images preview"));
    QCOMPARE(b.BtFermer->text(), QStringLiteral("&Close"));
    QCOMPARE(b.ListView1->topLevelItemCount(), 3);
    QVERIFY(b.popup_centrer->isChecked() && !b.popup_ajustee->isChecked());
    b.ListView1->topLevelItem(RowOf(b.ListView1, "first.bmp"))->setSelected(true);
    QCOMPARE(b.FastIMG1->size(), QSize(16, 8));
    b.popup_ajustee->trigger();
    QCOMPARE(b.FastIMG1->DrawStyle(), dsResize);
    QVERIFY(!b.popup_centrer->isChecked());
    b.ListView1->clearSelection();
    b.ListView1->topLevelItem(RowOf(b.ListView1, "second.BMP"))->setSelected(true);
    QCOMPARE(b.FastIMG1->Bmp().Width(), 4);
    QCOMPARE(b.FastIMG1->DrawStyle(), dsResize);  // the fitted view is kept
    b.popup_centrer->trigger();
    QCOMPARE(b.FastIMG1->size(), QSize(4, 2));
  }
};

QTEST_MAIN(TestLists)
#include "tst_lists.moc"
