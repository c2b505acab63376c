#include "calendar/HolidayRules.h"

#include <bit>
#include <bitset>
#include <chrono>
#include <climits>
#include <optional>
#include <span>

#include "calendar/Julius.h"

namespace vespin {
namespace {

namespace chr = std::chrono;
using Name = HolidayNameId;

constexpr std::string_view kNamesUtf8[kHolidayNameCount] = {
    "",           "元日",       "成人の日",   "建国記念の日", "天皇誕生日",     "春分の日",
    "みどりの日", "昭和の日",   "憲法記念日", "こどもの日",   "海の日",         "山の日",
    "敬老の日",   "秋分の日",   "体育の日",   "スポーツの日", "文化の日",       "勤労感謝の日",
    "振替休日",   "国民の休日", "結婚の儀",   "大喪の礼",     "天皇の即位の日", "即位礼正殿の儀",
};

// --- The rules ---------------------------------------------------------------------------------

enum class Kind : std::uint8_t {
  kDate,      // month and day
  kMonday,    // the Monday of the month in week `day` (days 1–7, 8–14, …)
  kVernal,    // the day of the March equinox
  kAutumnal,  // the day of the September equinox
};

struct Rule {
  Kind kind;
  unsigned month;
  unsigned day;
  int fromYear;
  int toYear;
  Name name;
};

constexpr int kFirst = 1948;
constexpr int kLast = INT_MAX;

constexpr Rule Date(unsigned m, unsigned d, int from, int to, Name n) {
  return {Kind::kDate, m, d, from, to, n};
}
constexpr Rule Once(int y, unsigned m, unsigned d, Name n) {
  return {Kind::kDate, m, d, y, y, n};
}
constexpr Rule Monday(unsigned m, unsigned week, int from, int to, Name n) {
  return {Kind::kMonday, m, week, from, to, n};
}
constexpr Rule kVernal = {Kind::kVernal, 3, 0, kFirst, kLast, Name::kVernalEquinox};
constexpr Rule kAutumnal = {Kind::kAutumnal, 9, 0, kFirst, kLast, Name::kAutumnalEquinox};

// The holidays of 2005 carried back to 1948 and on to the end of the calendar, as stored files
// and their users have always had them.
constexpr Rule k2005Rules[] = {
    Date(1, 1, kFirst, kLast, Name::kNewYear),
    Date(1, 15, kFirst, 1999, Name::kComingOfAge),
    Date(2, 11, 1966, kLast, Name::kFoundation),
    kVernal,
    Date(4, 29, kFirst, 1988, Name::kEmperorsBirthday),
    Date(4, 29, 1989, kLast, Name::kGreenery),
    Date(5, 3, kFirst, kLast, Name::kConstitution),
    Date(5, 4, 1986, kLast, Name::kCitizens),
    Date(5, 5, kFirst, kLast, Name::kChildren),
    Date(7, 20, 1996, 2002, Name::kMarine),
    Date(9, 15, 1966, 2002, Name::kRespectForTheAged),
    kAutumnal,
    Date(10, 10, 1966, 1999, Name::kHealthAndSports),
    Date(11, 3, kFirst, kLast, Name::kCulture),
    Date(11, 23, kFirst, kLast, Name::kLabourThanksgiving),
    Date(12, 23, 1989, kLast, Name::kEmperorsBirthday),
    Monday(1, 2, 2000, kLast, Name::kComingOfAge),
    Monday(7, 3, 2003, kLast, Name::kMarine),
    Monday(9, 3, 2003, kLast, Name::kRespectForTheAged),
    Monday(10, 2, 2000, kLast, Name::kHealthAndSports),
};

// The national holidays as the law of 1948 and its amendments define them, each from the year
// it first fell, with the one-off days of special laws and the moves for the 2020 Games.
constexpr Rule kCurrentRules[] = {
    Date(1, 1, kFirst, kLast, Name::kNewYear),
    Date(1, 15, kFirst, 1999, Name::kComingOfAge),
    Monday(1, 2, 2000, kLast, Name::kComingOfAge),
    Date(2, 11, 1967, kLast, Name::kFoundation),
    Date(2, 23, 2020, kLast, Name::kEmperorsBirthday),
    kVernal,
    Date(4, 29, kFirst, 1988, Name::kEmperorsBirthday),
    Date(4, 29, 1989, 2006, Name::kGreenery),
    Date(4, 29, 2007, kLast, Name::kShowa),
    Date(5, 3, kFirst, kLast, Name::kConstitution),
    Date(5, 4, 2007, kLast, Name::kGreenery),
    Date(5, 5, kFirst, kLast, Name::kChildren),
    Date(7, 20, 1996, 2002, Name::kMarine),
    Monday(7, 3, 2003, 2019, Name::kMarine),
    Once(2020, 7, 23, Name::kMarine),
    Once(2021, 7, 22, Name::kMarine),
    Monday(7, 3, 2022, kLast, Name::kMarine),
    Date(8, 11, 2016, 2019, Name::kMountain),
    Once(2020, 8, 10, Name::kMountain),
    Once(2021, 8, 8, Name::kMountain),
    Date(8, 11, 2022, kLast, Name::kMountain),
    Date(9, 15, 1966, 2002, Name::kRespectForTheAged),
    Monday(9, 3, 2003, kLast, Name::kRespectForTheAged),
    kAutumnal,
    Date(10, 10, 1966, 1999, Name::kHealthAndSports),
    Monday(10, 2, 2000, 2019, Name::kHealthAndSports),
    Once(2020, 7, 24, Name::kSports),
    Once(2021, 7, 23, Name::kSports),
    Monday(10, 2, 2022, kLast, Name::kSports),
    Date(11, 3, kFirst, kLast, Name::kCulture),
    Date(11, 23, kFirst, kLast, Name::kLabourThanksgiving),
    Date(12, 23, 1989, 2018, Name::kEmperorsBirthday),
    Once(1959, 4, 10, Name::kRoyalWedding),
    Once(1989, 2, 24, Name::kImperialFuneral),
    Once(1990, 11, 12, Name::kEnthronementCeremony),
    Once(1993, 6, 9, Name::kRoyalWedding),
    Once(2019, 5, 1, Name::kEnthronement),
    Once(2019, 10, 22, Name::kEnthronementCeremony),
};

// The law took effect on 20 July 1948; the substitute day came with the amendment of
// 12 April 1973, the day between two holidays with that of 27 December 1985, and both took
// their present form in 2007.
constexpr chr::year_month_day kLawInForce = chr::year{1948} / chr::July / 20;
constexpr chr::year_month_day kSubstitutesFrom = chr::year{1973} / chr::April / 12;
constexpr int kDaysBetweenFrom = 1986;
constexpr int kPresentFormFrom = 2007;

// --- One year ------------------------------------------------------------------------------

struct YearFrame {
  int year;
  chr::sys_days first;
  int length;
  chr::weekday firstWeekday;

