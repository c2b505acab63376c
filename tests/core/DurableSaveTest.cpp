// What a save makes durable, and when. core_tests is linked with -Wl,--wrap=fsync and
// -Wl,--wrap=fdatasync, so every sync the core library asks for passes through here first.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <iterator>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "RecordingNotifier.h"
#include "TempDir.h"
#include "events/EventFile.h"
#include "text/Sjis.h"

namespace vespin {
namespace {

namespace fs = std::filesystem;

struct FileId {
  dev_t dev = 0;
  ino_t ino = 0;
  bool operator==(const FileId&) const = default;
  friend std::ostream& operator<<(std::ostream& out, const FileId& id) {
    return out << id.dev << ":" << id.ino;
  }
};

FileId IdOf(const struct stat& st) {
  return {st.st_dev, st.st_ino};
}

// What the event file's own name stands for right now.
FileId IdAt(const fs::path& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? IdOf(st) : FileId{};
}

// One sync as the wrapper saw it, with what was on disk at that moment.
struct Sync {
  bool folder = false;
  FileId synced;
  std::string bytes;  // the synced file's content (files only)
  FileId named;       // what the watched name stood for as the sync began
};

struct SyncLog;
SyncLog* g_log = nullptr;

// Records the syncs made while it lives; `fail`, when given, decides which of them report EIO.
struct SyncLog {
  explicit SyncLog(fs::path file, std::function<bool(const Sync&)> failWhen = {})
      : watched(std::move(file)), fail(std::move(failWhen)) {
    g_log = this;
  }
  ~SyncLog() { g_log = nullptr; }
  SyncLog(const SyncLog&) = delete;
  SyncLog& operator=(const SyncLog&) = delete;

  fs::path watched;
  std::function<bool(const Sync&)> fail;
  std::vector<Sync> syncs;
};

std::string ContentOf(int fd) {
  std::string out;
  char buf[4096];
  for (off_t at = 0;;) {
    const ssize_t got = ::pread(fd, buf, sizeof buf, at);
    if (got <= 0) break;
    out.append(buf, static_cast<std::size_t>(got));
    at += got;
  }
  return out;
}

// False when the sync is to fail.
bool Record(int fd) {
  struct stat st {};
  if (!g_log || ::fstat(fd, &st) != 0) return true;
  Sync s;
  s.folder = S_ISDIR(st.st_mode);
  s.synced = IdOf(st);
  s.named = IdAt(g_log->watched);
  if (S_ISREG(st.st_mode)) s.bytes = ContentOf(fd);
  g_log->syncs.push_back(s);
  return !(g_log->fail && g_log->fail(s));
}

}  // namespace
}  // namespace vespin

extern "C" {
int __real_fsync(int fd);
int __real_fdatasync(int fd);
int __wrap_fsync(int fd);
int __wrap_fdatasync(int fd);

int __wrap_fsync(int fd) {
  if (!vespin::Record(fd)) {
    errno = EIO;
    return -1;
  }
  return __real_fsync(fd);
}

// Either call makes a file's content durable; which one the save uses is its own business.
int __wrap_fdatasync(int fd) {
  if (!vespin::Record(fd)) {
    errno = EIO;
    return -1;
  }
  return __real_fdatasync(fd);
}
}

namespace vespin {
namespace {

const std::string kOld = sjis::Lit("[週間]\r\n13,10:00,古い予定,04\r\n[月間]\r\n[年間]\r\n");

EventStore StoreWith(const char* text) {
  EventStore store;
  store.week.InsertRow(1, {"13", "10:00", sjis::Lit(text), "04"});
  return store;
}

// Changes the current folder for its lifetime.
class InFolder {
 public:
  explicit InFolder(const fs::path& folder) : old_(fs::current_path()) { fs::current_path(folder); }
  ~InFolder() { fs::current_path(old_); }
  InFolder(const InFolder&) = delete;
  InFolder& operator=(const InFolder&) = delete;

 private:
  fs::path old_;
};

// A power cut right after a save must find the new file in place: its bytes synced before the
// rename exposes them, and the folder synced after it, or the rename itself may be lost.
TEST(DurableSaveTest, EachSaveSyncsTheNewFileBeforeTheRenameAndItsFolderAfter) {
  const struct {
    const char* what;
    // Makes the file the program is given; returns the file that is really written.
    std::function<fs::path(const test::TempDir&)> make;
    const char* given;  // the path the program is given, relative to the folder
  } cases[] = {
      {"a file in a folder", [](const test::TempDir& d) { return d.Write("vespin.ini", kOld); },
       nullptr},
      {"a link to a file in another folder",
       [](const test::TempDir& d) {
         fs::create_directory(d.File("real"));
         const fs::path real = d.Write("real/vespin.ini", kOld);
         fs::create_directory(d.File("link"));
         fs::create_symlink(real, d.File("link/vespin.ini"));
         return real;
       },
       "link/vespin.ini"},
      {"a bare name in the current folder",
       [](const test::TempDir& d) { return d.Write("vespin.ini", kOld); }, "vespin.ini"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    test::TempDir dir;
    const fs::path real = c.make(dir);
    const FileId folder = IdAt(real.parent_path());
    InFolder here(dir.Path());
    test::RecordingNotifier notifier;
    EventFile file(c.given ? fs::path(c.given) : real, notifier);
    Settings settings;
    for (const char* text : {"一回目", "二回目"}) {
      SCOPED_TRACE(text);
      EventStore store = StoreWith(text);
      const std::string expected = FormatEventFile(store, settings);
      const FileId before = IdAt(real);
      SyncLog log(real);
      ASSERT_TRUE(file.IniSave(store, settings));
      const FileId after = IdAt(real);
      ASSERT_EQ(log.syncs.size(), 2u) << "one sync of the new file and one of its folder";
      const Sync& content = log.syncs[0];
      const Sync& rename = log.syncs[1];
      ASSERT_FALSE(content.folder) << "the new file is synced first";
      EXPECT_EQ(content.synced, after) << "the synced file is the one put in place";
      EXPECT_EQ(content.bytes, expected) << "all of it written before the sync";
      EXPECT_EQ(content.named, before) << "synced before the rename";
      ASSERT_TRUE(rename.folder);
      EXPECT_EQ(rename.synced, folder) << "the folder that holds the renamed file";
      EXPECT_EQ(rename.named, after) << "synced after the rename";
      EXPECT_EQ(test::ReadBytes(real), expected);
    }
    EXPECT_TRUE(notifier.notices.empty());
  }
}

// A file whose bytes never reached the disk is no saved file.
TEST(DurableSaveTest, AFailedSyncOfTheNewFileFailsTheSaveAndKeepsTheOldFile) {
  test::TempDir dir;
  const fs::path path = dir.Write(kEventFileName, kOld);
  test::RecordingNotifier notifier;
  EventFile file(path, notifier);
  SyncLog log(path, [](const Sync& s) { return !s.folder; });
  EventStore store = StoreWith("新しい予定");
  Settings settings;
  EXPECT_FALSE(file.IniSave(store, settings));
  EXPECT_EQ(log.syncs.size(), 1u);
  EXPECT_EQ(notifier.notices, std::vector<std::string>{kWriteFailedNotice});
  EXPECT_EQ(test::ReadBytes(path), kOld);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 1)
      << "the temporary file is gone";
}

}  // namespace
}  // namespace vespin
