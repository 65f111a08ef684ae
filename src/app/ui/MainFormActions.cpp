// SPDX-License-Identifier: GPL-3.0-or-later
// Main window: the command table, menus and tool bar, the refresh of the
// window state, and the view, tool bar, settings and help commands.
#include <QVBoxLayout>
#include <QSpinBox>
#include <QPushButton>
#include <QDialogButtonBox>
#include <QDialog>
#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QFile>
#include <QTimer>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QScrollArea>
#include <QSlider>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>

#include "app/Guide.h"
#include "app/ParamGlob.h"
#include "platform/Messages.h"
#include "app/ui/AboutBox.h"
#include "app/ui/FormParam.h"
#include "app/ui/HelpWindow.h"
#include "app/ui/ParamUpDown.h"
#include "app/ui/MainForm.h"
#include "image/ui/FastIMG.h"

namespace {

// "short|long": the short part is the tool tip, the long part the status tip.
// A hint without a bar serves as both.
QString ShortHint(const QString& hint) { return hint.section(QLatin1Char('|'), 0, 0); }
QString LongHint(const QString& hint) {
  const int bar = hint.indexOf(QLatin1Char('|'));
  return bar < 0 ? hint : hint.mid(bar + 1);
}

// Small drawn icons for the frame commands, which no icon theme has.
enum class TDrawnIcon { Frame, AutoFrame, NoFrame, Uncheck, Copy };

QIcon DrawnIcon(TDrawnIcon kind) {
  QIcon icon;
  for (int size : {16, 24, 32}) {
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size / 16.0;
    p.scale(s, s);
    const QColor ink(40, 60, 90), planet(214, 160, 90), red(200, 40, 40);
    auto drawPlanet = [&] {
      p.setPen(Qt::NoPen);
      p.setBrush(planet);
      p.drawEllipse(QPointF(8, 8), 3.2, 3.2);
    };
    switch (kind) {
      case TDrawnIcon::Frame:
        drawPlanet();
        p.setPen(QPen(ink, 1.4));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(2.5, 2.5, 11, 11));
        break;
      case TDrawnIcon::AutoFrame:
        p.setPen(QPen(ink, 1.1));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(4.5, 4.5, 10, 10));
        p.drawRect(QRectF(1.5, 1.5, 10, 10));
        p.setPen(Qt::NoPen);
        p.setBrush(planet);
        p.drawEllipse(QPointF(6.5, 6.5), 2.6, 2.6);
        break;
      case TDrawnIcon::NoFrame:
        drawPlanet();
        p.setPen(QPen(ink, 1.2, Qt::DotLine));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(2.5, 2.5, 11, 11));
        p.setPen(QPen(red, 1.8, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(3, 3), QPointF(13, 13));
        p.drawLine(QPointF(13, 3), QPointF(3, 13));
        break;
      case TDrawnIcon::Uncheck:
        p.setPen(QPen(ink, 1.2));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(2.5, 2.5, 11, 11));
        p.setPen(QPen(QColor(150, 150, 150), 1.6, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(5, 8), QPointF(7.5, 10.5));
        p.drawLine(QPointF(7.5, 10.5), QPointF(11.5, 5));
        break;
      case TDrawnIcon::Copy:
        p.setPen(QPen(ink, 1.1));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(1.5, 1.5, 8, 10));
        p.drawRect(QRectF(5.5, 4.5, 8, 10));
        break;
    }
    p.end();
    icon.addPixmap(pm);
  }
  return icon;
}

}  // namespace

QAction* TMainForm::MakeAction(QAction*& slot, TCommand command, const char* name, const char* category,
                               const QString& caption, const QString& hint, const QString& themeIcon,
                               int standardIcon) {
  slot = new QAction(caption, this);
  slot->setObjectName(QString::fromLatin1(name));
  slot->setProperty("Category", QString::fromLatin1(category));
  slot->setProperty("Hint", hint);
  if (!hint.isEmpty()) {
    slot->setToolTip(ShortHint(hint));
    slot->setStatusTip(LongHint(hint));
  }
  QIcon fallback;
  if (standardIcon >= 0) fallback = style()->standardIcon(QStyle::StandardPixmap(standardIcon));
  if (!themeIcon.isEmpty()) slot->setIcon(QIcon::fromTheme(themeIcon, fallback));
  else if (!fallback.isNull()) slot->setIcon(fallback);
  Commands_[size_t(command)] = slot;
  slot->setEnabled(false);
  return slot;
}

