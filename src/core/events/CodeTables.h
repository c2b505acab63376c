#pragma once
// The six code tables that pair the codes stored in vespin.ini with the names the user sees.
// Built once, on first use, and only read afterwards; safe to share between threads. The types
// and the lead times are built from the tables that say what they mean (RuleCodes.h,
// LeadTimes.h).

#include "events/CodeData.h"

namespace vespin {

struct CodeTables {
  TCodeData cdWType;  // weekly types: "1".."7" (need a weekday), "81".."87" (day patterns)
  TCodeData cdMType;  // monthly types: "1", "20", "30", "400"
  TCodeData cdDay;    // weekdays "1" (Sunday) .. "7", and "8" for a business day
  TCodeData cdAlarm;  // lead times "01".."15"
  TCodeData cdMonth;  // "01".."12"
  TCodeData cdDate;   // "01".."31"
};

const CodeTables& Codes();

// How many days of cdDate a yearly event may take in a month (1 to 12): 29 for February, whose
// 29th recurs in leap years; 31 for anything else.
int DayCount(int month);

}  // namespace vespin
