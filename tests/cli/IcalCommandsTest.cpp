#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QFile>
#include <QLockFile>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <functional>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "Cli.h"
#include "CliRun.h"
#include "TempDir.h"
#include "events/PanelLock.h"
#include "text/Sjis.h"

namespace vespin::cli {
namespace {

using Strings = std::vector<std::string>;

using capture::Outcome;
using capture::ProgramRun;
using capture::RunCli;
using capture::RunProgram;

std::string File(const Strings& lines) {
  std::string out;
  for (const auto& l : lines) out += sjis::Lit(l) + "\r\n";
  return out;
}

const Strings kEventFile = {
    "[週間]",
    "13,10:00,定例会議,04",
    "82,12:00,昼休み,01",
    "[月間]",
    "208,10:00,請求書の発行,09",
    "[年間]",
    "0418,09:00,母の誕生日,13,FALSE",
    "[設定]",
    "0,0,CLEAR,DARK,ＭＳ ゴシック,FALSE,9,0,FALSE,FALSE,FALSE,TRUE,TRUE,1",
    "[バージョン]",
    "vespin Ver3.2(2005.04.18)",
};

constexpr const char* kMeetings =
    "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//test//EN\r\n"
    "BEGIN:VEVENT\r\nUID:a@test\r\nDTSTAMP:20250101T000000Z\r\n"
    "DTSTART;TZID=Asia/Tokyo:20250106T093000\r\nRRULE:FREQ=WEEKLY;BYDAY=MO\r\n"
    "SUMMARY:朝会\r\nEND:VEVENT\r\n"
    "BEGIN:VEVENT\r\nUID:b@test\r\nDTSTAMP:20250101T000000Z\r\n"
    "DTSTART:20250108T190000\r\nRRULE:FREQ=WEEKLY;INTERVAL=2;BYDAY=WE\r\n"
    "SUMMARY:ジム\r\nEND:VEVENT\r\n"
    "END:VCALENDAR\r\n";

class IcalCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ini = dir.Write("vespin.ini", File(kEventFile));
    env.workDir = dir.Path();
    env.today = EncodeDate(2025, 1, 1);
    env.nowUtc = 1'735'689'600;  // 2025-01-01 00:00 UTC
  }

  test::TempDir dir;
  std::filesystem::path ini;
  Environment env;
};

TEST_F(IcalCommandsTest, ExportIsTheSameBytesEveryTimeToStdoutOrAFile) {
  const Outcome first = RunCli({"export"}, env);
  ASSERT_EQ(first.rc, kExitOk) << first.err;
  EXPECT_EQ(first.err, "");
  EXPECT_TRUE(first.out.starts_with("BEGIN:VCALENDAR\r\n"));
  EXPECT_NE(first.out.find("SUMMARY:定例会議\r\n"), std::string::npos);
  EXPECT_NE(first.out.find("DTSTART;TZID=Asia/Tokyo:20250107T100000\r\n"), std::string::npos);
  EXPECT_EQ(RunCli({"export"}, env).out, first.out);
  const auto target = dir.File("out.ics");
  const Outcome toFile = RunCli({"export", "-o", target.string()}, env);
  EXPECT_EQ(toFile.rc, kExitOk);
  EXPECT_EQ(toFile.out, "");
  EXPECT_EQ(test::ReadBytes(target), first.out);

  const Outcome floating = RunCli({"export", "--floating", "--from", "2025-03-01"}, env);
  EXPECT_EQ(floating.rc, kExitOk);
  EXPECT_EQ(floating.out.find("TZID"), std::string::npos);
  EXPECT_NE(floating.out.find("DTSTART:20250304T100000\r\n"), std::string::npos);
}

