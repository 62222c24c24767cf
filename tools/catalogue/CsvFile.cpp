#include "CsvFile.h"

#include <csv.h>
#include <strings.h>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <optional>

#include "texts/Cp1252.h"

namespace tolvan::catalogue {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

struct Record {
    std::size_t line = 0;  // where it begins
    std::vector<std::string> fields;
};

[[noreturn]] void refuse(std::size_t line, const std::string& column, const std::string& what) {
    throw ToolError("line " + std::to_string(line) + (column.empty() ? "" : ", column " + column) +
                    ": " + what + ".");
}

// A field's column for messages: its name in the header line, else its number.
std::string columnLabel(const std::vector<Record>& records, std::size_t index) {
    if (records.size() > 1 && index < records.front().fields.size() &&
        !records.front().fields[index].empty())
        return shown(records.front().fields[index]);
    return std::to_string(index + 1);
}

bool isColumnName(std::string_view name) {
    return std::any_of(std::begin(kColumnNames), std::end(kColumnNames), [&](const char* column) {
        return name.size() == std::strlen(column) &&
               strncasecmp(name.data(), column, name.size()) == 0;
    });
}

std::string columnList() {
    std::string list;
    for (const char* column : kColumnNames)
        list += std::string(list.empty() ? "" : ", ") + column;
    return list;
}

// The one of ';', ',' and tab that splits the header line into the most column names.
char separatorOf(std::string_view text) {
    const std::string_view header = text.substr(0, text.find_first_of("\r\n"));
    char best = 0;
    int bestNames = 0;
    for (const char separator : {';', ',', '\t'}) {
        int names = 0;
        for (std::size_t at = 0; at <= header.size();) {
            const std::size_t end = std::min(header.find(separator, at), header.size());
            std::string_view name = header.substr(at, end - at);
            if (name.size() >= 2 && name.front() == '"' && name.back() == '"')
                name = name.substr(1, name.size() - 2);
            names += isColumnName(name);
            at = end + 1;
        }
        if (names > bestNames) {
            best = separator;
            bestNames = names;
        }
    }
    if (best == 0)
        refuse(1, "",
               "the header line names none of the columns " + columnList() +
                   " (separated by ';', ',' or a tab)");
    return best;
}

struct Parser {
    csv_parser p;
    Parser() {
        if (csv_init(&p, CSV_STRICT | CSV_STRICT_FINI) != 0) throw ToolError("out of memory");
    }
    ~Parser() { csv_free(&p); }
};

struct Tokens {
    std::vector<Record> records{1};  // the last one is being filled
    std::size_t line = 1;            // the line being read
    std::size_t lastEnd = 0;         // the line the last whole record ended on
    std::size_t fieldEnd = 0;        // the line the last whole field ended on
    char lineEnd = '\n';
};

std::string parseProblem(int error) {
    if (error == CSV_EPARSE)
        return "a quote where none belongs (a field with quotes is written whole in quotes, each "
               "quote in it doubled)";
    return csv_strerror(error);
}

// The records of `text`, each with the line it begins on. libcsv is given one line at a time,
// so that the line of a fault is known.
std::vector<Record> readRecords(std::string_view text, char separator) {
    Parser parser;
    csv_set_delim(&parser.p, static_cast<unsigned char>(separator));
    // Blanks belong to the field: a description with outer blanks must be seen to be refused.
    csv_set_space_func(&parser.p, [](unsigned char) { return 0; });
    Tokens t;
    // Lines end in LF or CRLF; a file with CR alone (an old Mac's) counts those.
    if (text.find('\n') == std::string_view::npos) t.lineEnd = '\r';
    auto onField = [](void* data, std::size_t len, void* out) {
        auto* t = static_cast<Tokens*>(out);
        Record& r = t->records.back();
        std::string field(data ? static_cast<const char*>(data) : "", len);
        // A record begins where its first field does: line breaks inside quotes count.
        if (r.fields.empty())
            r.line = t->line -
                     static_cast<std::size_t>(std::count(field.begin(), field.end(), t->lineEnd));
        r.fields.push_back(std::move(field));
        t->fieldEnd = t->line;
    };
    auto onRow = [](int, void* out) {
        auto* t = static_cast<Tokens*>(out);
        t->lastEnd = t->line;
        t->records.emplace_back();
    };
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = std::min(text.find(t.lineEnd, at), text.size() - 1) + 1;
        if (csv_parse(&parser.p, text.data() + at, end - at, onField, onRow, &t) != end - at)
            refuse(t.line, columnLabel(t.records, t.records.back().fields.size()),
                   parseProblem(csv_error(&parser.p)));
        at = end;
        if (at < text.size()) ++t.line;
    }
    // Only a field that begins with a quote is still open at the end: strict parsing refuses
    // any other quote where it stands. It begins where the field before it, or the record
    // before it, ended.
    if (csv_fini(&parser.p, onField, onRow, &t) != 0)
        refuse(t.records.back().fields.empty() ? t.lastEnd + 1 : t.fieldEnd,
               columnLabel(t.records, t.records.back().fields.size()),
               "the quote that opens the field is never closed");
    if (t.records.back().fields.empty()) t.records.pop_back();
    return std::move(t.records);
}

