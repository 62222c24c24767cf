#include <sstream>
#include <string>

#include "CatalogueTool.h"
#include "FuzzEntries.h"
#include "FuzzSupport.h"
#include "platform/SqliteCatalogueStore.h"

namespace tolvan::fuzz {

namespace {

std::size_t filesIn(const std::filesystem::path& folder) {
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder))
        ++n;
    return n;
}

}  // namespace

// A legacy Paradox table converted by the catalogue tool: a conversion either fails and leaves
// the table as it was, with nothing beside it, or replaces it with a SQLite catalogue that the
// program reads, keeping the table as the backup.
void fuzzCatalogueParadox(const std::uint8_t* data, std::size_t size) {
    const std::string table(reinterpret_cast<const char*>(data), size);
    if (table.rfind(std::string("SQLite format 3\0", 16), 0) == 0) return;  // nothing to convert

    const std::filesystem::path folder = scratchFolder() / "paradox";
    std::filesystem::remove_all(folder);
    const std::filesystem::path file = folder / "TolvanLink.db";
    writeBytes(file, table);

    std::ostringstream out, err;
    const std::string path = file.string();
    const char* argv[] = {"tolvan-catalogue", "convert", path.c_str()};
    const int code = catalogue::runCatalogueTool(3, argv, out, err);

    if (code != catalogue::kExitOk) {
        expect(readBytes(file) == table, "a failed conversion changed the table");
        expect(filesIn(folder) == 1, "a failed conversion left files behind");
        return;
    }
    expect(readBytes(path + ".paradox-backup") == table, "the backup is not the table");
    expect(filesIn(folder) == 2, "a conversion left other files behind");
    SqliteCatalogueStore store;
    const CatalogueOpenResult aberto = store.open(file);
    expect(aberto.table.has_value(),
           "the program cannot read the converted catalogue: " + aberto.detail);
    expect(out.str().find("Converted " + std::to_string(aberto.table->rows.size()) + " systems") !=
               std::string::npos,
           "the converted catalogue does not hold the rows the tool reported");
}

}  // namespace tolvan::fuzz