TEST_F(IcalCommandsTest, HolidaysExportHasTheDatesTheHolidaysCommandLists) {
  for (const Strings& law : {Strings{}, Strings{"--law", "current"}, Strings{"--law", "2005"}}) {
    Strings holidays = {"holidays", "2025"};
    holidays.insert(holidays.end(), law.begin(), law.end());
    Strings exported = {"export", "--holidays", "--from", "2025", "--until", "2025"};
    exported.insert(exported.end(), law.begin(), law.end());
    const Outcome listed = RunCli(holidays);
    const Outcome ics = RunCli(exported, env);
    ASSERT_EQ(ics.rc, kExitOk) << ics.err;
    std::string dates;
    for (std::size_t at = ics.out.find("DTSTART;VALUE=DATE:"); at != std::string::npos;
         at = ics.out.find("DTSTART;VALUE=DATE:", at + 1)) {
      const std::string d = ics.out.substr(at + 19, 8);
      dates += d.substr(0, 4) + "-" + d.substr(4, 2) + "-" + d.substr(6, 2) + "\n";
    }
    EXPECT_EQ(dates, listed.out) << (law.empty() ? "the file's law" : law[1]);
  }
  // By default this year and the next, whole.
  const Outcome both = RunCli({"export", "--holidays"}, env);
  EXPECT_EQ(both.rc, kExitOk);
  EXPECT_NE(both.out.find("DTSTART;VALUE=DATE:20250101\r\n"), std::string::npos);
  EXPECT_NE(both.out.find("DTSTART;VALUE=DATE:20261223\r\n"), std::string::npos);
  EXPECT_EQ(both.out.find("DTSTART;VALUE=DATE:2027"), std::string::npos);
}

TEST_F(IcalCommandsTest, EventsFollowTheFilesHolidaysUnlessTheLawIsGiven) {
  // 24 February 2025 is a substitute holiday under the current law only: 平日 skips it then.
  const std::string skipped = "EXDATE;TZID=Asia/Tokyo:20250224T120000";
  Strings current = kEventFile;
  current.push_back("[拡張]");
  current.push_back("祝日=現行");
  const auto lawFile = dir.Write("current.ini", File(current));
  const struct {
    Strings args;
    bool skips;
  } cases[] = {
      {{"export"}, false},
      {{"export", "--law", "current"}, true},
      {{"export", "--file", lawFile.string()}, true},
      {{"export", "--file", lawFile.string(), "--law", "2005"}, false},
  };
  for (const auto& c : cases) {
    const Outcome o = RunCli(c.args, env);
    ASSERT_EQ(o.rc, kExitOk) << o.err;
    EXPECT_EQ(o.out.find(skipped) != std::string::npos, c.skips) << c.args.back();
  }
}

TEST_F(IcalCommandsTest, ImportAddsWhatItCanReportsTheRestAndSaysSoInItsExitCode) {
  const auto input = dir.Write("in.ics", kMeetings);
  const std::string before = test::ReadBytes(ini);

  const Outcome dry = RunCli({"import", "--dry-run", input.string()}, env);
  EXPECT_EQ(dry.rc, kExitProblem);
  EXPECT_EQ(dry.out, "weekly 12,09:30,朝会,01\n");
  EXPECT_NE(dry.err.find("skipped: ジム: a repetition every 2 (INTERVAL)\n"), std::string::npos)
      << dry.err;
  EXPECT_EQ(test::ReadBytes(ini), before);

  const Outcome done = RunCli({"import", input.string()}, env);
  EXPECT_EQ(done.rc, kExitProblem);
  EXPECT_EQ(done.out, dry.out);
  std::string expected = before;
  const std::string after = sjis::Lit("82,12:00,昼休み,01") + "\r\n";
  expected.insert(expected.find(after) + after.size(), sjis::Lit("12,09:30,朝会,01") + "\r\n");
  EXPECT_EQ(test::ReadBytes(ini), expected);

  // Again: everything is there already, and the file is left alone.
  const Outcome again = RunCli({"import", input.string()}, env);
  EXPECT_EQ(again.rc, kExitProblem);
  EXPECT_EQ(again.out, "");
  EXPECT_NE(again.err.find("skipped: 朝会: already stored\n"), std::string::npos) << again.err;
  EXPECT_EQ(test::ReadBytes(ini), expected);
}