void TMainForm::Wire(TCommand command, std::function<void()> work) {
  Wired_.insert(command);
  connect(Commands_[size_t(command)], &QAction::triggered, this,
          [this, work = std::move(work)] { Controller_.Run(work); });
}

void TMainForm::CreateActions() {
  MakeAction(action_ouvrir, TCommand::Open, "action_ouvrir", "File", "&Open", "Open|Open a AVI file", "document-open",
             QStyle::SP_DialogOpenButton);
  MakeAction(Action_Ouvrir_Bmp, TCommand::OpenBmp, "Action_Ouvrir_Bmp", "File", "Open/Edit a BMP file list ...",
             "Create a list with BMP files", "folder-pictures", QStyle::SP_DirOpenIcon);
  MakeAction(Action_ouvrir_kelvaron, TCommand::OpenKelvaron, "Action_ouvrir_kelvaron", "File", "Open a Kelvaron file list ...",
             "Open a file list made with Kelvaron", "text-x-generic", QStyle::SP_FileIcon);
  MakeAction(Action_fermer, TCommand::Close, "Action_fermer", "File", "Close", "Close|Close current AVI file", "document-close",
             QStyle::SP_DialogCloseButton);
  MakeAction(Action_Browse_Image, TCommand::BrowseImages, "Action_Browse_Image", "File", "Images preview", "View BMP images in a directory",
             "image-x-generic", QStyle::SP_FileDialogContentsView);
  MakeAction(Action_enregistrer, TCommand::Save, "Action_enregistrer", "File", "Save", "Save|Save previewed image", "document-save",
             QStyle::SP_DialogSaveButton);
  MakeAction(Action_enregistrer_lot, TCommand::BatchSave, "Action_enregistrer_lot", "File", "Batch saving",
             "Batch saving|Batch saving of images", "document-save-as", QStyle::SP_DriveHDIcon);
  MakeAction(Action_Cadre, TCommand::Frame, "Action_Cadre", "Edition", "&Frame", "Frame|Create a frame for the image");
  Action_Cadre->setIcon(DrawnIcon(TDrawnIcon::Frame));
  MakeAction(Action_cadre_automatique, TCommand::AutoFrame, "Action_cadre_automatique", "Edition", "Auto framing",
             "Auto Framing|Auto framing for all images of the file AVI");
  Action_cadre_automatique->setIcon(DrawnIcon(TDrawnIcon::AutoFrame));
  MakeAction(Action_suppression_cadre, TCommand::SuppressFrame, "Action_suppression_cadre", "Edition", "Suppress frame",
             "Suppress frame for current image");
  MakeAction(Action_Supprimer_ts_cadre, TCommand::SuppressAllFrames, "Action_Supprimer_ts_cadre", "Edition", "Suppress all frames",
             "Suppress all frames");
  Action_Supprimer_ts_cadre->setIcon(DrawnIcon(TDrawnIcon::NoFrame));
  MakeAction(Action_Decocher_images, TCommand::UncheckAll, "Action_Decocher_images", "Edition", "Uncheck all images",
             QString::fromUtf8("Décoche toutes les images de la liste"));
  Action_Decocher_images->setIcon(DrawnIcon(TDrawnIcon::Uncheck));
  MakeAction(Action_meilleures_images, TCommand::TickBest, "Action_meilleures_images", "Edition",
             "Tick the best images ...", "Tick the sharpest framed images, untick the others");
  MakeAction(Action_Copier, TCommand::Copy, "Action_Copier", "Edition", "Copy", "Copy|Copy image into clipboard", "edit-copy");
  if (Action_Copier->icon().isNull()) Action_Copier->setIcon(DrawnIcon(TDrawnIcon::Copy));
  MakeAction(Action_Image_Normale, TCommand::NormalSize, "Action_Image_Normale", "Edition", "Normal size",
             "Viewing current image at real size", "zoom-original");
  MakeAction(Action_Image_Ajustee, TCommand::AdjustedSize, "Action_Image_Ajustee", "Edition", "Adjusted size",
             "Adjuste current image to viewing zone", "zoom-fit-best");
  MakeAction(Action_image_smFast, TCommand::ResizeFast, "Action_image_smFast", "Edition", "Quick", "Fast sizing for viewing image");
  MakeAction(Action_image_smBilinear, TCommand::ResizeBilinear, "Action_image_smBilinear", "Edition", "bi-linear interpolation",
             "Image viewing by bi-linear interpolation (best quality)");
  for (QAction* a : {Action_Image_Normale, Action_Image_Ajustee, Action_image_smFast, Action_image_smBilinear})
    a->setCheckable(true);
  MakeAction(Action_Parametre, TCommand::Parameters, "Action_Parametre", "Options", "Parameters ...", QString(), "preferences-system",
             QStyle::SP_FileDialogDetailedView);
  MakeAction(Action_Moyenne, TCommand::Mean, "Action_Moyenne", "Processing", "Mean combining", "Combining selected image by mean",
             "view-statistics", QStyle::SP_FileDialogListView);
  MakeAction(Action_kappa, TCommand::Kappa, "Action_kappa", "Processing", "Kappa-Sigma combinaison ...",
             "Combining selected image by Kappa-Sigma", "view-filter", QStyle::SP_FileDialogContentsView);
  MakeAction(Action_helpindex, TCommand::HelpIndex, "Action_helpindex", "Help", "&Index", "Help index", "help-contents");
  MakeAction(Action_helpfind, TCommand::HelpFind, "Action_helpfind", "Help", "&Find ...", "Search in help file ...", "edit-find");
  MakeAction(Action_helponhelp, TCommand::HelpOnHelp, "Action_helponhelp", "Help", "&Using help", QString());
  MakeAction(Action_helpwebsite, TCommand::WebSite, "Action_helpwebsite", "Help", "STELLON WEB site", "Connect to STELLON web site",
             "help-browser", QStyle::SP_DialogHelpButton);
  MakeAction(Action_about, TCommand::About, "Action_about", "Help", "&About ...", QString(), "help-about",
             QStyle::SP_MessageBoxInformation);

  Quitter1 = new QAction(QStringLiteral("&Quit"), this);
  Quitter1->setObjectName(QStringLiteral("Quitter1"));
  Quitter1->setIcon(QIcon::fromTheme(QStringLiteral("application-exit")));
  Quitter1->setShortcut(QKeySequence::Quit);
  connect(Quitter1, &QAction::triggered, this, &TMainForm::Quitter1Click);
  mnu_barre_visible = new QAction(QStringLiteral("Visible"), this);
  mnu_barre_visible->setObjectName(QStringLiteral("mnu_barre_visible"));
  mnu_barre_visible->setCheckable(true);
  mnu_barre_visible->setChecked(true);
  connect(mnu_barre_visible, &QAction::triggered, this, &TMainForm::mnu_barre_visibleClick);
  mnu_texte_icone = new QAction(QStringLiteral("text && Icon"), this);
  mnu_texte_icone->setObjectName(QStringLiteral("mnu_texte_icone"));
  mnu_texte_icone->setCheckable(true);
  connect(mnu_texte_icone, &QAction::triggered, this, &TMainForm::mnu_texte_iconeClick);

  action_ouvrir->setShortcut(QKeySequence::Open);

  TMainController& c = Controller_;
  Wire(TCommand::Open, [this] { action_ouvrirExecute(); });
  Wire(TCommand::Close, [&c] { c.CloseSequence(); });
  Wire(TCommand::OpenBmp, [this] { Action_Ouvrir_BmpExecute(); });
  Wire(TCommand::OpenKelvaron, [this] { Action_ouvrir_kelvaronExecute(); });
  Wire(TCommand::BrowseImages, [this] { Action_Browse_ImageExecute(); });
  ConnectSaving();
  Wire(TCommand::Save, [&c] { c.Save(); });
  Wire(TCommand::BatchSave, [this] { Action_enregistrer_lotExecute(); });
  Wire(TCommand::Frame, [&c] { c.Frame(); });
  Wire(TCommand::AutoFrame, [&c] { c.StartAutoFraming(); });
  Wire(TCommand::SuppressFrame, [&c] { c.SuppressFrame(); });
  Wire(TCommand::SuppressAllFrames, [&c] { c.SuppressAllFrames(); });
  Wire(TCommand::UncheckAll, [&c] { c.UncheckAll(); });
  Wire(TCommand::TickBest, [this] { Action_meilleures_imagesExecute(); });
  Wire(TCommand::NormalSize, [&c] { c.NormalSize(); });
  Wire(TCommand::AdjustedSize, [&c] { c.AdjustedSize(); });
  Wire(TCommand::ResizeFast, [&c] { c.SetBilinear(false); });
  Wire(TCommand::ResizeBilinear, [&c] { c.SetBilinear(true); });
  Wire(TCommand::Parameters, [this] { Action_ParametreExecute(); });
  Wire(TCommand::Mean, [this] { Controller_.StartMean(); });
  Wire(TCommand::Kappa, [this] { Action_kappaExecute(); });
  Wire(TCommand::WebSite, [this] { Action_helpwebsiteExecute(); });
  Wire(TCommand::About, [this] { Action_aboutExecute(); });
}

