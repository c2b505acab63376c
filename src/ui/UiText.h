#pragma once
// The one boundary between core's Shift_JIS bytes and Qt's QString, and the font and colour
// conventions every window shares.

#include <QColor>
#include <QString>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

class QTranslator;

namespace vespin::ui {

QString FromSjis(std::string_view sjis);
// nullopt when the text holds a character that Shift_JIS cannot represent.
std::optional<std::string> ToSjis(const QString& text);
// For texts that are known to be representable (they came from Shift_JIS or from this
// program's own constants): unrepresentable characters are dropped.
std::string ToSjisLossy(const QString& text);

// Colour values as the event file stores them: red in the low byte.
QColor ColorFromValue(std::uint32_t value);
std::uint32_t ValueFromColor(const QColor& color);

// The face names stored in event files come from another desktop; map them once, at start-up,
// to the Japanese fonts installed here ("ＭＳ ゴシック" → IPAGothic, then Noto Sans CJK JP).
// Idempotent.
void RegisterFontSubstitutions();

// Qt's own texts (the buttons and labels of the file, font and colour choosers) in Japanese,
// the language of every text of the program's own, whatever the desktop's language: a chooser in
// another language would be the one foreign window of the program. False when the translations
// are not installed (Debian qt6-translations-l10n); Qt's English stays then.
bool LoadQtTranslations(QTranslator& translator);

// Bold stays bold on a screen that scales the desktop (QT_SCALE_FACTOR=2, a high-density
// display). The Japanese faces have no bold cut: Qt makes one by thickening each glyph, by an
// amount it reckons from the font's own size, before the screen's scale is applied; at scale 2
// the strokes gain half as much, at 3 a third, and bold looks regular. Drawn as outlines instead,
// glyphs are thickened at the font's size and scaled with it. Call once the application object
// exists and before anything is painted; does nothing at scale 1 or when the user has set
// QT_MAX_CACHED_GLYPH_SIZE.
void KeepBoldWhenScaled();

// The face names the program itself uses.
QString GothicFace();   // "ＭＳ ゴシック"
QString PGothicFace();  // "ＭＳ Ｐゴシック"

}  // namespace vespin::ui
