// SPDX-License-Identifier: GPL-3.0-or-later
// TMainForm: the program's main window. Its state and rules live in
// TMainController (control/MainController.h, with the guide to adding a
// command); this class builds the widgets, maps their events to the
// controller and shows what the controller says (TMainView).
//
// The window's code is split by subject:
//   MainForm.cpp          creation, layout, closing, window events, the view side
//   MainFormActions.cpp   the command table, menus, tool bar, applying the state,
//                         tool bar, settings and help commands
//   MainFormSequence.cpp  the Open command, the sample video
//   MainFormKelvaron.cpp  BMP and Kelvaron lists (menu and command line), image preview
//   MainFormDrop.cpp      files given on the command line or dropped on the window
//   MainFormSaving.cpp    the Batch saving and FITS parameters dialogs of saving
//
// Widgets are private; tests find them by object name (the names below are
// those of the command table) and every control has an accessible name.
#pragma once

#include <QMainWindow>
#include <QPoint>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QStringList>

#include <array>
#include <functional>
#include <string>

#include "control/MainController.h"

class QAction;
class QCheckBox;
class QDragEnterEvent;
class QDropEvent;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QMenu;
class QScrollArea;
class QSlider;
class QRubberBand;
class QToolBar;
class QToolButton;
class TFastIMG;
class TParamUpDown;
class TAboutBox;
class THelpWindow;
class TParamKappa;
class TShowBitmap;

// The application title ("Stellon v0.49c (US)"), used in window captions. Kept
// apart from Qt's application display name, which Qt would append to every
// window title.
QString ApplicationTitle();
void SetApplicationTitle(const QString& title);

class TMainForm : public QMainWindow, private TMainView {
  Q_OBJECT
 public:
  explicit TMainForm(QWidget* parent = nullptr);
  ~TMainForm() override;

  TMainController& Controller() { return Controller_; }

  // Opens `path` as a video, as the Open command does after its dialog.
  // False when it could not be opened (the message has been shown).
  bool OpenFile(const QString& path);
  // Parameters of the command line kept for the Kelvaron list reader.
  QStringList CommandLineParams;
  void OpenFromCommandLine();
  // The openings at start: the video or Kelvaron list named in `params`, or
  // else the sample video. The splash (may be null) lets them show their
  // messages: it leaves the top when they start and closes for good before a
  // message box shows, so it never outlives the box; otherwise its timer
  // closes it.
  void OpenAtStart(const QStringList& params, TAboutBox* splash);

  // File dialog of the open commands: (caption, filter) -> chosen path, empty
  // when cancelled. Unset, ChooseFileToOpen (app/ui/OpenDialog.h) asks; tests set it.
  std::function<QString(const QString& caption, const QString& filter)> ChooseOpenFile;
  // Shows the kappa dialog modally: true on OK. Unset: exec(); tests set it.
  std::function<bool(TParamKappa& dialog)> AskKappa;
  // Shows the result window modally. Unset: exec(); tests set it.
  std::function<void(TShowBitmap& window)> ShowResult;

  // Where the generated sample video lives, written on first use.
  static QString SampleVideoPath();
  // Writes the sample video when missing, in the cache folder or else the
  // temporary folder; its path, or empty with the reason in `why`.
  static QString EnsureSampleVideo(QString* why = nullptr);
  // A file from the command line or dropped on the window (MainFormDrop.cpp):
  // a .lst as a Kelvaron list, anything else as a video.
  void OpenExternalFile(const QString& path);

 protected:
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  // Mouse on the picture: drawing and moving frames (forwarded to the controller).
  bool PictureMouse(QEvent* event);

 private:
  // --- TMainView ------------------------------------------------------------------
  void SequenceChanged() override;
  void TickChanged(int32_t index) override;
  void PictureChanged() override;
  void StateChanged() override;
  void RunJobWithProgress(const TJobRequest& request) override;
  void ShowProblemReport(const std::string& caption, const std::string& text,
                         const std::vector<TProblemRow>& rows) override;
  void ShowCombinationResult(TCombineResult& result) override;  // MainFormCombine.cpp
  void Action_kappaExecute();                                   // the kappa dialog, then the job
  void Action_enregistrer_lotExecute();                         // the Batch saving dialog, then the job
  void ConnectSaving();                                         // the beep and the FITS dialog of batches

  // --- Building ---------------------------------------------------------------------
  void FormCreate();
  void FormClose();
  void BuildLayout();
  void CreateActions();
  // "Tick the best images ...": asks the percentage, then the controller ticks.
  void Action_meilleures_imagesExecute();
  int BestPercent_ = 25;  // the last percentage chosen
  void BuildMenus();
  void BuildToolBar();
  void ConnectControls();
  QAction* MakeAction(QAction*& slot, TCommand command, const char* name, const char* category,
                      const QString& caption, const QString& hint, const QString& themeIcon = QString(),
                      int standardIcon = -1);
  // A menu entry with its own caption that follows and triggers `action`.
  QAction* MenuItemFor(QMenu* menu, QAction* action, const QString& caption);
  QToolButton* MakeToolButton(const char* name, const QString& caption, const QString& hint, QAction* action);
  // Connects the command's action to `work`, run under the controller's guard;
  // only wired commands are ever enabled.
  void Wire(TCommand command, std::function<void()> work);
  void ApplyToolBarText(bool withText);
  void ApplyView(const TMainWindowState& state);

  // --- Commands the window does itself -----------------------------------------------
  void action_ouvrirExecute();
  void Action_ParametreExecute();
  void Action_helpwebsiteExecute();
  void Action_aboutExecute();
  void Quitter1Click();
  void mnu_barre_visibleClick();
  void mnu_texte_iconeClick();
  // --- Lists and preview (MainFormKelvaron.cpp) ---------------------------------------
  void Action_Ouvrir_BmpExecute();
  void Action_ouvrir_kelvaronExecute();
  void Action_Browse_ImageExecute();

  TMainController Controller_;
  QPointer<THelpWindow> HelpWindow_;  // the guide, made on first use
  QString AppTitle;
  std::array<QAction*, kCommandCount> Commands_{};
  QSet<TCommand> Wired_;
  bool FillingList_ = false;  // the image list is being filled or ticked by the program
  bool Closed_ = false;       // FormClose has run
  std::string JobCaption_;    // caption of the running job, for its failure message

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
  QAction* Action_meilleures_images = nullptr;  // "Tick the best images ..."
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
  QToolButton* BtMoyenne = nullptr;
  QToolButton* BtKappa = nullptr;
  QListWidget* CheckListBox1 = nullptr;
  QScrollArea* ScrollBox1 = nullptr;
  TFastIMG* VideoPanel = nullptr;
  QRubberBand* RubberBand = nullptr;
  QPoint DragOrigin;
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
  QLabel* StatusQuality = nullptr; // "Quality 0.83, 12th of 500" of the current image
};
