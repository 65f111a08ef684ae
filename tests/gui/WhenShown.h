// SPDX-License-Identifier: GPL-3.0-or-later
// Runs `act` on the modal window of type T once it is up (polled, since the window runs its own loop).
#pragma once

#include <QApplication>
#include <QTimer>

#include <functional>

template <class T>
void WhenShown(std::function<void(T*)> act) {
  auto* timer = new QTimer;
  timer->setInterval(2);
  QObject::connect(timer, &QTimer::timeout, [timer, act] {
    if (auto* w = qobject_cast<T*>(QApplication::activeModalWidget()); w && w->isVisible()) {
      timer->stop();
      timer->deleteLater();
      act(w);
    }
  });
  timer->start();
}
