// vespin-gallery FOLDER: renders every picture into FOLDER (made when missing). Runs without a
// display unless QT_QPA_PLATFORM says otherwise.
#include <QApplication>
#include <QDir>
#include <cstdio>

#include "Gallery.h"
#include "UiText.h"

namespace vespin::gallery {

bool Save(const QImage& image, const QDir& dir, const QString& name) {
  const QString path = dir.filePath(name + QStringLiteral(".png"));
  if (image.isNull() || !image.save(path)) {
    std::fprintf(stderr, "vespin-gallery: cannot write %s\n", qUtf8Printable(path));
    return false;
  }
  std::printf("%s\n", qUtf8Printable(path));
  return true;
}

}  // namespace vespin::gallery

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: vespin-gallery FOLDER\n");
    return 2;
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  vespin::ui::RegisterFontSubstitutions();

  const QDir dir(QString::fromLocal8Bit(argv[1]));
  if (!QDir().mkpath(dir.path())) {
    std::fprintf(stderr, "vespin-gallery: cannot make the folder %s\n", argv[1]);
    return 1;
  }
  using namespace vespin::gallery;
  const int failed = RenderEventLists(dir) + RenderControls(dir) + RenderMessageBoxes(dir);
  return failed == 0 ? 0 : 1;
}
