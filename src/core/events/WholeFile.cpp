#include "events/WholeFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
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
bool ReplaceAtomically(const std::filesystem::path& target, std::string_view bytes,
                       const struct stat* old) {
  const auto folder = target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
  std::string temp;
  const int fd = CreateTemp(folder, target, old ? 0600 : 0666, temp);
  if (fd < 0) return false;
  bool ok = true;
  if (old) {
    // Keep the owner where we may (as root, say); a failure here is no reason to lose the save.
    // The mode follows, as a change of owner may clear some of its bits.
    [[maybe_unused]] const int owned = ::fchown(fd, old->st_uid, old->st_gid);
    ok = ::fchmod(fd, old->st_mode & 07777) == 0;
  }
  ok = ok && WriteAll(fd, bytes) && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  if (ok) ok = ::rename(temp.c_str(), target.c_str()) == 0;
  if (!ok) {
    ::unlink(temp.c_str());
    return false;
  }
  // Make the rename itself durable; the new file is in place whatever this returns.
  const int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    ::fsync(dirFd);
    ::close(dirFd);
  }
  return true;
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
    case FileProblem::kReadError:
      break;
  }
  return "read error";
}

FileRead ReadEventFileBytes(const std::filesystem::path& path) {
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
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(st.st_size));
    char buf[65536];
    for (;;) {
      const ssize_t got = ::read(fd, buf, sizeof buf);
      if (got > 0) {
        bytes.append(buf, static_cast<std::size_t>(got));
      } else if (got == 0) {
        r.bytes = std::move(bytes);
        break;
      } else if (errno != EINTR) {
        r.problem = FileProblem::kReadError;
        break;
      }
    }
  }
  ::close(fd);
  return r;
}

FileProblem ProblemWith(const std::filesystem::path& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return ProblemOfErrno(errno);
  const FileProblem problem = ProblemOfMode(st.st_mode);
  return problem == FileProblem::kNone ? FileProblem::kReadError : problem;
}

std::optional<std::string> ReadWholeFile(const std::filesystem::path& path) {
  return ReadEventFileBytes(path).bytes;
}

ReplaceResult ReplaceWholeFile(const std::filesystem::path& path, std::string_view bytes) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return ReplaceResult::kNotAFile;
  if (!UserMayWrite(path, st)) return ReplaceResult::kReadOnly;
  std::filesystem::path target = path;
  std::error_code ec;
  if (std::filesystem::is_symlink(path, ec)) {
    target = std::filesystem::canonical(path, ec);
    if (ec) return ReplaceResult::kNotAFile;
  }
  return ReplaceAtomically(target, bytes, &st) ? ReplaceResult::kDone : ReplaceResult::kFailed;
}

ReplaceResult CreateOrReplaceWholeFile(const std::filesystem::path& path, std::string_view bytes) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) == 0) {
    if (!S_ISREG(st.st_mode)) return ReplaceResult::kNotAFile;
    if (!UserMayWrite(path, st)) return ReplaceResult::kReadOnly;
    return ReplaceAtomically(path, bytes, &st) ? ReplaceResult::kDone : ReplaceResult::kFailed;
  }
  if (errno != ENOENT) return ReplaceResult::kFailed;
  // Whatever appears at the name meanwhile is replaced, never followed: rename takes the name.
  return ReplaceAtomically(path, bytes, nullptr) ? ReplaceResult::kDone : ReplaceResult::kFailed;
}

}  // namespace vespin
