#include "IcalLimits.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "IcalExport.h"
#include "events/WholeFile.h"

namespace vespin::ical {
namespace {

std::string TooLarge() {
  return std::string("larger than ") + kMaxCalendarSize;
}

// Regular files and pipes (a named one, or a shell's <(…)); anything else is no calendar file.
std::string RefusedKind(mode_t mode) {
  if (S_ISREG(mode) || S_ISFIFO(mode)) return {};
  if (S_ISDIR(mode)) return FileProblemText(FileProblem::kDirectory);
  if (S_ISSOCK(mode)) return FileProblemText(FileProblem::kSocket);
  return FileProblemText(FileProblem::kDevice);
}

}  // namespace

TDateTime HorizonEnd(TDateTime first) {
  return YearsOn(DateOf(first), kHorizonYears);
}

CalendarRead ReadCalendarFile(const std::filesystem::path& path) {
  CalendarRead r;
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    r.problem = FileProblemText(ProblemWith(path));
    return r;
  }
  if (r.problem = RefusedKind(st.st_mode); !r.problem.empty()) return r;
  if (S_ISREG(st.st_mode) && static_cast<std::uintmax_t>(st.st_size) > kMaxCalendarBytes) {
    r.problem = TooLarge();
    return r;
  }
  // A pipe's writer may come later, as with any reader of a pipe; a device swapped in meanwhile
  // is looked at again below and never read.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) {
    r.problem = FileProblemText(errno == EACCES || errno == EPERM ? FileProblem::kDenied
                                                                  : FileProblem::kReadError);
    return r;
  }
  if (::fstat(fd, &st) != 0) {
    r.problem = FileProblemText(FileProblem::kReadError);
  } else if (r.problem = RefusedKind(st.st_mode); r.problem.empty()) {
    std::string bytes;
    char buf[65536];
    for (;;) {
      const ssize_t got = ::read(fd, buf, sizeof buf);
      if (got > 0) {
        // One byte past the limit is enough to know.
        if (bytes.size() + static_cast<std::size_t>(got) > kMaxCalendarBytes) {
          r.problem = TooLarge();
          break;
        }
        bytes.append(buf, static_cast<std::size_t>(got));
      } else if (got == 0) {
        r.bytes = std::move(bytes);
        break;
      } else if (errno != EINTR) {
        r.problem = FileProblemText(FileProblem::kReadError);
        break;
      }
    }
  }
  ::close(fd);
  return r;
}

}  // namespace vespin::ical
