#include "FolderLock.h"

#include <QFile>
#include <QLockFile>

#include "events/PanelLock.h"

namespace vespin::cli {

FolderLock::FolderLock(const std::filesystem::path& folder)
    : lock_(std::make_unique<QLockFile>(QFile::decodeName((folder / kPanelLockName).c_str()))) {
  // As the panel: a lock is stale only when its owner is gone, however old it is.
  lock_->setStaleLockTime(0);
  heldElsewhere_ = !lock_->tryLock(0) && lock_->error() == QLockFile::LockFailedError;
}

FolderLock::~FolderLock() = default;

}  // namespace vespin::cli
