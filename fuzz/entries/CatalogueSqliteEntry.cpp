#include <string>

#include "FuzzEntries.h"
#include "Scenario.h"
#include "platform/SqliteCatalogueStore.h"
#include "services/CatalogueQuery.h"

namespace tolvan::fuzz {

namespace {

const char* const kColunas[] = {"Descricao", "Arquivo",    "Setor",    "Arquivo_L",
                                "Setor_L",   "Arquivo_L2", "Setor_L2", "NaoExiste"};

// Every cursor move and every column read of the query, on every row.
void percorre(CatalogueQuery& q) {
    for (q.First(); !q.Eof(); q.Next()) {
        for (const char* coluna : kColunas) {
            (void)q.asString(coluna);
            (void)q.asInteger(coluna);
        }
    }
    for (int k = 0; k <= q.recordCount(); ++k)
        q.Prior();
    expect(q.Bof() || q.recordCount() == 0, "Prior from the end does not reach the beginning");
    q.First();
    for (int k = 0; k < q.recordCount(); ++k) {
        const std::string descricao = q.asString("Descricao");
        expect(q.Locate("Descricao", descricao), "Locate does not find a row's own description");
        q.First();
        for (int j = 0; j <= k; ++j)
            q.Next();
    }
}

}  // namespace

// The catalogue file as the program opens it: the SQLite store classifies the file or reads
// its rows, the query walks them, and the system list shows and scrolls them, down to the
// frames that carry a chosen system's values to the device.
void fuzzCatalogueSqlite(const std::uint8_t* data, std::size_t size) {
    const std::filesystem::path file = scratchFolder() / "sqlite" / "TolvanLink.db";
    writeBytes(file, std::string_view(reinterpret_cast<const char*>(data), size));
    SqliteCatalogueStore store;
    CatalogueOpenResult aberto = store.open(file);
    expect(aberto.table.has_value() == (aberto.problem == CatalogueProblem::None),
           "a catalogue read with a problem, or refused without one");
    if (!aberto.table) {
        expect(!aberto.detail.empty(), "a refused catalogue without a reason");
        return;
    }

    CatalogueQuery q;
    q.open(*aberto.table);
    percorre(q);
    if (aberto.table->rows.empty() || aberto.table->rows.size() > 100) return;

    Scenario s;
    s.rig.catalogue.forced = aberto;
    s.rig.writeFile(kCatalogueFile, "");
    s.startAndConnect();
    if (!s.awaitList()) return;
    const int rows = static_cast<int>(aberto.table->rows.size());
    for (int k = 0; k <= rows && !s.closed(); ++k)
        s.on([&] { s.f().painel.btnDownClick(); });
    for (int k = 0; k <= rows && !s.closed(); ++k)
        s.on([&] { s.f().painel.btnUpClick(); });
    s.chooseSystem(rows - 1);
    if (s.closed() || s.f().nav.Tela != 2) return;
    s.startOperation(2);
    s.settle(60000);
    s.trace();
}

}  // namespace tolvan::fuzz