// A process holding the folder's lock the way a running panel does, until it is killed.
class LockHolder {
 public:
  explicit LockHolder(const std::filesystem::path& folder) {
    int ready[2];
    if (pipe(ready) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      QLockFile lock(QFile::decodeName((folder / kPanelLockName).c_str()));
      const char locked = lock.tryLock(0) ? 'y' : 'n';
      if (write(ready[1], &locked, 1) != 1) _exit(1);
      for (;;) pause();
    }
    close(ready[1]);
    char locked = 'n';
    locked_ = pid_ > 0 && read(ready[0], &locked, 1) == 1 && locked == 'y';
    close(ready[0]);
  }
  ~LockHolder() { Kill(); }
  LockHolder(const LockHolder&) = delete;
  LockHolder& operator=(const LockHolder&) = delete;

  bool Locked() const { return locked_; }
  // SIGKILL: the lock file stays behind, as after a crash.
  void Kill() {
    if (pid_ <= 0) return;
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }

 private:
  pid_t pid_ = -1;
  bool locked_ = false;
};

// A panel running on the folder would write its own tables over the import at its next save.
TEST_F(IcalCommandsTest, ImportLeavesTheFileAloneWhileAPanelHoldsTheFolder) {
  const auto input = dir.Write("in.ics", kMeetings);
  const std::string before = test::ReadBytes(ini);
  const auto lockFile = dir.File(kPanelLockName);
  enum class Lock { kNone, kLiveProcess, kKilledProcess, kAnotherMachine };
  const struct {
    const char* what;
    Lock lock;
    bool refused;
  } cases[] = {
      {"no lock", Lock::kNone, false},
      {"a live process holds it", Lock::kLiveProcess, true},
      {"its holder was killed", Lock::kKilledProcess, false},
      // A folder shared with another machine: the lock cannot be checked from here.
      {"taken on another machine", Lock::kAnotherMachine, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    dir.Write("vespin.ini", before);
    std::filesystem::remove(lockFile);
    std::optional<LockHolder> holder;
    if (c.lock == Lock::kLiveProcess || c.lock == Lock::kKilledProcess) {
      ASSERT_TRUE(holder.emplace(dir.Path()).Locked());
      if (c.lock == Lock::kKilledProcess) holder->Kill();
    } else if (c.lock == Lock::kAnotherMachine) {
      // Days old: a panel runs for days, so age alone makes no lock stale.
      const auto file =
          dir.Write(kPanelLockName, "4242\nvespin\nelsewhere\nanother-machine\nanother-boot\n");
      std::filesystem::last_write_time(
          file, std::filesystem::last_write_time(file) - std::chrono::hours(48));
    }
    const std::string lockBefore = test::ReadBytes(lockFile);

    // Imported, the one weekly meeting is added (and the fortnightly one skipped).
    const Outcome o = RunCli({"import", input.string()}, env);
    EXPECT_EQ(o.rc, kExitProblem);
    EXPECT_EQ(o.out, c.refused ? "" : "weekly 12,09:30,朝会,01\n");
    EXPECT_EQ(o.err.find("close it first") != std::string::npos, c.refused) << o.err;
    EXPECT_EQ(test::ReadBytes(ini) == before, c.refused);
    if (c.refused) {
      // Looking is harmless.
      EXPECT_EQ(RunCli({"import", "--dry-run", input.string()}, env).out,
                "weekly 12,09:30,朝会,01\n");
      EXPECT_EQ(test::ReadBytes(lockFile), lockBefore);
    } else {
      // Held while the import was written, and let go after.
      EXPECT_FALSE(std::filesystem::exists(lockFile));
    }
  }
}

TEST_F(IcalCommandsTest, AnExportImportsIntoAnEmptyFileAsTheSameRows) {
  const auto input = dir.File("all.ics");
  ASSERT_EQ(RunCli({"export", "-o", input.string()}, env).rc, kExitOk);
  const auto empty = dir.Write("empty.ini", File({"[週間]", "[月間]", "[年間]", "[設定]",
                                                  "0,0,CLEAR,DARK,ＭＳ ゴシック,FALSE,9,0,FALSE,"
                                                  "FALSE,FALSE,TRUE,TRUE,1",
                                                  "[バージョン]", "vespin Ver3.2(2005.04.18)"}));
  const Outcome o = RunCli({"import", "--file", empty.string(), input.string()}, env);
  EXPECT_EQ(o.rc, kExitOk) << o.err;
  EXPECT_EQ(test::ReadBytes(empty), test::ReadBytes(ini));
}

TEST_F(IcalCommandsTest, WhatIsNoCalendarLeavesTheFileAlone) {
  const std::string before = test::ReadBytes(ini);
  dir.Write("notes.txt", "BEGIN:VCARD\r\nFN:someone\r\nEND:VCARD\r\n");
  dir.Write("todo.ics",
            "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//test//EN\r\nBEGIN:VTODO\r\n"
            "UID:t@test\r\nDTSTAMP:20250101T000000Z\r\nSUMMARY:買い物\r\nEND:VTODO\r\n"
            "END:VCALENDAR\r\n");
  // Larger than an import reads: refused by its size, not read (the file has no blocks).
  const auto huge = dir.Write("huge.ics", "BEGIN:VCALENDAR\r\n");
  std::filesystem::resize_file(huge, std::uintmax_t{1} << 30);
  const struct {
    Strings args;
    const char* err;
  } cases[] = {
      {{"import", dir.File("notes.txt").string()}, "not iCalendar data"},
      {{"import", dir.File("todo.ics").string()}, "no events to import"},
      {{"import", huge.string()}, "cannot read the file (larger than 16 MiB)"},
      {{"import", dir.File("missing.ics").string()}, "cannot read the file"},
      {{"import", "--file", dir.File("none.ini").string(), dir.File("notes.txt").string()},
       "no such file"},
  };
  for (const auto& c : cases) {
    const Outcome o = RunCli(c.args, env);
    EXPECT_EQ(o.rc, kExitProblem) << c.args.back();
    EXPECT_NE(o.err.find(c.err), std::string::npos) << o.err;
    EXPECT_EQ(o.out, "");
    EXPECT_EQ(test::ReadBytes(ini), before);
  }
}

TEST_F(IcalCommandsTest, BadArgumentsPrintTheUsage) {
  const Strings bad[] = {
      {"export", "--from", "2025-13-01"},
      {"export", "--from", "2025-01-02", "--until", "2025-01-01"},
      {"export", "--holidays", "--floating"},
      {"export", "--until"},
      {"export", "--law", "1948"},
      {"export", "out.ics"},
      {"import"},
      {"import", "a.ics", "b.ics"},
      {"import", "--file"},
      {"import", "--floating", "a.ics"},
  };
  for (const Strings& args : bad) {
    const Outcome o = RunCli(args, env);
    EXPECT_EQ(o.rc, kExitUsage) << args.back();
    EXPECT_EQ(o.err.rfind("usage: vespin-cli " + args[0] + " ", 0), 0u) << o.err;
  }
}

// The companion hands these commands to a helper program; whatever they print, write and return
// must be what they do in-process.
TEST_F(IcalCommandsTest, TheCompanionProgramRunsThemAsTheyRunInProcess) {
  const std::string input = dir.Write("in.ics", kMeetings).string();
  const std::string target = dir.File("out.ics").string();
  const std::string file = ini.string();
  const Strings cases[] = {
      {"export", "--file", file, "--from", "2025-01-01", "--until", "2025-03-31"},
      {"export", "--file", file, "--from", "2025-01-01", "--until", "2025-03-31", "-o", target},
      {"export", "--until"},
      {"import", "--file", file, input},
      {"import", "--file", file, dir.File("missing.ics").string()},
  };
  const std::string original = test::ReadBytes(ini);
  struct Result {
    int rc;
    std::string out, err, ini, ics;
  };
  const auto runProgram = [&](const Strings& args) {
    const ProgramRun run = RunProgram(args, dir);
    return Result{run.rc, run.out, run.err, test::ReadBytes(ini), test::ReadBytes(target)};
  };
  for (const Strings& args : cases) {
    dir.Write("vespin.ini", original);
    std::filesystem::remove(target);
    const Outcome inProcess = RunCli(args, env);
    const Result expected{inProcess.rc, inProcess.out, inProcess.err, test::ReadBytes(ini),
                          test::ReadBytes(target)};
    dir.Write("vespin.ini", original);
    std::filesystem::remove(target);
    const Result program = runProgram(args);
    EXPECT_EQ(program.rc, expected.rc) << args.back();
    // The two runs may fall in different seconds: the stamp of the export is the moment it ran.
    const auto unstamped = [](std::string text) {
      return std::regex_replace(text, std::regex("DTSTAMP:[0-9TZ]+"), "DTSTAMP:-");
    };
    EXPECT_EQ(unstamped(program.out), unstamped(expected.out)) << args.back();
    EXPECT_EQ(program.err, expected.err) << args.back();
    EXPECT_EQ(program.ini, expected.ini) << args.back();
    EXPECT_EQ(unstamped(program.ics), unstamped(expected.ics)) << args.back();
  }
}

// A pipe is read as far as an import reads: what a program pipes in is imported, a stream
// larger than the limit is refused once the limit is passed.
TEST_F(IcalCommandsTest, ImportReadsAPipeUpToTheLimit) {
  const std::string small = kMeetings;
  const std::string endless(std::size_t{17} << 20, 'x');
  const struct {
    const char* what;
    std::string bytes;
    const char* out;
    const char* err;
  } cases[] = {
      {"a calendar", small, "weekly 12,09:30,朝会,01\n", "1 to add, 1 skipped"},
      {"17 MiB", "BEGIN:VCALENDAR\r\n" + endless, "", "cannot read the file (larger than 16 MiB)"},
  };
  for (const auto& c : cases) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    const pid_t writer = fork();
    if (writer == 0) {
      close(fds[0]);
      signal(SIGPIPE, SIG_DFL);
      for (std::size_t at = 0; at < c.bytes.size();) {
        const ssize_t put = write(fds[1], c.bytes.data() + at, c.bytes.size() - at);
        if (put <= 0) _exit(1);
        at += static_cast<std::size_t>(put);
      }
      _exit(0);
    }
    close(fds[1]);
    const Outcome o = RunCli({"import", "--dry-run", "/dev/fd/" + std::to_string(fds[0])}, env);
    close(fds[0]);
    waitpid(writer, nullptr, 0);
    EXPECT_EQ(o.rc, kExitProblem) << c.what;
    EXPECT_EQ(o.out, c.out) << c.what;
    EXPECT_NE(o.err.find(c.err), std::string::npos) << c.what << ": " << o.err;
  }
}

