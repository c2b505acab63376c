#pragma once
// The subcommands of vespin-cli. Each gets the arguments after its own name and returns an
// exit code; on kExitUsage the dispatcher prints the one-line usage.

#include <cstddef>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Cli.h"
#include "calendar/HolidayLaw.h"
#include "events/EngineHost.h"
#include "events/EventStore.h"
#include "events/Settings.h"

namespace vespin::cli {

using Args = std::vector<std::string>;

// Writes `text` as it is, NUL bytes and all.
void Put(std::FILE* f, std::string_view text);
// Says what is wrong with the arguments ("vespin-cli: '20o5' is not a year from 1 to 9999") and
// returns kExitUsage, after which the usage line follows.
int Refuse(std::FILE* err, std::string_view problem);
// An argument in quotes, for those messages.
std::string Quoted(std::string_view arg);
// Refuse with "'X' is one argument too many".
int TooMany(std::FILE* err, std::string_view arg);
inline constexpr const char* kLawValues = "--law takes 2005 or current";
// The whole event file, or nullopt after saying what is wrong with it ("F: is a named pipe,
// not a file").
std::optional<std::string> ReadEventFileOrSay(const std::filesystem::path& file, std::FILE* err);
// "--law 2005|current" at args[i]: kNotThis when args[i] is something else; kRead after setting
// `law` and stepping i onto the value; kBad when the value is missing or unknown.
enum class OptionRead { kNotThis, kRead, kBad };
OptionRead ReadLawOption(const Args& args, std::size_t& i, std::optional<HolidayLaw>& law);

int Holidays(const Args& args, std::FILE* out, std::FILE* err, const Environment& env);
int Equinox(const Args& args, std::FILE* out, std::FILE* err, const Environment& env);
int JulianDay(const Args& args, std::FILE* out, std::FILE* err, const Environment& env);
int Month(const Args& args, std::FILE* out, std::FILE* err, const Environment& env);
int Check(const Args& args, std::FILE* out, std::FILE* err, const Environment& env);
int Day(const Args& args, std::FILE* out, std::FILE* err, const Environment& env);
int Agenda(const Args& args, std::FILE* out, std::FILE* err, const Environment& env);
int Simulate(const Args& args, std::FILE* out, std::FILE* err, const Environment& env);

// Shared by the subcommands.
// `count` decimal digits at `pos`, or -1.
int Digits(std::string_view s, std::size_t pos, std::size_t count);
// Reads the event file into the tables; false after telling why.
bool Load(const std::filesystem::path& file, EventStore& store, Settings& settings, std::FILE* err);

// Failure notices of the event file's writer (Shift_JIS), as lines at the terminal.
class TerminalNotifier final : public Notifier {
 public:
  explicit TerminalNotifier(std::FILE* err) : err_(err) {}
  void ShowNotice(const std::string& text) override;

 private:
  std::FILE* err_;
};

}  // namespace vespin::cli
