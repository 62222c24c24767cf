#include "services/PathResolver.h"

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <system_error>
#include <vector>

namespace tolvan {

namespace {

// Folds one UTF-8 character starting at s[i] to a comparable code point; advances i.
char32_t foldedCodePoint(std::string_view s, std::size_t& i) {
    auto c = static_cast<unsigned char>(s[i]);
    char32_t cp = c;
    std::size_t len = 1;
    if (c >= 0xC0 && c < 0xE0 && i + 1 < s.size()) {
        cp = ((c & 0x1Fu) << 6) | (static_cast<unsigned char>(s[i + 1]) & 0x3Fu);
        len = 2;
    } else if (c >= 0xE0 && c < 0xF0 && i + 2 < s.size()) {
        cp = ((c & 0x0Fu) << 12) | ((static_cast<unsigned char>(s[i + 1]) & 0x3Fu) << 6) |
             (static_cast<unsigned char>(s[i + 2]) & 0x3Fu);
        len = 3;
    }
    i += len;
    if (cp >= 'A' && cp <= 'Z') return cp + 32;
    // Latin-1 capitals À..Þ except the multiplication sign.
    if (cp >= 0xC0 && cp <= 0xDE && cp != 0xD7) return cp + 32;
    return cp;
}

std::vector<std::string> splitComponents(std::string_view path) {
    std::vector<std::string> parts;
    std::string current;
    for (char ch : path) {
        if (ch == '\\' || ch == '/') {
            if (!current.empty()) parts.push_back(current);
            current.clear();
        } else {
            current += ch;
        }
    }
    if (!current.empty()) parts.push_back(current);
    return parts;
}

std::filesystem::path matchComponent(const std::filesystem::path& dir, const std::string& name) {
    std::error_code ec;
    std::filesystem::path exact = dir / pathFromUtf8(name);
    if (std::filesystem::exists(exact, ec)) return exact;
    for (std::filesystem::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        if (sameComponentIgnoringCase(utf8(it->path().filename()), name)) return it->path();
    }
    return exact;
}

// Where a root with a drive of its own (on Windows) is spelt at the start of `path`, the rest of
// it: the executable's folder is such a path, below the root and not to be put under it again.
// Empty when `path` does not start with the root.
std::optional<std::string_view> belowRoot(const std::filesystem::path& root,
                                          std::string_view path) {
    if (!root.has_root_name()) return std::nullopt;
    for (const std::string& part : splitComponents(utf8(root))) {
        while (!path.empty() && (path.front() == '\\' || path.front() == '/'))
            path.remove_prefix(1);
        const std::size_t end = std::min(path.find_first_of("\\/"), path.size());
        if (!sameComponentIgnoringCase(path.substr(0, end), part)) return std::nullopt;
        path.remove_prefix(end);
    }
    return path;
}

}  // namespace

std::filesystem::path pathFromUtf8(std::string_view text) {
    return std::filesystem::path(
        std::u8string(reinterpret_cast<const char8_t*>(text.data()), text.size()));
}

std::string utf8(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

bool sameComponentIgnoringCase(std::string_view a, std::string_view b) {
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (foldedCodePoint(a, i) != foldedCodePoint(b, j)) return false;
    }
    return i == a.size() && j == b.size();
}

PathResolver::PathResolver(std::filesystem::path root) : root_(std::move(root)) {}

std::filesystem::path PathResolver::resolve(std::string_view programPath) const {
    // No root: the program's paths are this system's own (Windows, where the drives are real
    // and names match without regard to case by themselves).
    if (root_.empty()) return pathFromUtf8(programPath);
    std::filesystem::path base;
    std::string_view rest = programPath;
    const bool hasDrive =
        rest.size() >= 2 && rest[1] == ':' &&
        ((rest[0] >= 'A' && rest[0] <= 'Z') || (rest[0] >= 'a' && rest[0] <= 'z'));
    if (const std::optional<std::string_view> below = belowRoot(root_, programPath)) {
        base = root_;
        rest = *below;
    } else if (hasDrive) {
        base = root_;
        rest.remove_prefix(2);
    } else if (!rest.empty() && rest[0] == '\\') {
        base = root_;
    } else if (!rest.empty() && rest[0] == '/') {
        base = "/";
    } else {
        std::error_code ec;
        base = std::filesystem::current_path(ec);
    }
    std::filesystem::path result = base;
    for (const std::string& part : splitComponents(rest)) {
        if (part == ".") continue;
        if (part == "..") {
            result = result.parent_path();
            continue;
        }
        result = matchComponent(result, part);
    }
    return result;
}

bool PathResolver::exists(std::string_view programPath) const {
    std::error_code ec;
    return std::filesystem::exists(resolve(programPath), ec);
}

std::filesystem::path PathResolver::rootFor(const std::filesystem::path& executable) {
#ifdef _WIN32
    (void)executable;
    return {};
#else
    if (const char* env = std::getenv("TOLVAN_ROOT"); env && *env) return env;
    const std::filesystem::path dir = executable.parent_path();
    const std::filesystem::path orsolite = dir.parent_path();
    if (sameComponentIgnoringCase(utf8(dir.filename()), "Tolvan Link") &&
        sameComponentIgnoringCase(utf8(orsolite.filename()), "Orsolite")) {
        return orsolite.parent_path();
    }
    return "/";
#endif
}

}  // namespace tolvan
