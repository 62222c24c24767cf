#include "CsvFile.h"

#include <csv.h>
#include <strings.h>

#include <charconv>

namespace tolvan::catalogue {

namespace {

struct Records {
    std::vector<std::vector<std::string>> rows{1};  // the last one is being filled
};

std::int64_t parseSectors(const std::string& text, const std::string& column, std::size_t line) {
    std::int64_t value = 0;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end)
        throw ToolError("CSV row " + std::to_string(line) + ": " + column +
                        " must be a whole number, not \"" + text + "\".");
    return value;
}

std::string quote(const std::string& field) {
    if (field.find_first_of(",\"\r\n") == std::string::npos && !hasOuterBlanks(field)) return field;
    std::string out = "\"";
    for (char ch : field) {
        if (ch == '"') out += '"';
        out += ch;
    }
    return out + "\"";
}

}  // namespace

std::vector<CatalogueRow> parseCatalogueCsv(const std::string& input) {
    std::string_view text = input;
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);  // a spreadsheet's BOM

    csv_parser parser;
    if (csv_init(&parser, CSV_STRICT | CSV_STRICT_FINI) != 0) throw ToolError("out of memory");
    // Blanks belong to the field: a description with outer blanks must be seen to be refused.
    csv_set_space_func(&parser, [](unsigned char) { return 0; });
    Records records;
    auto onField = [](void* data, std::size_t len, void* out) {
        auto* r = static_cast<Records*>(out);
        r->rows.back().emplace_back(data ? static_cast<const char*>(data) : "", len);
    };
    auto onRow = [](int, void* out) {
        auto* r = static_cast<Records*>(out);
        r->rows.emplace_back();
    };
    const bool parsed =
        csv_parse(&parser, text.data(), text.size(), onField, onRow, &records) == text.size() &&
        csv_fini(&parser, onField, onRow, &records) == 0;
    const std::string why = csv_strerror(csv_error(&parser));
    csv_free(&parser);
    if (!parsed) throw ToolError("the CSV text cannot be read: " + why + ".");
    if (records.rows.back().empty()) records.rows.pop_back();
    if (records.rows.empty()) throw ToolError("the CSV text has no header line.");

    // The header names the columns.
    const auto& header = records.rows.front();
    int where[7] = {-1, -1, -1, -1, -1, -1, -1};
    for (std::size_t i = 0; i < header.size(); ++i) {
        int column = -1;
        for (int c = 0; c < 7; ++c)
            if (strcasecmp(header[i].c_str(), kColumnNames[c]) == 0) column = c;
        if (column < 0) throw ToolError("CSV header: unknown column \"" + header[i] + "\".");
        if (where[column] >= 0)
            throw ToolError("CSV header: column " + header[i] + " appears twice.");
        where[column] = static_cast<int>(i);
    }
    for (int c = 0; c < 5; ++c)
        if (where[c] < 0)
            throw ToolError(std::string("CSV header: column ") + kColumnNames[c] + " is missing.");

    std::vector<CatalogueRow> rows;
    for (std::size_t r = 1; r < records.rows.size(); ++r) {
        const auto& fields = records.rows[r];
        const std::size_t line = r + 1;  // as a spreadsheet counts, the header being row 1
        if (fields.size() != header.size())
            throw ToolError("CSV row " + std::to_string(line) + ": " +
                            std::to_string(fields.size()) + " fields where the header has " +
                            std::to_string(header.size()) + ".");
        auto field = [&](int c) {
            return where[c] >= 0 ? fields[static_cast<std::size_t>(where[c])] : std::string();
        };
        CatalogueRow row;
        row.descricao = field(0);
        row.arquivo = field(1);
        row.setor = parseSectors(field(2), kColumnNames[2], line);
        row.arquivoL = field(3);
        row.setorL = parseSectors(field(4), kColumnNames[4], line);
        row.arquivoL2 = field(5);
        const std::string l2 = field(6);
        row.setorL2 = l2.empty() ? 0 : parseSectors(l2, kColumnNames[6], line);
        rows.push_back(std::move(row));
    }
    return rows;
}

std::string formatCatalogueCsv(const std::vector<CatalogueRow>& rows) {
    std::string out;
    for (int c = 0; c < 7; ++c)
        out += std::string(c ? "," : "") + kColumnNames[c];
    out += "\n";
    for (const CatalogueRow& r : rows) {
        out += quote(r.descricao) + "," + quote(r.arquivo) + "," + std::to_string(r.setor) + "," +
               quote(r.arquivoL) + "," + std::to_string(r.setorL) + "," + quote(r.arquivoL2) + "," +
               std::to_string(r.setorL2) + "\n";
    }
    return out;
}

}  // namespace tolvan::catalogue
