#pragma once
// A file read whole or replaced whole. Reading refuses anything but a regular file (or a link to
// one) without opening it, so a named pipe or a device never blocks; replacing writes a
// temporary file beside the old one, syncs it, renames it over the old one and syncs the folder,
// so a reader sees either the old file or the new one, whole, even after a crash.

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace vespin {

// Why a file could not be read.
enum class FileProblem {
  kNone,
  kMissing,
  kDirectory,
  kFifo,
  kDevice,
  kSocket,
  kDenied,
  kReadError,
  kTooLarge,  // over kMaxEventFileBytes: no calendar is that large
  kNotText,   // holds a NUL byte: not a file a text editor wrote
};
// Far above any real calendar (10,000 events take about 400 KB), and low enough that a reader
// of a wrong file never holds more than this.
inline constexpr std::int64_t kMaxEventFileBytes = std::int64_t{16} * 1024 * 1024;
// Whether the problem is the content of a file that could be read: such a file is neither taken
// as a calendar nor written over.
bool IsBadContent(FileProblem problem);
// The problem in a few English words for the terminal ("is a named pipe, not a file").
const char* FileProblemText(FileProblem problem);

struct FileRead {
  std::optional<std::string> bytes;  // the whole content
  FileProblem problem = FileProblem::kNone;
};
// The whole content of a regular file, or a symbolic link to one, that is not too large and is
// text. Never reads more than kMaxEventFileBytes and a piece.
FileRead ReadEventFileBytes(const std::filesystem::path& path);
// Why a file that could not be read was not: for readers that stream it instead.
FileProblem ProblemWith(const std::filesystem::path& path);
// The whole content of any regular file (or a link to one), whatever its size and bytes.
std::optional<std::string> ReadWholeFile(const std::filesystem::path& path);

// What tells one version of a file from another without reading it: a rename puts another
// inode in place, an edit in place changes the size or the time of the last change.
struct FileIdentity {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::int64_t size = 0;
  std::timespec modified{};
  bool operator==(const FileIdentity& o) const;
};
// The identity of the file `path` names (through a symbolic link); none when it is missing.
std::optional<FileIdentity> IdentityOf(const std::filesystem::path& path);

enum class ReplaceResult {
  kDone,
  kNotAFile,  // missing, or not a regular file: never created or replaced here
  kReadOnly,  // the user may not write it (or, for root, nobody may): left alone
  kFailed,    // the write, the sync or the rename failed: the old file is as it was
  kMoved,     // `stillSame` said the old file changed meanwhile: it is as that change left it
};
// Replaces an existing file by `bytes`, keeping its mode and (where allowed) its owner. Through
// a symbolic link the file it points at is replaced and the link kept. `stillSame`, when given,
// is asked once the new content is safely written, right before the rename.
ReplaceResult ReplaceWholeFile(const std::filesystem::path& path, std::string_view bytes,
                               const std::function<bool()>& stillSame = {});

// Removes the temporary files a save killed mid-write left beside `file`: named as the save
// names them ("." + file name + "." + six letters or digits), regular files of
// this user, last written before `before` (a save under way since is another writer's). Returns
// how many went.
int RemoveStaleTempFiles(const std::filesystem::path& file, std::timespec before);

// Writes `bytes` as the regular file `path`, the same way: a new file (mode 0666 less the umask)
// or in place of an existing regular file (its mode and, where allowed, owner kept). What is at
// `path` is never opened or followed: a symbolic link (dangling or not), a named pipe, a device,
// a socket or a folder there is refused (kNotAFile), so a write cannot land elsewhere or wait
// for a reader.
ReplaceResult CreateOrReplaceWholeFile(const std::filesystem::path& path, std::string_view bytes);

}  // namespace vespin