QAction* TMainForm::MenuItemFor(QMenu* menu, QAction* action, const QString& caption) {
  auto* item = new QAction(caption, menu);
  item->setObjectName(action->objectName() + QStringLiteral("Item"));
  item->setIcon(action->icon());
  item->setStatusTip(action->statusTip());
  // The command itself sits in no menu or bar, so its shortcut lives here.
  item->setShortcut(action->shortcut());
  auto follow = [item, action] { item->setEnabled(action->isEnabled()); };
  follow();
  connect(action, &QAction::changed, item, follow);
  connect(item, &QAction::triggered, action, &QAction::trigger);
  menu->addAction(item);
  return item;
}

void TMainForm::BuildMenus() {
  QMenuBar* bar = menuBar();
  MenuFile = bar->addMenu(QStringLiteral("&File"));
  MenuItemFor(MenuFile, action_ouvrir, QStringLiteral("&Open ..."));
  MenuFile->addAction(Action_Ouvrir_Bmp);
  MenuFile->addAction(Action_ouvrir_kelvaron);
  MenuFile->addAction(Action_fermer);
  MenuFile->addSeparator();
  MenuFile->addAction(Action_Browse_Image);
  MenuFile->addSeparator();
  MenuItemFor(MenuFile, Action_enregistrer, QStringLiteral("Save image"));
  MenuItemFor(MenuFile, Action_enregistrer_lot, QStringLiteral("Batch saving ..."));
  MenuFile->addSeparator();
  MenuFile->addAction(Quitter1);

  MenuEdition = bar->addMenu(QStringLiteral("&Edition"));
  MenuEdition->addAction(Action_Copier);
  MenuEdition->addSeparator();
  // The C key frames the current image from the image list or the picture;
  // the menu shows it where shortcuts are shown.
  QAction* frameItem = MenuItemFor(MenuEdition, Action_Cadre, Action_Cadre->text() + QStringLiteral("\tC"));
  frameItem->setStatusTip(Action_Cadre->statusTip() + QStringLiteral(" (key C)"));
  for (QAction* a : {Action_cadre_automatique, Action_suppression_cadre, Action_Supprimer_ts_cadre,
                     Action_Decocher_images, Action_meilleures_images})
    MenuEdition->addAction(a);

  MenuView = bar->addMenu(QStringLiteral("&View"));
  MenuImage = MenuView->addMenu(QStringLiteral("&Image"));
  MenuImage->addAction(Action_Image_Normale);
  MenuImage->addAction(Action_Image_Ajustee);
  MenuResizing = MenuImage->addMenu(QStringLiteral("Resizing"));
  MenuResizing->addAction(Action_image_smFast);
  MenuResizing->addAction(Action_image_smBilinear);

  MenuOptions = bar->addMenu(QStringLiteral("&Options"));
  MenuOptions->addAction(Action_Parametre);
  MenuToolBar = MenuOptions->addMenu(QStringLiteral("Tool bar"));
  MenuToolBar->addAction(mnu_barre_visible);
  MenuToolBar->addAction(mnu_texte_icone);

  MenuProcessings = bar->addMenu(QStringLiteral("&Processings"));
  MenuProcessings->addAction(Action_Moyenne);
  MenuProcessings->addAction(Action_kappa);

  MenuHelp = bar->addMenu(QStringLiteral("&Help"));
  MenuHelp->addAction(Action_helpindex);
  MenuHelp->addAction(Action_helpfind);
  MenuHelp->addAction(Action_helponhelp);
  MenuHelp->addSeparator();
  MenuHelp->addAction(Action_helpwebsite);
  MenuHelp->addSeparator();
  MenuHelp->addAction(Action_about);

  Popup_VideoPanel = new QMenu(this);
  Popup_VideoPanel->setObjectName(QStringLiteral("Popup_VideoPanel"));
  Popup_VideoPanel->addAction(Action_Image_Normale);
  Popup_VideoPanel->addAction(Action_Image_Ajustee);
  PopupResizing = Popup_VideoPanel->addMenu(QStringLiteral("Resizing"));
  PopupResizing->addAction(Action_image_smFast);
  PopupResizing->addAction(Action_image_smBilinear);
}

