#include <QApplication>
#include <QLabel>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QLabel label("Stellon v0.49c (US)");
  label.resize(320, 120);
  label.setAlignment(Qt::AlignCenter);
  label.show();
  return app.exec();
}
