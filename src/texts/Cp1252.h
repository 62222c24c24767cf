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
// None when `bytes` holds one of the five bytes (81, 8D, 8F, 90, 9D) that have no character.
std::optional<std::string> cp1252ToUtf8Exact(std::string_view bytes);

// Well-formed UTF-8: no stray or missing continuation bytes, overlong forms, surrogates or
// code points past U+10FFFF.
bool isUtf8(std::string_view bytes);
// Stored text as the program reads it: UTF-8 as it is, anything else as Windows-1252 (what an
// older catalogue tool stored from a spreadsheet's file).
std::string utf8OrCp1252ToUtf8(std::string_view bytes);

}  // namespace tolvan
