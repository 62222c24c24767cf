#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace tolvan::cli {

// The installation root: --root as given (made absolute); else $TOLVAN_ROOT; else <R> when
// this program is installed as <R>/bin/tolvan-flash beside <R>/Orsolite/Tolvan Link, or lies
// in <R>/Orsolite/Tolvan Link itself; else "/".
std::filesystem::path installationRoot(const std::optional<std::string>& given,
                                       const std::filesystem::path& executable);

// The program that tolvan-flash stands in for: <root>/Orsolite/Tolvan Link/TolvanLink, whose
// folder holds the image files (bin/).
std::filesystem::path standInExecutable(const std::filesystem::path& root);

}  // namespace tolvan::cli
