#include "ParadoxTable.h"

namespace tolvan::catalogue {

// The Windows build has no Paradox reader: pxlib's sources are not in the Debian archive this
// build is made from. A site converts its old table once with the Linux tool and copies the
// result; this says so rather than failing as though the table were damaged.
ParadoxCatalogue readParadoxCatalogue(const std::filesystem::path& file) {
    throw ToolError(file.string() +
                    ": this build of tolvan-catalogue cannot read a Paradox table. Convert it "
                    "with tolvan-catalogue on Linux (tolvan-catalogue convert) and copy the "
                    "SQLite catalogue here; nothing was changed.");
}

}  // namespace tolvan::catalogue
