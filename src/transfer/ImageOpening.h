#pragma once

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

namespace tolvan {

class PathResolver;

// Why an image file cannot be opened for reading.
struct FalhaAbertura {
    enum class Tipo { Nenhuma, NaoEncontrado, NaoAbre };
    Tipo tipo = Tipo::Nenhuma;
    std::string motivo;  // for NaoAbre, in Portuguese: "permissão negada"
    explicit operator bool() const { return tipo != Tipo::Nenhuma; }
};

// The message that names the image's path as the program built it: "Arquivo não encontrado: "
// for a file that is not there, "Arquivo não pôde ser aberto: " with the reason for any other
// failure.
std::string textoDaFalha(const FalhaAbertura& falha, const std::string& caminho);

// A catalogue name that leads out of the bin folder: an absolute path, a drive, or ".."
// components that climb above bin. Sub-folders of bin are fine.
bool saiDaPastaBin(std::string_view nome);

// An image file open for reading, or why it is not.
struct ImagemAberta {
    std::FILE* arquivo = nullptr;  // the caller closes it
    FalhaAbertura falha;
};

// Opens the image `nome` of the bin folder at `caminho` (the path as the program built it,
// ending in that name). Only a regular file is opened, and opening never waits: a FIFO or a
// device is refused, not read.
ImagemAberta abreImagem(const PathResolver& files, const std::string& caminho,
                        std::string_view nome);

// The same checks without keeping the file open.
FalhaAbertura confereImagem(const PathResolver& files, const std::string& caminho,
                            std::string_view nome);

}  // namespace tolvan
