#pragma once
// Stateless checks of what the user typed into a validating field. Texts are Shift_JIS bytes and
// every length counts bytes. They stand above the calendar and the byte helpers: a date or a
// time typed by the user is checked against the calendar's own rules.
//
// CheckNumeric and CheckDate answer in three ways: kCheckNull when the input was empty, the empty
// text when it is invalid, and otherwise the accepted (normalised) text. "Null" itself can never
// be accepted, since its letters fail both checks.

#include <string>
#include <string_view>

namespace vespin {

inline constexpr std::string_view kCheckNull = "Null";

// Letters and digits (ASCII) only; true for the empty text.
bool IsAlphaNum(std::string_view s);

// Digits only. With `money` the number comes back grouped by three with ',' and without leading
// zeros ("0012345" → "12,345"); the digits are grouped as text, so any length is fine.
std::string CheckNumeric(std::string_view s, bool money);

// `s` without any ','. A comma is never a trail byte, so double-byte characters survive.
std::string DeleteComma(std::string_view s);

// Every character double-byte; true for the empty text. A lead byte at the very end (its trail
// byte missing) passes.
bool IsZenkaku(std::string_view s);

bool IsLeadByte(char b);

// No lead byte at all (half-width katakana count as half-width); true for the empty text.
bool IsHankaku(std::string_view s);

// A date entry as YYMMDD, YYYYMMDD, YY/MM/DD or a 10-byte form with two '/'. Six- and eight-byte
// entries come back as YYYY/MM/DD; a 10-byte entry comes back as typed once it reads as a date.
// Two-digit years fall in 1970–2069.
std::string CheckDate(std::string_view s);
// YYMMDD → CCYY/MM/DD, or empty when `s` is not six digits. The result is only a candidate.
std::string ExpandDate6(std::string_view s);
// YYYYMMDD → YYYY/MM/DD (empty for year 0000); YY?MM?DD → CCYY?MM?DD (bytes 3 and 6 are kept
// as they are). Empty when the digit pairs are not digits. The result is only a candidate.
std::string ExpandDate8(std::string_view s);
// `s` when it holds exactly two '/' and does not begin with "0000"; else empty.
std::string CheckDate10(std::string_view s);

// An entry of the event dialog's time fields: HHMM or HH:MM.
struct TimeEntry {
  std::string text;    // four digits come back as HH:MM, anything else as it was typed
  bool valid = false;  // `text` is a time of day, 00:00 to 23:59
};
// Four digits are rewritten even when the result is no time (2400 becomes 24:00, refused), so
// the field shows what was made of the entry.
TimeEntry CheckTime(std::string_view s);

// True when maxLength is 0 or `s` is exactly maxLength bytes long.
bool KetaCheck(std::string_view s, int maxLength);

}  // namespace vespin
