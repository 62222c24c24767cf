#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

namespace tolvan {

class FileAccess;
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
    std::uintmax_t tamanho = 0;    // its length when opened
    FalhaAbertura falha;
};

// Opens the image `nome` of the bin folder at `caminho` (the path as the program built it,
// ending in that name). Only a regular file is opened, and opening never waits: a FIFO or a
// device is refused, not read.
ImagemAberta abreImagem(const PathResolver& files, const FileAccess& access,
                        const std::string& caminho, std::string_view nome);

// ArqBin: an image file open for sending, read a byte at a time.
class ArquivoBinario {
  public:
    ArquivoBinario() = default;
    ~ArquivoBinario() { fecha(); }
    ArquivoBinario(const ArquivoBinario&) = delete;
    ArquivoBinario& operator=(const ArquivoBinario&) = delete;

    // Takes over an open file; `caminho` is its path as the program built it, for messages.
    void abre(std::FILE* arquivo, std::string caminho);
    bool isOpen() const { return arquivo_ != nullptr; }
    void fecha();
    const std::string& caminho() const { return caminho_; }

    // One byte and whether the file is at its end after it.
    struct Leitura {
        enum Estado { Byte, Fim, Erro } estado = Fim;  // Fim: no byte was left to read
        std::uint8_t valor = 0;
        bool ultimo = false;
    };
    Leitura le();

  private:
    std::FILE* arquivo_ = nullptr;
    std::string caminho_;
};

// The same checks without keeping the file open.
FalhaAbertura confereImagem(const PathResolver& files, const FileAccess& access,
                            const std::string& caminho, std::string_view nome);

}  // namespace tolvan
