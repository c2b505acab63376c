#pragma once
// Which national holidays the calendar and the business-day rules follow. The choice is a value
// handed to whoever needs it (the sheet, the engine, the companion); there is no global switch.

namespace vespin {

enum class HolidayLaw {
  k2005,     // the holidays as of the 2005 law, for every year: the default, as files expect
  kCurrent,  // the holiday law with every amendment, each from its effective date
};

}  // namespace vespin