// Text from another calendar reaches the terminal with its control characters shown, never
// obeyed, and never reaches vespin.ini.
TEST_F(IcalCommandsTest, ImportShowsControlCharactersAndWritesNone) {
  const std::string before = test::ReadBytes(ini);
  const auto input = dir.Write(
      "esc.ics",
      "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//test//EN\r\n"
      "BEGIN:VEVENT\r\nUID:a@test\r\nDTSTAMP:20250101T000000Z\r\n"
      "DTSTART:20250106T093000\r\nRRULE:FREQ=WEEKLY\r\nSUMMARY:\x1b]0;owned\x07\x1b[2J\r\n"
      "END:VEVENT\r\n"
      "BEGIN:VEVENT\r\nUID:b@test\r\nDTSTAMP:20250101T000000Z\r\n"
      "DTSTART;TZID=\x1b[31mRed:20250106T093000\r\nRRULE:FREQ=WEEKLY\r\nSUMMARY:赤\r\n"
      "END:VEVENT\r\nEND:VCALENDAR\r\n");
  const Outcome o = RunCli({"import", input.string()}, env);
  EXPECT_EQ(o.rc, kExitProblem);
  EXPECT_EQ(o.out, "");
  EXPECT_EQ(o.err.find_first_of("\x1b\x07"), std::string::npos) << o.err;
  EXPECT_NE(o.err.find("skipped: \\x1b]0;owned\\x07\\x1b[2J: a control character in the text\n"),
            std::string::npos)
      << o.err;
  EXPECT_NE(o.err.find("skipped: 赤: an unknown time zone (TZID=\\x1b[31mRed)\n"),
            std::string::npos)
      << o.err;
  EXPECT_EQ(test::ReadBytes(ini), before);
}

