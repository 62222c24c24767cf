#include "transfer/ImageFiles.h"

#include <sys/stat.h>

#include <array>

#include "app/FrmTolvanLink.h"
#include "link/Frames.h"
#include "texts/Mensagem.h"
#include "texts/Trim.h"
#include "transfer/ImageOpening.h"

namespace tolvan {

namespace {

constexpr const char* kLendoArquivo = "[Conectado] Lendo Arquivo ... ";

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

std::string erroDeLeitura(const std::string& path) {
    return "Erro ao ler o arquivo: " + path;
}

}  // namespace

const DadosImagem& dadosDa(Imagem imagem) {
    static const DadosImagem principal{"Arquivo", "Setor", kEnderecoPrincipal, kEnderecoPrincipal,
                                       false};
    static const DadosImagem l{"Arquivo_L", "Setor_L", "00 00 00", kEnderecoL, true};
    static const DadosImagem l2{"Arquivo_L2", "Setor_L2", "00 00 00", "02 00 00", true};
    switch (imagem) {
        case Imagem::L:
            return l;
        case Imagem::L2:
            return l2;
        default:
            return principal;
    }
}

ImageFiles::~ImageFiles() {
    fecha();
}

void ImageFiles::fecha() {
    if (arqBin_) std::fclose(arqBin_);
    arqBin_ = nullptr;
}

bool ImageFiles::AbreArq(const std::string& path) {
    fecha();
    ImagemAberta aberta = abreImagem(f_.files, path, nomeNoCaminho(path));
    if (aberta.falha) {
        naoAbre(path, aberta.falha);
        return false;
    }
    arqBin_ = aberta.arquivo;
    caminhoAberto_ = path;
    for (;;) {
        const int c = std::fgetc(arqBin_);
        if (c == EOF) {
            // Nothing to hold back: there is no first byte to send.
            abandona(std::ferror(arqBin_) ? erroDeLeitura(path) : "Arquivo vazio: " + path);
            return false;
        }
        const auto b = static_cast<std::uint8_t>(c);
        if (f_.ImagemL || !eByteInicialIgnorado(b)) {
            f_.ByteGuardado = b;
            return true;
        }
    }
}

ImageFiles::Leitura ImageFiles::le() {
    Leitura r;
    if (!arqBin_) return r;
    const int c = std::fgetc(arqBin_);
    if (c == EOF) {
        r.estado = std::ferror(arqBin_) ? Leitura::Erro : Leitura::Fim;
        return r;
    }
    r.estado = Leitura::Byte;
    r.valor = static_cast<std::uint8_t>(c);
    // Whether the file is at its end after this byte.
    const int proximo = std::fgetc(arqBin_);
    if (proximo == EOF) {
        if (std::ferror(arqBin_)) r.estado = Leitura::Erro;
        r.ultimo = true;
    } else {
        std::ungetc(proximo, arqBin_);
    }
    return r;
}

bool ImageFiles::LeArqBin(const std::string& path) {
    f_.TimeOut->stop();
    f_.lblStatus.setCaption(kLendoArquivo);
    f_.lblStatus.repaint();

    ImagemAberta aberta = abreImagem(f_.files, path, nomeNoCaminho(path));
    if (aberta.falha) {
        naoAbre(path, aberta.falha);
        return false;
    }
    std::FILE* fp = aberta.arquivo;

    f_.QtdBytesArq = 0;
    f_.BytesArq.clear();
    struct stat st {};
    if (::fstat(::fileno(fp), &st) == 0 && st.st_size > 0) {
        const auto tamanho = static_cast<std::size_t>(st.st_size);
        f_.BytesArq.reserve(tamanho);
        f_.diagnostico.reservaArquivo(1, tamanho);
    }
    std::int64_t lidos = 0;  // every byte read, skipped ones included
    int barra = 0;
    bool iniciado = false;

    std::array<unsigned char, 65536> bloco{};
    std::size_t n = 0;
    while ((n = std::fread(bloco.data(), 1, bloco.size(), fp)) > 0) {
        for (std::size_t i = 0; i < n; ++i) {
            const std::uint8_t b = bloco[i];
            if (f_.ImagemL || !eByteInicialIgnorado(b)) iniciado = true;
            if (iniciado) {
                f_.BytesArq.push_back(b);
                ++f_.QtdBytesArq;
                f_.diagnostico.adicionaArquivo(f_.QtdBytesArq, b);
            }
            ++lidos;
            if (lidos % 100 == 0) {
                f_.lblStatus.setCaption(kLendoArquivo + std::to_string(lidos));
                f_.lblStatus.repaint();
                if (f_.ModoSelecao) {
                    if (++barra > 100) barra = 0;
                    f_.iLedBar1.setPosition(barra);
                }
            }
        }
    }
    const bool erro = std::ferror(fp) != 0;
    std::fclose(fp);
    f_.diagnostico.notifica();

    if (erro) {
        abandona(erroDeLeitura(path));
        return false;
    }
    f_.TimeOut->start();
    return true;
}

void ImageFiles::carregaImagem(Imagem imagem) {
    const DadosImagem& d = dadosDa(imagem);
    f_.NomeArq = f_.QrTolvanLink.asString(d.colunaArquivo);
    f_.QtdSetores = static_cast<std::int32_t>(f_.QrTolvanLink.asInteger(d.colunaSetor));
    f_.iLedBar1.prepare(f_.QtdSetores);
    f_.Endereco1 = d.endereco1;
    f_.Endereco2 = d.endereco2;
}

bool ImageFiles::temImagemL2() const {
    return !Trim(f_.QrTolvanLink.asString(dadosDa(Imagem::L2).colunaArquivo)).empty();
}

std::string ImageFiles::caminhoImagem() const {
    return f_.DirPrograma + "\\bin\\" + f_.NomeArq;
}

void ImageFiles::encerraExecucao() {
    f_.TimerCmd->stop();
    f_.TimerRead->stop();
    f_.TimeOut->stop();
    f_.FimComandos = true;
    f_.Enviando = false;
    f_.LendoSetor = false;
    f_.CabecalhoRestante = 0;
    // With no mode, late answers neither send frames nor ask for sectors.
    f_.Modo.clear();
    fecha();
}

std::string ImageFiles::nomeNoCaminho(const std::string& path) const {
    const std::string bin = f_.DirPrograma + "\\bin\\";
    return path.rfind(bin, 0) == 0 ? path.substr(bin.size()) : path;
}

void ImageFiles::naoAbre(const std::string& path, const FalhaAbertura& falha) {
    encerraExecucao();
    f_.Mensagem(textoDaFalha(falha, path), kErro, kBotaoOk);
    f_.Close();
}

bool ImageFiles::imagensProntas(bool gravacao, bool verificacao) {
    std::vector<Imagem> imagens = {Imagem::Principal, Imagem::L};
    if (temImagemL2()) imagens.push_back(Imagem::L2);
    for (Imagem imagem : imagens) {
        const DadosImagem& d = dadosDa(imagem);
        const std::int64_t setores = f_.QrTolvanLink.asInteger(d.colunaSetor);
        if (!contagemRepresentavel(setores)) {
            recusaContagem(d.colunaSetor, setores);
            return false;
        }
    }
    for (Imagem imagem : imagens) {
        const DadosImagem& d = dadosDa(imagem);
        const std::string nome = f_.QrTolvanLink.asString(d.colunaArquivo);
        const std::string caminho = f_.DirPrograma + "\\bin\\" + nome;
        // Programming opens the path trimmed, verification as it stands.
        if (gravacao) {
            const std::string aparado = Trim(caminho);
            ImagemAberta aberta = abreImagem(f_.files, aparado, nome);
            if (aberta.falha) {
                naoAbre(aparado, aberta.falha);
                return false;
            }
            const bool vazio = !temByteParaEnviar(aberta.arquivo, !d.imagemL);
            std::fclose(aberta.arquivo);
            if (vazio) {
                abandona("Arquivo vazio: " + aparado);
                return false;
            }
        }
        if (verificacao) {
            if (const FalhaAbertura falha = confereImagem(f_.files, caminho, nome)) {
                naoAbre(caminho, falha);
                return false;
            }
        }
    }
    return true;
}

void ImageFiles::recusaContagem(const char* coluna, std::int64_t setores) {
    encerraExecucao();
    f_.Mensagem("O sistema " + Trim(f_.SistemaEscolhido) + " tem " + std::to_string(setores) +
                    " setores em " + coluna + ".\rCada imagem pode ter de 0 a " +
                    std::to_string(kSetoresMaximos) + " setores.\rA operação não será feita.",
                kErro, kBotaoOk);
    // The operation menu stays, for the catalogue to be put right.
    f_.painel.AtivaFuncoes(true);
    f_.lblStatus.setCaption("[Conectado]");
    f_.focaVisor();
    if (f_.ModoSelecao) f_.Close();
}

void ImageFiles::falhaDeLeitura() {
    abandona(erroDeLeitura(caminhoAberto_));
}

void ImageFiles::abandona(const std::string& texto) {
    encerraExecucao();
    f_.Mensagem(texto, kErro, kBotaoOk);
    f_.painel.AtivaFuncoes(true);
    f_.telas.MontaTela0();
    if (f_.ModoSelecao) f_.Close();
}

}  // namespace tolvan
