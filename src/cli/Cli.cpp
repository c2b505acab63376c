#include "Cli.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "Commands.h"
#include "events/WholeFile.h"
#include "text/Sjis.h"

#ifndef VESPIN_VERSION
#error "VESPIN_VERSION comes from the build"
#endif

namespace vespin::cli {
namespace {

struct Command {
  const char* name;
  const char* usage;
  int (*run)(const std::vector<std::string>& args, std::FILE* out, std::FILE* err,
             const Environment& env);
  bool network = false;  // without a function: Environment::syncCommands runs it
};

const Command kCommands[] = {
    {"holidays", "holidays [--law 2005|current] [--names] YEAR [TO-YEAR]", &Holidays},
    {"equinox", "equinox YEAR", &Equinox},
    {"jd", "jd N", &JulianDay},
    {"month", "month [--law 2005|current] [YEAR MONTH]", &Month},
    {"check", "check [--file F]", &Check},
    {"day", "day [--file F] [--law 2005|current] YYYY-MM-DD", &Day},
    {"agenda",
     "agenda [--file F] [--law 2005|current] FROM [TO] | agenda [--file F] "
     "[--law 2005|current] [FROM] --days N",
     &Agenda},
    {"simulate",
     "simulate [--file F] [--law 2005|current] [--on-time on|off] [--start-up on|off] "
     "YYYY-MM-DDTHH:MM[:SS] YYYY-MM-DDTHH:MM[:SS]",
     &Simulate},
    // Without a function of their own: Environment::icalCommands runs them.
    {"export",
     "export [--file F] [--law 2005|current] [--from DATE] [--until DATE] [--floating] "
     "[-o OUT.ics] | export --holidays [--law 2005|current] [--from YEAR] [--until YEAR] "
     "[-o OUT.ics]",
     nullptr},
    {"import", "import [--file F] [--dry-run] IN.ics (a file or a pipe, 16 MiB at most)", nullptr},
    {"subscribe", "subscribe [--file F] [--user U] NAME URL", nullptr, true},
    {"unsubscribe", "unsubscribe [--file F] NAME", nullptr, true},
    {"fetch", "fetch [--file F] [NAME...]", nullptr, true},
    {"publish",
     "publish [--file F] [--law 2005|current] [--from DATE] [--until DATE] [--force] [URL]",
     nullptr, true},
};

void PrintUsage(std::FILE* err) {
  std::fputs("usage: vespin-cli", err);
  const char* sep = " ";
  for (const auto& c : kCommands) {
    std::fprintf(err, "%s%s", sep, c.usage);
    sep = " | ";
  }
  std::fputc('\n', err);
}

}  // namespace

void Put(std::FILE* f, std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), f);
}

int Refuse(std::FILE* err, std::string_view problem) {
  std::fputs("vespin-cli: ", err);
  Put(err, problem);
  std::fputc('\n', err);
  return kExitUsage;
}

void TerminalNotifier::ShowNotice(const std::string& text) {
  Put(err_, sjis::ToUtf8(text));
  std::fputc('\n', err_);
}

std::string Quoted(std::string_view arg) {
  return "'" + std::string(arg) + "'";
}

int TooMany(std::FILE* err, std::string_view arg) {
  return Refuse(err, Quoted(arg) + " is one argument too many");
}

std::optional<std::string> ReadEventFileOrSay(const std::filesystem::path& file, std::FILE* err) {
  FileRead read = ReadEventFileBytes(file);
  if (!read.bytes) std::fprintf(err, "%s: %s\n", file.c_str(), FileProblemText(read.problem));
  return std::move(read.bytes);
}

OptionRead ReadLawOption(const Args& args, std::size_t& i, std::optional<HolidayLaw>& law) {
  if (args[i] != "--law") return OptionRead::kNotThis;
  if (i + 1 >= args.size()) return OptionRead::kBad;
  const std::string& value = args[++i];
  if (value == "2005") {
    law = HolidayLaw::k2005;
  } else if (value == "current") {
    law = HolidayLaw::kCurrent;
  } else {
    return OptionRead::kBad;
  }
  return OptionRead::kRead;
}

LocalDate LocalDate::OfSystem() {
  LocalDate date;
  date.known_ = false;
  return date;
}

LocalDate::operator TDateTime() const {
  if (!known_) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    date_ = EncodeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
    known_ = true;
  }
  return date_;
}

int Main(int argc, char** argv, CommandLineRunner icalCommands, RemoteReader remoteOccurrences,
         CommandLineRunner syncCommands) {
  Environment env;
  env.colour = isatty(STDOUT_FILENO) != 0;
  env.today = LocalDate::OfSystem();
  env.nowUtc = static_cast<std::int64_t>(std::time(nullptr));
  env.icalCommands = icalCommands;
  env.remoteOccurrences = remoteOccurrences;
  env.syncCommands = syncCommands;
  int rc = Run({argv + 1, argv + argc}, stdout, stderr, env);
  // An answer that did not reach its file (a full disk) is no answer: a script must not take it
  // for one. The error of a write stdio made earlier stays with the stream; errno is only
  // news when this flush is the write that fails.
  errno = 0;
  const bool flushed = std::fflush(stdout) == 0;
  if (!flushed || std::ferror(stdout)) {
    const int error = flushed ? 0 : errno;
    std::fprintf(stderr, "vespin-cli: cannot write the output%s%s\n", error != 0 ? ": " : "",
                 error != 0 ? std::strerror(error) : "");
    if (rc == kExitOk) rc = kExitProblem;
  }
  return rc;
}

int Run(const std::vector<std::string>& args, std::FILE* out, std::FILE* err,
        const Environment& env) {
  if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
    std::fputs("usage:\n", out);
    for (const auto& c : kCommands) std::fprintf(out, "  vespin-cli %s\n", c.usage);
    std::fputs("  vespin-cli --help | --version\n", out);
    return kExitOk;
  }
  if (args.size() == 1 && args[0] == "--version") {
    std::fputs("vespin-cli " VESPIN_VERSION "\n", out);
    return kExitOk;
  }
  if (!args.empty()) {
    for (const auto& c : kCommands) {
      if (args[0] != c.name) continue;
      int rc = kExitProblem;
      if (c.run) {
        rc = c.run(std::vector<std::string>(args.begin() + 1, args.end()), out, err, env);
      } else if (const CommandLineRunner runner = c.network ? env.syncCommands : env.icalCommands) {
        rc = runner(args, out, err, env);
      } else {
        std::fprintf(err, "vespin-cli: %s is not built into this program\n", c.name);
      }
      if (rc == kExitUsage) std::fprintf(err, "usage: vespin-cli %s\n", c.usage);
      return rc;
    }
  }
  PrintUsage(err);
  return kExitUsage;
}

}  // namespace vespin::cli
