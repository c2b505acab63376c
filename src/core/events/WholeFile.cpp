#include "events/WholeFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <limits>
#include <random>
#include <string_view>
#include <system_error>

namespace vespin {
namespace {

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t put = ::write(fd, bytes.data(), bytes.size());
    if (put < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(put));
  }
  return true;
}

// A new file of a name of its own beside `target` (".vespin.ini.Ab3xYz"), created with `mode`
// less the umask, as any new file is; -1 when none can be made.
int CreateTemp(const std::filesystem::path& folder, const std::filesystem::path& target,
               mode_t mode, std::string& name) {
  static constexpr std::string_view kLetters =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string suffix(6, '0');
    for (char& c : suffix) c = kLetters[random() % kLetters.size()];
    name = (folder / ("." + target.filename().string() + "." + suffix)).string();
    const int fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

// Puts `bytes` at `target` so that a reader sees either the old or the new file whole (or, for
// a new file, none or the whole). The temporary file has a name of its own, so two programs
// saving at once never touch each other's. An existing file (`old`) keeps its mode and owner.
// `stillSame`, when given, is asked right before the rename; kMoved when it says no.
ReplaceResult ReplaceAtomically(const std::filesystem::path& target, std::string_view bytes,
                                const struct stat* old,
                                const std::function<bool()>& stillSame = {}) {
  const auto folder = target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
  std::string temp;
  const int fd = CreateTemp(folder, target, old ? 0600 : 0666, temp);
  if (fd < 0) return ReplaceResult::kFailed;
  bool ok = true;
  if (old) {
    // Keep the owner where we may (as root, say); a failure here is no reason to lose the save.
    // The mode follows, as a change of owner may clear some of its bits.
    [[maybe_unused]] const int owned = ::fchown(fd, old->st_uid, old->st_gid);
    ok = ::fchmod(fd, old->st_mode & 07777) == 0;
  }
  ok = ok && WriteAll(fd, bytes) && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  // The write and the sync take the most time: a change made meanwhile is looked for after them.
  const bool same = !ok || !stillSame || stillSame();
  if (ok && same) ok = ::rename(temp.c_str(), target.c_str()) == 0;
  if (!ok || !same) {
    ::unlink(temp.c_str());
    return ok ? ReplaceResult::kMoved : ReplaceResult::kFailed;
  }
  // Make the rename itself durable; the new file is in place whatever this returns.
  const int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    ::fsync(dirFd);
    ::close(dirFd);
  }
  return ReplaceResult::kDone;
}

// Whether the user meant the file to be written. Root may write anything, so for root the write
// bits themselves decide: a file nobody may write (chmod 444) stays as it is.
bool UserMayWrite(const std::filesystem::path& file, const struct stat& st) {
  if (::geteuid() == 0) return (st.st_mode & 0222) != 0;
  return ::faccessat(AT_FDCWD, file.c_str(), W_OK, AT_EACCESS) == 0;
}

FileProblem ProblemOfMode(mode_t mode) {
  if (S_ISREG(mode)) return FileProblem::kNone;
  if (S_ISDIR(mode)) return FileProblem::kDirectory;
  if (S_ISFIFO(mode)) return FileProblem::kFifo;
  if (S_ISSOCK(mode)) return FileProblem::kSocket;
  return FileProblem::kDevice;
}

FileProblem ProblemOfErrno(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
    case ELOOP:
      return FileProblem::kMissing;
    case EACCES:
    case EPERM:
      return FileProblem::kDenied;
    case ENXIO:  // a socket, or a device without its driver
      return FileProblem::kDevice;
    default:
      return FileProblem::kReadError;
  }
}

}  // namespace

const char* FileProblemText(FileProblem problem) {
  switch (problem) {
    case FileProblem::kNone:
      return "no problem";
    case FileProblem::kMissing:
      return "no such file";
    case FileProblem::kDirectory:
      return "is a folder, not a file";
    case FileProblem::kFifo:
      return "is a named pipe, not a file";
    case FileProblem::kDevice:
      return "is a device, not a file";
    case FileProblem::kSocket:
      return "is a socket, not a file";
    case FileProblem::kDenied:
      return "permission denied";
    case FileProblem::kTooLarge:
      return "is larger than 16 MiB";
    case FileProblem::kNotText:
      return "is not a text file";
    case FileProblem::kReadError:
      break;
  }
  return "read error";
}

bool IsBadContent(FileProblem problem) {
  return problem == FileProblem::kTooLarge || problem == FileProblem::kNotText;
}

namespace {

// Reads a regular file whole, or up to `limit` bytes and then says it is too large.
FileRead ReadRegularFile(const std::filesystem::path& path, std::int64_t limit) {
  FileRead r;
  // Looked at before it is opened: opening a named pipe for reading waits for a writer.
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    r.problem = ProblemOfErrno(errno);
    return r;
  }
  if ((r.problem = ProblemOfMode(st.st_mode)) != FileProblem::kNone) return r;
  // Whatever was swapped in since cannot make the open wait, and is looked at again.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) {
    r.problem = ProblemOfErrno(errno);
    return r;
  }
  if (::fstat(fd, &st) != 0) {
    r.problem = FileProblem::kReadError;
  } else if ((r.problem = ProblemOfMode(st.st_mode)) == FileProblem::kNone) {
    if (st.st_size > limit) {
      r.problem = FileProblem::kTooLarge;
    } else {
      std::string bytes;
      bytes.reserve(static_cast<std::size_t>(st.st_size));
      char buf[65536];
      for (;;) {
        const ssize_t got = ::read(fd, buf, sizeof buf);
        if (got > 0) {
          bytes.append(buf, static_cast<std::size_t>(got));
          // It grew while being read.
          if (static_cast<std::int64_t>(bytes.size()) > limit) {
            r.problem = FileProblem::kTooLarge;
            break;
          }
        } else if (got == 0) {
          r.bytes = std::move(bytes);
          break;
        } else if (errno != EINTR) {
          r.problem = FileProblem::kReadError;
          break;
        }
      }
    }
  }
  ::close(fd);
  return r;
}

