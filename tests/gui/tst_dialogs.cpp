// SPDX-License-Identifier: GPL-3.0-or-later
// The Parameters and FITS parameters dialogs: filling from the settings, the
// number edits' key filter and spins, the enabling rules, and what OK and
// Cancel leave in ParamSaisie and ParamFits.
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <functional>

#include "app/ParamGlob.h"
#include "app/ui/FormParam.h"
#include "app/ui/FormParamFits.h"
#include "app/ui/ParamUpDown.h"

namespace {
TParamglob Sample() {
  TParamglob p;
  p.tolerance = 42;
  p.tolerance_automatique = true;
  p.calcul_simple = false;
  p.calcul_complexe = true;
  p.bordure = 17;
  p.Rapport = false;
  p.memoire_copies_mo = 512;
  p.kappa = 4;
  p.rejet_kappa = true;
  p.texte_avec_compositage = true;
  p.repertoire = "/data/saves/";
  p.barre_visible = false;
  p.barre_texte = true;
  p.numerotation_zero = false;
  p.Bitmap = false;
  p.Fits = true;
  p.FITS = {false, true, false, true, "Jupiter", "C8", "ToUCam", "Moi", "Seeing 3/5"};
  return p;
}

// Runs `act` on the FITS dialog once it is up and modal.
void WhenFitsDialogShows(std::function<void(TFormParamFits*)> act) {
  auto* timer = new QTimer;
  timer->setInterval(5);
  QObject::connect(timer, &QTimer::timeout, [timer, act] {
    if (auto* d = qobject_cast<TFormParamFits*>(QApplication::activeModalWidget()); d && d->isVisible()) {
      timer->stop();
      timer->deleteLater();
      act(d);
    }
  });
  timer->start();
}

bool Typed(QLineEdit* edit, int key, const QString& text, Qt::KeyboardModifiers mods = Qt::NoModifier) {
  QKeyEvent e(QEvent::KeyPress, key, mods, text);
  return IsNumberEditKey(e);
}
}  // namespace

