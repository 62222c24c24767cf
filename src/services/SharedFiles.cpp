#include "services/SharedFiles.h"

#include <sys/stat.h>
#include <unistd.h>

namespace tolvan {

bool ownedByRootOrMe(const std::filesystem::path& file) {
    struct stat st {};
    if (::lstat(file.c_str(), &st) != 0) return false;
    return st.st_uid == 0 || st.st_uid == ::geteuid();
}

}  // namespace tolvan
