#pragma once
// The one boundary between core's Shift_JIS bytes and Qt's QString, and the font and colour
// conventions every window shares.

#include <QColor>
#include <QString>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

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

// The face names the program itself uses.
QString GothicFace();   // "ＭＳ ゴシック"
QString PGothicFace();  // "ＭＳ Ｐゴシック"

}  // namespace vespin::ui
