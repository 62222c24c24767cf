#pragma once

#include <QByteArray>
#include <filesystem>
#include <string>

namespace tolvan::cli {

// The report file as this machine's system writes it (cli/posix or cli/win32).

// This machine's name (UTF-8), or empty when it cannot be told.
std::string hostName();

// Appends `line` to `file` in one write under an exclusive lock, so that the processes of a
// bench can append to the same file at once; creates it (0644) when missing. False, and why in
// `error`, when the line was not written whole: then the file is cut back to what it held, so
// that no piece of a line is left for the next one to be glued to.
bool appendWholeLine(const std::filesystem::path& file, const QByteArray& line, std::string& error);

}  // namespace tolvan::cli
