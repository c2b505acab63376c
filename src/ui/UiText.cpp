#include "UiText.h"

#include <QFont>
#include <QGuiApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QScreen>
#include <QStringList>
#include <QTranslator>

#include "text/Sjis.h"

namespace vespin::ui {

QString FromSjis(std::string_view sjis) {
  const std::string utf8 = sjis::ToUtf8(sjis);
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::optional<std::string> ToSjis(const QString& text) {
  const QByteArray utf8 = text.toUtf8();
  return sjis::FromUtf8(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
}

std::string ToSjisLossy(const QString& text) {
  if (auto whole = ToSjis(text)) return *whole;
  std::string out;
  for (qsizetype i = 0; i < text.size();) {
    const qsizetype len = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
    if (auto part = ToSjis(text.mid(i, len))) out += *part;
    i += len;
  }
  return out;
}

QColor ColorFromValue(std::uint32_t value) {
  return QColor(static_cast<int>(value & 0xFF), static_cast<int>((value >> 8) & 0xFF),
                static_cast<int>((value >> 16) & 0xFF));
}

std::uint32_t ValueFromColor(const QColor& color) {
  return static_cast<std::uint32_t>(color.red()) | static_cast<std::uint32_t>(color.green()) << 8 |
         static_cast<std::uint32_t>(color.blue()) << 16;
}

bool LoadQtTranslations(QTranslator& translator) {
  return translator.load(QLocale(QLocale::Japanese, QLocale::Japan), QStringLiteral("qtbase"),
                         QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath));
}

void KeepBoldWhenScaled() {
  if (qEnvironmentVariableIsSet("QT_MAX_CACHED_GLYPH_SIZE")) return;
  bool scaled = false;
  for (const QScreen* screen : QGuiApplication::screens()) {
    scaled = scaled || screen->devicePixelRatio() > 1.0;
  }
  // Qt draws a glyph from its outline, not from its cache of rendered glyphs, when the glyph is
  // larger than this many pixels; read once, at the first text drawn.
  if (scaled) qputenv("QT_MAX_CACHED_GLYPH_SIZE", "1");
}

QString GothicFace() {
  return QStringLiteral("ＭＳ ゴシック");
}
QString PGothicFace() {
  return QStringLiteral("ＭＳ Ｐゴシック");
}

void RegisterFontSubstitutions() {
  static bool done = false;
  if (done) return;
  done = true;
  const QStringList fixed{QStringLiteral("IPAGothic"), QStringLiteral("Noto Sans Mono CJK JP"),
                          QStringLiteral("Noto Sans CJK JP"), QStringLiteral("monospace")};
  const QStringList proportional{QStringLiteral("IPAPGothic"), QStringLiteral("Noto Sans CJK JP"),
                                 QStringLiteral("sans-serif")};
  for (const QString& face :
       {GothicFace(), QStringLiteral("MS Gothic"), QStringLiteral("ＭＳ 明朝")}) {
    QFont::insertSubstitutions(face, fixed);
  }
  for (const QString& face :
       {PGothicFace(), QStringLiteral("MS PGothic"), QStringLiteral("MS UI Gothic")}) {
    QFont::insertSubstitutions(face, proportional);
  }
}

}  // namespace vespin::ui