QToolButton* TMainForm::MakeToolButton(const char* name, const QString& caption, const QString& hint,
                                       QAction* action) {
  auto* button = new QToolButton(ToolBar1);
  button->setObjectName(QString::fromLatin1(name));
  button->setAccessibleName(caption);
  button->setText(caption);
  button->setToolTip(ShortHint(hint));
  button->setStatusTip(LongHint(hint));
  button->setAutoRaise(true);
  button->setFocusPolicy(Qt::NoFocus);
  button->setToolButtonStyle(ToolBar1->toolButtonStyle());
  button->setIconSize(ToolBar1->iconSize());
  connect(ToolBar1, &QToolBar::toolButtonStyleChanged, button, &QToolButton::setToolButtonStyle);
  if (action) {
    button->setIcon(action->icon());
    auto follow = [button, action] { button->setEnabled(action->isEnabled()); };
    follow();
    connect(action, &QAction::changed, button, follow);
    connect(button, &QToolButton::clicked, action, &QAction::trigger);
  }
  ToolBar1->addWidget(button);
  return button;
}

void TMainForm::BuildToolBar() {
  ToolBar1 = addToolBar(QStringLiteral("Tool bar"));
  ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
  ToolBar1->setMovable(false);
  ToolBar1->setFloatable(false);
  ToolBar1->setIconSize(QSize(24, 24));
  ToolBar1->toggleViewAction()->setVisible(false);
  setContextMenuPolicy(Qt::NoContextMenu);

  BtOuvrir = MakeToolButton("BtOuvrir", QStringLiteral("Open"), action_ouvrir->property("Hint").toString(),
                            action_ouvrir);
  BtOuvrirBmp = MakeToolButton("BtOuvrirBmp", QStringLiteral("Open BMP file"), QStringLiteral("Open BMP files"),
                               Action_Ouvrir_Bmp);
  BtParcourirBMP = MakeToolButton("BtParcourirBMP", QStringLiteral("Browse BMP"),
                                  Action_Browse_Image->property("Hint").toString(), Action_Browse_Image);
  ToolBar1->addSeparator();
  BtCopier = MakeToolButton("BtCopier", QStringLiteral("Copy"), Action_Copier->property("Hint").toString(),
                            Action_Copier);
  ToolBar1->addSeparator();
  BtPrec = MakeToolButton("BtPrec", QStringLiteral("previous"), QStringLiteral("previous|previous image"), nullptr);
  BtPrec->setIcon(QIcon::fromTheme(QStringLiteral("go-previous"), style()->standardIcon(QStyle::SP_ArrowLeft)));
  BtSuiv = MakeToolButton("BtSuiv", QStringLiteral("Next"), QStringLiteral("Next|Next image"), nullptr);
  BtSuiv->setIcon(QIcon::fromTheme(QStringLiteral("go-next"), style()->standardIcon(QStyle::SP_ArrowRight)));
  ToolBar1->addSeparator();
  BtEnregistrer = MakeToolButton("BtEnregistrer", QStringLiteral("Save"),
                                 Action_enregistrer->property("Hint").toString(), Action_enregistrer);
  BtEnregistrerLot = MakeToolButton("BtEnregistrerLot", QStringLiteral("Batch saving"),
                                    Action_enregistrer_lot->property("Hint").toString(), Action_enregistrer_lot);
  ToolBar1->addSeparator();
  BtCadre = MakeToolButton("BtCadre", QStringLiteral("Frame"), Action_Cadre->property("Hint").toString(),
                           Action_Cadre);
  BtCadreAll = MakeToolButton("BtCadreAll", QStringLiteral("Auto framing"),
                              Action_cadre_automatique->property("Hint").toString(), Action_cadre_automatique);
  BtNoCadre = MakeToolButton("BtNoCadre", QStringLiteral("Suppress frames"),
                             Action_Supprimer_ts_cadre->property("Hint").toString(), Action_Supprimer_ts_cadre);
  BtDisableCheck = MakeToolButton("BtDisableCheck", QStringLiteral("Uncheck image"),
                                  Action_Decocher_images->property("Hint").toString(), Action_Decocher_images);
  ToolBar1->addSeparator();
  BtMoyenne = MakeToolButton("BtMoyenne", QStringLiteral("Mean"), Action_Moyenne->property("Hint").toString(),
                             Action_Moyenne);
  BtKappa = MakeToolButton("BtKappa", QStringLiteral("Kappa-Sigma"), Action_kappa->property("Hint").toString(),
                           Action_kappa);
}

