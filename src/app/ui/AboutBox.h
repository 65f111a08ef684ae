// SPDX-License-Identifier: GPL-3.0-or-later
// TAboutBox: the about box, which also serves as the start-up splash.
//
// As an about box it shows the program's icon and picture, the version text
// and the maker's labels, with an OK button. MakeSplash restyles it into the
// splash: no border, always on top, black, only the picture and the version
// text; the splash then closes itself when its timer fires, and refuses to
// close while the timer runs.
#pragma once

#include <QDialog>
#include <QPointer>

#include "platform/Messages.h"

class QFrame;
class QLabel;
class QPushButton;
class QTimer;

// Registers the program's Qt resources (the splash picture, the icon). The
// resources live in a static library, so the program calls this once before
// it needs them; repeated calls do nothing.
void InitStellonResources();

class TAboutBox;

// The message service of the start-up: closes the splash (whose timer has not
// started yet) before the first message box shows, so that the box is not
// hidden under it and the splash does not outlive it; then shows the box
// through `inner`. Install it with a TMessagesScope while the splash is up.
class TSplashClosingMessages : public TMessages {
 public:
  TSplashClosingMessages(TMessages& inner, TAboutBox* splash);
  TMsgButton Show(const TMessageRequest& request) override;

 private:
  TMessages& Inner_;
  QPointer<TAboutBox> Splash_;
};

class TAboutBox : public QDialog {
  Q_OBJECT
 public:
  explicit TAboutBox(QWidget* parent = nullptr);

  QFrame* Panel1 = nullptr;
  QLabel* ProgramIcon = nullptr;
  QLabel* Image1 = nullptr;       // the start-up picture (resource SPLASHIMG)
  QLabel* Version = nullptr;      // "Version 0.49c (US)"
  QLabel* ProductName = nullptr;  // the four labels under the picture
  QLabel* Copyright = nullptr;
  QLabel* Comments = nullptr;
  QLabel* Contact = nullptr;
  QPushButton* OKButton = nullptr;
  QTimer* Timer1 = nullptr;       // closes the splash; 2000 ms; stopped until StartTimer

  // True when the picture was found and decoded.
  bool HasPicture() const { return HasPicture_; }

  // Restyles the box as the start-up splash (see above) and centres it.
  void MakeSplash();
  // Keeps the splash above other windows, or lets them cover it.
  void SetTopMost(bool topMost);
  // Starts the close timer: when it fires it stops itself and closes the splash.
  void StartTimer();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void done(int result) override;

 private:
  void TimerFired();
  bool HasPicture_ = false;
};
