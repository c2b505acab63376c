#pragma once
// Event files drawn at random, hand edits included: odd codes, missing or bad times, commas in
// texts, four-field yearly lines, every line end, empty lines. Shift_JIS bytes.
#include <random>
#include <string>
#include <vector>

#include "text/Sjis.h"

namespace vespin::test {

class RandomEventFile {
 public:
  explicit RandomEventFile(unsigned seed) : rnd_(seed) {}

  // With currentLaw the file ends in a version line and an extension section choosing the
  // holidays of the law as amended.
  std::string Make(int events, bool currentLaw = false) {
    std::vector<std::string> week, month, year;
    for (int i = 0; i < events; ++i) {
      const std::string text = Text(i);
      const int kind = Pick(3);
      if (kind == 0) {
        week.push_back(WeekCode() + "," + Time() + "," + text + "," + Alarm());
      } else if (kind == 1) {
        month.push_back(MonthCode() + "," + Time() + "," + text + "," + Alarm());
      } else {
        std::string line = YearCode() + "," + Time() + "," + text + "," + Alarm();
        if (Pick(5) != 0) line += Pick(3) == 0 ? ",TRUE" : ",FALSE";
        year.push_back(line);
      }
    }
    std::string out;
    auto add = [&](const std::string& line) {
      out += line;
      static const char* const kEnds[] = {"\r\n", "\r\n", "\r\n", "\n", "\r"};
      out += kEnds[Pick(5)];
      if (Pick(40) == 0) out += "\r\n";  // an empty line
    };
    add(sjis::Lit("[週間]"));
    for (const auto& l : week) add(l);
    add(sjis::Lit("[月間]"));
    for (const auto& l : month) add(l);
    add(sjis::Lit("[年間]"));
    for (const auto& l : year) add(l);
    add(sjis::Lit("[設定]"));
    add("0,0,CLEAR,BRIGHT,x,FALSE,9,0,TRUE,TRUE,TRUE,FALSE,FALSE,1");
    if (currentLaw) {
      add(sjis::Lit("[バージョン]"));
      add("vespin Ver3.2(2005.04.18)");
      add(sjis::Lit("[拡張]"));
      add(sjis::Lit("祝日=現行"));
    }
    return out;
  }

  int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rnd_); }

 private:
  std::string Digits(int value, int width) {
    std::string s = std::to_string(value);
    const auto w = static_cast<std::size_t>(width);
    return std::string(w - std::min(s.size(), w), '0') + s;
  }
  std::string WeekCode() {
    static const char* const kOdd[] = {"8", "", "88", "812", "x3", "18", "91", "0"};
    if (Pick(12) == 0) return kOdd[Pick(8)];
    if (Pick(3) == 0) return "8" + std::to_string(1 + Pick(7));
    return std::to_string(1 + Pick(7)) + std::to_string(1 + Pick(7));
  }
  std::string MonthCode() {
    static const char* const kOdd[] = {"", "1", "132", "1x1", "208", "308", "2", "509", "3088"};
    if (Pick(10) == 0) return kOdd[Pick(9)];
    switch (Pick(4)) {
      case 0:
        return "1" + Digits(1 + Pick(31), 2);
      case 1:
        return "20" + std::to_string(1 + Pick(8));
      case 2:
        return "30" + std::to_string(1 + Pick(8));
      default:
        return "400";
    }
  }
  std::string YearCode() {
    static const char* const kOdd[] = {"0229", "1332", "041", "", "0418x", "0230"};
    if (Pick(8) == 0) return kOdd[Pick(6)];
    return Digits(1 + Pick(12), 2) + Digits(1 + Pick(28), 2);
  }
  std::string Time() {
    static const char* const kOdd[] = {"", "7:00", "25:00", "ab:cd", "23:59", "00:00"};
    if (Pick(10) == 0) return kOdd[Pick(6)];
    return Digits(Pick(24), 2) + ":" + Digits(Pick(60), 2);
  }
  std::string Alarm() { return Digits(Pick(17), 2); }
  std::string Text(int i) {
    std::string t = sjis::Lit("予定") + std::to_string(i);
    if (Pick(15) == 0) t += ",a,b";  // commas in a hand-edited text
    return t;
  }

  std::mt19937 rnd_;
};

}  // namespace vespin::test
