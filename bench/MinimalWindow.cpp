// The yardstick of the start-up harness: the least a Qt Widgets program does to show a window
// with a line of text. Built twice: with a Latin line, and (MINIMAL_JAPANESE_LINE) with a line
// of Japanese, which is what any window on a Japanese desktop shows and which costs the font
// setup a CJK face besides the Latin one.
#include <QApplication>
#include <QLabel>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
#ifdef MINIMAL_JAPANESE_LINE
  QLabel window(QStringLiteral("2026年12月9日(水) 12:00 予定"));
#else
  QLabel window(QStringLiteral("VESPIN"));
#endif
  window.resize(180, 400);
  window.show();
  return QApplication::exec();
}
