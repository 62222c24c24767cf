#pragma once

#include <memory>

#include "services/FileAccess.h"

namespace tolvan {

// The shared files as this machine's system opens them (platform/posix or platform/win32,
// whichever the build is for).
std::unique_ptr<FileAccess> nativeFileAccess();

}  // namespace tolvan
