// TMainForm: the program's main window. It owns the one open sequence (a
// TSequence: the records, the current image as fetched, the frame state), shows
// the current image in VideoPanel, lists the images in CheckListBox1 where the
// user ticks them, and carries every command.
//
// The window's code is split by subject:
//   MainForm.cpp          creation, layout, closing, window events
//   MainFormActions.cpp   the command table, menus, tool bar, window-state refresh,
//                         view, tool bar, settings and help commands
//   MainFormSequence.cpp  opening and closing, showing the current image, navigation,
//                         ticking, the command guard, the sample video
//   MainFormFraming.cpp   the frame commands and controls
//   MainFormKelvaron.cpp  Kelvaron lists named on the command line
//   MainFormSaving.cpp    single and batch saving
//
// Indices are 0-based inside the program and shown from 1.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>
#include <string>

#include "app/ui/ParamUpDown.h"
#include "app/Saving.h"
#include "sequence/Sequence.h"

class QAction;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QMenu;
class QScrollArea;
class QSlider;
class QToolBar;
class QToolButton;
class TFastIMG;

// The application title ("Stellon v0.49c (US)"), used in window captions. Kept
// apart from Qt's application display name, which Qt would append to every
// window title.
QString ApplicationTitle();
void SetApplicationTitle(const QString& title);

class TMainForm : public QMainWindow {
  Q_OBJECT
 public:
  explicit TMainForm(QWidget* parent = nullptr);
  ~TMainForm() override;

  // --- The open sequence and the window's own working values -------------------
  TSequence Sequence;
  QString AppTitle;             // taken at creation; used in captions
  std::string SaveDirectory;    // directory of single-image saves
  std::string SaveBaseName;     // base name of single-image saves
  int32_t SaveNumber = 1;       // number of the next saved file (single or batch), shown in label_sequence
  TLotParams LotParams;         // the choices of the last confirmed Batch saving dialog
  bool Refreshing = false;      // set while RefreshWindowState runs
  // Parameters of the command line kept for the Kelvaron list reader.
  QStringList CommandLineParams;

  // --- Commands (objectName = the action's name; property "Category") ---------
  QAction* action_ouvrir = nullptr;
  QAction* Action_Ouvrir_Bmp = nullptr;
  QAction* Action_ouvrir_kelvaron = nullptr;
  QAction* Action_fermer = nullptr;
  QAction* Action_Browse_Image = nullptr;
  QAction* Action_enregistrer = nullptr;
  QAction* Action_enregistrer_lot = nullptr;
  QAction* Action_Cadre = nullptr;
  QAction* Action_cadre_automatique = nullptr;
  QAction* Action_suppression_cadre = nullptr;
  QAction* Action_Supprimer_ts_cadre = nullptr;
  QAction* Action_Decocher_images = nullptr;
  QAction* Action_Copier = nullptr;
  QAction* Action_Image_Normale = nullptr;
  QAction* Action_Image_Ajustee = nullptr;
  QAction* Action_image_smFast = nullptr;
  QAction* Action_image_smBilinear = nullptr;
  QAction* Action_Parametre = nullptr;
  QAction* Action_Moyenne = nullptr;
  QAction* Action_kappa = nullptr;
  QAction* Action_helpindex = nullptr;
  QAction* Action_helpfind = nullptr;
  QAction* Action_helponhelp = nullptr;
  QAction* Action_helpwebsite = nullptr;
  QAction* Action_about = nullptr;
  QAction* Quitter1 = nullptr;
  QAction* mnu_barre_visible = nullptr;
  QAction* mnu_texte_icone = nullptr;

  // --- Menus ---------------------------------------------------------------------
  QMenu* MenuFile = nullptr;
  QMenu* MenuEdition = nullptr;
  QMenu* MenuView = nullptr;
  QMenu* MenuImage = nullptr;
  QMenu* MenuResizing = nullptr;
  QMenu* MenuOptions = nullptr;
  QMenu* MenuToolBar = nullptr;
  QMenu* MenuProcessings = nullptr;
  QMenu* MenuHelp = nullptr;
  QMenu* Popup_VideoPanel = nullptr;
  QMenu* PopupResizing = nullptr;

  // --- Controls ------------------------------------------------------------------
  QToolBar* ToolBar1 = nullptr;
  QToolButton* BtOuvrir = nullptr;
  QToolButton* BtOuvrirBmp = nullptr;
  QToolButton* BtParcourirBMP = nullptr;
  QToolButton* BtCopier = nullptr;
  QToolButton* BtPrec = nullptr;
  QToolButton* BtSuiv = nullptr;
  QToolButton* BtEnregistrer = nullptr;
  QToolButton* BtEnregistrerLot = nullptr;
  QToolButton* BtCadre = nullptr;
  QToolButton* BtCadreAll = nullptr;
  QToolButton* BtNoCadre = nullptr;
  QToolButton* BtDisableCheck = nullptr;
  QListWidget* CheckListBox1 = nullptr;
  QScrollArea* ScrollBox1 = nullptr;
  TFastIMG* VideoPanel = nullptr;
  QSlider* TrackBar1 = nullptr;
  QLabel* label_sequence = nullptr;
  QGroupBox* GroupCadre = nullptr;
  QCheckBox* Checkcadre = nullptr;
  QLabel* poscadre = nullptr;
  QLabel* LabTolerance = nullptr;
  QLineEdit* EditTolerance1 = nullptr;
  TParamUpDown* UpDown1 = nullptr;
  QLabel* StatusPanel1 = nullptr;  // long hint of the control under the mouse
  QLabel* StatusPanel2 = nullptr;  // the position line

