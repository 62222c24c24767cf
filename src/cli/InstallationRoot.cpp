#include "cli/InstallationRoot.h"

#include <cstdlib>
#include <system_error>

#include "services/PathResolver.h"

namespace tolvan::cli {

namespace fs = std::filesystem;

namespace {

constexpr const char* kProgramDir = "\\Orsolite\\Tolvan Link";

}  // namespace

fs::path installationRoot(const std::optional<std::string>& given, const fs::path& executable) {
    if (given) {
        std::error_code ec;
        const fs::path absolute = fs::absolute(pathFromUtf8(*given), ec);
        return ec ? pathFromUtf8(*given) : absolute.lexically_normal();
    }
    const char* env = std::getenv("TOLVAN_ROOT");
    const fs::path fromPlace = PathResolver::rootFor(executable);
    if ((env && *env) || fromPlace != "/") return fromPlace;
    const fs::path dir = executable.parent_path();
    if (dir.filename() == "bin" && PathResolver(dir.parent_path()).exists(kProgramDir))
        return dir.parent_path();
    // The executable's drive ("/" on POSIX).
    return executable.has_root_path() ? executable.root_path() : fs::path("/");
}

fs::path standInExecutable(const fs::path& root) {
    return PathResolver(root).resolve(std::string(kProgramDir) + "\\TolvanLink");
}

}  // namespace tolvan::cli