bool isAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char ch) { return static_cast<unsigned char>(ch) < 0x80; });
}

// Every field as UTF-8 text, or a refusal saying which one cannot be.
void decode(std::vector<Record>& records, CsvEncoding encoding, const std::string& why) {
    for (Record& record : records) {
        for (std::size_t i = 0; i < record.fields.size(); ++i) {
            std::string& field = record.fields[i];
            if (isAscii(field)) continue;
            const std::string column =
                &record == &records.front() ? std::to_string(i + 1) : columnLabel(records, i);
            if (encoding == CsvEncoding::Utf8) {
                if (!isUtf8(field))
                    refuse(record.line, column,
                           "'" + shown(field) +
                               "' (read as Windows-1252) is not UTF-8 text, which " + why);
            } else if (auto text = cp1252ToUtf8Exact(field)) {
                field = std::move(*text);
            } else {
                refuse(record.line, column,
                       "'" + shown(field) +
                           "' holds a byte that has no character in Windows-1252 (81, 8D, 8F, 90 "
                           "or 9D)");
            }
        }
    }
}

// A file that is not UTF-8 throughout but has UTF-8 text in places was put together from two
// sources: read either way, part of it would be garbled.
void refuseMixedEncodings(const std::vector<Record>& records) {
    std::size_t utf8Line = 0;
    for (const Record& record : records)
        for (const std::string& field : record.fields)
            if (!utf8Line && !isAscii(field) && isUtf8(field)) utf8Line = record.line;
    if (!utf8Line) return;
    for (const Record& record : records)
        for (std::size_t i = 0; i < record.fields.size(); ++i)
            if (!isUtf8(record.fields[i]))
                refuse(record.line, columnLabel(records, i),
                       "'" + shown(record.fields[i]) + "' is Windows-1252 text, but line " +
                           std::to_string(utf8Line) +
                           " holds UTF-8 text: the file mixes two encodings. Save it again from "
                           "one program, or give --encoding");
}

std::int64_t parseSectors(const std::string& text, std::size_t line, const char* column) {
    std::int64_t value = 0;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty()) refuse(line, column, "no sector count");
    if (ec != std::errc() || ptr != end)
        refuse(line, column, "'" + text + "' is not a sector count");
    return value;
}

std::string quote(const std::string& field, char separator) {
    if (field.find_first_of({separator, '"', '\r', '\n'}) == std::string::npos &&
        !hasOuterBlanks(field))
        return field;
    std::string out = "\"";
    for (char ch : field) {
        if (ch == '"') out += '"';
        out += ch;
    }
    return out + "\"";
}

}  // namespace

const char* encodingName(CsvEncoding encoding) {
    return encoding == CsvEncoding::Windows1252 ? "Windows-1252" : "UTF-8";
}

