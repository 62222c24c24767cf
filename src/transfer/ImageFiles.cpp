#include "transfer/ImageFiles.h"

#include <array>
#include <vector>

#include "link/Frames.h"
#include "services/CatalogueQuery.h"
#include "services/Desfecho.h"
#include "services/Shell.h"
#include "texts/Mensagem.h"
#include "texts/Trim.h"
#include "transfer/DiagnosticLists.h"
#include "transfer/ImageOpening.h"
#include "transfer/RunListener.h"

namespace tolvan {

namespace {

constexpr const char* kEnderecoPrincipal = "00 32 00";

// A leading FF or 00 of the main image is not part of what the device holds.
bool eByteInicialIgnorado(std::uint8_t b) {
    return b == 0xFF || b == 0x00;
}

// Whether the file holds a byte to send: any byte of an L image, a byte other than the leading
// FF and 00 of a main image.
bool temByteParaEnviar(std::FILE* fp, bool principal) {
    for (int c; (c = std::fgetc(fp)) != EOF;)
        if (!principal || !eByteInicialIgnorado(static_cast<std::uint8_t>(c))) return true;
    return false;
}

Aviso erroDeLeitura(const std::string& path) {
    return {MessageId::ErroDeLeitura, "Erro ao ler o arquivo: " + path, kErro};
}

Aviso arquivoVazio(const std::string& path) {
    return {MessageId::ArquivoVazio, "Arquivo vazio: " + path, kErro};
}

}  // namespace

const DadosImagem& dadosDa(Imagem imagem) {
    static const DadosImagem principal{catalogo::kArquivo, catalogo::kSetor, kEnderecoPrincipal,
                                       kEnderecoPrincipal, false};
    static const DadosImagem l{catalogo::kArquivoL, catalogo::kSetorL, "00 00 00", "01 00 00",
                               true};
    static const DadosImagem l2{catalogo::kArquivoL2, catalogo::kSetorL2, "00 00 00", "02 00 00",
                                true};
    switch (imagem) {
        case Imagem::L:
            return l;
        case Imagem::L2:
            return l2;
        default:
            return principal;
    }
}

bool ImageFiles::AbreArq(const std::string& path) {
    run_.ArqBin.fecha();
    ImagemAberta aberta = abreImagem(files_, access_, path, nomeNoCaminho(path));
    if (aberta.falha) {
        naoAbre(path, aberta.falha);
        return false;
    }
    run_.ArqBin.abre(aberta.arquivo, path);
    for (;;) {
        const ArquivoBinario::Leitura r = run_.ArqBin.le();
        if (r.estado != ArquivoBinario::Leitura::Byte) {
            // Nothing to hold back: there is no first byte to send.
            abandonaImagem(r.estado == ArquivoBinario::Leitura::Erro ? erroDeLeitura(path)
                                                                     : arquivoVazio(path));
            return false;
        }
        if (run_.ImagemL || !eByteInicialIgnorado(r.valor)) {
            run_.ByteGuardado = r.valor;
            return true;
        }
    }
}

bool ImageFiles::LeArqBin(const std::string& path) {
    run_.TimeOut->stop();
    ouvinte_.lendoArquivo(0);

    ImagemAberta aberta = abreImagem(files_, access_, path, nomeNoCaminho(path));
    if (aberta.falha) {
        naoAbre(path, aberta.falha);
        return false;
    }
    std::FILE* fp = aberta.arquivo;

    run_.QtdBytesArq = 0;
    run_.BytesArq.clear();
    if (aberta.tamanho > 0) {
        const auto tamanho = static_cast<std::size_t>(aberta.tamanho);
        run_.BytesArq.reserve(tamanho);
        diagnostico_.reservaArquivo(1, tamanho);
    }
    std::int64_t lidos = 0;  // every byte read, skipped ones included
    bool iniciado = false;

    std::array<unsigned char, 65536> bloco{};
    std::size_t n = 0;
    while ((n = std::fread(bloco.data(), 1, bloco.size(), fp)) > 0) {
        for (std::size_t i = 0; i < n; ++i) {
            const std::uint8_t b = bloco[i];
            if (run_.ImagemL || !eByteInicialIgnorado(b)) iniciado = true;
            if (iniciado) {
                run_.BytesArq.push_back(b);
                ++run_.QtdBytesArq;
                diagnostico_.adicionaArquivo(run_.QtdBytesArq, b);
            }
            ++lidos;
            if (lidos % 100 == 0) ouvinte_.lendoArquivo(lidos);
        }
    }
    const bool erro = std::ferror(fp) != 0;
    std::fclose(fp);
    diagnostico_.notifica();

    if (erro) {
        abandonaImagem(erroDeLeitura(path));
        return false;
    }
    run_.TimeOut->start();
    return true;
}

void ImageFiles::falhaDeLeitura() {
    abandonaImagem(erroDeLeitura(run_.ArqBin.caminho()));
}

void ImageFiles::abandonaImagem(const Aviso& aviso) {
    run_.encerra();
    shell_.termina({Desfecho::ArquivoInvalido, aviso});
}

void ImageFiles::carregaImagem(Imagem imagem) {
    const DadosImagem& d = dadosDa(imagem);
    run_.imagem = imagem;
    run_.NomeArq = catalogo_.asString(d.colunaArquivo);
    run_.QtdSetores = static_cast<std::int32_t>(catalogo_.asInteger(d.colunaSetor));
    ouvinte_.imagemPreparada(run_.QtdSetores);
    run_.Endereco1 = d.endereco1;
    run_.Endereco2 = d.endereco2;
}

std::string ImageFiles::nomeDa(Imagem imagem) const {
    return catalogo_.asString(dadosDa(imagem).colunaArquivo);
}

bool ImageFiles::temImagemL2() const {
    return !Trim(nomeDa(Imagem::L2)).empty();
}

std::vector<Imagem> ImageFiles::imagensDaLinha() const {
    if (temImagemL2()) return {Imagem::Principal, Imagem::L, Imagem::L2};
    return {Imagem::Principal, Imagem::L};
}

std::string ImageFiles::caminhoDa(Imagem imagem) const {
    return pastaBin() + nomeDa(imagem);
}

std::string ImageFiles::caminhoImagem() const {
    return pastaBin() + run_.NomeArq;
}

std::string ImageFiles::pastaBin() const {
    return dirPrograma_ + "\\bin\\";
}

std::string ImageFiles::nomeNoCaminho(const std::string& path) const {
    const std::string bin = pastaBin();
    return path.rfind(bin, 0) == 0 ? path.substr(bin.size()) : path;
}

void ImageFiles::naoAbre(const std::string& path, const FalhaAbertura& falha) {
    run_.encerra();
    const MessageId id = falha.tipo == FalhaAbertura::Tipo::NaoEncontrado
                             ? MessageId::ArquivoNaoEncontrado
                             : MessageId::ArquivoNaoAbre;
    shell_.termina({Desfecho::ArquivoInvalido, {id, textoDaFalha(falha, path), kErro}});
}

bool ImageFiles::imagensProntas(Operacao operacao) {
    // A read-only operation needs no file: only the counts.
    const bool leitura = operacao == Operacao::Leitura;
    const bool gravacao = !leitura && operacao != Operacao::Verificacao;
    const bool verificacao = !leitura && operacao != Operacao::Gravacao;
    const std::vector<Imagem> imagens = imagensDaLinha();
    for (Imagem imagem : imagens) {
        const DadosImagem& d = dadosDa(imagem);
        const std::int64_t setores = catalogo_.asInteger(d.colunaSetor);
        if (!contagemRepresentavel(setores)) {
            recusaContagem(d.colunaSetor, setores);
            return false;
        }
    }
    for (Imagem imagem : imagens) {
        const DadosImagem& d = dadosDa(imagem);
        const std::string nome = nomeDa(imagem);
        const std::string caminho = caminhoDa(imagem);
        // Programming opens the path trimmed, verification as it stands.
        if (gravacao) {
            const std::string aparado = Trim(caminho);
            ImagemAberta aberta = abreImagem(files_, access_, aparado, nome);
            if (aberta.falha) {
                naoAbre(aparado, aberta.falha);
                return false;
            }
            const bool vazio = !temByteParaEnviar(aberta.arquivo, !d.imagemL);
            std::fclose(aberta.arquivo);
            if (vazio) {
                abandonaImagem(arquivoVazio(aparado));
                return false;
            }
        }
        if (verificacao) {
            if (const FalhaAbertura falha = confereImagem(files_, access_, caminho, nome)) {
                naoAbre(caminho, falha);
                return false;
            }
        }
    }
    return true;
}

void ImageFiles::recusaContagem(const char* coluna, std::int64_t setores) {
    run_.encerra();
    const std::string texto = "O sistema " + Trim(catalogo_.asString(catalogo::kDescricao)) +
                              " tem " + std::to_string(setores) + " setores em " + coluna +
                              ".\rCada imagem pode ter de 0 a " + std::to_string(kSetoresMaximos) +
                              " setores.\rA operação não será feita.";
    shell_.termina({Desfecho::CatalogoInvalido, {MessageId::ContagemInvalida, texto, kErro}});
}

}  // namespace tolvan
