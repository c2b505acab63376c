#pragma once
// A file read whole or replaced whole. Reading refuses anything but a regular file (or a link to
// one) without opening it, so a named pipe or a device never blocks; replacing writes a
// temporary file beside the old one, syncs it, renames it over the old one and syncs the folder,
// so a reader sees either the old file or the new one, whole, even after a crash.

#include <filesystem>
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
  kReadError
};
// The problem in a few English words for the terminal ("is a named pipe, not a file").
const char* FileProblemText(FileProblem problem);

struct FileRead {
  std::optional<std::string> bytes;  // the whole content
  FileProblem problem = FileProblem::kNone;
};
// The whole content of a regular file, or a symbolic link to one.
FileRead ReadEventFileBytes(const std::filesystem::path& path);
// Why a file that could not be read was not: for readers that stream it instead.
FileProblem ProblemWith(const std::filesystem::path& path);
// The same as ReadEventFileBytes, without the reason.
std::optional<std::string> ReadWholeFile(const std::filesystem::path& path);

enum class ReplaceResult {
  kDone,
  kNotAFile,  // missing, or not a regular file: never created or replaced here
  kReadOnly,  // the user may not write it (or, for root, nobody may): left alone
  kFailed,    // the write, the sync or the rename failed: the old file is as it was
};
// Replaces an existing file by `bytes`, keeping its mode and (where allowed) its owner. Through
// a symbolic link the file it points at is replaced and the link kept.
ReplaceResult ReplaceWholeFile(const std::filesystem::path& path, std::string_view bytes);
// Writes `bytes` as the regular file `path`, the same way: a new file (mode 0666 less the umask)
// or in place of an existing regular file (its mode and, where allowed, owner kept). What is at
// `path` is never opened or followed: a symbolic link (dangling or not), a named pipe, a device,
// a socket or a folder there is refused (kNotAFile), so a write cannot land elsewhere or wait
// for a reader.
ReplaceResult CreateOrReplaceWholeFile(const std::filesystem::path& path, std::string_view bytes);

}  // namespace vespin