  // --- Sequence (MainFormSequence.cpp) -------------------------------------------
  void action_ouvrirExecute();
  // Opens `path` as the AVI sequence (the Open command after its dialog).
  // False when it is not a valid AVI; the message has been shown.
  bool OpenAviFile(const QString& path);
  void Action_fermerExecute();
  void ShowCurrentImage();
  void DrawCurrentFrame();
  // Sets up the track bar and the check list from the sequence's records.
  void FillImageList();
  // Ticks or unticks image `index`: its record and its line, without running
  // the tick handler.
  void SetImageChecked(int index, bool checked);
  void BtPrecClick();
  void BtSuivClick();
  void trackbar1Change();
  void CheckListBox1Click();
  void CheckListBox1ClickCheck(QListWidgetItem* item);
  void CheckListBox1KeyPress(QChar key);
  void Action_Decocher_imagesExecute();
  // Copies the current image as fetched over the displayed picture (which
  // erases a frame outline drawn before). Nothing when there is no image.
  void RestoreDisplayedImage();

  // --- Window state, view, tool bar, settings, help (MainFormActions.cpp) -------
  void RefreshWindowState();
  void Action_Image_NormaleExecute();
  void Action_Image_AjusteeExecute();
  void Action_image_smFastExecute();
  void Action_image_smBilinearExecute();
  void mnu_barre_visibleClick();
  void mnu_texte_iconeClick();
  void Action_ParametreExecute();
  void Action_helpwebsiteExecute();
  void Action_aboutExecute();
  void Quitter1Click();
  // File dialog of the Open command: (caption, filter) -> chosen path, empty
  // when cancelled. Unset, the desktop's open dialog is used; tests set it.
  std::function<QString(const QString& caption, const QString& filter)> ChooseOpenFile;
  // Opens the maker's web site; tests replace it to see the address.
  std::function<void(const QString& url)> OpenUrl;
  static QString WebSiteAddress();

  // --- Framing (MainFormFraming.cpp) ------------------------------------------------
  void Action_CadreExecute();
  void Action_suppression_cadreExecute();
  void Action_Supprimer_ts_cadreExecute();
  void Action_cadre_automatiqueExecute();
  void CheckcadreClick();
  void EditTolerance1Change();
  void UpDown1Click();
  void AutoFrameAll();
  // Rebuilds every frame with the margin of ParamSaisie; always true.
  bool RebuildFrameMargins();

  // --- Saving (MainFormSaving.cpp) ---------------------------------------------------
  void Action_enregistrerExecute();
  void Action_enregistrer_lotExecute();
  // The batch job (message 1027), run inside the progress window.
  void BatchSave();
  // The system's default beep after a save; tests replace it to count.
  std::function<void()> Beep;

  // --- Command line (MainFormKelvaron.cpp) ------------------------------------------
  void OpenFromCommandLine();

  // --- Commands whose work is not wired yet stay disabled ---------------------------
  // Connects `action` to `handler`, run under the command guard, and counts it
  // as available from then on.
  void Wire(QAction* action, void (TMainForm::*handler)());
  bool IsWired(const QAction* action) const { return !Unwired_.contains(action); }
  // Enables `action` when `enabled` and it has a handler.
  void EnableCommand(QAction* action, bool enabled);

  // Runs `command` so that no error escapes it: a failure is shown with the
  // file concerned and the reason, CurrentIndex is restored and the window
  // state refreshed.
  void RunCommand(const std::function<void()>& command);

  // Where the generated sample video lives, written on first use.
  static QString SampleVideoPath();
  // Writes the sample video when missing; its path, or empty when it cannot be written.
  static QString EnsureSampleVideo();

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void FormCreate();
  void FormClose();
  void BuildLayout();
  void CreateActions();
  void BuildMenus();
  void BuildToolBar();
  void ConnectControls();
  QAction* MakeAction(QAction*& slot, const char* name, const char* category, const QString& caption,
                      const QString& hint, const QString& themeIcon = QString(), int standardIcon = -1);
  // A menu entry with its own caption that follows and triggers `action`.
  QAction* MenuItemFor(QMenu* menu, QAction* action, const QString& caption);
  QToolButton* MakeToolButton(const char* name, const QString& caption, const QString& hint, QAction* action);
  void ApplyToolBarText(bool withText);
  void SetResizingEnabled(bool enabled);
  void ShowFailure(const std::string& path, const std::string& reason);

  QSet<const QAction*> Unwired_;
  bool FillingList_ = false;  // the check list is being filled or ticked by the program
  bool Closed_ = false;       // FormClose has run
};
