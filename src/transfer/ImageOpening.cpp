#include "transfer/ImageOpening.h"

#include "services/FileAccess.h"
#include "services/PathResolver.h"
#include "texts/Trim.h"

namespace tolvan {

namespace {

FalhaAbertura naoAbre(std::string motivo) {
    return {FalhaAbertura::Tipo::NaoAbre, std::move(motivo)};
}

FalhaAbertura falhaDoSistema(const OpenedFile& aberto) {
    switch (aberto.fault) {
        case FileFault::None:
            return {};
        case FileFault::NotFound:
            return {FalhaAbertura::Tipo::NaoEncontrado, {}};
        case FileFault::Denied:
            return naoAbre("permissão negada");
        case FileFault::Folder:
            return naoAbre("é uma pasta");
        // A file that is no regular file is never read: a FIFO would wait for a writer for ever.
        case FileFault::NotRegular:
            return naoAbre("não é um arquivo comum");
        case FileFault::TooManyLinks:
            return naoAbre("excesso de links simbólicos");
        case FileFault::NameTooLong:
            return naoAbre("nome longo demais");
        case FileFault::NoResources:
            return naoAbre("recursos do sistema esgotados");
        case FileFault::InputOutput:
            return naoAbre("erro de entrada e saída");
        case FileFault::Other:
            break;
    }
    return naoAbre("erro do sistema " + std::to_string(aberto.systemError));
}

}  // namespace

std::string textoDaFalha(const FalhaAbertura& falha, const std::string& caminho) {
    if (falha.tipo == FalhaAbertura::Tipo::NaoEncontrado)
        return "Arquivo não encontrado: " + caminho;
    return "Arquivo não pôde ser aberto: " + caminho + " (" + falha.motivo + ")";
}

bool saiDaPastaBin(std::string_view nome) {
    if (!nome.empty() && (nome.front() == '/' || nome.front() == '\\')) return true;
    if (nome.size() >= 2 && nome[1] == ':') return true;
    int profundidade = 0;
    std::size_t inicio = 0;
    while (inicio <= nome.size()) {
        std::size_t fim = nome.find_first_of("/\\", inicio);
        if (fim == std::string_view::npos) fim = nome.size();
        const std::string_view parte = nome.substr(inicio, fim - inicio);
        if (parte == "..") {
            if (--profundidade < 0) return true;
        } else if (!parte.empty() && parte != ".") {
            ++profundidade;
        }
        inicio = fim + 1;
    }
    return false;
}

ImagemAberta abreImagem(const PathResolver& files, const FileAccess& access,
                        const std::string& caminho, std::string_view nome) {
    ImagemAberta r;
    // A blank name names no file: the path is the bin folder itself.
    if (TrimView(nome).empty()) {
        r.falha = {FalhaAbertura::Tipo::NaoEncontrado, {}};
        return r;
    }
    if (saiDaPastaBin(nome) || saiDaPastaBin(TrimView(nome))) {
        r.falha = naoAbre("fora da pasta bin");
        return r;
    }
    const OpenedFile aberto = access.openRegular(files.resolve(caminho));
    r.arquivo = aberto.file;
    r.tamanho = aberto.size;
    r.falha = falhaDoSistema(aberto);
    return r;
}

FalhaAbertura confereImagem(const PathResolver& files, const FileAccess& access,
                            const std::string& caminho, std::string_view nome) {
    ImagemAberta r = abreImagem(files, access, caminho, nome);
    if (r.arquivo) std::fclose(r.arquivo);
    return r.falha;
}

void ArquivoBinario::abre(std::FILE* arquivo, std::string caminho) {
    fecha();
    arquivo_ = arquivo;
    caminho_ = std::move(caminho);
}

void ArquivoBinario::fecha() {
    if (arquivo_) std::fclose(arquivo_);
    arquivo_ = nullptr;
}

ArquivoBinario::Leitura ArquivoBinario::le() {
    Leitura r;
    if (!arquivo_) return r;
    const int c = std::fgetc(arquivo_);
    if (c == EOF) {
        r.estado = std::ferror(arquivo_) ? Leitura::Erro : Leitura::Fim;
        return r;
    }
    r.estado = Leitura::Byte;
    r.valor = static_cast<std::uint8_t>(c);
    // Whether the file is at its end after this byte.
    const int proximo = std::fgetc(arquivo_);
    if (proximo == EOF) {
        if (std::ferror(arquivo_)) r.estado = Leitura::Erro;
        r.ultimo = true;
    } else {
        std::ungetc(proximo, arquivo_);
    }
    return r;
}

}  // namespace tolvan
