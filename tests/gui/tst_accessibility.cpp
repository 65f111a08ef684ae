// Every window the program can open names each of its controls for screen
// readers and end-to-end tests.
#include <QTemporaryDir>
#include <QtTest>

#include <functional>
#include <memory>

#include "AccessibleNames.h"
#include "app/ParamGlob.h"
#include "app/ui/AboutBox.h"
#include "app/ui/FormParam.h"
#include "app/ui/FormParamFits.h"
#include "app/ui/MainForm.h"
#include "app/ui/OpenDialog.h"
#include "app/ui/ProgressForm.h"
#include "combine/ui/FicheRapport.h"
#include "combine/ui/FormRapport.h"
#include "platform/Messages.h"
#include "sequence/SamplePlanet.h"

using TMakeWindow = std::function<QWidget*()>;
Q_DECLARE_METATYPE(TMakeWindow)

class TestAccessibility : public QObject {
  Q_OBJECT
  QTemporaryDir Dir_;
  TScriptedMessages Messages_;
  std::unique_ptr<TMessagesScope> Scope_;

 private slots:
  void initTestCase() {
    InitStellonResources();
    Scope_ = std::make_unique<TMessagesScope>(Messages_);
    SetIniPath(QFile::encodeName(Dir_.filePath(QStringLiteral("stellon.ini"))).toStdString());
  }

  void everyControlIsNamed_data() {
    QTest::addColumn<TMakeWindow>("make");
    const QString video = Dir_.filePath(QStringLiteral("planet.avi"));
    TSampleOptions options;
    options.Frames = 3;
    options.Width = 64;
    options.Height = 48;
    std::string error;
    QVERIFY(WriteSampleVideo(QFile::encodeName(video).toStdString(), options, &error));
    QTest::newRow("main window") << TMakeWindow([video] {
      auto* form = new TMainForm;
      form->OpenFile(video);
      return form;
    });
    QTest::newRow("about box") << TMakeWindow([] { return new TAboutBox; });
    QTest::newRow("splash") << TMakeWindow([] {
      auto* box = new TAboutBox;
      box->MakeSplash();
      return box;
    });
    QTest::newRow("parameters") << TMakeWindow([] { return new TFormParam; });
    QTest::newRow("FITS parameters") << TMakeWindow([] { return new TFormParamFits; });
    QTest::newRow("progress") << TMakeWindow([] { return new TProgressForm; });
    QTest::newRow("problem report") << TMakeWindow([] {
      auto* report = new TFicheRapport;
      report->AddRow(QStringLiteral("Image 2"), QStringLiteral("Frame out of limit"));
      return report;
    });
    QTest::newRow("combination report") << TMakeWindow([] { return new TFormRapport; });
  }
  void everyControlIsNamed() {
    QFETCH(TMakeWindow, make);
    std::unique_ptr<QWidget> window(make());
    window->show();
    const QStringList missing = ControlsWithoutAccessibleName(window.get());
    QVERIFY2(missing.isEmpty(), qPrintable(missing.join(QStringLiteral(", "))));
  }
};

QTEST_MAIN(TestAccessibility)
#include "tst_accessibility.moc"
