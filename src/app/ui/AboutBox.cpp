// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ui/AboutBox.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

#include "app/ui/JpegImage.h"
#include "base/Version.h"

static void InitResourcesOnce() { Q_INIT_RESOURCE(resources); }

void InitStellonResources() {
  static bool done = false;
  if (done) return;
  done = true;
  InitResourcesOnce();
}

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent) {
  InitStellonResources();
  setObjectName(QStringLiteral("AboutBox"));
  setWindowTitle(QStringLiteral("About"));
  setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

  Panel1 = new QFrame(this);
  Panel1->setObjectName(QStringLiteral("Panel1"));
  Panel1->setFrameShape(QFrame::StyledPanel);
  Panel1->setFrameShadow(QFrame::Sunken);

  Image1 = new QLabel(Panel1);
  Image1->setObjectName(QStringLiteral("Image1"));
  Image1->setAlignment(Qt::AlignCenter);
  const QImage picture = LoadJpegResource(QStringLiteral(":/EXEFILE/SPLASHIMG"));
  HasPicture_ = !picture.isNull();
  if (HasPicture_) Image1->setPixmap(QPixmap::fromImage(picture));

  Version = new QLabel(QStringLiteral("Version " STELLON_VERSION_TEXT " (US)"), Panel1);
  Version->setObjectName(QStringLiteral("Version"));
  Version->setAlignment(Qt::AlignCenter);

  ProgramIcon = new QLabel(Panel1);
  ProgramIcon->setObjectName(QStringLiteral("ProgramIcon"));
  ProgramIcon->setPixmap(QPixmap(QStringLiteral(":/stellon.png")).scaled(48, 48, Qt::KeepAspectRatio,
                                                                         Qt::SmoothTransformation));
  ProductName = new QLabel(QStringLiteral("<b>Stellon</b>"), Panel1);
  ProductName->setObjectName(QStringLiteral("ProductName"));
  Copyright = new QLabel(QStringLiteral("Copyright \u00a9 the Stellon developers"), Panel1);
  Copyright->setObjectName(QStringLiteral("Copyright"));
  Comments = new QLabel(QStringLiteral("Frames, selects and combines the images of planetary webcam videos."), Panel1);
  Comments->setObjectName(QStringLiteral("Comments"));
  Comments->setWordWrap(true);
  Contact = new QLabel(QStringLiteral("News and contact: Help > STELLON WEB site"), Panel1);
  Contact->setObjectName(QStringLiteral("Contact"));

  auto* texts = new QVBoxLayout;
  texts->setSpacing(2);
  texts->addWidget(ProductName);
  texts->addWidget(Copyright);
  texts->addWidget(Comments);
  texts->addWidget(Contact);
  auto* maker = new QHBoxLayout;
  maker->setSpacing(12);
  maker->addWidget(ProgramIcon, 0, Qt::AlignTop);
  maker->addLayout(texts, 1);

  auto* panelLayout = new QVBoxLayout(Panel1);
  panelLayout->setContentsMargins(8, 8, 8, 8);
  panelLayout->setSpacing(6);
  panelLayout->addWidget(Image1);
  panelLayout->addWidget(Version);
  panelLayout->addLayout(maker);

  OKButton = new QPushButton(QStringLiteral("OK"), this);
  OKButton->setAccessibleName(QStringLiteral("OK"));
  OKButton->setObjectName(QStringLiteral("OKButton"));
  OKButton->setDefault(true);
  connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(10, 10, 10, 10);
  layout->addWidget(Panel1);
  layout->addWidget(OKButton, 0, Qt::AlignHCenter);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  Timer1 = new QTimer(this);
  Timer1->setObjectName(QStringLiteral("Timer1"));
  Timer1->setInterval(2000);
  Timer1->setSingleShot(false);
  connect(Timer1, &QTimer::timeout, this, &TAboutBox::TimerFired);
}

void TAboutBox::MakeSplash() {
  setWindowFlags(Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
  for (QWidget* w : std::initializer_list<QWidget*>{ProgramIcon, ProductName, Copyright, Comments, Contact, OKButton})
    w->hide();
  Timer1->stop();
  // The panel ends 5 pixels under the version text and the window 2 pixels
  // under the panel, all on black.
  layout()->setContentsMargins(0, 0, 0, 2);
  Panel1->layout()->setContentsMargins(0, 0, 0, 5);
  Panel1->setFrameShape(QFrame::NoFrame);
  QPalette black = palette();
  black.setColor(QPalette::Window, Qt::black);
  black.setColor(QPalette::WindowText, QColor(200, 192, 176));
  setPalette(black);
  setAutoFillBackground(true);
  Version->setPalette(black);
  adjustSize();
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    move(area.center() - rect().center());
  }
}

void TAboutBox::SetTopMost(bool topMost) {
  const bool visible = isVisible();
  setWindowFlag(Qt::WindowStaysOnTopHint, topMost);
  if (visible) show();
}

void TAboutBox::StartTimer() { Timer1->start(); }

void TAboutBox::TimerFired() {
  Timer1->stop();
  close();
}

void TAboutBox::closeEvent(QCloseEvent* event) {
  if (Timer1->isActive()) {
    event->ignore();
    return;
  }
  QDialog::closeEvent(event);
}

void TAboutBox::done(int result) {
  // Escape or a close request reach here too: the splash stays until its timer fires.
  if (Timer1->isActive()) return;
  QDialog::done(result);
}

TSplashClosingMessages::TSplashClosingMessages(TMessages& inner, TAboutBox* splash) : Inner_(inner), Splash_(splash) {}

TMsgButton TSplashClosingMessages::Show(const TMessageRequest& request) {
  if (Splash_) Splash_->close();
  return Inner_.Show(request);
}
