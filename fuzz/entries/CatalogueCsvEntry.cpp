#include <string>

#include "CsvFile.h"
#include "FuzzEntries.h"
#include "FuzzSupport.h"

namespace tolvan::fuzz {

namespace {

bool sameRows(const std::vector<CatalogueRow>& a, const std::vector<CatalogueRow>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto& x = a[i];
        const auto& y = b[i];
        if (x.descricao != y.descricao || x.arquivo != y.arquivo || x.setor != y.setor ||
            x.arquivoL != y.arquivoL || x.setorL != y.setorL || x.arquivoL2 != y.arquivoL2 ||
            x.setorL2 != y.setorL2)
            return false;
    }
    return true;
}

}  // namespace

// A CSV file of the catalogue tool: what it reads is stored text (UTF-8, keeping the rows'
// rules), and written out again in either style it reads back the same.
void fuzzCatalogueCsv(const std::uint8_t* data, std::size_t size) {
    catalogue::CsvCatalogue csv;
    try {
        csv = catalogue::parseCatalogueCsv(std::string(reinterpret_cast<const char*>(data), size));
    } catch (const catalogue::ToolError&) {
        return;
    }
    for (const CatalogueRow& row : csv.rows)
        expect(!catalogue::rowProblem(row), "a row read from CSV breaks the catalogue's rules");
    for (const catalogue::CsvStyle& style : {catalogue::CsvStyle{}, catalogue::kSpreadsheetCsv}) {
        const std::string written = catalogue::formatCatalogueCsv(csv.rows, style);
        catalogue::CsvCatalogue again;
        try {
            again = catalogue::parseCatalogueCsv(written);
        } catch (const catalogue::ToolError& e) {
            throw FuzzFailure(std::string("the tool cannot read the CSV it wrote: ") + e.what());
        }
        expect(sameRows(csv.rows, again.rows), "the CSV the tool wrote reads back otherwise");
    }
}

}  // namespace tolvan::fuzz
