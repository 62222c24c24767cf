#include "app/Sessao.h"

#include "services/Desfecho.h"
#include "texts/Mensagem.h"
#include "texts/Trim.h"

namespace tolvan {

bool Sessao::abre() {
    form_.FormCreate(false);
    form_.preparaCaminhos();
    return form_.mostraCatalogo();
}

bool Sessao::temSistema(const std::string& sistema) {
    form_.listaSistemas.MontaTela1();
    const bool encontrado = form_.listaSistemas.procuraSistema(sistema);
    form_.telas.MontaTela0();
    return encontrado;
}

bool Sessao::abrePorta(int numero) {
    form_.portas.NumPorta = numero;
    return form_.portas.abrePorta();
}

void Sessao::conecta() {
    form_.conexao.conecta();
}

bool Sessao::escolheSistema(const std::string& sistema) {
    // The list comes now, not half a second after the connection.
    form_.nav.TimerMontaTela->stop();
    form_.listaSistemas.MontaTela1();
    if (!form_.listaSistemas.procuraSistema(sistema)) {
        form_.termina(
            {Desfecho::SistemaInexistente, kMsgMontadoraInexistente, kErro, Depois::Fecha});
        return false;
    }
    return form_.listaSistemas.RotinasTela1();
}

bool Sessao::confereOperacao(Operacao operacao) {
    return form_.arquivos.imagensProntas(operacao);
}

std::vector<Imagem> Sessao::imagens() {
    return form_.arquivos.imagensDaLinha();
}

std::string Sessao::nomeDa(Imagem imagem) {
    return Trim(form_.arquivos.nomeDa(imagem));
}

std::filesystem::path Sessao::arquivoDa(Imagem imagem) {
    return form_.files.resolve(form_.arquivos.caminhoDa(imagem));
}

std::int64_t Sessao::setoresDa(Imagem imagem) {
    return form_.QrTolvanLink.asInteger(dadosDa(imagem).colunaSetor);
}

std::filesystem::path Sessao::pastaBin() const {
    return form_.files.resolve(form_.arquivos.pastaBin());
}

void Sessao::iniciaOperacao(Operacao operacao) {
    form_.telas.iniciaOperacao(operacao);
}

void Sessao::encerra(const std::string& texto) {
    if (!texto.empty()) form_.Mensagem(texto, kErro, kBotaoOk);
    form_.Close();
}

}  // namespace tolvan