class TestDialogs : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    ParamGlob = Sample();
    ParamSaisie = TParamglob{};
    ParamFits = TParamFITS{};
  }

  void fillsEveryControlFromTheSettings() {
    TFormParam f;
    QCOMPARE(f.windowTitle(), QString("Parameters"));
    QVERIFY(!(f.windowFlags() & Qt::WindowCloseButtonHint));
    QCOMPARE(f.PageControl1->count(), 3);
    QCOMPARE(f.PageControl1->tabText(0), QString("Frame"));
    QCOMPARE(f.PageControl1->tabText(1), QString("Combinaison"));
    QCOMPARE(f.PageControl1->tabText(2), QString("Sauvegarde"));
    QCOMPARE(f.EditBordure->text(), QString("17"));
    QCOMPARE(f.UpDownBordure->Position(), 17);
    QCOMPARE(f.Edit_Tolerance->text(), QString("42"));
    QCOMPARE(f.UpDownTolerance->Position(), 42);
    QCOMPARE(f.Edit_kappa->text(), QString("4"));
    QCOMPARE(f.UpDownKappa->Position(), 4);
    QCOMPARE(f.UpDownBordure->Max(), 100);
    QCOMPARE(f.UpDownTolerance->Max(), 255);
    QCOMPARE(f.UpDownKappa->Max(), 10);
    QVERIFY(f.cd_tolerance_auto->isChecked());
    QVERIFY(!f.cdauto_rapport->isChecked());
    QCOMPARE(f.SpinMemoire->value(), 512);
    QVERIFY(!f.Radio_CalculSimple->isChecked());
    QVERIFY(f.Radio_CalculComplexe->isChecked());
    QVERIFY(f.CheckBox_kappamoyenne->isChecked());
    QVERIFY(f.CheckBox_texte_compositage->isChecked());
    QCOMPARE(f.rep_sauve->text(), QString("/data/saves/"));
    QVERIFY(!f.CheckBox_Numerotation->isChecked());
    QVERIFY(!f.Radio_BMP->isChecked());
    QVERIFY(f.Radio_FITS->isChecked());
    QVERIFY(f.FitsParams == ParamGlob.FITS);
    // The enabling rules hold from the start.
    QVERIFY(!f.Edit_Tolerance->isEnabled());
    QVERIFY(!f.Label4->isEnabled());
    QVERIFY(f.UpDownTolerance->isEnabled());
    QVERIFY(f.BtnParamFits->isEnabled());
    // Captions the user reads.
    QCOMPARE(f.Label4->text(), QString("Default tolerance :"));
    QCOMPARE(f.cd_tolerance_auto->text(), QString("Automatic tolerance :"));
    QCOMPARE(f.GroupCalcul->title(), QString("Frame building mode"));
    QCOMPARE(f.GroupKappa->title(), QString("Combinaison Kappa-Sigma"));
    QCOMPARE(f.CheckBox_Numerotation->text(), QString("Numbers aligned with 4 digits (ex:TMP0001)."));
    QCOMPARE(f.BtnParamFits->text(), QString("FITS Parameters ..."));
    QCOMPARE(f.BitBtn1->text(), QString("Browse ..."));
    QVERIFY(f.findChild<QLineEdit*>("EditBordure") == f.EditBordure);
    QVERIFY(f.findChild<QRadioButton*>("Radio_FITS") == f.Radio_FITS);
  }

  void pairsAlwaysShowExactlyOneChoice() {
    ParamGlob.calcul_simple = ParamGlob.calcul_complexe = false;
    ParamGlob.Bitmap = ParamGlob.Fits = true;
    TFormParam f;
    QVERIFY(f.Radio_CalculSimple->isChecked() && !f.Radio_CalculComplexe->isChecked());
    QVERIFY(f.Radio_FITS->isChecked() && !f.Radio_BMP->isChecked());
    ParamGlob.tolerance = 300;  // hand-edited file: the spin shows and keeps its bound
    ParamGlob.Bitmap = true;
    ParamGlob.Fits = false;
    TFormParam g;
    QCOMPARE(g.Edit_Tolerance->text(), QString("255"));
    QVERIFY(g.Radio_BMP->isChecked());
    QVERIFY(!g.BtnParamFits->isEnabled());
  }

  void numberEditsTakeOnlyDigits() {
    TFormParam f;
    f.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f));
    for (QLineEdit* e : {f.EditBordure, f.Edit_kappa}) {
      e->setFocus();
      e->clear();
      QTest::keyClicks(e, "1a-2 .x");
      QCOMPARE(e->text(), QString("12"));
      QTest::keyClick(e, Qt::Key_Backspace);
      QCOMPARE(e->text(), QString("1"));
      QTest::keyClick(e, Qt::Key_Home);
      QTest::keyClick(e, Qt::Key_Delete);
      QCOMPARE(e->text(), QString(""));
      QTest::keyClicks(e, "34");
      QTest::keyClick(e, Qt::Key_Left);
      QTest::keyClick(e, Qt::Key_5);
      QCOMPARE(e->text(), QString("354"));
      QTest::keyClick(e, Qt::Key_A, Qt::ControlModifier);  // select all: a shortcut passes
      QTest::keyClick(e, Qt::Key_7);
      QCOMPARE(e->text(), QString("7"));
    }
    // Keys that type no character, control characters and shortcuts pass; other characters do not.
    QLineEdit* e = f.Edit_Tolerance;
    QVERIFY(Typed(e, Qt::Key_Tab, "\t"));
    QVERIFY(Typed(e, Qt::Key_Backspace, "\b"));
    QVERIFY(Typed(e, Qt::Key_Escape, "\x1b"));
    QVERIFY(Typed(e, Qt::Key_Delete, "\x7f"));
    QVERIFY(Typed(e, Qt::Key_Return, "\r"));
    QVERIFY(Typed(e, Qt::Key_Right, ""));
    QVERIFY(Typed(e, Qt::Key_V, "\x16", Qt::ControlModifier));
    QVERIFY(Typed(e, Qt::Key_0, "0"));
    QVERIFY(!Typed(e, Qt::Key_Minus, "-"));
    QVERIFY(!Typed(e, Qt::Key_Space, " "));
    QVERIFY(!Typed(e, Qt::Key_unknown, QString(QChar(0x0663))));  // another script's digit
    QVERIFY(!Typed(e, Qt::Key_A, "A", Qt::ShiftModifier));
  }

  void spinsStepFromTheTypedNumberWithinTheRange() {
    ParamGlob.kappa = 9;
    TFormParam f;
    f.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f));
    f.UpDownKappa->UpButton->click();
    QCOMPARE(f.Edit_kappa->text(), QString("10"));
    f.UpDownKappa->UpButton->click();  // no wrapping
    QCOMPARE(f.UpDownKappa->Position(), 10);
    f.Edit_kappa->setText("3");
    f.UpDownKappa->DownButton->click();
    QCOMPARE(f.Edit_kappa->text(), QString("2"));
    f.Edit_kappa->setFocus();
    QTest::keyClick(f.Edit_kappa, Qt::Key_Up);
    QCOMPARE(f.Edit_kappa->text(), QString("3"));
    f.Edit_kappa->setText("x");  // pasted text: the position stays
    f.UpDownKappa->UpButton->click();
    QCOMPARE(f.Edit_kappa->text(), QString("4"));
  }

  void enablingRulesFollowTheClicks() {
    ParamGlob.tolerance_automatique = false;
    ParamGlob.Fits = false;
    ParamGlob.Bitmap = true;
    TFormParam f;
    QVERIFY(f.Edit_Tolerance->isEnabled() && f.Label4->isEnabled());
    QVERIFY(!f.BtnParamFits->isEnabled());
    f.cd_tolerance_auto->click();
    QVERIFY(!f.Edit_Tolerance->isEnabled() && !f.Label4->isEnabled());
    QVERIFY(f.UpDownTolerance->isEnabled());
    f.cd_tolerance_auto->click();
    QVERIFY(f.Edit_Tolerance->isEnabled() && f.Label4->isEnabled());
    f.Radio_FITS->click();
    QVERIFY(f.BtnParamFits->isEnabled());
    f.Radio_BMP->click();
    QVERIFY(!f.BtnParamFits->isEnabled());
  }

  void okWritesParamSaisieOnly() {
    ParamSaisie.barre_visible = true;
    ParamSaisie.barre_texte = false;
    TFormParam f;
    f.EditBordure->setText("25");
    f.Edit_Tolerance->setText("300");  // not within 0..255: the spin's position stays
    f.Edit_kappa->setText("");         // empty: likewise
    f.cd_tolerance_auto->click();
    f.cdauto_rapport->click();
    f.SpinMemoire->setValue(-5);  // below the lowest position: automatic
    f.Radio_CalculSimple->click();
    f.CheckBox_kappamoyenne->click();
    f.CheckBox_texte_compositage->click();
    f.rep_sauve->setText("  typed dir");
    f.CheckBox_Numerotation->click();
    f.Radio_BMP->click();
    f.BtOk->click();
    QCOMPARE(f.result(), int(QDialog::Accepted));
    TParamglob expected = Sample();
    expected.bordure = 25;
    expected.tolerance = 42;
    expected.kappa = 4;
    expected.tolerance_automatique = false;
    expected.Rapport = true;
    expected.memoire_copies_mo = kMemoireAuto;
    expected.calcul_simple = true;
    expected.calcul_complexe = false;
    expected.rejet_kappa = false;
    expected.texte_avec_compositage = false;
    expected.repertoire = "  typed dir";  // as typed
    expected.numerotation_zero = true;
    expected.Bitmap = true;
    expected.Fits = false;
    // The tool bar settings are not the dialog's: left as they were.
    expected.barre_visible = true;
    expected.barre_texte = false;
    QVERIFY(ParamSaisie == expected);
    QVERIFY(ParamGlob == Sample());
  }

  void cancelWritesNothing() {
    const TParamglob before = ParamSaisie;
    TFormParam f;
    f.EditBordure->setText("99");
    f.Radio_BMP->click();
    f.rep_sauve->setText("/elsewhere");
    f.BtCancel->click();
    QCOMPARE(f.result(), int(QDialog::Rejected));
    QVERIFY(ParamSaisie == before);
    QVERIFY(ParamGlob == Sample());
  }

  void browseReplacesTheDirectoryOnlyWhenConfirmed() {
    TFormParam f;
    QString start;
    f.BrowseDirectory = [&](const QString& s) {
      start = s;
      return QString("/mnt/astro");
    };
    f.BitBtn1->click();
    QCOMPARE(start, QString("/data/saves/"));
    QCOMPARE(f.rep_sauve->text(), QString("/mnt/astro"));
    f.BrowseDirectory = [](const QString&) { return QString(); };
    f.BitBtn1->click();
    QCOMPARE(f.rep_sauve->text(), QString("/mnt/astro"));
  }

  void fitsParametersReturnOnlyOnOk() {
    TFormParam f;
    // Cancelled: the dialog's copy keeps its values.
    WhenFitsDialogShows([](TFormParamFits* d) {
      d->Edit_Objet->setText("Saturn");
      d->Radio_8bits->click();
      d->BtnAnnuler->click();
    });
    f.BtnParamFits->click();
    QVERIFY(f.FitsParams == ParamGlob.FITS);
    QVERIFY(ParamFits == ParamGlob.FITS);  // the dialog was given the copy
    // Confirmed: taken back.
    WhenFitsDialogShows([](TFormParamFits* d) {
      QCOMPARE(d->Edit_Objet->text(), QString("Jupiter"));
      d->Edit_Objet->setText("Mars");
      d->BtnOK->click();
    });
    f.BtnParamFits->click();
    QCOMPARE(f.FitsParams.Objet, std::string("Mars"));
    f.BtOk->click();
    QCOMPARE(ParamSaisie.FITS.Objet, std::string("Mars"));
    QCOMPARE(ParamGlob.FITS.Objet, std::string("Jupiter"));
  }

  void fitsDialogEditsParamFits() {
    ParamFits = {true, true, true, true, "M 42", "Lunette", "QuickCam", "Obs", std::string(5000, 'c')};
    {
      TFormParamFits d;
      QCOMPARE(d.windowTitle(), QString("Parameters for saving FITS"));
      QCOMPARE(d.PageControl1->tabText(0), QString("Type of saving"));
      QCOMPARE(d.PageControl1->tabText(1), QString("Default description"));
      QCOMPARE(d.GroupFormat->title(), QString("Type de format"));
      QCOMPARE(d.GroupColor->title(), QString("Color conversion"));
      QVERIFY(d.Radio_16bits->isChecked() && !d.Radio_8bits->isChecked());
      QVERIFY(d.Radio_SepRVB->isChecked() && !d.Radio_MoyRVB->isChecked());
      QCOMPARE(d.Edit_Commentaire->text().size(), 5000);  // any length
      d.Radio_8bits->click();
      d.Radio_MoyRVB->click();
      QVERIFY(!d.Radio_16bits->isChecked() && !d.Radio_SepRVB->isChecked());
      d.Edit_telescope->setText("Téléscope");
      d.BtnAnnuler->click();
      QCOMPARE(d.result(), int(QDialog::Rejected));
    }
    QVERIFY(ParamFits.Bits16 && ParamFits.Bits8);  // untouched by Cancel
    TFormParamFits d;
    d.Radio_8bits->click();
    d.Radio_SepRVB->click();
    d.Edit_Objet->setText("Lune");
    d.Edit_telescope->setText("Téléscope");
    d.Edit_instrument->setText("");
    d.Edit_observateur->setText("Ann");
    d.Edit_Commentaire->setText("c");
    d.BtnOK->click();
    QCOMPARE(d.result(), int(QDialog::Accepted));
    QVERIFY((ParamFits == TParamFITS{true, false, false, true, "Lune", "Téléscope", "", "Ann", "c"}));
  }
};

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
