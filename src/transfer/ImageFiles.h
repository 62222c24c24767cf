#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "transfer/Execucao.h"

namespace tolvan {

class CatalogueQuery;
class DiagnosticLists;
class FileAccess;
class PathResolver;
class RunListener;
class Shell;
struct Aviso;
struct FalhaAbertura;

// Where an image's name and size are in the catalogue row and where it goes in the device.
struct DadosImagem {
    const char* colunaArquivo;
    const char* colunaSetor;
    const char* endereco1;
    const char* endereco2;
    bool imagemL;  // L images keep their leading FF and 00 bytes
};
const DadosImagem& dadosDa(Imagem imagem);

// The image files of a system: AbreArq opens one for sending and holds back its first byte;
// LeArqBin reads one whole into BytesArq. Both skip the main image's leading FF and 00 bytes.
class ImageFiles {
  public:
    ImageFiles(Execucao& run, const PathResolver& files, const FileAccess& access,
               CatalogueQuery& catalogo, const std::string& dirPrograma,
               DiagnosticLists& diagnostico, RunListener& ouvinte, Shell& shell)
        : run_(run),
          files_(files),
          access_(access),
          catalogo_(catalogo),
          dirPrograma_(dirPrograma),
          diagnostico_(diagnostico),
          ouvinte_(ouvinte),
          shell_(shell) {}

    // Opens the image at `path` for sending: ByteGuardado holds the first kept byte and ArqBin
    // stands on the byte after it. A file that cannot be opened closes the program; an image
    // with nothing to send or a read error abandons the run. Returns whether ArqBin is open.
    bool AbreArq(const std::string& path);
    // Reads the whole image at `path` into BytesArq and the file-side diagnostic lists, then
    // starts TimeOut. Returns false when the run went no further (file missing or unreadable).
    bool LeArqBin(const std::string& path);
    // A read of ArqBin failed: the run is abandoned with a message that names the file.
    void falhaDeLeitura();

    // The current image becomes `imagem` of the catalogue's current row: its name, sector
    // count and addresses; the listeners told its sector count.
    void carregaImagem(Imagem imagem);
    // The file name the catalogue row gives `imagem`.
    std::string nomeDa(Imagem imagem) const;
    // The catalogue row names an L2 image.
    bool temImagemL2() const;
    // The images the row names, in the order a run takes them.
    std::vector<Imagem> imagensDaLinha() const;
    // Where the current image lies, and where the row's `imagem` lies, as the program builds it.
    std::string caminhoImagem() const;
    std::string caminhoDa(Imagem imagem) const;

    // Before an operation's first frame: every image the chosen row names has a sector count
    // the count frames carry and a file that opens, as programming (trimmed path) and
    // verification (path as built) will open it, with something to send. Otherwise says so
    // and returns false: a file that does not open closes the program, an empty image ends the
    // operation on the main menu, a count leaves the operation menu for another choice.
    bool imagensProntas(Operacao operacao);

    // DirPrograma + "\bin\": the start of every image's path as the program builds it.
    std::string pastaBin() const;

  private:
    // The image's name in a path built as DirPrograma + "\bin\" + name.
    std::string nomeNoCaminho(const std::string& path) const;
    void naoAbre(const std::string& path, const FalhaAbertura& falha);
    // The run ends with `aviso`: the image cannot be read or is empty.
    void abandonaImagem(const Aviso& aviso);
    void recusaContagem(const char* coluna, std::int64_t setores);

    Execucao& run_;
    const PathResolver& files_;
    const FileAccess& access_;
    CatalogueQuery& catalogo_;
    const std::string& dirPrograma_;
    DiagnosticLists& diagnostico_;
    RunListener& ouvinte_;
    Shell& shell_;
};

}  // namespace tolvan
