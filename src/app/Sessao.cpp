#include "app/Sessao.h"

#include <algorithm>

#include "app/FrmTolvanLink.h"
#include "link/Handshake.h"
#include "link/PortName.h"
#include "services/PathResolver.h"
#include "texts/Mensagem.h"
#include "texts/Trim.h"
#include "transfer/ImageOpening.h"

namespace tolvan {

Sessao::Sessao(Services services) : form_(std::make_unique<FrmTolvanLink>(std::move(services))) {
    FrmTolvanLink& f = *form_;
    const DiagnosticLists& d = f.diagnostico;
    vista_ = std::make_unique<const Vista>(
        Vista{f.janela,
              f.ImgTolvanLink,
              f.lblMsg,
              f.lblFechar,
              f.lbxVisor,
              f.lbxSinalizador,
              f.lblStatus,
              f.btnUp,
              f.btnDown,
              f.btnRetorna,
              f.btnConfirma,
              f.lblMsg2,
              f.iLedBar1,
              f.Memo1,
              f.foco,
              {&d.ListBox1, &d.ListBox2, &d.ListBox1a, &d.ListBox2a, &d.ListBox1b, &d.ListBox2b,
               &d.ListBox1c, &d.ListBox2c},
              f.frmCarregando});
}

Sessao::~Sessao() = default;

void Sessao::setOuvinte(RunListener* ouvinte) {
    form_->setRunListener(ouvinte);
}

void Sessao::setView(ViewListener* view) {
    form_->setView(view);
}

void Sessao::dispatch(const std::function<void()>& commands) {
    form_->dispatch(commands);
}

// ---- The window ----

void Sessao::cria() {
    form_->FormCreate();
}

void Sessao::ativa() {
    form_->dispatch([this] { form_->FormActivate(); });
}

void Sessao::clique(ControlId controle, int linha) {
    FrmTolvanLink& f = *form_;
    f.dispatch([&f, controle, linha] {
        switch (controle) {
            case ControlId::btnUp:
                f.painel.btnUpClick();
                break;
            case ControlId::btnDown:
                f.painel.btnDownClick();
                break;
            case ControlId::btnRetorna:
                f.painel.btnRetornaClick();
                break;
            case ControlId::btnConfirma:
                f.painel.btnConfirmaClick();
                break;
            case ControlId::lblFechar:
                f.lblFecharClick();
                break;
            case ControlId::lbxVisor:
                // A press gives the display the focus, as a list box takes it when clicked.
                f.focaVisor();
                f.painel.cliqueVisor(linha);
                break;
            case ControlId::lbxSinalizador:
                f.painel.cliqueSinalizador(linha);
                break;
            default:
                break;
        }
    });
}

void Sessao::duploClique(ControlId controle) {
    if (controle != ControlId::lbxVisor) return;
    form_->dispatch([this] { form_->painel.lbxVisorDblClick(); });
}

void Sessao::tecla(int virtualKey) {
    // Each its own event, as the window and then the display get the key.
    form_->dispatch([this, virtualKey] { form_->telas.FormKeyDown(virtualKey); });
    if (!vista_->visorTemFoco()) return;
    form_->dispatch([this, virtualKey] { form_->painel.lbxVisorKeyDown(virtualKey); });
    form_->dispatch([this, virtualKey] { form_->painel.teclaNaLista(virtualKey); });
}

void Sessao::fecha() {
    form_->dispatch([this] { form_->Close(); });
}

void Sessao::centra(int screenWidth, int screenHeight) {
    form_->centra(screenWidth, screenHeight);
}

bool Sessao::encerrada() const {
    return form_->closed();
}

// ---- A run without the panel ----

bool Sessao::abre() {
    form_->FormCreate(false);
    form_->preparaCaminhos();
    return form_->mostraCatalogo();
}

std::vector<CatalogueRow> Sessao::sistemas() {
    CatalogueQuery& q = form_->QrTolvanLink;
    std::vector<CatalogueRow> linhas;
    for (q.First(); !q.Eof(); q.Next())
        linhas.push_back(q.linha());
    return linhas;
}

bool Sessao::temSistema(const std::string& sistema) {
    if (form_->procuraSistema(sistema)) return true;
    form_->termina({Desfecho::SistemaInexistente,
                    {MessageId::MontadoraInexistente, kMsgMontadoraInexistente, kErro}});
    return false;
}

void Sessao::setTraceFiles(const std::string& trace, const std::string& log) {
    form_->ComPort.setTraceFiles(trace, log);
}

bool Sessao::abrePorta(int numero) {
    form_->portas.NumPorta = numero;
    if (form_->portas.abrePorta()) return true;
    form_->termina({Desfecho::FalhaDePorta, {MessageId::PortaInvalida, kPortaInvalida, kErro}},
                   FrmTolvanLink::Depois::Fecha);
    return false;
}

std::optional<std::string> Sessao::dispositivo() {
    const std::string nome = nomeDaPorta(form_->portas.NumPorta);
    for (const SerialPortEntry& porta : form_->svc.ports.ports())
        if (porta.name == nome) return porta.device;
    return std::nullopt;
}

void Sessao::conecta() {
    form_->conexao.conecta();
}

bool Sessao::escolheSistema(const std::string& sistema) {
    // The list comes now, not half a second after the connection.
    form_->nav.TimerMontaTela->stop();
    form_->listaSistemas.MontaTela1();
    return form_->escolheSistema(sistema);
}

std::string Sessao::sistema() {
    return Trim(form_->QrTolvanLink.asString(catalogo::kDescricao));
}

bool Sessao::confereOperacao(Operacao operacao) {
    return form_->arquivos.imagensProntas(operacao);
}

std::vector<Imagem> Sessao::imagens() {
    return form_->arquivos.imagensDaLinha();
}

std::string Sessao::nomeDa(Imagem imagem) {
    return Trim(form_->arquivos.nomeDa(imagem));
}

std::filesystem::path Sessao::arquivoDa(Imagem imagem) {
    return form_->files.resolve(form_->arquivos.caminhoDa(imagem));
}

std::int64_t Sessao::setoresDa(Imagem imagem) {
    return form_->QrTolvanLink.asInteger(dadosDa(imagem).colunaSetor);
}

std::filesystem::path Sessao::pastaBin() const {
    return form_->files.resolve(form_->arquivos.pastaBin());
}

void Sessao::iniciaOperacao(Operacao operacao) {
    form_->telas.iniciaOperacao(operacao);
}

void Sessao::pronto() {
    form_->termina({Desfecho::Pronto, {}});
}

void Sessao::desiste(Desfecho desfecho, const std::string& motivo) {
    if (form_->run.emCurso()) form_->run.encerra();
    form_->termina({desfecho, {}, false, {}, motivo}, FrmTolvanLink::Depois::Fecha);
}

void Sessao::interrompe(const std::string& motivo) {
    form_->dispatch([&] { form_->interrompe(motivo); });
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

std::filesystem::path caminhoNaCopia(const std::filesystem::path& pasta, const std::string& nome) {
    std::string relativo = Trim(nome);
    if (relativo.empty() || saiDaPastaBin(relativo)) return {};
    std::replace(relativo.begin(), relativo.end(), '\\', '/');
    return pasta / pathFromUtf8(relativo);
}

}  // namespace tolvan
