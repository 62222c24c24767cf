#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace tolvan {

class FrmTolvanLink;
struct FalhaAbertura;

// The three images of a catalogue row.
enum class Imagem { Principal, L, L2 };

// Where an image's name and size are in the catalogue row and where it goes in the device.
struct DadosImagem {
    const char* colunaArquivo;
    const char* colunaSetor;
    const char* endereco1;
    const char* endereco2;
    bool imagemL;  // L images keep their leading FF and 00 bytes
};
const DadosImagem& dadosDa(Imagem imagem);

inline constexpr const char* kEnderecoPrincipal = "00 32 00";
inline constexpr const char* kEnderecoL = "01 00 00";

// The image files of a system: AbreArq opens one for sending and holds back its first byte;
// LeArqBin reads one whole into BytesArq. Both skip the main image's leading FF and 00 bytes.
class ImageFiles {
  public:
    explicit ImageFiles(FrmTolvanLink& form) : f_(form) {}
    ~ImageFiles();
    ImageFiles(const ImageFiles&) = delete;
    ImageFiles& operator=(const ImageFiles&) = delete;

    // Opens the image at `path` for sending: ByteGuardado holds the first kept byte and the file
    // stands on the byte after it. A missing file closes the program; an image with nothing to
    // send or a read error abandons the run. Returns whether the file stands open.
    bool AbreArq(const std::string& path);
    // Reads the whole image at `path` into BytesArq and the file-side diagnostic lists, then
    // starts TimeOut. Returns false when the run went no further (file missing or unreadable).
    bool LeArqBin(const std::string& path);

    // ArqBin, the image being sent.
    bool isOpen() const { return arqBin_ != nullptr; }
    void fecha();

    // One byte of ArqBin and whether the file is at its end after it.
    struct Leitura {
        enum Estado { Byte, Fim, Erro } estado = Fim;  // Fim: no byte was left to read
        std::uint8_t valor = 0;
        bool ultimo = false;
    };
    Leitura le();
    // A read of ArqBin failed: the run is abandoned with a message that names the file.
    void falhaDeLeitura();

    // The current image's name, sector count and addresses from the catalogue's current row;
    // the progress bar prepared for it.
    void carregaImagem(Imagem imagem);
    // The catalogue row names an L2 image.
    bool temImagemL2() const;
    // Where the current image lies, as the program builds it.
    std::string caminhoImagem() const;

    // Before an operation's first frame: every image the chosen row names has a sector count
    // the count frames carry and a file that opens, as programming (trimmed path) and
    // verification (path as built) will open it. Otherwise says so and returns false: a file
    // closes the program, a count leaves the operation menu for another choice.
    bool imagensProntas(bool gravacao, bool verificacao);

    // Ends the run after `texto` as an error with OK: nothing more is sent, the panel answers
    // again and the main menu is shown; in selector mode the window closes.
    void abandona(const std::string& texto);

  private:
    // The run goes no further: timers, sequence and file stopped.
    void encerraExecucao();
    // The image's name in a path built as DirPrograma + "\\bin\\" + name.
    std::string nomeNoCaminho(const std::string& path) const;
    void naoAbre(const std::string& path, const FalhaAbertura& falha);
    void recusaContagem(const char* coluna, std::int64_t setores);

    FrmTolvanLink& f_;
    std::FILE* arqBin_ = nullptr;
    std::string caminhoAberto_;  // ArqBin's path as built, for messages
};

}  // namespace tolvan