  explicit YearFrame(int y)
      : year(y),
        first(chr::year{y} / chr::January / 1),
        length(
            static_cast<int>((chr::sys_days{chr::year{y + 1} / chr::January / 1} - first).count())),
        firstWeekday(first) {}

  int DayOf(chr::sys_days d) const { return static_cast<int>((d - first).count()); }
  bool IsSunday(int dayOfYear) const { return firstWeekday + chr::days{dayOfYear} == chr::Sunday; }
};

std::optional<chr::sys_days> EquinoxDay(std::uint32_t dayNumber, unsigned month) {
  const auto date = JulianDayToDate(dayNumber);
  // An equinox that the formula puts outside its month is no holiday (only ever far ahead).
  if (!date || date->month != static_cast<std::int32_t>(month)) return std::nullopt;
  return chr::sys_days{chr::year{date->year} / chr::month{month} /
                       chr::day{static_cast<unsigned>(date->day)}};
}

std::optional<chr::sys_days> DayOfRule(const Rule& r, int year) {
  const chr::year y{year};
  switch (r.kind) {
    case Kind::kDate:
      return chr::sys_days{y / chr::month{r.month} / chr::day{r.day}};
    case Kind::kMonday:
      return chr::sys_days{y / chr::month{r.month} / chr::Monday[r.day]};
    case Kind::kVernal:
      return EquinoxDay(VernalEquinoxDay(year), r.month);
    case Kind::kAutumnal:
      return EquinoxDay(AutumnalEquinoxDay(year), r.month);
  }
  return std::nullopt;
}

using DayNames = std::array<Name, 366>;
using DaySet = std::bitset<366>;

// The holidays named by the rules themselves (the law's 国民の祝日), without the days they
// bring along.
void AddNamedHolidays(std::span<const Rule> rules, const YearFrame& y, int firstDay,
                      DayNames& names, DaySet& named) {
  for (const Rule& r : rules) {
    if (y.year < r.fromYear || y.year > r.toYear) continue;
    const auto day = DayOfRule(r, y.year);
    if (!day) continue;
    const int d = y.DayOf(*day);
    if (d < firstDay || named[static_cast<std::size_t>(d)]) continue;
    named.set(static_cast<std::size_t>(d));
    names[static_cast<std::size_t>(d)] = r.name;
  }
}

// The 2005 rules: the Monday after a Sunday holiday, in every year, and nothing carried on.
void Add2005Substitutes(const YearFrame& y, DayNames& names, const DaySet& named) {
  for (int d = 0; d + 1 < y.length; ++d) {
    const auto i = static_cast<std::size_t>(d);
    if (named[i] && y.IsSunday(d) && !named[i + 1]) names[i + 1] = Name::kSubstitute;
  }
}

// A holiday on a Sunday makes the next day a holiday, unless that is a holiday itself; from
// 2007 on the substitute moves on to the first day that is no holiday.
void AddSubstitutes(const YearFrame& y, int firstDay, DayNames& names, const DaySet& named) {
  for (int d = firstDay; d < y.length; ++d) {
    if (!named[static_cast<std::size_t>(d)] || !y.IsSunday(d)) continue;
    int next = d + 1;
    if (y.year >= kPresentFormFrom) {
      while (next < y.length && named[static_cast<std::size_t>(next)]) ++next;
    }
    if (next < y.length && !named[static_cast<std::size_t>(next)]) {
      names[static_cast<std::size_t>(next)] = Name::kSubstitute;
    }
  }
}

// A day between two holidays is a holiday too; before 2007 not when it is a Sunday (or already
// a substitute day).
void AddDaysBetween(const YearFrame& y, DayNames& names, const DaySet& named) {
  for (int d = 1; d + 1 < y.length; ++d) {
    const auto i = static_cast<std::size_t>(d);
    if (!named[i - 1] || !named[i + 1] || names[i] != Name::kNone) continue;
    if (y.year < kPresentFormFrom && y.IsSunday(d)) continue;
    names[i] = Name::kCitizens;
  }
}

int FirstDayInForce(const YearFrame& y, chr::year_month_day from) {
  if (y.year != static_cast<int>(from.year())) return 0;
  return y.DayOf(chr::sys_days{from});
}

}  // namespace

std::string_view HolidayNameUtf8(HolidayNameId id) {
  const auto i = static_cast<std::size_t>(id);
  return i < kHolidayNameCount ? kNamesUtf8[i] : std::string_view{};
}

HolidayNameId HolidayYear::NameAt(int dayOfYear) const {
  if (dayOfYear < 0 || dayOfYear >= 366 || !Contains(dayOfYear)) return HolidayNameId::kNone;
  const auto d = static_cast<unsigned>(dayOfYear);
  std::size_t rank = 0;
  for (unsigned w = 0; w < d / 64; ++w) rank += static_cast<std::size_t>(std::popcount(days_[w]));
  const std::uint64_t below = (std::uint64_t{1} << (d % 64)) - 1;
  rank += static_cast<std::size_t>(std::popcount(days_[d / 64] & below));
  return rank < kMaxHolidays ? names_[rank] : HolidayNameId::kNone;
}

void HolidayYear::Add(int dayOfYear, HolidayNameId name) {
  const auto d = static_cast<unsigned>(dayOfYear);
  days_[d / 64] |= std::uint64_t{1} << (d % 64);
  if (count_ < kMaxHolidays) names_[count_++] = name;
}

HolidayYear BuildHolidayYear(int year, HolidayLaw law) {
  const YearFrame y(year);
  DayNames names{};
  DaySet named;
  if (law == HolidayLaw::k2005) {
    AddNamedHolidays(k2005Rules, y, 0, names, named);
    Add2005Substitutes(y, names, named);
  } else if (year >= static_cast<int>(kLawInForce.year())) {
    AddNamedHolidays(kCurrentRules, y, FirstDayInForce(y, kLawInForce), names, named);
    if (year >= static_cast<int>(kSubstitutesFrom.year())) {
      AddSubstitutes(y, FirstDayInForce(y, kSubstitutesFrom), names, named);
    }
    if (year >= kDaysBetweenFrom) AddDaysBetween(y, names, named);
  }
  HolidayYear out;
  for (int d = 0; d < y.length; ++d) {
    if (names[static_cast<std::size_t>(d)] != Name::kNone)
      out.Add(d, names[static_cast<std::size_t>(d)]);
  }
  return out;
}

}  // namespace vespin
