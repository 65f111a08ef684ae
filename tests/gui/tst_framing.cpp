// The frame commands of the main window driven as a user would: manual
// framing and its failures, the Frame box and the C key, suppressing frames,
// the tolerance field, automatic framing with and without the problem report
// (and cancelled), margin rebuilding, and the outlines drawn into the
// displayed copy only. Message boxes are answered by a TScriptedMessages;
// modal report windows are read and closed by a timer.
#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

#include <memory>

#include "app/ParamGlob.h"
#include "app/ui/AboutBox.h"
#include "app/ui/MainForm.h"
#include "app/ui/ProgressForm.h"
#include "combine/ui/FicheRapport.h"
#include "framing/AutoFrame.h"
#include "image/ui/FastIMG.h"
#include "platform/Messages.h"
#include "sequence/SamplePlanet.h"

namespace {

std::string Local(const QString& path) { return QFile::encodeName(path).toStdString(); }

// What a problem report window showed before the timer closed it.
struct TSeenReport {
  bool Shown = false;
  QString Caption, Text;
  QStringList Rows;
  bool DetailVisible = false;
  int Height = 0;
};

// Watches for the modal windows of a command: reads the progress window's
// caption, presses its Cancel once the bar reaches CancelAt, and reads and
// closes a problem report.
class TWatcher : public QObject {
 public:
  TSeenReport Report;
  QString ProgressCaption;
  int CancelAt = -1;

  TWatcher() {
    Timer_.setInterval(0);
    connect(&Timer_, &QTimer::timeout, this, [this] { Look(); });
    Timer_.start();
  }

 private:
  void Look() {
    if (ProgressForm) {
      if (ProgressCaption.isEmpty()) ProgressCaption = ProgressForm->windowTitle();
      if (CancelAt >= 0 && ProgressForm->ProgressBar1->value() >= CancelAt && !CancelRequested)
        ProgressForm->BitBtn1Click();
    }
    auto* report = qobject_cast<TFicheRapport*>(QApplication::activeModalWidget());
    if (report && report->isVisible()) {
      Report.Shown = true;
      Report.Caption = report->windowTitle();
      Report.Text = report->le_texte->text();
      for (int i = 0; i < report->ListView1->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* it = report->ListView1->topLevelItem(i);
        Report.Rows << it->text(0) + QStringLiteral(" | ") + it->text(1);
      }
      Report.DetailVisible = report->btDetail->isVisible();
      Report.Height = report->height();
      report->accept();
    }
  }
  QTimer Timer_;
};

bool IsWhite(TColorBGR c) { return c.r == 255 && c.g == 255 && c.b == 255; }
bool IsBlack(TColorBGR c) { return c.r == 0 && c.g == 0 && c.b == 0; }

}  // namespace

