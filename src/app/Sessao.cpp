#include "app/Sessao.h"

#include "link/Handshake.h"
#include "services/Desfecho.h"
#include "texts/Mensagem.h"
#include "texts/Trim.h"

namespace tolvan {

Sessao::Sessao(Services services)
    : form_(std::move(services)),
      vista_{
          form_.janela,
          form_.ImgTolvanLink,
          form_.lblMsg,
          form_.lblFechar,
          form_.lbxVisor,
          form_.lbxSinalizador,
          form_.lblStatus,
          form_.btnUp,
          form_.btnDown,
          form_.btnRetorna,
          form_.btnConfirma,
          form_.lblMsg2,
          form_.iLedBar1,
          form_.Memo1,
          form_.foco,
          {&form_.diagnostico.ListBox1, &form_.diagnostico.ListBox2, &form_.diagnostico.ListBox1a,
           &form_.diagnostico.ListBox2a, &form_.diagnostico.ListBox1b, &form_.diagnostico.ListBox2b,
           &form_.diagnostico.ListBox1c, &form_.diagnostico.ListBox2c},
          form_.frmCarregando} {}

void Sessao::ativa() {
    form_.dispatch([this] { form_.FormActivate(); });
}

void Sessao::clique(ControlId controle, int linha) {
    form_.dispatch([this, controle, linha] {
        switch (controle) {
            case ControlId::btnUp:
                form_.painel.btnUpClick();
                break;
            case ControlId::btnDown:
                form_.painel.btnDownClick();
                break;
            case ControlId::btnRetorna:
                form_.painel.btnRetornaClick();
                break;
            case ControlId::btnConfirma:
                form_.painel.btnConfirmaClick();
                break;
            case ControlId::lblFechar:
                form_.lblFecharClick();
                break;
            case ControlId::lbxVisor:
                // A press gives the display the focus, as a list box takes it when clicked.
                form_.focaVisor();
                form_.painel.cliqueVisor(linha);
                break;
            case ControlId::lbxSinalizador:
                form_.painel.cliqueSinalizador(linha);
                break;
            default:
                break;
        }
    });
}

void Sessao::duploClique(ControlId controle) {
    if (controle != ControlId::lbxVisor) return;
    form_.dispatch([this] { form_.painel.lbxVisorDblClick(); });
}

void Sessao::tecla(int virtualKey) {
    // Each its own event, as the window and then the display get the key.
    form_.dispatch([this, virtualKey] { form_.telas.FormKeyDown(virtualKey); });
    if (!vista_.visorTemFoco()) return;
    form_.dispatch([this, virtualKey] { form_.painel.lbxVisorKeyDown(virtualKey); });
    form_.dispatch([this, virtualKey] { form_.painel.teclaNaLista(virtualKey); });
}

void Sessao::fecha() {
    form_.dispatch([this] { form_.Close(); });
}

bool Sessao::abre() {
    form_.FormCreate(false);
    form_.preparaCaminhos();
    return form_.mostraCatalogo();
}

bool Sessao::temSistema(const std::string& sistema) {
    form_.listaSistemas.MontaTela1();
    const bool encontrado = form_.listaSistemas.procuraSistema(sistema);
    form_.telas.MontaTela0();
    if (!encontrado)
        form_.termina({Desfecho::SistemaInexistente,
                       {MessageId::MontadoraInexistente, kMsgMontadoraInexistente, kErro}});
    return encontrado;
}

bool Sessao::abrePorta(int numero) {
    form_.portas.NumPorta = numero;
    if (form_.portas.abrePorta()) return true;
    form_.termina({Desfecho::FalhaDePorta, {MessageId::PortaInvalida, kPortaInvalida, kErro}},
                  FrmTolvanLink::Depois::Fecha);
    return false;
}

void Sessao::conecta() {
    form_.conexao.conecta();
}

bool Sessao::escolheSistema(const std::string& sistema) {
    // The list comes now, not half a second after the connection.
    form_.nav.TimerMontaTela->stop();
    form_.listaSistemas.MontaTela1();
    if (!form_.listaSistemas.procuraSistema(sistema)) {
        form_.termina({Desfecho::SistemaInexistente,
                       {MessageId::MontadoraInexistente, kMsgMontadoraInexistente, kErro}});
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

void Sessao::pronto() {
    form_.termina({Desfecho::Pronto, {}});
}

void Sessao::desiste(Desfecho desfecho, const std::string& motivo) {
    if (form_.run.emCurso()) form_.run.encerra();
    form_.termina({desfecho, {}, false, {}, motivo}, FrmTolvanLink::Depois::Fecha);
}

MessageDialog mensagemDoCabo(const std::filesystem::path& root) {
    TextTables textos;
    textos.Idioma = "Português";
    try {
        CarregaTextos(textos, PathResolver(root), kCaptionsFile);
    } catch (const TextFileError&) {
        // The built-in texts stand in; each device says what failed.
    }
    return montaMensagem(textos, kMsgDesconecteCabo, kInformacao, kBotaoOk,
                         MessageId::DesconecteCabo);
}

}  // namespace tolvan