CsvCatalogue parseCatalogueCsv(const std::string& input, const CsvReadOptions& options) {
    std::string_view text = input;
    if (text.substr(0, 2) == "\xFF\xFE" || text.substr(0, 2) == "\xFE\xFF")
        refuse(1, "", "the file is UTF-16 text; save it as CSV in UTF-8 or Windows-1252");
    const bool byteOrderMark = text.substr(0, kByteOrderMark.size()) == kByteOrderMark;
    if (byteOrderMark) text.remove_prefix(kByteOrderMark.size());

    CsvCatalogue csv;
    csv.separator = options.separator ? options.separator : separatorOf(text);
    std::vector<Record> records = readRecords(text, csv.separator);
    if (records.empty())
        refuse(1, "", "the file is empty; it needs a header line naming the columns");

    csv.encoding = options.encoding;
    std::string why = "--encoding utf-8 asks for";
    if (csv.encoding == CsvEncoding::Detect) {
        why = "the file's byte-order mark promises";
        if (!byteOrderMark && !isUtf8(text)) refuseMixedEncodings(records);
        csv.encoding = byteOrderMark || isUtf8(text) ? CsvEncoding::Utf8 : CsvEncoding::Windows1252;
    }
    decode(records, csv.encoding, why);

    // The header names the columns; a column without a name may only hold empty fields.
    const std::vector<std::string>& header = records.front().fields;
    int where[7] = {-1, -1, -1, -1, -1, -1, -1};
    for (std::size_t i = 0; i < header.size(); ++i) {
        if (header[i].empty()) continue;
        int column = -1;
        for (int c = 0; c < 7; ++c)
            if (strcasecmp(header[i].c_str(), kColumnNames[c]) == 0) column = c;
        if (column < 0)
            refuse(1, std::to_string(i + 1),
                   "'" + header[i] + "' is not a column of the catalogue (" + columnList() + ")");
        if (where[column] >= 0)
            refuse(1, std::to_string(i + 1), "'" + header[i] + "' is named a second time");
        where[column] = static_cast<int>(i);
    }
    for (int c = 0; c < 5; ++c)
        if (where[c] < 0)
            refuse(1, "", std::string("the header line has no column ") + kColumnNames[c]);

    for (std::size_t r = 1; r < records.size(); ++r) {
        const std::size_t line = records[r].line;
        const std::vector<std::string>& fields = records[r].fields;
        if (std::all_of(fields.begin(), fields.end(), [](const auto& f) { return f.empty(); }))
            continue;  // an empty row of the spreadsheet
        // The first column without a field, or the first field without a column.
        if (fields.size() != header.size())
            refuse(line, columnLabel(records, std::min(fields.size(), header.size())),
                   std::string(fields.size() < header.size() ? "no field" : "a field too many") +
                       ": " + std::to_string(fields.size()) + " fields where the header line has " +
                       std::to_string(header.size()));
        for (std::size_t i = 0; i < header.size(); ++i)
            if (header[i].empty() && !fields[i].empty())
                refuse(line, std::to_string(i + 1),
                       "'" + fields[i] + "' under a column that the header line does not name");
        auto field = [&](int c) {
            return where[c] >= 0 ? fields[static_cast<std::size_t>(where[c])] : std::string();
        };
        CatalogueRow row;
        row.descricao = field(0);
        row.arquivo = field(1);
        row.setor = parseSectors(field(2), line, kColumnNames[2]);
        row.arquivoL = field(3);
        row.setorL = parseSectors(field(4), line, kColumnNames[4]);
        row.arquivoL2 = field(5);
        const std::string l2 = field(6);
        row.setorL2 = l2.empty() ? 0 : parseSectors(l2, line, kColumnNames[6]);
        if (const auto problem = rowProblem(row)) refuse(line, problem->column, problem->what);
        for (std::size_t j = 0; j < csv.rows.size(); ++j)
            if (sameDescription(csv.rows[j].descricao, row.descricao))
                refuse(line, kColumnNames[0],
                       "'" + row.descricao + "' is the system of line " +
                           std::to_string(csv.lines[j]) + " again (the same ignoring case)");
        csv.rows.push_back(std::move(row));
        csv.lines.push_back(line);
    }
    return csv;
}

std::string formatCatalogueCsv(const std::vector<CatalogueRow>& rows, const CsvStyle& style) {
    const char sep = style.separator;
    const char* end = style.crlf ? "\r\n" : "\n";
    std::string out = style.byteOrderMark ? std::string(kByteOrderMark) : std::string();
    for (int c = 0; c < 7; ++c)
        out += (c ? std::string(1, sep) : std::string()) + kColumnNames[c];
    out += end;
    for (const CatalogueRow& r : rows) {
        out += quote(r.descricao, sep) + sep + quote(r.arquivo, sep) + sep +
               std::to_string(r.setor) + sep + quote(r.arquivoL, sep) + sep +
               std::to_string(r.setorL) + sep + quote(r.arquivoL2, sep) + sep +
               std::to_string(r.setorL2) + end;
    }
    return out;
}

}  // namespace tolvan::catalogue
