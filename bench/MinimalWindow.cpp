// The yardstick of the start-up harness: the least a Qt Widgets program does to show a window
// with a line of text.
#include <QApplication>
#include <QLabel>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QLabel window(QStringLiteral("VESPIN"));
  window.resize(180, 400);
  window.show();
  return QApplication::exec();
}
