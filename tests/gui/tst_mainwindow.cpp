// The main window driven as a user would: opening, navigating, ticking,
// drawing frames, closing, failures, settings kept at close, the splash and
// the about box. Message boxes are answered by a TScriptedMessages.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollArea>
#include <QSlider>
#include <QStatusTipEvent>
#include <QTemporaryDir>
#include <QFileInfo>
#include <QTimer>
#include <QUrl>
#include <QToolBar>
#include <QToolButton>
#include <QtTest>

#include <memory>
#include <stdexcept>

#include "app/ParamGlob.h"
#include "app/ui/AboutBox.h"
#include "app/ui/FormParam.h"
#include "app/ui/JpegImage.h"
#include "app/ui/MainForm.h"
#include "image/ui/FastIMG.h"
#include "platform/Messages.h"
#include "platform/VideoWriter.h"
#include "sequence/SamplePlanet.h"

namespace {

QStringList MenuTexts(const QMenu* menu) {
  QStringList texts;
  for (const QAction* a : menu->actions()) texts << (a->isSeparator() ? QStringLiteral("-") : a->text());
  return texts;
}

// A planet video of `frames` images of width x height, 24 bits.
bool MakeVideo(const QString& path, int frames, int width, int height) {
  TSampleOptions options;
  options.Frames = frames;
  options.Width = width;
  options.Height = height;
  std::string error;
  return WriteSampleVideo(QFile::encodeName(path).toStdString(), options, &error);
}

bool SamePixels(const TFastDIB& a, const TFastDIB& b) {
  return a.Width() == b.Width() && a.AbsHeight == b.AbsHeight && a.Bpp() == b.Bpp() && a.Size() == b.Size() &&
         a.Bits && b.Bits && std::equal(a.Bits, a.Bits + a.Size(), b.Bits);
}

}  // namespace

