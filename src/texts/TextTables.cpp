#include "texts/TextTables.h"

#include <cerrno>
#include <fstream>
#include <iterator>
#include <system_error>

#include "services/PathResolver.h"
#include "texts/Cp1252.h"
#include "texts/Trim.h"

namespace tolvan {

namespace {

// The texts are handled as Windows-1252 bytes until they are stored.
constexpr char kMarcaQuebra = '\xA4';  // "¤": a line break in a message text

// Only a to z change: "ê" stays as it is.
std::string upperAscii(std::string s) {
    for (char& ch : s)
        if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
    return s;
}

// The platform's texts for a file that cannot be opened.
std::string openFailureText(int error) {
    switch (error) {
        case ENOENT:
        case ENOTDIR:
            return "File not found";
        case EACCES:
        case EPERM:
        case EISDIR:
            return "Access denied";
        default:
            return "I/O error " + std::to_string(error);
    }
}

std::string readWholeFile(const PathResolver& files, const std::string& programPath) {
    const std::filesystem::path path = files.resolve(programPath);
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) throw TextFileError("File not found", programPath);
    if (std::filesystem::is_directory(path, ec)) throw TextFileError("Access denied", programPath);
    std::ifstream in(path, std::ios::binary);
    if (!in) throw TextFileError(openFailureText(errno), programPath);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) throw TextFileError("I/O error", programPath);
    return bytes;
}

struct Entry {
    std::string key;
    std::string text;
};

// "key = text": the character right after "=" is always skipped. Without "=", the text starts
// at the line's second character.
Entry splitEntry(std::string_view line) {
    const std::size_t eq = line.find('=');
    if (eq == std::string_view::npos) return {"", Trim(line.size() > 1 ? line.substr(1) : "")};
    const std::size_t start = eq + 2;
    return {Trim(line.substr(0, eq)),
            Trim(start < line.size() ? line.substr(start) : std::string_view{})};
}

// The entries of the language section, in file order. Lines end in CR LF or LF.
std::vector<Entry> readSection(const std::string& bytes, const std::string& header) {
    std::vector<Entry> entries;
    bool inSection = false;
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        std::size_t eol = bytes.find('\n', pos);
        std::size_t next = eol == std::string::npos ? bytes.size() : eol + 1;
        std::string_view line(bytes.data() + pos,
                              (eol == std::string::npos ? bytes.size() : eol) - pos);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        pos = next;
        const std::string marker = upperAscii(Trim(line));
        if (!inSection) {
            inSection = marker.find(header) != std::string::npos;
            continue;
        }
        if (marker.find("[FIM]") != std::string::npos) break;
        entries.push_back(splitEntry(line));
    }
    return entries;
}

}  // namespace

void CarregaTextos(TextTables& tables, const PathResolver& files, const std::string& captionsFile) {
    const std::string header = "[" + upperAscii(utf8ToCp1252(tables.Idioma)) + "]";

    for (const Entry& e : readSection(readWholeFile(files, captionsFile), header)) {
        tables.CaptionNomes.push_back(cp1252ToUtf8(upperAscii(e.key)));
        tables.CaptionTextos.push_back(cp1252ToUtf8(e.text));
    }

    for (Entry& e : readSection(readWholeFile(files, kMessagesFile), header)) {
        for (char& ch : e.text)
            if (ch == kMarcaQuebra) ch = '\r';
        tables.Mensagens.push_back(cp1252ToUtf8(e.text));
    }
}

}  // namespace tolvan