// Reads in pieces until it meets a NUL byte; false when there is none (or the read fails).
bool HoldsNul(const std::filesystem::path& path, std::int64_t limit) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return false;
  bool found = false;
  char buf[65536];
  for (std::int64_t total = 0; total <= limit && !found;) {
    const ssize_t got = ::read(fd, buf, sizeof buf);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    found = std::memchr(buf, 0, static_cast<std::size_t>(got)) != nullptr;
    total += got;
  }
  ::close(fd);
  return found;
}

}  // namespace

FileRead ReadEventFileBytes(const std::filesystem::path& path) {
  FileRead r = ReadRegularFile(path, kMaxEventFileBytes);
  // An all-NUL file, a word processor's document, a file saved as UTF-16: taken as a calendar,
  // each would read as empty or as garbage, and the next save would keep it so. Shift_JIS and
  // UTF-8 text never hold a NUL byte.
  if (r.bytes && r.bytes->find('\0') != std::string::npos) {
    r.bytes.reset();
    r.problem = FileProblem::kNotText;
  }
  return r;
}

FileProblem ProblemWith(const std::filesystem::path& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return ProblemOfErrno(errno);
  const FileProblem problem = ProblemOfMode(st.st_mode);
  if (problem != FileProblem::kNone) return problem;
  if (st.st_size > kMaxEventFileBytes) return FileProblem::kTooLarge;
  if (HoldsNul(path, kMaxEventFileBytes)) return FileProblem::kNotText;
  return FileProblem::kReadError;
}

std::optional<std::string> ReadWholeFile(const std::filesystem::path& path) {
  return ReadRegularFile(path, std::numeric_limits<std::int64_t>::max()).bytes;
}

bool FileIdentity::operator==(const FileIdentity& o) const {
  return device == o.device && inode == o.inode && size == o.size &&
         modified.tv_sec == o.modified.tv_sec && modified.tv_nsec == o.modified.tv_nsec;
}

std::optional<FileIdentity> IdentityOf(const std::filesystem::path& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  return FileIdentity{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino),
                      static_cast<std::int64_t>(st.st_size), st.st_mtim};
}

ReplaceResult ReplaceWholeFile(const std::filesystem::path& path, std::string_view bytes,
                               const std::function<bool()>& stillSame) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return ReplaceResult::kNotAFile;
  if (!UserMayWrite(path, st)) return ReplaceResult::kReadOnly;
  std::filesystem::path target = path;
  std::error_code ec;
  if (std::filesystem::is_symlink(path, ec)) {
    target = std::filesystem::canonical(path, ec);
    if (ec) return ReplaceResult::kNotAFile;
  }
  return ReplaceAtomically(target, bytes, &st, stillSame);
}

namespace {

bool IsTempNameOf(std::string_view name, std::string_view file) {
  constexpr std::size_t kRandom = 6;
  if (name.size() != file.size() + 2 + kRandom || name[0] != '.' ||
      name.substr(1, file.size()) != file || name[file.size() + 1] != '.') {
    return false;
  }
  for (const char c : name.substr(file.size() + 2)) {
    const bool alnum = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
    if (!alnum) return false;
  }
  return true;
}

bool Earlier(const std::timespec& a, const std::timespec& b) {
  return a.tv_sec < b.tv_sec || (a.tv_sec == b.tv_sec && a.tv_nsec < b.tv_nsec);
}

}  // namespace

int RemoveStaleTempFiles(const std::filesystem::path& file, std::timespec before) {
  const auto folder = file.has_parent_path() ? file.parent_path() : std::filesystem::path(".");
  const std::string name = file.filename().string();
  const int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd < 0) return 0;
  DIR* dir = ::fdopendir(dirFd);
  if (!dir) {
    ::close(dirFd);
    return 0;
  }
  int removed = 0;
  while (const dirent* entry = ::readdir(dir)) {
    if (!IsTempNameOf(entry->d_name, name)) continue;
    // Looked at and removed by name within the folder: a link never leads elsewhere.
    struct stat st {};
    if (::fstatat(dirFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
    if (!S_ISREG(st.st_mode) || st.st_uid != ::geteuid() || !Earlier(st.st_mtim, before)) continue;
    if (::unlinkat(dirFd, entry->d_name, 0) == 0) ++removed;
  }
  ::closedir(dir);  // closes dirFd too
  return removed;
}

ReplaceResult CreateOrReplaceWholeFile(const std::filesystem::path& path, std::string_view bytes) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) == 0) {
    if (!S_ISREG(st.st_mode)) return ReplaceResult::kNotAFile;
    if (!UserMayWrite(path, st)) return ReplaceResult::kReadOnly;
    return ReplaceAtomically(path, bytes, &st);
  }
  if (errno != ENOENT) return ReplaceResult::kFailed;
  // Whatever appears at the name meanwhile is replaced, never followed: rename takes the name.
  return ReplaceAtomically(path, bytes, nullptr);
}

}  // namespace vespin
