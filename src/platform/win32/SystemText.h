#pragma once

#include <string>

namespace tolvan {

// The system's words for a Windows error code, in UTF-8 without the closing line break
// ("Windows error N" when it has none).
std::string systemText(unsigned long error);

}  // namespace tolvan
