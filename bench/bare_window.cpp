// The reference for start-up: an empty Qt window of the same size, started the same way.
#include <QApplication>
#include <QWidget>

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QWidget window;
  window.setWindowTitle(QStringLiteral("Bare Qt window"));
  window.setFixedSize(399, 411);
  window.show();
  return application.exec();
}
