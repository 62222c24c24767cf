#pragma once

#include <filesystem>

namespace tolvan {

// Some files in the folder the operators share steer every operator's program: the port map and
// the selection file. One of them counts only when root or the running user owns it, so that no
// operator can steer another's program by leaving one there. A file that cannot be examined
// does not count; a link counts by its own owner, not its target's.
bool ownedByRootOrMe(const std::filesystem::path& file);

}  // namespace tolvan
