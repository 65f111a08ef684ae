// SPDX-License-Identifier: GPL-3.0-or-later
// The Qt message service: the box shows exactly the caption, text, icon and
// button words asked for, in the order asked, and answers with the button the
// user pressed (None when the box is closed without one).
#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <functional>

#include "app/ui/QtMessages.h"

namespace {
QMessageBox* OpenBox() {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) return box;
  return nullptr;
}

// Runs `act` on the box once it is up (polling, since the box runs its own loop).
void WhenBoxShows(std::function<void(QMessageBox*)> act) {
  auto* timer = new QTimer;
  timer->setInterval(5);
  QObject::connect(timer, &QTimer::timeout, [timer, act] {
    if (QMessageBox* box = OpenBox()) {
      timer->stop();
      timer->deleteLater();
      act(box);
    }
  });
  timer->start();
}

// Button words in the order they appear from left to right.
QStringList WordsLeftToRight(QMessageBox* box) {
  QList<QAbstractButton*> buttons = box->buttons();
  std::sort(buttons.begin(), buttons.end(),
            [box](QAbstractButton* a, QAbstractButton* b) { return a->mapTo(box, QPoint()).x() < b->mapTo(box, QPoint()).x(); });
  QStringList words;
  for (QAbstractButton* b : buttons) words << b->text();
  return words;
}

QAbstractButton* ButtonWithText(QMessageBox* box, const QString& text) {
  for (QAbstractButton* b : box->buttons())
    if (b->text() == text) return b;
  return nullptr;
}
}  // namespace

class TestMessages : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    // The words must not follow the desktop's language.
    QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
    QVERIFY(InstallQtMessages() == nullptr);
    QVERIFY(dynamic_cast<TQtMessages*>(&Messages()) != nullptr);
  }

  void showsWhatIsAskedAndAnswersThePressedButton_data() {
    QTest::addColumn<int>("kind");  // 0 Ok, 1 YesNo, 2 YesNoAbortAll, 3 OK/Cancel
    QTest::addColumn<QString>("press");
    QTest::addColumn<QStringList>("words");
    QTest::addColumn<int>("answer");
    QTest::newRow("OK") << 0 << "OK" << QStringList{"OK"} << int(TMsgButton::OK);
    QTest::newRow("Yes") << 1 << "Yes" << QStringList{"Yes", "No"} << int(TMsgButton::Yes);
    QTest::newRow("No") << 1 << "No" << QStringList{"Yes", "No"} << int(TMsgButton::No);
    QTest::newRow("Abort") << 2 << "Abort" << QStringList{"Yes", "No", "Abort", "All"} << int(TMsgButton::Abort);
    QTest::newRow("All") << 2 << "All" << QStringList{"Yes", "No", "Abort", "All"} << int(TMsgButton::All);
    QTest::newRow("Cancel") << 3 << "Cancel" << QStringList{"OK", "Cancel"} << int(TMsgButton::Cancel);
  }

  void showsWhatIsAskedAndAnswersThePressedButton() {
    QFETCH(int, kind);
    QFETCH(QString, press);
    QFETCH(QStringList, words);
    QFETCH(int, answer);
    QString title, text;
    QStringList seen;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    WhenBoxShows([&](QMessageBox* box) {
      title = box->windowTitle();
      text = box->text();
      icon = box->icon();
      seen = WordsLeftToRight(box);
      if (QAbstractButton* b = ButtonWithText(box, press)) b->click();
      else box->reject();
    });
    const std::string fileText = "File/tmp/a<b>&c.bmp allready existe.\rOverwrite this file ?";
    TMsgButton got = TMsgButton::None;
    switch (kind) {
      case 0: got = Messages().Ok("Information", fileText, TMsgIcon::Information); break;
      case 1: got = Messages().YesNo("Warning", fileText, TMsgIcon::Error); break;
      case 2: got = Messages().YesNoAbortAll("Warning", fileText); break;
      case 3: got = Messages().Show({"Batch", fileText, TMsgIcon::Warning, {TMsgButton::OK, TMsgButton::Cancel}}); break;
    }
    QCOMPARE(int(got), answer);
    QCOMPARE(seen, words);
    QCOMPARE(text, QString("File/tmp/a<b>&c.bmp allready existe.\nOverwrite this file ?"));
    const QMessageBox::Icon icons[] = {QMessageBox::Information, QMessageBox::Critical, QMessageBox::Critical,
                                       QMessageBox::Warning};
    QCOMPARE(icon, icons[kind]);
    QCOMPARE(title, QString(kind == 0 ? "Information" : kind == 3 ? "Batch" : "Warning"));
  }

  void escapeAndClosingFollowTheButtons() {
    // Yes/No: Escape does nothing; the user must choose.
    bool stillOpen = false;
    WhenBoxShows([&](QMessageBox* box) {
      QTest::keyClick(box, Qt::Key_Escape);
      box->close();
      stillOpen = box->isVisible();
      ButtonWithText(box, "No")->click();
    });
    QCOMPARE(Messages().YesNo("Q", "Sure ?"), TMsgButton::No);
    QVERIFY(stillOpen);

    // OK/Cancel: Escape is Cancel.
    WhenBoxShows([](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Escape); });
    QCOMPARE(Messages().Show({"Q", "Go ?", TMsgIcon::None, {TMsgButton::OK, TMsgButton::Cancel}}), TMsgButton::Cancel);

    // Enter presses the first button.
    WhenBoxShows([](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Return); });
    QCOMPARE(Messages().YesNoAbortAll("Q", "Which ?"), TMsgButton::Yes);

    // Closed by the program without any button.
    WhenBoxShows([](QMessageBox* box) { box->reject(); });
    QCOMPARE(Messages().YesNo("Q", "Sure ?"), TMsgButton::None);

    // No button asked: a plain OK box.
    QStringList words;
    WhenBoxShows([&](QMessageBox* box) {
      words = WordsLeftToRight(box);
      box->buttons().front()->click();
    });
    QCOMPARE(Messages().Show({"Q", "Done", TMsgIcon::None, {}}), TMsgButton::OK);
    QCOMPARE(words, QStringList{"OK"});
  }
};

QTEST_MAIN(TestMessages)
#include "tst_messages.moc"