// export -o writes a regular file of that name, whole, or nothing: never through a link, into a
// pipe or onto a device.
TEST_F(IcalCommandsTest, ExportWritesOnlyARegularFileWholeOrNothing) {
  const std::string ics = RunCli({"export"}, env).out;
  ASSERT_FALSE(ics.empty());
  const auto target = dir.File("out.ics");
  const auto other = dir.File("other.ics");
  const mode_t umaskBefore = umask(022);
  int reader = -1;
  const struct {
    const char* what;
    std::function<std::filesystem::path()> setUp;  // the path given to -o
    bool written;
    mode_t mode;  // of the file written
  } cases[] = {
      {"a new file", [&] { return target; }, true, 0644},
      {"an older export, kept private",
       [&] {
         dir.Write("out.ics", "old");
         std::filesystem::permissions(target, std::filesystem::perms(0600));
         return target;
       },
       true, 0600},
      {"a link to another file",
       [&] {
         dir.Write("other.ics", "kept");
         std::filesystem::create_symlink(other, target);
         return target;
       },
       false, 0},
      {"a link to nothing yet",
       [&] {
         std::filesystem::create_symlink(other, target);
         return target;
       },
       false, 0},
      // With a reader waiting, a write into the pipe would succeed and be read.
      {"a named pipe",
       [&] {
         mkfifo(target.c_str(), 0600);
         reader = open(target.c_str(), O_RDONLY | O_NONBLOCK);
         return target;
       },
       false, 0},
      {"a device", [] { return std::filesystem::path("/dev/null"); }, false, 0},
      {"a folder",
       [&] {
         std::filesystem::create_directory(target);
         return target;
       },
       false, 0},
  };
  for (const auto& c : cases) {
    std::filesystem::remove_all(target);
    std::filesystem::remove(other);
    const std::filesystem::path path = c.setUp();
    const std::string otherBefore = test::ReadBytes(other);
    const Outcome o = RunCli({"export", "-o", path.string()}, env);
    EXPECT_EQ(o.rc, c.written ? kExitOk : kExitProblem) << c.what;
    if (c.written) {
      EXPECT_EQ(test::ReadBytes(target), ics) << c.what;
      EXPECT_EQ(static_cast<mode_t>(std::filesystem::status(target).permissions()), c.mode)
          << c.what;
    } else {
      EXPECT_NE(o.err.find("nothing written"), std::string::npos) << c.what << ": " << o.err;
      EXPECT_EQ(test::ReadBytes(other), otherBefore) << c.what;
    }
    if (reader >= 0) {
      char byte;
      EXPECT_LE(read(reader, &byte, 1), 0) << c.what;
      close(reader);
      reader = -1;
    }
    // Nothing is left beside it.
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
      EXPECT_NE(entry.path().filename().string().rfind(".out.ics.", 0), 0u) << c.what;
    }
  }
  umask(umaskBefore);
}

}  // namespace
}  // namespace vespin::cli
