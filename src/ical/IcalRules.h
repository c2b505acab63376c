#pragma once
// How the stored rules read in iCalendar, and back. The RRULE of every rule code the event
// dialog writes; the rules that skip or add national holidays hold only together with the
// holidays listed as EXDATE / RDATE (or, for 祝祭日, as a plain list of dates).

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "calendar/DateTime.h"
#include "events/EventEngine.h"

namespace vespin::ical {

// How far a rule's next date may lie: a 29 February is up to eight years from the next one
// (2096, then 2104).
inline constexpr int kLongestGapYears = 9;

struct RuleForm {
  std::string rrule;      // without "RRULE:"; empty when the dates are listed instead
  bool holidays = false;  // exact only with the holidays listed up to a date
};

// The form of a rule code as the dialog writes it; nullopt for any other code (a hand edit),
// whose dates are then listed.
std::optional<RuleForm> FormOf(EventKind kind, std::string_view code);

struct RuleCode {
  EventKind kind;
  std::string code;
};

// Every rule code the dialog writes that may fall on `date`, in the engine's walk order: the
// rules an imported event is tried against.
std::vector<RuleCode> CodesThrough(TDateTime date);

// The alarm codes that stand for a lead before the event (all but the start-up one), shortest
// first, with their leads in seconds.
std::vector<std::pair<std::string, std::int64_t>> LeadCodes();

}  // namespace vespin::ical
