#include "ImageCheck.h"

#include <fstream>
#include <system_error>

#include "link/Frames.h"
#include "services/PathResolver.h"
#include "transfer/ImageOpening.h"

namespace tolvan::catalogue {

std::optional<std::int64_t> keptBytes(const std::filesystem::path& image, bool mainImage) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(image, ec)) return std::nullopt;
    std::ifstream in(image, std::ios::binary);
    if (!in) return std::nullopt;
    std::int64_t skipped = 0;
    if (mainImage) {
        int ch;
        while ((ch = in.get()) == 0x00 || ch == 0xFF)
            ++skipped;
    }
    const auto size = std::filesystem::file_size(image, ec);
    if (ec) return std::nullopt;
    return static_cast<std::int64_t>(size) - skipped;
}

std::int64_t sectorsFor(std::int64_t kept) {
    return (kept + kSectorBytes - 1) / kSectorBytes;
}

std::filesystem::path imagePath(const std::filesystem::path& binDir, const std::string& name) {
    const std::string dir = std::filesystem::absolute(binDir).string();
    return PathResolver("/").resolve(dir + "/" + name);
}

namespace {

// Nothing but blanks and control characters: the program reads it as no file.
bool isBlank(const std::string& text) {
    for (char ch : text)
        if (static_cast<unsigned char>(ch) > 32) return false;
    return true;
}

void checkImage(std::vector<std::string>& problems, const CatalogueRow& row, const char* which,
                const char* sectorColumn, const std::string& name, std::int64_t sectors,
                bool mainImage, const std::filesystem::path& binDir) {
    const std::string who = "\"" + row.descricao + "\": " + which + " image";
    if (!contagemRepresentavel(sectors))
        problems.push_back(who + ": " + sectorCountProblem(sectorColumn, sectors));
    if (isBlank(name)) {
        problems.push_back(who + ": no file name.");
        return;
    }
    if (hasOuterBlanks(name))
        problems.push_back(who + " \"" + name + "\": the file name has outer blanks.");
    if (saiDaPastaBin(name)) {
        problems.push_back(who + " \"" + name + "\": the name leads out of the bin folder.");
        return;
    }
    const std::filesystem::path file = imagePath(binDir, name);
    const auto kept = keptBytes(file, mainImage);
    if (!kept) {
        problems.push_back(who + " \"" + name + "\": no such file (" + file.string() + ").");
        return;
    }
    if (*kept == 0) {
        problems.push_back(who + " \"" + name + "\": the file holds no bytes to send.");
        return;
    }
    const std::int64_t needed = sectorsFor(*kept);
    if (needed != sectors)
        problems.push_back(who + " \"" + name + "\": the catalogue says " +
                           std::to_string(sectors) + " sectors, the file needs " +
                           std::to_string(needed) + " (" + std::to_string(*kept) +
                           " bytes to send).");
}

}  // namespace

std::vector<std::string> checkCatalogue(const std::vector<CatalogueRow>& rows,
                                        const std::filesystem::path& binDir) {
    std::vector<std::string> problems;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const CatalogueRow& row = rows[i];
        if (row.descricao.empty()) problems.push_back("a system has an empty description.");
        if (hasOuterBlanks(row.descricao))
            problems.push_back("\"" + row.descricao + "\": the description has outer blanks.");
        for (std::size_t j = 0; j < i; ++j)
            if (sameDescription(rows[j].descricao, row.descricao))
                problems.push_back("\"" + row.descricao + "\": same description as \"" +
                                   rows[j].descricao + "\" (ignoring case).");
        checkImage(problems, row, "main", "Setor", row.arquivo, row.setor, true, binDir);
        checkImage(problems, row, "L", "Setor_L", row.arquivoL, row.setorL, false, binDir);
        if (!isBlank(row.arquivoL2))
            checkImage(problems, row, "L2", "Setor_L2", row.arquivoL2, row.setorL2, false, binDir);
    }
    return problems;
}

}  // namespace tolvan::catalogue
