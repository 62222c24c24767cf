#pragma once

#include <string>
#include <vector>

#include "CatalogueDb.h"

namespace tolvan::catalogue {

// Catalogue rows as CSV (RFC 4180): a header line naming the columns, then one record a system.
// Reading accepts the columns in any order and any case; the L2 columns may be left out, and so
// may columns without a name and records without a value (a spreadsheet writes those for cells
// it has formatted). Fields are taken exactly as written: no blanks are trimmed.

enum class CsvEncoding { Detect, Utf8, Windows1252 };

struct CsvReadOptions {
    char separator = 0;  // 0: the one of ';', ',' and tab that splits the header line into names
    // Detect: UTF-8 when the file begins with a byte-order mark or is UTF-8 throughout,
    // Windows-1252 otherwise.
    CsvEncoding encoding = CsvEncoding::Detect;
};

struct CsvCatalogue {
    std::vector<CatalogueRow> rows;  // each keeps the rules of rowProblem()
    std::vector<std::size_t> lines;  // the line each row begins on, the header being line 1
    char separator = ',';
    CsvEncoding encoding = CsvEncoding::Utf8;
};

// Throws ToolError saying where and what was expected: "line 3, column Setor: 'doze' is not a
// sector count." Two records of the same description (ignoring case) are refused too.
CsvCatalogue parseCatalogueCsv(const std::string& text, const CsvReadOptions& options = {});

struct CsvStyle {
    char separator = ',';
    bool byteOrderMark = false;
    bool crlf = false;
};
// What a spreadsheet set to a Portuguese locale opens as it is: semicolons (the comma is its
// decimal separator), UTF-8 with a byte-order mark, CRLF.
inline constexpr CsvStyle kSpreadsheetCsv{';', true, true};

// UTF-8; a field is quoted when it holds the separator, a quote, a line break or outer blanks.
std::string formatCatalogueCsv(const std::vector<CatalogueRow>& rows, const CsvStyle& style = {});

const char* encodingName(CsvEncoding encoding);

}  // namespace tolvan::catalogue
