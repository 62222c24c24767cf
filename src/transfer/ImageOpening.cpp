#include "transfer/ImageOpening.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "services/PathResolver.h"
#include "texts/Trim.h"

namespace tolvan {

namespace {

FalhaAbertura naoAbre(std::string motivo) {
    return {FalhaAbertura::Tipo::NaoAbre, std::move(motivo)};
}

FalhaAbertura falhaDoSistema(int erro) {
    switch (erro) {
        case ENOENT:
        case ENOTDIR:
            return {FalhaAbertura::Tipo::NaoEncontrado, {}};
        case EACCES:
        case EPERM:
            return naoAbre("permissão negada");
        case EISDIR:
            return naoAbre("é uma pasta");
        case ELOOP:
            return naoAbre("excesso de links simbólicos");
        case ENAMETOOLONG:
            return naoAbre("nome longo demais");
        case EMFILE:
        case ENFILE:
        case ENOMEM:
            return naoAbre("recursos do sistema esgotados");
        case EIO:
            return naoAbre("erro de entrada e saída");
        default:
            return naoAbre("erro do sistema " + std::to_string(erro));
    }
}

// A file that is no regular file is never read: a FIFO would wait for a writer for ever.
FalhaAbertura naoComum(mode_t modo) {
    if (S_ISDIR(modo)) return naoAbre("é uma pasta");
    return naoAbre("não é um arquivo comum");
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

ImagemAberta abreImagem(const PathResolver& files, const std::string& caminho,
                        std::string_view nome) {
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
    const std::filesystem::path arquivo = files.resolve(caminho);
    const int fd = ::open(arquivo.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        r.falha = falhaDoSistema(errno);
        return r;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        r.falha = falhaDoSistema(errno);
        ::close(fd);
        return r;
    }
    if (!S_ISREG(st.st_mode)) {
        r.falha = naoComum(st.st_mode);
        ::close(fd);
        return r;
    }
    // Reads of a regular file block as usual.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    r.arquivo = ::fdopen(fd, "rb");
    if (!r.arquivo) {
        r.falha = falhaDoSistema(errno);
        ::close(fd);
    }
    return r;
}

FalhaAbertura confereImagem(const PathResolver& files, const std::string& caminho,
                            std::string_view nome) {
    ImagemAberta r = abreImagem(files, caminho, nome);
    if (r.arquivo) std::fclose(r.arquivo);
    return r.falha;
}

}  // namespace tolvan
