#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace tolvan {

// Turns the program's Windows-style paths into files on this machine. A drive prefix ("C:")
// or a leading backslash stands for the installation root; backslashes become separators; each
// component is matched without regard to case against what exists on disk, and a component that
// does not exist yet keeps the spelling given. A path that starts with "/" is already a path of
// this machine; any other path is relative to the current directory. With an empty root the
// paths are taken as they are, the system resolving drives and case itself.
class PathResolver {
  public:
    explicit PathResolver(std::filesystem::path root);

    std::filesystem::path resolve(std::string_view programPath) const;
    bool exists(std::string_view programPath) const;
    const std::filesystem::path& root() const { return root_; }

    // The installation root: $TOLVAN_ROOT when set and not empty; else <R> when the executable
    // lies in <R>/Orsolite/Tolvan Link/; else "/". On Windows none (empty): the drives are
    // real there.
    static std::filesystem::path rootFor(const std::filesystem::path& executable);

  private:
    std::filesystem::path root_;
};

// The core holds names in UTF-8; a path of the machine holds them in its own form (UTF-16 on
// Windows, where a plain std::string would go through the ANSI code page).
std::filesystem::path pathFromUtf8(std::string_view text);
std::string utf8(const std::filesystem::path& path);

// Case-insensitive comparison of path components (ASCII and Latin-1 letters in UTF-8).
bool sameComponentIgnoringCase(std::string_view a, std::string_view b);

}  // namespace tolvan