class TestFraming : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir Dir_;
  QString Clean_;     // 6 whole planets, 160 x 120
  QString Troubled_;  // 8 images: an empty one and planets crossing an edge
  TSampleOptions TroubledOptions_;
  TScriptedMessages Messages_;
  std::unique_ptr<TMessagesScope> Scope_;
  std::unique_ptr<TMainForm> Form_;

  void Open(const QString& path) {
    QVERIFY(Form_->OpenAviFile(path));
    QVERIFY(Form_->Sequence.CurrentImage);
  }
  TAviList& Rec(int i) { return *Form_->Sequence.Record(i); }
  bool LineTicked(int i) const { return Form_->CheckListBox1->item(i)->checkState() == Qt::Checked; }
  const TFastDIB& Shown() const { return Form_->VideoPanel->Bmp(); }
  bool DisplayIsTheImage() const {
    const TFastDIB& a = Shown();
    const TFastDIB& b = *Form_->Sequence.CurrentImage;
    return a.Size() == b.Size() && std::equal(a.Bits, a.Bits + a.Size(), b.Bits);
  }
  QStringList Asked() const {
    QStringList out;
    for (const TMessageRequest& r : Messages_.Asked)
      out << QString::fromStdString(r.Caption) + QStringLiteral(" | ") + QString::fromStdString(r.Text);
    return out;
  }

 private slots:
  void initTestCase() {
    QVERIFY(Dir_.isValid());
    InitStellonResources();
    Scope_ = std::make_unique<TMessagesScope>(Messages_);
    TSampleOptions clean;
    clean.Frames = 6;
    clean.Width = 160;
    clean.Height = 120;
    clean.Seed = 4;
    Clean_ = Dir_.filePath(QStringLiteral("clean.avi"));
    std::string error;
    QVERIFY2(WriteSampleVideo(Local(Clean_), clean, &error), error.c_str());
    TroubledOptions_ = clean;
    TroubledOptions_.Frames = 8;
    TroubledOptions_.Seed = 9;
    TroubledOptions_.EmptyFrames = {1};
    TroubledOptions_.PartialFrames = {3, 4, 5, 6};
    Troubled_ = Dir_.filePath(QStringLiteral("troubled.avi"));
    QVERIFY2(WriteSampleVideo(Local(Troubled_), TroubledOptions_, &error), error.c_str());
  }

  void init() {
    const QString ini = Dir_.filePath(QStringLiteral("stellon.ini"));
    QFile::remove(ini);
    SetIniPath(Local(ini));
    Messages_.Asked.clear();
    Messages_.Answers.clear();
    Form_ = std::make_unique<TMainForm>();
    ParamGlob.tolerance_automatique = false;
    ParamGlob.calcul_complexe = false;
    ParamGlob.calcul_simple = true;
    ParamGlob.bordure = 4;
    ParamGlob.Rapport = true;
    Form_->show();
    Form_->UpDown1->SetPosition(30);
    Form_->UpDown1Click();
  }

  void cleanup() {
    if (Form_) Form_->close();
    Form_.reset();
  }

  void manualFrameDrawsIntoTheDisplayOnly() {
    Open(Clean_);
    TMainForm& f = *Form_;
    TFastDIB fetched;
    fetched.CopyFrom(*f.Sequence.CurrentImage);
    f.Action_Cadre->trigger();
    QVERIFY(Messages_.Asked.empty());
    QVERIFY(Rec(0).HasFrame);
    QVERIFY(Rec(0).Checked);
    QVERIFY(LineTicked(0));
    QVERIFY(f.Checkcadre->isChecked());
    const TRect r = Rec(0).FrameRect;
    QCOMPARE(f.poscadre->text(),
             QStringLiteral("(%1,%2) - (%3,%4)").arg(r.Left).arg(r.Top).arg(r.Right).arg(r.Bottom));
    QVERIFY(f.Action_suppression_cadre->isEnabled());
    QVERIFY(f.Action_Supprimer_ts_cadre->isEnabled());
    // A solid white outline on the displayed picture; the image as fetched is untouched.
    QVERIFY(IsWhite(Shown().GetPixel(r.Top, r.Left)));
    QVERIFY(IsWhite(Shown().GetPixel(r.Bottom, (r.Left + r.Right) / 2)));
    QVERIFY(IsWhite(Shown().GetPixel((r.Top + r.Bottom) / 2, r.Right)));
    QVERIFY(std::equal(fetched.Bits, fetched.Bits + fetched.Size(), f.Sequence.CurrentImage->Bits));
    QVERIFY(!IsWhite(f.Sequence.CurrentImage->GetPixel(r.Top, r.Left)));

    // Unticking the line redraws the outline dotted black: 3 pixels of black, 3 of white.
    f.CheckListBox1->item(0)->setCheckState(Qt::Unchecked);
    QVERIFY(!Rec(0).Checked);
    QVERIFY(Rec(0).HasFrame);
    QVERIFY(IsBlack(Shown().GetPixel(r.Top, r.Left)));
    QVERIFY(IsBlack(Shown().GetPixel(r.Top, r.Left + 2)));
    QVERIFY(IsWhite(Shown().GetPixel(r.Top, r.Left + 3)));
  }

  void manualFrameFailures() {
    Open(Clean_);
    TMainForm& f = *Form_;
    f.EditTolerance1->setText(QStringLiteral("255"));
    QCOMPARE(f.Sequence.Tolerance, 255);
    f.Action_Cadre->trigger();
    QCOMPARE(Asked(), QStringList{"Building frame | Building frame impossible, increase tolerance or go complex."});
    QVERIFY(!Rec(0).HasFrame);
    QVERIFY(!f.Sequence.FrameSizeSet);

    Messages_.Asked.clear();
    f.EditTolerance1->setText(QStringLiteral("30"));
    ParamGlob.bordure = 70;  // wider than the picture allows
    f.Action_Cadre->trigger();
    QCOMPARE(Asked(), QStringList{"Building frame | Frame out of image limit, decrease tolerance."});
    QVERIFY(!Rec(0).HasFrame);
    QVERIFY(!f.Checkcadre->isChecked());
    QVERIFY(f.poscadre->text().isEmpty());
    QVERIFY(f.Sequence.FrameWidth > 0);  // the attempt fixed the size all the same
    QVERIFY(DisplayIsTheImage());
  }

  void frameBoxAndTheCKey() {
    Open(Clean_);
    TMainForm& f = *Form_;
    f.Action_Cadre->trigger();
    QVERIFY(Rec(0).HasFrame);
    f.Checkcadre->setChecked(false);
    QVERIFY(!Rec(0).HasFrame);
    QVERIFY(Rec(0).Checked);  // tick and pixels stay
    QVERIFY(Rec(0).HasFramePixels());
    QVERIFY(DisplayIsTheImage());
    // Ticking the box detects again with the current tolerance.
    f.UpDown1->SetPosition(255);
    f.UpDown1Click();
    f.Checkcadre->setChecked(true);
    QCOMPARE(Asked(), QStringList{"Building frame | Building frame impossible, increase tolerance or go complex."});
    QVERIFY(!Rec(0).HasFrame);
    QVERIFY(!f.Checkcadre->isChecked());
    f.UpDown1->SetPosition(30);
    f.UpDown1Click();
    // C in the image list toggles the box.
    f.CheckListBox1->setFocus();
    QTest::keyClick(f.CheckListBox1, 'c');
    QVERIFY(Rec(0).HasFrame);
    QTest::keyClick(f.CheckListBox1, 'C');
    QVERIFY(!Rec(0).HasFrame);
  }

  void suppressOneAndAll() {
    Open(Clean_);
    TMainForm& f = *Form_;
    f.Action_Cadre->trigger();
    f.BtSuivClick();
    f.Action_Cadre->trigger();
    QVERIFY(Rec(1).HasFrame);
    f.Action_suppression_cadre->trigger();
    QVERIFY(!Rec(1).HasFrame);
    QVERIFY(Rec(1).HasFramePixels());
    QVERIFY(f.Sequence.FrameSizeSet);  // image 1 still has its frame
    QVERIFY(DisplayIsTheImage());
    f.Action_Supprimer_ts_cadre->trigger();
    QVERIFY(!Rec(0).HasFrame);
    QVERIFY(!Rec(0).HasFramePixels());
    QVERIFY(!Rec(1).HasFramePixels());
    QVERIFY(!f.Sequence.FrameSizeSet);
    QVERIFY(!f.Action_Supprimer_ts_cadre->isEnabled());
  }

  void toleranceField() {
    TMainForm& f = *Form_;
    f.EditTolerance1->setText(QStringLiteral("999"));
    QCOMPARE(f.Sequence.Tolerance, 999);
    f.EditTolerance1->setText(QStringLiteral("12"));
    QCOMPARE(f.Sequence.Tolerance, 12);
    f.EditTolerance1->setText(QString());
    QCOMPARE(f.Sequence.Tolerance, 0);
    f.UpDown1->SetPosition(200);
    f.UpDown1Click();
    QCOMPARE(f.Sequence.Tolerance, 200);
    f.UpDown1->SetPosition(400);  // the spin stops at 255
    f.UpDown1Click();
    QCOMPARE(f.Sequence.Tolerance, 255);
  }

  void commandsDoNothingWithoutAnImage() {
    TMainForm& f = *Form_;
    f.Action_CadreExecute();
    f.Action_suppression_cadreExecute();
    f.CheckcadreClick();
    f.Action_cadre_automatiqueExecute();
    QVERIFY(Messages_.Asked.empty());
    QVERIFY(!f.Sequence.FrameSizeSet);
  }

  void autoFramingWithTheReport() {
    Open(Troubled_);
    TMainForm& f = *Form_;
    f.BtSuivClick();
    f.BtSuivClick();  // image 3 is current
    // What the core gives on the same file and settings.
    TSequence check;
    QVERIFY(check.OpenAvi(Local(Troubled_)));
    check.Tolerance = 30;
    const TAutoFrameResult expected = AutoFrameAll(check, AutoFrameOptionsOf(ParamGlob));
    QVERIFY(expected.Problems.size() >= 3);
    QStringList rows;
    for (const TFrameProblem& p : expected.Problems)
      rows << QStringLiteral("Image %1 | %2").arg(p.Index + 1).arg(FrameProblemText(p.Kind));
    QVERIFY(rows.contains(QStringLiteral("Image 2 | Impossible to draw frame")));

    TWatcher watch;
    f.Action_cadre_automatique->trigger();
    QCOMPARE(watch.ProgressCaption, QStringLiteral("Auto framing(Simple)"));
    QVERIFY(watch.Report.Shown);
    QCOMPARE(watch.Report.Caption, QStringLiteral("Auto framing"));
    QCOMPARE(watch.Report.Text, QStringLiteral("Error during automatic framing"));
    QCOMPARE(watch.Report.Rows, rows);
    QVERIFY(watch.Report.DetailVisible);
    QCOMPARE(watch.Report.Height, TFicheRapport::kFullHeight);
    QVERIFY(Messages_.Asked.empty());
    QCOMPARE(f.Sequence.CurrentIndex, 2);
    for (int i = 0; i < f.Sequence.ImageCount; ++i) {
      QCOMPARE(Rec(i).HasFrame, check.Record(i)->HasFrame);
      QCOMPARE(Rec(i).FrameRect, check.Record(i)->FrameRect);
      QCOMPARE(LineTicked(i), check.Record(i)->HasFrame);
    }
    QVERIFY(Rec(0).HasFrame);
    QVERIFY(!Rec(1).HasFrame);
    // The current image's outline is on the display.
    if (Rec(2).HasFrame) QVERIFY(IsWhite(Shown().GetPixel(Rec(2).FrameRect.Top, Rec(2).FrameRect.Left)));
  }

  void autoFramingWithoutTheReportAsksPerImage() {
    Open(Troubled_);
    TMainForm& f = *Form_;
    ParamGlob.Rapport = false;
    ParamGlob.calcul_simple = false;
    ParamGlob.calcul_complexe = true;
    ParamGlob.tolerance_automatique = true;
    TSequence check;
    QVERIFY(check.OpenAvi(Local(Troubled_)));
    const TAutoFrameResult expected = AutoFrameAll(check, AutoFrameOptionsOf(ParamGlob));
    QStringList boxes;
    for (const TFrameProblem& p : expected.Problems)
      boxes << QStringLiteral("Building frame : image%1 | %2")
                   .arg(p.Index + 1)
                   .arg(p.Kind == TFrameProblemKind::OutOfLimit
                            ? "Frame out of image limit, decrease tolerance."
                            : "Building frame impossible, increase tolerance or go complex.");
    QVERIFY(boxes.contains(
        QStringLiteral("Building frame : image2 | Building frame impossible, increase tolerance or go complex.")));
    TWatcher watch;
    f.Action_cadre_automatique->trigger();
    QCOMPARE(watch.ProgressCaption, QStringLiteral("Auto framing(Complex)"));
    QVERIFY(!watch.Report.Shown);
    QCOMPARE(Asked(), boxes);
    QCOMPARE(f.Sequence.Tolerance, check.Tolerance);  // the last image's automatic threshold
  }

  void autoFramingWithoutProblems() {
    Open(Clean_);
    TWatcher watch;
    Form_->Action_cadre_automatique->trigger();
    QVERIFY(!watch.Report.Shown);
    QCOMPARE(Asked(), QStringList{"Automatic frames | No problem occured when building all frame"});
    for (int i = 0; i < 6; ++i) QVERIFY(Rec(i).HasFrame && LineTicked(i));
  }

  void autoFramingCancelled() {
    Open(Clean_);
    TWatcher watch;
    watch.CancelAt = 2;
    Form_->Action_cadre_automatique->trigger();
    QVERIFY(Rec(0).HasFrame);
    QVERIFY(Rec(1).HasFrame);
    for (int i = 2; i < 6; ++i) QVERIFY(!Rec(i).HasFrame && !LineTicked(i));
    // The report setting is on and nothing failed before the cancel.
    QCOMPARE(Asked(), QStringList{"Automatic frames | No problem occured when building all frame"});
  }

  void marginRebuild() {
    Open(Clean_);
    TMainForm& f = *Form_;
    {
      TWatcher first;
      f.Action_cadre_automatique->trigger();
    }
    Messages_.Asked.clear();
    // Push one frame against the left edge: its object rectangle sits 2 pixels in.
    TAviList& edge = Rec(3);
    const int shift = edge.ObjectRect.Left - 2;
    edge.ObjectRect.Left -= shift;
    edge.ObjectRect.Right -= shift;
    f.SetImageChecked(4, false);

    // Declined: nothing changes.
    ParamSaisie = ParamGlob;
    ParamSaisie.bordure = 3;
    Messages_.Answers = {TMsgButton::No};
    const TRect before = Rec(0).FrameRect;
    QVERIFY(f.RebuildFrameMargins());
    QCOMPARE(Asked(), QStringList{"Margin | Margin parameter change. Rebuild frame with new margin ?"});
    QCOMPARE(Rec(0).FrameRect, before);

    // Accepted: every frame grows from its object; the one at the edge is dropped.
    Messages_.Asked.clear();
    Messages_.Answers = {TMsgButton::Yes};
    TWatcher watch;
    QVERIFY(f.RebuildFrameMargins());
    QVERIFY2(watch.Report.Shown, qPrintable(Asked().join(QStringLiteral(" / "))));
    QCOMPARE(watch.Report.Caption, QStringLiteral("Rebuilding frame margin "));
    QCOMPARE(watch.Report.Text, QStringLiteral("Some recalculated frame are out of limits, have been reject."));
    QCOMPARE(watch.Report.Rows, QStringList{"Image 4 | Frame out of limit"});
    QVERIFY(!Rec(3).HasFrame);
    QVERIFY(!Rec(3).Checked);
    QVERIFY(!LineTicked(3));
    const TRect o = Rec(0).ObjectRect;
    QCOMPARE(Rec(0).FrameRect, (TRect{o.Left - 3, o.Top - 3, o.Right + 3, o.Bottom + 3}));
    QVERIFY(Rec(0).Checked);
    QVERIFY(!Rec(4).Checked);  // its tick is not changed by a rebuild
    QVERIFY(Rec(4).HasFrame);

    // Only the last image framed: the question is still asked; no frame leaves.
    f.Action_Supprimer_ts_cadre->trigger();
    while (f.Sequence.CurrentIndex < 5) f.BtSuivClick();
    f.Action_Cadre->trigger();
    QVERIFY(Rec(5).HasFrame);
    Messages_.Asked.clear();
    Messages_.Answers = {TMsgButton::Yes};
    ParamSaisie.bordure = 5;
    QVERIFY(f.RebuildFrameMargins());
    QCOMPARE(Asked(), QStringList({"Margin | Margin parameter change. Rebuild frame with new margin ?",
                                   "Margin | Frame have been rebuilt with new margin. No frame out of limits.No frame "
                                   "out of limit."}));
  }

  void outlineIsClippedToThePicture() {
    Open(Clean_);
    TMainForm& f = *Form_;
    TAviList& r = Rec(0);
    r.HasFrame = true;
    r.Checked = true;
    r.FrameRect = {-20, -20, 500, 400};  // a frame kept from a larger image
    f.DrawCurrentFrame();
    QCOMPARE(Shown().Width(), 160);
    QVERIFY(DisplayIsTheImage());  // nothing of the outline falls inside
  }
};

QTEST_MAIN(TestFraming)
#include "tst_framing.moc"
