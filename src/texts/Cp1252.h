#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tolvan {

// Windows-1252, the code page of the text files and of the names sent to the device.
std::string cp1252ToUtf8(std::string_view bytes);
// Characters without a Windows-1252 code become '?'.
std::string utf8ToCp1252(std::string_view text);
// The Windows-1252 code of each character of `text`, or none when one has no code.
std::optional<std::string> utf8ToCp1252Exact(std::string_view text);

}  // namespace tolvan