// --- Window state ---------------------------------------------------------------

void TMainForm::StateChanged() {
  const TMainWindowState state = Controller_.State();
  const QSignalBlocker blockBox(Checkcadre), blockTrack(TrackBar1);
  FillingList_ = true;
  label_sequence->setText(QString::fromStdString(state.SaveNumberText));
  for (size_t i = 0; i < kCommandCount; ++i)
    if (QAction* action = Commands_[i]) action->setEnabled(state.Enabled[i] && Wired_.contains(TCommand(i)));
  auto enable = [&state](QWidget* w, TCommand c) { w->setEnabled(state.enabled(c)); };
  enable(BtPrec, TCommand::Previous);
  enable(BtSuiv, TCommand::Next);
  enable(TrackBar1, TCommand::Position);
  enable(CheckListBox1, TCommand::ImageList);
  enable(Checkcadre, TCommand::FrameBox);
  enable(LabTolerance, TCommand::ToleranceEdit);
  enable(EditTolerance1, TCommand::ToleranceEdit);
  enable(UpDown1, TCommand::ToleranceSpin);
  for (QMenu* m : {MenuEdition, MenuView, MenuProcessings}) {
    m->menuAction()->setVisible(state.MenusShown);
    m->menuAction()->setEnabled(state.MenusShown);
  }
  MenuImage->menuAction()->setEnabled(state.enabled(TCommand::NormalSize));
  MenuResizing->menuAction()->setEnabled(state.enabled(TCommand::ResizeFast));
  PopupResizing->menuAction()->setEnabled(state.enabled(TCommand::ResizeFast));

  Checkcadre->setChecked(state.FrameBoxTicked);
  poscadre->setText(QString::fromStdString(state.FramePosition));
  StatusPanel2->setText(QString::fromStdString(state.PositionLine));
  StatusQuality->setText(QString::fromStdString(state.QualityLine));
  StatusQuality->setVisible(!state.QualityLine.empty());
  setWindowTitle(state.OpenName.empty() ? AppTitle : AppTitle + QStringLiteral(" - ") + QString::fromStdString(state.OpenName));
  if (TrackBar1->value() != state.CurrentIndex) TrackBar1->setValue(state.CurrentIndex);
  if (state.CurrentIndex < CheckListBox1->count() && CheckListBox1->currentRow() != state.CurrentIndex)
    CheckListBox1->setCurrentRow(state.CurrentIndex);
  FillingList_ = false;
  ApplyView(state);
}

