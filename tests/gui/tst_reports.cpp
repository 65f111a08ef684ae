// SPDX-License-Identifier: GPL-3.0-or-later
// The problem report window (TFicheRapport) and the text report window
// (TFormRapport): components, captions, the two heights and the detail button,
// the memo's lines and the OK button kept at the right.
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest>

#include "combine/Report.h"
#include "combine/ui/FicheRapport.h"
#include "combine/ui/FormRapport.h"

class TestReports : public QObject {
  Q_OBJECT

 private slots:
  void problemReportComponents() {
    TFicheRapport r;
    QCOMPARE(r.objectName(), QStringLiteral("FicheRapport"));
    // Creation order: le_texte, btDetail, BtOK, ListView1.
    QStringList names;
    for (QObject* child : r.children())
      if (child->isWidgetType()) names << child->objectName();
    QCOMPARE(names, QStringList({"le_texte", "btDetail", "BtOK", "ListView1"}));
    QCOMPARE(r.ListView1->headerItem()->text(0), QStringLiteral("Image"));
    QCOMPARE(r.ListView1->headerItem()->text(1), QStringLiteral("Error"));
    QCOMPARE(r.ListView1->columnWidth(0), 80);
    QVERIFY(r.ListView1->header()->stretchLastSection());
    QCOMPARE(r.BtOK->text(), QStringLiteral("OK"));
    QVERIFY(!(r.windowFlags() & Qt::WindowMinimizeButtonHint));
    QVERIFY(!(r.windowFlags() & Qt::WindowMaximizeButtonHint));
  }

  void emptyReportIsShort() {
    TFicheRapport r;
    r.SetupReport(QStringLiteral("Auto framing"), QStringLiteral("Error during automatic framing"));
    QCOMPARE(r.windowTitle(), QStringLiteral("Auto framing"));
    QCOMPARE(r.le_texte->text(), QStringLiteral("Error during automatic framing"));
    QVERIFY(r.btDetail->isHidden());
    QVERIFY(!r.DetailShown);
    QCOMPARE(r.height(), TFicheRapport::kShortHeight);
    QCOMPARE(r.height(), 101);
  }

  void rowsAndTheDetailButton() {
    TFicheRapport r;
    r.BeginUpdate();
    r.AddRows(MakeProblemRows({{1, TFrameProblemKind::NotFound}, {4, TFrameProblemKind::OutOfLimit}}));
    r.EndUpdate();
    QCOMPARE(r.RowCount(), 2);
    QCOMPARE(r.ListView1->topLevelItem(0)->text(0), QStringLiteral("Image 2"));
    QCOMPARE(r.ListView1->topLevelItem(0)->text(1), QStringLiteral("Impossible to draw frame"));
    QCOMPARE(r.ListView1->topLevelItem(1)->text(0), QStringLiteral("Image 5"));
    QCOMPARE(r.ListView1->topLevelItem(1)->text(1), QStringLiteral("Frame out of limit"));
    r.SetupReport(QString::fromUtf8(kRebuildReportCaption), QString::fromUtf8(kRebuildReportText));
    QCOMPARE(r.windowTitle(), QStringLiteral("Rebuilding frame margin "));
    QVERIFY(!r.btDetail->isHidden());
    QCOMPARE(r.btDetail->text(), QStringLiteral("<<< Detail"));
    QVERIFY(r.DetailShown);
    QCOMPARE(r.height(), 278);
    // The list lies wholly below the short height, inside the full one.
    QVERIFY(r.ListView1->geometry().top() >= TFicheRapport::kShortHeight);
    QVERIFY(r.ListView1->geometry().bottom() < TFicheRapport::kFullHeight);

    r.btDetail->click();
    QCOMPARE(r.height(), 101);
    QCOMPARE(r.btDetail->text(), QStringLiteral("Detail >>>"));
    QVERIFY(!r.DetailShown);
    r.btDetail->click();
    QCOMPARE(r.height(), 278);
    QCOMPARE(r.btDetail->text(), QStringLiteral("<<< Detail"));
    QVERIFY(r.DetailShown);
  }

  void okClosesTheProblemReport() {
    TFicheRapport r;
    r.AddRow(QStringLiteral("Image 1"), QStringLiteral("Frame out of limit"));
    r.SetupReport(QStringLiteral("Auto framing"), QStringLiteral("Error during automatic framing"));
    r.show();
    QVERIFY(r.isVisible());
    r.BtOK->click();
    QVERIFY(!r.isVisible());
    QCOMPARE(r.result(), int(QDialog::Accepted));
  }

  void textReportWindow() {
    TFormRapport f;
    QCOMPARE(f.objectName(), QStringLiteral("FormRapport"));
    QCOMPARE(f.size(), QSize(326, 329));
    QVERIFY(f.windowFlags() & Qt::Tool);
    QVERIFY(f.Memo1->isReadOnly());
    QCOMPARE(f.Memo1->lineWrapMode(), QPlainTextEdit::NoWrap);
    QCOMPARE(f.Memo1->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    QCOMPARE(f.Memo1->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    QCOMPARE(f.Panel1->height(), 38);
    QCOMPARE(f.BtOK->parentWidget(), f.Panel1);
    QCOMPARE(f.BtOK->x(), 326 - 5 - f.BtOK->width());

    const std::vector<std::string> lines{"Result combinaison by mean", "", "AVI file images :/v/jupiter.avi",
                                         "Total images count :3", "combined images :1", "",
                                         "Images used for combinaison :", "Image2"};
    f.SetLines({"old line"});
    f.SetLines(lines);
    QCOMPARE(f.Lines(), lines);

    f.show();
    f.resize(500, 400);
    QCoreApplication::processEvents();
    QCOMPARE(f.BtOK->x(), f.Panel1->width() - 5 - f.BtOK->width());
    QCOMPARE(f.Panel1->width(), 500);
    QCOMPARE(f.Panel1->y() + f.Panel1->height(), 400);
    QVERIFY(f.Memo1->geometry().bottom() < f.Panel1->y());
  }
};

QTEST_MAIN(TestReports)
#include "tst_reports.moc"
