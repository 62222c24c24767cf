#include "ParadoxTable.h"

#include <iconv.h>

// pxlib's header has no C++ linkage of its own.
extern "C" {
#include <paradox.h>
}

#include <cmath>
#include <cstring>
#include <fstream>
#include <memory>
#include <vector>

#include "texts/Cp1252.h"

namespace tolvan::catalogue {

namespace {

// Converts a text of the table's code page. Code page 1252 (and a table that names none) is
// decoded directly; others go through iconv, and a text iconv refuses is read as 1252.
std::string toUtf8(const std::string& bytes, int codePage) {
    if (codePage == 0 || codePage == 1252) return cp1252ToUtf8(bytes);
    const std::string from = "CP" + std::to_string(codePage);
    iconv_t cd = iconv_open("UTF-8", from.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) return cp1252ToUtf8(bytes);
    std::string out(bytes.size() * 4 + 4, '\0');
    char* in = const_cast<char*>(bytes.data());
    std::size_t inLeft = bytes.size();
    char* outPtr = out.data();
    std::size_t outLeft = out.size();
    const std::size_t rc = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
    iconv_close(cd);
    if (rc == static_cast<std::size_t>(-1)) return cp1252ToUtf8(bytes);
    out.resize(out.size() - outLeft);
    return out;
}

struct PxDoc {
    pxdoc_t* doc = nullptr;
    bool open = false;
    std::string lastError;
    ~PxDoc() {
        if (open) PX_close(doc);
        if (doc) PX_delete(doc);
    }
};

void collectError(pxdoc_t*, int level, const char* msg, void* data) {
    if (level != PX_Warning && data && msg) static_cast<PxDoc*>(data)->lastError = msg;
}

// A numeric or text field read as an integer; nulls read as 0.
std::int64_t integerOf(const pxval_t& v, const std::string& column) {
    if (v.isnull) return 0;
    switch (v.type) {
        case pxfShort:
        case pxfLong:
        case pxfAutoInc:
            return v.value.lval;
        case pxfNumber:
        case pxfCurrency:
            if (!std::isfinite(v.value.dval)) break;
            return std::llround(v.value.dval);
        case pxfAlpha:
        case pxfBCD:
            return std::strtoll(v.value.str.val ? v.value.str.val : "", nullptr, 10);
        default:
            break;
    }
    throw ToolError("column " + column + " does not hold a number.");
}

std::string textOf(const pxval_t& v, int codePage, const std::string& column) {
    if (v.isnull) return {};
    switch (v.type) {
        case pxfAlpha:
            return toUtf8(
                std::string(v.value.str.val,
                            strnlen(v.value.str.val, static_cast<std::size_t>(v.value.str.len))),
                codePage);
        case pxfShort:
        case pxfLong:
        case pxfAutoInc:
            return std::to_string(v.value.lval);
        default:
            break;
    }
    throw ToolError("column " + column + " does not hold text.");
}

// pxlib follows a table's chain of data blocks without a bound and takes a block head past the
// end of the file for whatever its buffer held, so a damaged table can keep it reading for ever.
// The chain is walked here first: every block lies whole inside the file, and none comes twice.
// The blocks of an encrypted table are decrypted first, so its chain cannot be checked: such a
// table is refused (a catalogue is never encrypted).
void checkDataBlocks(const std::filesystem::path& file) {
    const auto damaged = [&](const std::string& why) {
        return ToolError(file.string() + ": a damaged Paradox table (" + why + ").");
    };
    std::ifstream in(file, std::ios::binary);
    unsigned char head[96] = {};
    in.read(reinterpret_cast<char*>(head), sizeof head);
    const std::streamsize got = in.gcount();
    in.clear();
    // pxlib would take the missing part of a short header from its own uninitialised memory.
    if (got < 88) throw ToolError(file.string() + ": not a readable Paradox table (too short).");
    const auto le16 = [](const unsigned char* at) { return at[0] | (at[1] << 8); };
    const auto le32 = [&](const unsigned char* at) {
        return static_cast<std::uint32_t>(le16(at)) | static_cast<std::uint32_t>(le16(at + 2))
                                                          << 16;
    };
    // The file types whose blocks pxlib chains on opening: data tables and secondary indexes.
    const int fileType = head[4];
    if (fileType != 0 && fileType != 2 && fileType != 3 && fileType != 5 && fileType != 6 &&
        fileType != 8)
        return;
    // Tables of version 4 and later keep the key in their data header and 0xFF00FF00 in place
    // of the old one.
    const bool dataHeader = got >= 96 && head[57] >= 5 && head[57] <= 12;
    const std::uint32_t key = le32(head + 37);
    if (key != 0 && (key != 0xFF00FF00u || !dataHeader || le32(head + 92) != 0))
        throw ToolError(file.string() +
                        ": an encrypted Paradox table. Remove its password with the database "
                        "tools, then convert it.");

    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(file, ec);
    const std::uintmax_t headerSize = le16(head + 2);
    const std::uintmax_t blockSize = head[5] * 0x400u;
    if (ec || blockSize == 0) return;  // pxlib refuses a table without a block size
    const std::uintmax_t blocks = size > headerSize ? (size - headerSize) / blockSize : 0;
    std::vector<bool> seen(blocks + 1, false);
    for (std::uintmax_t block = le16(head + 14); block != 0;) {
        unsigned char next[2];
        if (block > blocks || seen[block] ||
            !in.seekg(static_cast<std::streamoff>(headerSize + (block - 1) * blockSize)) ||
            !in.read(reinterpret_cast<char*>(next), sizeof next))
            throw damaged("its chain of data blocks leaves the file or runs in a circle");
        seen[block] = true;
        block = le16(next);
    }
}

// Whether pxlib reads a field of this type and length within the field: it reads numbers by
// their type's own width (and inverts a number's bytes by the field's length, in an 8-byte
// buffer), a blob by the leader at the end of the field, texts and bytes by the field's length.
bool fieldLengthFits(int type, int length) {
    switch (type) {
        case pxfShort:
            return length == 2;
        case pxfLong:
        case pxfDate:
        case pxfTime:
        case pxfAutoInc:
            return length == 4;
        case pxfNumber:
        case pxfCurrency:
        case pxfTimestamp:
            return length == 8;
        case pxfLogical:
            return length == 1;
        case pxfBCD:
            return length == 17;
        case pxfMemoBLOb:
        case pxfBLOb:
        case pxfFmtMemoBLOb:
        case pxfOLE:
        case pxfGraphic:
            return length >= 10;
        default:
            return length >= 1;
    }
}

}  // namespace

ParadoxCatalogue readParadoxCatalogue(const std::filesystem::path& file) {
    checkDataBlocks(file);
    PX_boot();
    PxDoc px;
    px.doc = PX_new3(collectError, nullptr, nullptr, nullptr, &px);
    if (!px.doc) throw ToolError("the Paradox library could not start.");
    if (PX_open_file(px.doc, file.c_str()) < 0)
        throw ToolError(file.string() + ": not a readable Paradox table" +
                        (px.lastError.empty() ? "." : " (" + px.lastError + ")."));
    px.open = true;
    const pxhead_t* head = px.doc->px_head;
    if (!head ||
        (head->px_filetype != pxfFileTypIndexDB && head->px_filetype != pxfFileTypNonIndexDB))
        throw ToolError(file.string() + ": a Paradox file, but not a data table.");

    ParadoxCatalogue result;
    result.codePage = head->px_doscodepage;

    // Where each catalogue column is among the table's fields. pxlib reads every field of a
    // record from a buffer of the header's record size: the fields must fit it.
    const int fieldCount = PX_get_num_fields(px.doc);
    int where[7] = {-1, -1, -1, -1, -1, -1, -1};
    long recordBytes = 0;
    for (int f = 0; f < fieldCount; ++f) {
        const pxfield_t* field = PX_get_field(px.doc, f);
        if (!field || !fieldLengthFits(field->px_ftype, field->px_flen))
            throw ToolError(file.string() + ": a damaged Paradox table (field " +
                            std::to_string(f + 1) + " has a length its type cannot have).");
        recordBytes += field->px_flen;
        if (recordBytes > PX_get_recordsize(px.doc))
            throw ToolError(file.string() +
                            ": a damaged Paradox table (its fields do not fit its records).");
        if (!field->px_fname) continue;
        for (int c = 0; c < 7; ++c)
            if (strcasecmp(field->px_fname, kColumnNames[c]) == 0) where[c] = f;
    }
    for (int c = 0; c < 5; ++c)
        if (where[c] < 0)
            throw ToolError(file.string() + ": the table has no column " + kColumnNames[c] + ".");
    if (where[5] < 0 || where[6] < 0)
        result.notes.push_back("The table has no L2 columns: no system gets an L2 image.");

    const int records = PX_get_num_records(px.doc);
    for (int r = 0; r < records; ++r) {
        pxval_t** values = PX_retrieve_record(px.doc, r);
        if (!values)
            throw ToolError(file.string() + ": record " + std::to_string(r + 1) +
                            " cannot be read" +
                            (px.lastError.empty() ? "." : " (" + px.lastError + ")."));
        // pxlib allocates the array and each value; free them however reading ends.
        auto release = [&] {
            for (int f = 0; f < fieldCount; ++f) {
                pxval_t* v = values[f];
                if (!v) continue;
                // Only these types carry an allocated string; pxlib hands over the data of a
                // blob that the record holds itself (there is no blob file here).
                const bool holdsText =
                    !v->isnull &&
                    (v->type == pxfAlpha || v->type == pxfBytes || v->type == pxfBCD ||
                     v->type == pxfMemoBLOb || v->type == pxfBLOb || v->type == pxfFmtMemoBLOb ||
                     v->type == pxfOLE || v->type == pxfGraphic);
                if (holdsText && v->value.str.val) px.doc->free(px.doc, v->value.str.val);
                px.doc->free(px.doc, v);
            }
            px.doc->free(px.doc, values);
        };
        try {
            auto value = [&](int c) -> const pxval_t& {
                static const pxval_t null{1, 0, {}};
                return where[c] >= 0 && values[where[c]] ? *values[where[c]] : null;
            };
            CatalogueRow row;
            row.descricao = textOf(value(0), result.codePage, kColumnNames[0]);
            row.arquivo = textOf(value(1), result.codePage, kColumnNames[1]);
            row.setor = integerOf(value(2), kColumnNames[2]);
            row.arquivoL = textOf(value(3), result.codePage, kColumnNames[3]);
            row.setorL = integerOf(value(4), kColumnNames[4]);
            row.arquivoL2 = textOf(value(5), result.codePage, kColumnNames[5]);
            row.setorL2 = integerOf(value(6), kColumnNames[6]);
            result.rows.push_back(std::move(row));
        } catch (const ToolError& e) {
            release();
            throw ToolError(file.string() + ": record " + std::to_string(r + 1) + ": " + e.what());
        }
        release();
    }
    return result;
}

}  // namespace tolvan::catalogue