void TMainForm::ApplyView(const TMainWindowState& state) {
  Action_Image_Normale->setChecked(state.ViewSize == TViewSize::Normal);
  Action_Image_Ajustee->setChecked(state.ViewSize == TViewSize::Adjusted);
  Action_image_smFast->setChecked(!state.BilinearChecked);
  Action_image_smBilinear->setChecked(state.BilinearChecked);
  if (state.ViewSize == TViewSize::Adjusted) {
    VideoPanel->SetDrawStyle(dsResize);
    ScrollBox1->setWidgetResizable(true);
  } else if (state.ViewSize == TViewSize::Normal) {
    VideoPanel->SetDrawStyle(dsCenter);
    ScrollBox1->setWidgetResizable(false);
    const TFastDIB& bmp = VideoPanel->Bmp();
    if (bmp.Bits) VideoPanel->resize(bmp.Width(), bmp.AbsHeight);
  }
  const TSizeMode mode = state.BilinearInUse ? smBilinear : smFast;
  if (VideoPanel->SizeMode() != mode) VideoPanel->SetSizeMode(mode);
  VideoPanel->setVisible(state.PictureShown);
}

// --- Tool bar --------------------------------------------------------------------

void TMainForm::ApplyToolBarText(bool withText) {
  ToolBar1->setToolButtonStyle(withText ? Qt::ToolButtonTextUnderIcon : Qt::ToolButtonIconOnly);
  // Buttons 24 pixels high with icons only, 36 with their captions (at least:
  // a large font needs more).
  for (QToolButton* b : ToolBar1->findChildren<QToolButton*>(Qt::FindDirectChildrenOnly))
    b->setMinimumHeight(withText ? 36 : 24);
}

