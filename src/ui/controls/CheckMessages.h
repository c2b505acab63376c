#pragma once
// The error texts of the validating controls and the all-nines date they share. Each text
// begins with its message-box kind letter.

#include <string_view>

#include "controls/MessageBox.h"
#include "text/Sjis.h"

namespace vespin::ui::check {

inline constexpr const char* kTooShort = "E 入力桁数が足りません。";
inline constexpr const char* kNotAlphaNum = "E 英数字だけを入力してください。";
inline constexpr const char* kBadAmount = "E 数値が不正です。";
inline constexpr const char* kNotDigits = "E 数字だけを入力してください。";
inline constexpr const char* kNotZenkaku = "E 全角文字だけを入力してください。";
inline constexpr const char* kNotHankaku = "E 半角文字だけを入力してください。";
inline constexpr const char* kBadDate = "E 日付が不正です。";
inline constexpr const char* kNotInList =
    "E リストに存在しません。\r\nリストを表示し選択してください。";

// The date that stands for "no end" in date fields that allow it.
inline constexpr std::string_view kNineDate = "9999/99/99";

inline bool IsNineDate(std::string_view s) {
  return s == kNineDate || s == "99/99/99" || s == "99999999" || s == "999999";
}

// Shows a refusal and returns false, so a check can `return Fail(kBadDate);`.
inline bool Fail(const char* message) {
  ShowMessageForm(sjis::Lit(message));
  return false;
}

}  // namespace vespin::ui::check
