#pragma once
// An import takes the folder's panel lock, the one a running panel holds, and keeps it until it
// is done: it never writes under a panel that would save its own tables over the import, and no
// panel starts on the folder meanwhile. Qt's QLockFile decides whether a lock left behind is stale.

#include <filesystem>
#include <memory>

class QLockFile;

namespace vespin::cli {

class FolderLock final {
 public:
  // One attempt, no waiting.
  explicit FolderLock(const std::filesystem::path& folder);
  ~FolderLock();
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;

  // A live panel holds the folder (or another import does, or a machine sharing the folder).
  // A folder where no lock can be made (read-only) is not held: the write will say what fails.
  bool HeldElsewhere() const { return heldElsewhere_; }

 private:
  std::unique_ptr<QLockFile> lock_;
  bool heldElsewhere_ = false;
};

}  // namespace vespin::cli