void TMainForm::mnu_barre_visibleClick() { ToolBar1->setVisible(mnu_barre_visible->isChecked()); }

void TMainForm::mnu_texte_iconeClick() { ApplyToolBarText(mnu_texte_icone->isChecked()); }

// --- Settings ----------------------------------------------------------------------

void TMainForm::Action_meilleures_imagesExecute() {
  QDialog dialog(this);
  dialog.setObjectName(QStringLiteral("FormMeilleures"));
  dialog.setWindowTitle(QStringLiteral("Tick the best images"));
  auto* label = new QLabel(QStringLiteral("Share of the framed images to tick (the sharpest):"), &dialog);
  auto* spin = new QSpinBox(&dialog);
  spin->setObjectName(QStringLiteral("SpinPourcentage"));
  spin->setAccessibleName(QStringLiteral("Percentage of the best images"));
  label->setAccessibleName(QStringLiteral("Percentage label"));
  label->setBuddy(spin);
  spin->setRange(1, 100);
  spin->setSuffix(QStringLiteral(" %"));
  spin->setValue(BestPercent_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  buttons->setAccessibleName(QStringLiteral("OK or Cancel"));
  buttons->button(QDialogButtonBox::Ok)->setAccessibleName(QStringLiteral("OK"));
  buttons->button(QDialogButtonBox::Cancel)->setAccessibleName(QStringLiteral("Cancel"));
  connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  auto* layout = new QVBoxLayout(&dialog);
  layout->addWidget(label);
  layout->addWidget(spin);
  layout->addWidget(buttons);
  if (dialog.exec() != QDialog::Accepted) return;
  BestPercent_ = spin->value();
  Controller_.TickBest(BestPercent_);
}

void TMainForm::Action_ParametreExecute() {
  TFormParam dialog(this);
  if (dialog.exec() == QDialog::Accepted) Controller_.CommitSettings(ParamSaisie);
  else Controller_.Refresh();
}

// --- Help ----------------------------------------------------------------------------

// The help command shows the guide that ships with the program in a window of
// its own, which works without a browser.
void TMainForm::Action_helpwebsiteExecute() {
  if (!HelpWindow_) {
    const std::string guide = GuidePath(QFile::encodeName(QCoreApplication::applicationDirPath()).toStdString());
    HelpWindow_ = new THelpWindow(QFile::decodeName(guide.c_str()), this);
    HelpWindow_->setAttribute(Qt::WA_DeleteOnClose);
  }
  HelpWindow_->show();
  HelpWindow_->raise();
  HelpWindow_->activateWindow();
}

void TMainForm::Action_aboutExecute() {
  TAboutBox box(this);
  box.Timer1->stop();
  box.exec();
}

void TMainForm::Quitter1Click() { close(); }
