#pragma once
// A running panel holds this lock file in its folder (Qt's QLockFile). An import takes the same
// lock, so it never runs while a panel may rewrite the folder's vespin.ini, nor a panel starts
// there during one.

namespace vespin {

inline constexpr const char* kPanelLockName = "vespin.lock";

}  // namespace vespin
