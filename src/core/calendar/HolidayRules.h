#pragma once
// The two holiday rule sets and one year's holidays worked out from them. Hizuke keeps the
// years it has been asked for; nothing else needs to call BuildHolidayYear.

#include <array>
#include <cstdint>
#include <string_view>

#include "calendar/HolidayLaw.h"

namespace vespin {

enum class HolidayNameId : std::uint8_t {
  kNone,
  kNewYear,              // 元日
  kComingOfAge,          // 成人の日
  kFoundation,           // 建国記念の日
  kEmperorsBirthday,     // 天皇誕生日
  kVernalEquinox,        // 春分の日
  kGreenery,             // みどりの日
  kShowa,                // 昭和の日
  kConstitution,         // 憲法記念日
  kChildren,             // こどもの日
  kMarine,               // 海の日
  kMountain,             // 山の日
  kRespectForTheAged,    // 敬老の日
  kAutumnalEquinox,      // 秋分の日
  kHealthAndSports,      // 体育の日
  kSports,               // スポーツの日
  kCulture,              // 文化の日
  kLabourThanksgiving,   // 勤労感謝の日
  kSubstitute,           // 振替休日
  kCitizens,             // 国民の休日: a day between two holidays
  kRoyalWedding,         // 結婚の儀
  kImperialFuneral,      // 大喪の礼
  kEnthronement,         // 天皇の即位の日
  kEnthronementCeremony  // 即位礼正殿の儀
};

// UTF-8; "" for kNone.
std::string_view HolidayNameUtf8(HolidayNameId id);
inline constexpr std::size_t kHolidayNameCount =
    static_cast<std::size_t>(HolidayNameId::kEnthronementCeremony) + 1;

// One year's holidays in 80 bytes: a bit per day, and the names of the set days in date order.
class HolidayYear {
 public:
  static constexpr std::size_t kMaxHolidays = 30;  // no year under either set comes near 24

  bool Contains(int dayOfYear) const {
    const auto d = static_cast<unsigned>(dayOfYear);
    return (days_[d / 64] >> (d % 64)) & 1u;
  }
  // kNone when the day is no holiday.
  HolidayNameId NameAt(int dayOfYear) const;

  // Days must be added in increasing order.
  void Add(int dayOfYear, HolidayNameId name);

 private:
  std::array<std::uint64_t, 6> days_{};  // bit d % 64 of word d / 64: day d (0 = 1 January)
  std::array<HolidayNameId, kMaxHolidays> names_{};
  std::uint8_t count_ = 0;
};

// The holidays of one year from 1948 to 9999 under the given rules.
HolidayYear BuildHolidayYear(int year, HolidayLaw law);

}  // namespace vespin