class TestMainWindow : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir Dir_;
  QString Video_;     // 120 images, 640 x 480, 24 bits
  QString Small_;     // 12 images, 80 x 60
  QString NotAvi_;
  TScriptedMessages Messages_;
  std::unique_ptr<TMessagesScope> Scope_;
  std::unique_ptr<TMainForm> Form_;

  QString IniFile() const { return Dir_.filePath(QStringLiteral("stellon.ini")); }
  void Open(const QString& path) {
    Form_->ChooseOpenFile = [path](const QString&, const QString&) { return path; };
    Form_->action_ouvrir->trigger();
  }
  QString Status() const { return Form_->StatusPanel2->text(); }

 private slots:
  void initTestCase() {
    QVERIFY(Dir_.isValid());
    InitStellonResources();
    Scope_ = std::make_unique<TMessagesScope>(Messages_);
    Video_ = Dir_.filePath(QStringLiteral("planet.avi"));
    QVERIFY(MakeVideo(Video_, 120, 640, 480));
    Small_ = Dir_.filePath(QStringLiteral("small.avi"));
    QVERIFY(MakeVideo(Small_, 12, 80, 60));
    NotAvi_ = Dir_.filePath(QStringLiteral("notes.avi"));
    QFile text(NotAvi_);
    QVERIFY(text.open(QIODevice::WriteOnly));
    text.write("these are observing notes, not a video\n");
  }

  void init() {
    QFile::remove(IniFile());
    SetIniPath(QFile::encodeName(IniFile()).toStdString());
    Messages_.Asked.clear();
    Messages_.Answers.clear();
    Form_ = std::make_unique<TMainForm>();
    Form_->show();
  }

  void cleanup() {
    if (Form_) Form_->close();
    Form_.reset();
  }

  // The command table, the menus and the tool bar as the user finds them.
  void commandsMenusAndToolBar() {
    TMainForm& f = *Form_;
    QCOMPARE(f.windowTitle(), QStringLiteral("Stellon v0.49c (US)"));
    QCOMPARE(f.action_ouvrir->text(), QStringLiteral("&Open"));
    QCOMPARE(f.action_ouvrir->property("Category").toString(), QStringLiteral("File"));
    QCOMPARE(f.action_ouvrir->toolTip(), QStringLiteral("Open"));
    QCOMPARE(f.action_ouvrir->statusTip(), QStringLiteral("Open a AVI file"));
    QCOMPARE(f.Action_cadre_automatique->toolTip(), QStringLiteral("Auto Framing"));
    QCOMPARE(f.Action_cadre_automatique->statusTip(), QStringLiteral("Auto framing for all images of the file AVI"));
    QCOMPARE(f.Action_Decocher_images->statusTip(), QStringLiteral("Décoche toutes les images de la liste"));
    QCOMPARE(f.Action_kappa->property("Category").toString(), QStringLiteral("Processing"));
    QCOMPARE(f.Action_image_smBilinear->text(), QStringLiteral("bi-linear interpolation"));

    QCOMPARE(f.menuBar()->actions().size(), 6);
    QCOMPARE(MenuTexts(f.MenuFile),
             QStringList({"&Open ...", "Open/Edit a BMP file list ...", "Open a Kelvaron file list ...", "Close", "-",
                          "Images preview", "-", "Save image", "Batch saving ...", "-", "&Quit"}));
    QCOMPARE(f.MenuFile->actions().first()->shortcut(), QKeySequence(QKeySequence::Open));
    QCOMPARE(MenuTexts(f.MenuEdition), QStringList({"Copy", "-", "&Frame", "Auto framing", "Suppress frame",
                                                    "Suppress all frames", "Uncheck all images"}));
    QCOMPARE(MenuTexts(f.MenuImage), QStringList({"Normal size", "Adjusted size", "Resizing"}));
    QCOMPARE(MenuTexts(f.MenuResizing), QStringList({"Quick", "bi-linear interpolation"}));
    QCOMPARE(MenuTexts(f.MenuToolBar), QStringList({"Visible", "text && Icon"}));
    QCOMPARE(MenuTexts(f.MenuHelp),
             QStringList({"&Index", "&Find ...", "&Using help", "-", "STELLON WEB site", "-", "&About ..."}));
    QCOMPARE(MenuTexts(f.Popup_VideoPanel), QStringList({"Normal size", "Adjusted size", "Resizing"}));

    QStringList buttons;
    for (QAction* a : f.ToolBar1->actions())
      buttons << (a->isSeparator() ? QStringLiteral("-") : f.ToolBar1->widgetForAction(a)->objectName());
    QCOMPARE(buttons, QStringList({"BtOuvrir", "BtOuvrirBmp", "BtParcourirBMP", "-", "BtCopier", "-", "BtPrec", "BtSuiv",
                                   "-", "BtEnregistrer", "BtEnregistrerLot", "-", "BtCadre", "BtCadreAll", "BtNoCadre",
                                   "BtDisableCheck"}));
    QCOMPARE(f.BtOuvrirBmp->text(), QStringLiteral("Open BMP file"));
    QCOMPARE(f.BtOuvrirBmp->toolTip(), QStringLiteral("Open BMP files"));
    QCOMPARE(f.BtNoCadre->text(), QStringLiteral("Suppress frames"));
    QCOMPARE(f.BtPrec->toolTip(), QStringLiteral("previous"));
    QCOMPARE(f.BtSuiv->statusTip(), QStringLiteral("Next image"));

    // The long part of a hint goes to the first status panel.
    QStatusTipEvent tip(f.BtSuiv->statusTip());
    QApplication::sendEvent(f.BtSuiv, &tip);
    QCOMPARE(f.StatusPanel1->text(), QStringLiteral("Next image"));
  }

  // Without a sequence only opening, settings and help are offered.
  void noSequenceState() {
    TMainForm& f = *Form_;
    QVERIFY(f.action_ouvrir->isEnabled());
    QVERIFY(f.Action_Parametre->isEnabled());
    for (QAction* a : {f.Action_fermer, f.Action_enregistrer, f.Action_Cadre, f.Action_cadre_automatique,
                       f.Action_Decocher_images, f.Action_Copier, f.Action_Moyenne, f.Action_Image_Normale,
                       f.Action_helpindex})
      QVERIFY2(!a->isEnabled(), qPrintable(a->objectName()));
    QVERIFY(!f.BtPrec->isEnabled());
    QVERIFY(!f.TrackBar1->isEnabled());
    QVERIFY(!f.CheckListBox1->isEnabled());
    QVERIFY(!f.MenuEdition->menuAction()->isVisible());
    QVERIFY(!f.MenuProcessings->menuAction()->isVisible());
    QVERIFY(f.MenuFile->menuAction()->isVisible());
    QVERIFY(!f.VideoPanel->isVisible());
    QCOMPARE(f.label_sequence->text(), QStringLiteral("0001"));
    QCOMPARE(f.EditTolerance1->text().trimmed(), QStringLiteral("30"));
    QCOMPARE(f.UpDown1->Position(), 30);
  }

  void saveNumberIsShownWithFourDigits() {
    Form_->SaveNumber = 7;
    Form_->RefreshWindowState();
    QCOMPARE(Form_->label_sequence->text(), QStringLiteral("0007"));
    Form_->SaveNumber = 12345;
    Form_->RefreshWindowState();
    QCOMPARE(Form_->label_sequence->text(), QStringLiteral("12345"));
  }

  void openAvi() {
    TMainForm& f = *Form_;
    Open(Video_);
    QVERIFY(Messages_.Asked.empty());
    QVERIFY(f.Sequence.SequenceOpen);
    QCOMPARE(f.windowTitle(), QStringLiteral("Stellon v0.49c (US) - planet.avi"));
    QCOMPARE(f.CheckListBox1->count(), 120);
    QCOMPARE(f.CheckListBox1->item(0)->text(), QStringLiteral("Image 1"));
    QCOMPARE(f.CheckListBox1->item(119)->text(), QStringLiteral("Image 120"));
    QCOMPARE(f.CheckListBox1->item(0)->checkState(), Qt::Unchecked);
    QCOMPARE(f.TrackBar1->maximum(), 119);
    QCOMPARE(f.TrackBar1->tickInterval(), 12);
    QVERIFY(f.TrackBar1->isEnabled());
    QCOMPARE(Status(), QStringLiteral("Pos : 1/120 - 640x480 - 24 bits"));
    QVERIFY(!f.BtPrec->isEnabled());
    QVERIFY(f.BtSuiv->isEnabled());
    QVERIFY(f.VideoPanel->isVisible());
    QVERIFY(f.Action_Image_Normale->isChecked());
    QCOMPARE(f.VideoPanel->size(), QSize(640, 480));
    QVERIFY(f.Sequence.CurrentImage);
    QVERIFY(SamePixels(f.VideoPanel->Bmp(), *f.Sequence.CurrentImage));
    for (QAction* a : {f.Action_fermer, f.Action_Cadre, f.Action_cadre_automatique, f.Action_Decocher_images,
                       f.Action_Image_Normale, f.Action_Image_Ajustee})
      QVERIFY2(a->isEnabled(), qPrintable(a->objectName()));
    for (QAction* a : {f.Action_Copier, f.Action_suppression_cadre, f.Action_Supprimer_ts_cadre, f.Action_Moyenne,
                       f.Action_kappa})
      QVERIFY2(!a->isEnabled(), qPrintable(a->objectName()));
    QVERIFY(f.MenuEdition->menuAction()->isVisible());
    QVERIFY(f.CheckListBox1->isEnabled());
    QVERIFY(f.Checkcadre->isEnabled());
    QVERIFY(!f.Checkcadre->isChecked());
    QVERIFY(f.poscadre->text().isEmpty());
    // Normal size has no resizing to choose.
    QVERIFY(!f.Action_image_smFast->isEnabled());
    f.Action_Image_Ajustee->trigger();
    QVERIFY(f.Action_Image_Ajustee->isChecked());
    QVERIFY(!f.Action_Image_Normale->isChecked());
    QVERIFY(f.Action_image_smBilinear->isEnabled());
    f.Action_image_smBilinear->trigger();
    QVERIFY(f.Action_image_smBilinear->isChecked());
    QVERIFY(!f.Action_image_smFast->isChecked());
    QCOMPARE(f.VideoPanel->SizeMode(), smBilinear);
    f.Action_Image_Normale->trigger();
    QCOMPARE(f.VideoPanel->SizeMode(), smFast);
  }

  // Tick marks every tenth of the video, or every image up to 10 images; a
  // video without images opens with nothing to show.
  void trackBarTicks_data() {
    QTest::addColumn<int>("frames");
    QTest::addColumn<int>("interval");
    QTest::newRow("empty") << 0 << 0;
    QTest::newRow("10 images") << 10 << 1;
    QTest::newRow("11 images") << 11 << 1;
    QTest::newRow("250 images") << 250 << 25;
  }
  void trackBarTicks() {
    QFETCH(int, frames);
    QFETCH(int, interval);
    const QString path = Dir_.filePath(QStringLiteral("ticks%1.avi").arg(frames));
    QVERIFY(MakeVideo(path, frames, 16, 12));
    TMainForm& f = *Form_;
    Open(path);
    QVERIFY(Messages_.Asked.empty());
    QVERIFY(f.Sequence.SequenceOpen);
    QCOMPARE(f.CheckListBox1->count(), frames);
    if (frames == 0) {
      QVERIFY(!f.TrackBar1->isEnabled());
      QVERIFY(!f.Sequence.CurrentImage);
      QCOMPARE(f.VideoPanel->Bmp().Width(), 0);
      QVERIFY(!f.BtSuiv->isEnabled());
      QVERIFY(!f.Action_Cadre->isEnabled());
      return;
    }
    QVERIFY(f.TrackBar1->isEnabled());
    QCOMPARE(f.TrackBar1->maximum(), frames - 1);
    QCOMPARE(f.TrackBar1->tickInterval(), interval);
    QCOMPARE(Status(), QStringLiteral("Pos : 1/%1 - 16x12 - 24 bits").arg(frames));
  }

  void navigate() {
    TMainForm& f = *Form_;
    Open(Video_);
    TFastDIB first;
    first.CopyFrom(f.VideoPanel->Bmp());
    QTest::mouseClick(f.BtSuiv, Qt::LeftButton);
    QTest::mouseClick(f.BtSuiv, Qt::LeftButton);
    QCOMPARE(Status(), QStringLiteral("Pos : 3/120 - 640x480 - 24 bits"));
    QCOMPARE(f.CheckListBox1->currentRow(), 2);
    QCOMPARE(f.TrackBar1->value(), 2);
    QVERIFY(f.BtPrec->isEnabled());
    QVERIFY(!SamePixels(first, f.VideoPanel->Bmp()));
    QVERIFY(SamePixels(f.VideoPanel->Bmp(), *f.Sequence.CurrentImage));

    f.TrackBar1->setValue(119);
    QCOMPARE(f.Sequence.CurrentIndex, 119);
    QCOMPARE(Status(), QStringLiteral("Pos : 120/120 - 640x480 - 24 bits"));
    QVERIFY(!f.BtSuiv->isEnabled());
    QCOMPARE(f.CheckListBox1->currentRow(), 119);

    f.CheckListBox1->setCurrentRow(5);
    QCOMPARE(f.Sequence.CurrentIndex, 5);
    QCOMPARE(f.TrackBar1->value(), 5);
    QTest::mouseClick(f.BtPrec, Qt::LeftButton);
    QCOMPARE(f.Sequence.CurrentIndex, 4);
    for (int i = 0; i < 6; ++i) f.BtPrecClick();
    QCOMPARE(f.Sequence.CurrentIndex, 0);
    QVERIFY(!f.BtPrec->isEnabled());
    QVERIFY(SamePixels(first, f.VideoPanel->Bmp()));
  }

  void tickAndUntick() {
    TMainForm& f = *Form_;
    Open(Video_);
    // Ticking a line that is not the current one makes it current.
    f.CheckListBox1->item(7)->setCheckState(Qt::Checked);
    QVERIFY(f.Sequence.Record(7)->Checked);
    QCOMPARE(f.Sequence.CurrentIndex, 7);
    QCOMPARE(Status(), QStringLiteral("Pos : 8/120 - 640x480 - 24 bits"));
    f.CheckListBox1->item(9)->setCheckState(Qt::Checked);
    f.CheckListBox1->item(7)->setCheckState(Qt::Unchecked);
    QVERIFY(!f.Sequence.Record(7)->Checked);
    QVERIFY(f.Sequence.Record(9)->Checked);
    // Ticks set by the program do not move the current image.
    f.SetImageChecked(30, true);
    QVERIFY(f.Sequence.Record(30)->Checked);
    QCOMPARE(f.CheckListBox1->item(30)->checkState(), Qt::Checked);
    QCOMPARE(f.Sequence.CurrentIndex, 7);

    f.Action_Decocher_images->trigger();
    for (int i = 0; i < 120; ++i) {
      QVERIFY(!f.Sequence.Record(i)->Checked);
      QCOMPARE(f.CheckListBox1->item(i)->checkState(), Qt::Unchecked);
    }

    // The C key toggles the frame check box; other keys do not.
    f.CheckListBox1->setFocus();
    QVERIFY(!f.Checkcadre->isChecked());
    QTest::keyClick(f.CheckListBox1, Qt::Key_C);
    QVERIFY(f.Checkcadre->isChecked());
    QTest::keyClick(f.CheckListBox1, Qt::Key_X);
    QVERIFY(f.Checkcadre->isChecked());
    QTest::keyClick(f.CheckListBox1, Qt::Key_C, Qt::ShiftModifier);
    QVERIFY(!f.Checkcadre->isChecked());
  }

  // The outline goes into the displayed copy only: white and solid when the
  // image is ticked, black and dotted when not, clipped to the picture.
  void drawFrame() {
    TMainForm& f = *Form_;
    Open(Video_);
    TAviList* record = f.Sequence.CurrentRecord();
    record->HasFrame = true;
    record->Checked = true;
    record->FrameRect = {100, 50, 300, 250};
    f.DrawCurrentFrame();
    const TFastDIB& shown = f.VideoPanel->Bmp();
    const TColorBGR white{255, 255, 255}, black{0, 0, 0};
    for (int x = 100; x <= 300; x += 20) {
      QCOMPARE(shown.GetPixel(50, x), white);
      QCOMPARE(shown.GetPixel(250, x), white);
    }
    for (int y = 50; y <= 250; y += 20) QCOMPARE(shown.GetPixel(y, 300), white);
    QCOMPARE(shown.GetPixel(150, 200), f.Sequence.CurrentImage->GetPixel(150, 200));
    QCOMPARE(f.Sequence.CurrentImage->GetPixel(50, 150) == white, false);
    QCOMPARE(f.poscadre->text(), QStringLiteral("(100,50) - (300,250)"));
    QVERIFY(f.Checkcadre->isChecked());
    QVERIFY(f.Action_suppression_cadre->isEnabled());
    QVERIFY(f.Action_Supprimer_ts_cadre->isEnabled());
    QVERIFY(f.Sequence.FrameSizeSet);

    record->Checked = false;
    f.RestoreDisplayedImage();
    QVERIFY(SamePixels(f.VideoPanel->Bmp(), *f.Sequence.CurrentImage));
    f.DrawCurrentFrame();
    int blackOnTop = 0, other = 0;
    for (int x = 100; x < 300; ++x) (shown.GetPixel(50, x) == black ? blackOnTop : other)++;
    QVERIFY2(blackOnTop > 60 && other > 60, "a dotted line alternates black and background");
    QCOMPARE(shown.GetPixel(50, 100), black);

    // A frame reaching past the picture is clipped, never written outside it.
    record->FrameRect = {600, 440, 700, 520};
    f.RestoreDisplayedImage();
    f.DrawCurrentFrame();
    QCOMPARE(shown.GetPixel(440, 600), black);

    // Another image shows no outline.
    QTest::mouseClick(f.BtSuiv, Qt::LeftButton);
    QVERIFY(!f.Checkcadre->isChecked());
    QVERIFY(f.poscadre->text().isEmpty());
    QVERIFY(!f.Action_suppression_cadre->isEnabled());
    QVERIFY(SamePixels(f.VideoPanel->Bmp(), *f.Sequence.CurrentImage));
    // Back on image 1 its frame is drawn again by ShowCurrentImage.
    QTest::mouseClick(f.BtPrec, Qt::LeftButton);
    QCOMPARE(shown.GetPixel(440, 600), black);
  }

  void notAnAvi() {
    TMainForm& f = *Form_;
    Open(Video_);
    Open(NotAvi_);
    QCOMPARE(Messages_.Asked.size(), size_t(1));
    const TMessageRequest& asked = Messages_.Asked.back();
    QCOMPARE(asked.Caption, std::string("Error"));
    QCOMPARE(asked.Text, QFile::encodeName(NotAvi_).toStdString() + "is not a valid AVI file.");
    QCOMPARE(asked.Buttons, std::vector<TMsgButton>{TMsgButton::OK});
    QVERIFY(!f.Sequence.SequenceOpen);
    QCOMPARE(f.CheckListBox1->count(), 0);
    QCOMPARE(f.windowTitle(), QStringLiteral("Stellon v0.49c (US)"));
    QVERIFY(!f.Action_fermer->isEnabled());

    Messages_.Asked.clear();
    Open(Dir_.filePath(QStringLiteral("missing.avi")));
    QCOMPARE(Messages_.Asked.size(), size_t(1));
    QVERIFY(QString::fromStdString(Messages_.Asked.back().Text).endsWith("missing.aviis not a valid AVI file."));
  }

  void cancelledDialogKeepsTheSequence() {
    Open(Video_);
    Form_->ChooseOpenFile = [](const QString&, const QString& filter) {
      return filter.contains("*.avi") && filter.contains("*.AVI") ? QString() : QStringLiteral("wrong filter");
    };
    Form_->action_ouvrir->trigger();
    QVERIFY(Form_->Sequence.SequenceOpen);
    QCOMPARE(Form_->CheckListBox1->count(), 120);
    QVERIFY(Messages_.Asked.empty());
  }

  // A 12-bit SER capture: offered by the dialog, listed like a video, its real depth on the status line.
  void openSerCapture() {
    TMainForm& f = *Form_;
    const QString ser = Dir_.filePath(QStringLiteral("deep.ser"));
    TSampleOptions o;
    o.Frames = 5;
    o.Width = 64;
    o.Height = 48;
    std::string error;
    QVERIFY2(WriteSampleSer(ser.toStdString(), o, 0, 12, &error), error.c_str());
    QString offered;
    f.ChooseOpenFile = [&](const QString&, const QString& filter) {
      offered = filter;
      return ser;
    };
    f.action_ouvrir->trigger();
    QVERIFY(offered.contains(QStringLiteral("Videos (*.avi *.ser *.mp4 *.mkv *.mov *.webm)")));
    QVERIFY(offered.contains(QStringLiteral("Video File AVI (*.avi *.AVI)")));
    QVERIFY(Messages_.Asked.empty());
    QCOMPARE(f.CheckListBox1->count(), 5);
    QCOMPARE(f.CheckListBox1->item(4)->text(), QStringLiteral("Image 5"));
    QCOMPARE(Status(), QStringLiteral("Pos : 1/5 - 64x48 - 12 bits"));
    QFile damaged(Dir_.filePath(QStringLiteral("bad.ser")));
    QVERIFY(damaged.open(QIODevice::WriteOnly));
    damaged.write("LUCAM-RECORDER but nothing else");
    damaged.close();
    Open(damaged.fileName());
    QVERIFY(!f.Sequence.SequenceOpen);
    QCOMPARE(Messages_.Asked.size(), size_t(1));
    QVERIFY(QString::fromStdString(Messages_.Asked.back().Text).startsWith(damaged.fileName() + ": "));
  }

  void openingAgainForgetsTicksAndFrames() {
    TMainForm& f = *Form_;
    Open(Video_);
    f.CheckListBox1->item(3)->setCheckState(Qt::Checked);
    f.Sequence.Record(3)->HasFrame = true;
    f.Sequence.Record(3)->FrameRect = {1, 1, 20, 20};
    Open(Video_);
    QCOMPARE(f.Sequence.CurrentIndex, 0);
    QVERIFY(!f.Sequence.Record(3)->Checked);
    QVERIFY(!f.Sequence.Record(3)->HasFrame);
    QCOMPARE(f.CheckListBox1->item(3)->checkState(), Qt::Unchecked);
    QVERIFY(!f.Action_Supprimer_ts_cadre->isEnabled());
  }

  void closeSequence() {
    TMainForm& f = *Form_;
    Open(Video_);
    f.BtSuivClick();
    f.Action_fermer->trigger();
    QVERIFY(!f.Sequence.SequenceOpen);
    QCOMPARE(f.Sequence.ImageCount, 0);
    QCOMPARE(f.Sequence.CurrentIndex, 0);
    QVERIFY(!f.Sequence.CurrentImage);
    QCOMPARE(f.CheckListBox1->count(), 0);
    QCOMPARE(f.VideoPanel->Bmp().Width(), 0);
    QVERIFY(!f.VideoPanel->isVisible());
    QCOMPARE(f.windowTitle(), QStringLiteral("Stellon v0.49c (US)"));
    QVERIFY(!f.Action_fermer->isEnabled());
    QVERIFY(!f.Action_Cadre->isEnabled());
    QVERIFY(!f.BtSuiv->isEnabled());
    QVERIFY(!f.MenuEdition->menuAction()->isVisible());
  }

  // An image that cannot be read empties the display and disables what needs
  // an image; the user can still move on.
  void unreadableImage() {
    TMainForm& f = *Form_;
    const QString copy = Dir_.filePath(QStringLiteral("gone.avi"));
    QFile::remove(copy);
    QVERIFY(QFile::copy(Small_, copy));
    Open(copy);
    QVERIFY(QFile::remove(copy));
    QTest::mouseClick(f.BtSuiv, Qt::LeftButton);
    QVERIFY(Messages_.Asked.empty());
    QCOMPARE(f.Sequence.CurrentIndex, 1);
    QVERIFY(!f.Sequence.CurrentImage);
    QCOMPARE(Status(), QStringLiteral("Pos : 2/12 - "));
    QCOMPARE(f.VideoPanel->Bmp().Width(), 0);
    QVERIFY(!f.Action_Cadre->isEnabled());
    QVERIFY(!f.CheckListBox1->isEnabled());
    QVERIFY(f.BtSuiv->isEnabled());
    QVERIFY(f.BtPrec->isEnabled());
    QVERIFY(f.Action_fermer->isEnabled() == false);
  }

  // No error escapes a command: it is shown with the file and the reason, and
  // the image shown before comes back.
  void failingCommandRestoresPosition() {
    TMainForm& f = *Form_;
    Open(Video_);
    f.BtSuivClick();
    f.RunCommand([&f] {
      f.Sequence.CurrentIndex = 50;
      throw std::runtime_error("disk unplugged");
    });
    QCOMPARE(Messages_.Asked.size(), size_t(1));
    QCOMPARE(Messages_.Asked[0].Caption, std::string("Error"));
    QCOMPARE(Messages_.Asked[0].Text, QFile::encodeName(Video_).toStdString() + "\ndisk unplugged");
    QCOMPARE(f.Sequence.CurrentIndex, 1);
    QCOMPARE(Status(), QStringLiteral("Pos : 2/120 - 640x480 - 24 bits"));
    QCOMPARE(f.TrackBar1->value(), 1);
    QVERIFY(!f.Refreshing);
  }

  // Tool bar choices are written at close and come back at the next start;
  // confirming the Parameters dialog in between does not store them.
  void toolBarSettingsStoredAtClose() {
    TMainForm& f = *Form_;
    QVERIFY(!f.ToolBar1->isHidden());
    QVERIFY(f.mnu_barre_visible->isChecked());
    QVERIFY(!f.mnu_texte_icone->isChecked());
    QCOMPARE(f.BtOuvrir->toolButtonStyle(), Qt::ToolButtonIconOnly);
    f.mnu_barre_visible->trigger();
    f.mnu_texte_icone->trigger();
    QVERIFY(f.ToolBar1->isHidden());
    QCOMPARE(f.BtOuvrir->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
    QVERIFY(f.BtOuvrir->minimumHeight() >= 36);

    QTimer::singleShot(0, [] {
      auto* dialog = qobject_cast<TFormParam*>(QApplication::activeModalWidget());
      if (dialog) dialog->BtOk->click();
    });
    f.Action_Parametre->trigger();
    QFile ini(IniFile());
    QVERIFY(ini.open(QIODevice::ReadOnly));
    const QString written = QString::fromUtf8(ini.readAll());
    ini.close();
    QVERIFY(written.contains(QRegularExpression("\\[Menu bar\\][^\\[]*visible=1")));

    f.close();
    QVERIFY(LireParamGlob());
    QVERIFY(!ParamGlob.barre_visible);
    QVERIFY(ParamGlob.barre_texte);
    Form_ = std::make_unique<TMainForm>();
    Form_->show();
    QVERIFY(Form_->ToolBar1->isHidden());
    QVERIFY(!Form_->mnu_barre_visible->isChecked());
    QVERIFY(Form_->mnu_texte_icone->isChecked());
    QCOMPARE(Form_->BtSuiv->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
  }

  // Settings that cannot be written at close are reported, with the file.
  void unwritableSettingsAtClose() {
    const std::string ini = QFile::encodeName(NotAvi_).toStdString() + "/stellon.ini";
    SetIniPath(ini);
    Form_->close();
    QCOMPARE(Messages_.Asked.size(), size_t(1));
    QCOMPARE(Messages_.Asked[0].Text, IniWriteErrorText(ini));
    QVERIFY(QString::fromStdString(Messages_.Asked[0].Text).startsWith(QString::fromUtf8("Impossible d'écrire dans ")));
    Form_.reset();
    QCOMPARE(Messages_.Asked.size(), size_t(1));
  }

  // The Parameters dialog: on OK the settings are stored, and automatic
  // tolerance disables the tolerance edit and its label but not the arrows.
  void parametersDialog() {
    TMainForm& f = *Form_;
    Open(Video_);
    QVERIFY(f.EditTolerance1->isEnabled());
    QTimer::singleShot(0, [] {
      auto* dialog = qobject_cast<TFormParam*>(QApplication::activeModalWidget());
      if (!dialog) return;
      dialog->cd_tolerance_auto->setChecked(true);
      dialog->BtOk->click();
    });
    f.Action_Parametre->trigger();
    QVERIFY(ParamGlob.tolerance_automatique);
    QVERIFY(!f.EditTolerance1->isEnabled());
    QVERIFY(!f.LabTolerance->isEnabled());
    QVERIFY(f.UpDown1->isEnabled());
    QVERIFY(LireParamGlob());
    QVERIFY(ParamGlob.tolerance_automatique);

    // Cancel stores nothing.
    ParamGlob.kappa = 9;
    QTimer::singleShot(0, [] {
      if (auto* dialog = qobject_cast<TFormParam*>(QApplication::activeModalWidget())) dialog->reject();
    });
    f.Action_Parametre->trigger();
    QVERIFY(LireParamGlob());
    QCOMPARE(ParamGlob.kappa, 3);
    ParamGlob.tolerance_automatique = false;
  }

  void webSiteAndAbout() {
    TMainForm& f = *Form_;
    QString opened;
    f.OpenUrl = [&opened](const QString& url) { opened = url; };
    f.Action_helpwebsite->trigger();
    QCOMPARE(opened, TMainForm::WebSiteAddress());
    // The guide shipped with the program, as a local file the browser can open.
    QVERIFY(opened.startsWith("file:///"));
    QVERIFY(QFileInfo::exists(QUrl(opened).toLocalFile()));

    QTimer::singleShot(0, [] {
      auto* box = qobject_cast<TAboutBox*>(QApplication::activeModalWidget());
      if (!box) return;
      QVERIFY(!box->Timer1->isActive());
      QCOMPARE(box->Version->text(), QStringLiteral("Version 0.49c (US)"));
      QVERIFY(box->HasPicture());
      QVERIFY(box->ProductName->isVisible());
      box->OKButton->click();
    });
    f.Action_about->trigger();
    QVERIFY(!QApplication::activeModalWidget());
  }

  // The splash: picture and version only, black, closed by its timer alone.
  void splash() {
    auto* box = new TAboutBox;
    QPointer<TAboutBox> guard = box;
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->MakeSplash();
    box->show();
    QVERIFY(box->HasPicture());
    QCOMPARE(box->Image1->pixmap().size(), QSize(440, 260));
    QVERIFY(box->Version->isVisible());
    for (QWidget* w : std::initializer_list<QWidget*>{box->ProductName, box->Copyright, box->Comments, box->Contact,
                                                      box->OKButton})
      QVERIFY(!w->isVisible());
    QVERIFY(box->windowFlags() & Qt::WindowStaysOnTopHint);
    QVERIFY(box->windowFlags() & Qt::FramelessWindowHint);
    QCOMPARE(box->palette().color(QPalette::Window), QColor(Qt::black));
    QVERIFY(box->height() <= box->Version->mapTo(box, QPoint(0, box->Version->height())).y() + 5 + 2 + 1);
    box->SetTopMost(false);
    QVERIFY(!(box->windowFlags() & Qt::WindowStaysOnTopHint));
    box->SetTopMost(true);

    box->Timer1->setInterval(50);
    box->StartTimer();
    box->close();
    QTest::keyClick(box, Qt::Key_Escape);
    QVERIFY(box->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(guard.isNull(), 3000);
  }

  void jpegDecoding() {
    QFile file(QStringLiteral(":/EXEFILE/SPLASHIMG"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    const QImage picture = DecodeJpeg(bytes);
    QCOMPARE(picture.size(), QSize(440, 260));
    // The sky is dark at the top-left corner, the planet bright in its middle.
    QVERIFY(qGray(picture.pixel(2, 2)) < 40);
    QVERIFY(qGray(picture.pixel(318, 130)) > 120);
    QVERIFY(DecodeJpeg(QByteArray()).isNull());
    QVERIFY(DecodeJpeg(QByteArray("not a jpeg at all")).isNull());
    QVERIFY(DecodeJpeg(bytes.left(bytes.size() / 3)).isNull() || DecodeJpeg(bytes.left(bytes.size() / 3)).width() == 440);
    QByteArray broken = bytes;
    for (int i = 200; i < 260; ++i) broken[i] = char(0xFF);
    DecodeJpeg(broken);  // must not crash, whatever it returns
    QVERIFY(LoadJpegResource(QStringLiteral(":/no/such/picture")).isNull());
  }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
