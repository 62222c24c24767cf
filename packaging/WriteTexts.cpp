// Writes the two text files a new installation ships with, Captions.txt and Mensagens.txt, into
// the folder given: the same bytes the program's defaults hold (Windows-1252, CR LF).
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include "texts/DefaultTexts.h"

namespace {

bool writeFile(const std::filesystem::path& file, const std::string& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) std::cerr << "tolvan_write_texts: cannot write " << file.string() << '\n';
    return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "Usage: tolvan_write_texts DIR\n";
        return 2;
    }
    const std::filesystem::path dir = argv[1];
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    const bool ok = writeFile(dir / "Captions.txt", tolvan::arquivoCaptionsPadrao()) &&
                    writeFile(dir / "Mensagens.txt", tolvan::arquivoMensagensPadrao());
    return ok ? 0 : 1;
}
