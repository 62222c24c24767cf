#include "app/FrmTolvanLink.h"

#include <fstream>
#include <system_error>

#include "link/Frames.h"
#include "link/PortName.h"
#include "services/CatalogueStore.h"
#include "services/FileAccess.h"
#include "services/Paths.h"
#include "texts/Mensagem.h"

namespace tolvan {

namespace {

// An interrupted session waits for a quiet line in ticks of the device's own gap between
// frames, a second at the most (a device that never stops sending).
constexpr int kTickDeSilencio = 50;
constexpr int kTicksDeSilencioMaximos = 20;

constexpr const char* kMsgFalhaInesperada = "Falha inesperada. \rO processo será abandonado! ";

// The third line of the selection file: the system the launcher asks for. A file that cannot
// be read, or has fewer lines, names nothing.
std::string sistemaDoArquivoSelecao(const std::filesystem::path& arquivo) {
    std::ifstream in(arquivo, std::ios::binary);
    std::string linha;
    for (int i = 0; i < 3; ++i) {
        if (!std::getline(in, linha)) return {};
    }
    if (!linha.empty() && linha.back() == '\r') linha.pop_back();
    return linha;
}

// What follows an ending that is not the handshake's, by why it ended and what the operator was
// told. In selector mode the program closes whatever this says.
FrmTolvanLink::Depois depoisDe(const Final& final) {
    using Depois = FrmTolvanLink::Depois;
    switch (final.desfecho) {
        case Desfecho::ComErros:
            // The operation menu stays, for another operation on the same system.
            return Depois::MenuOperacao;
        case Desfecho::SistemaInexistente:
        case Desfecho::Pronto:
            return Depois::Fecha;
        case Desfecho::FalhaDePorta:
            // The operator gave up choosing a port (at start-up, or after F6): nothing can be sent.
            return final.aviso.id == MessageId::OutraPorta ||
                           final.aviso.id == MessageId::SelecioneOutraPorta
                       ? Depois::Fecha
                       : Depois::MenuPrincipal;
        case Desfecho::ArquivoInvalido:
            // An image that is not there, or does not open, is an installation to be put right.
            return final.aviso.id == MessageId::ArquivoNaoEncontrado ||
                           final.aviso.id == MessageId::ArquivoNaoAbre
                       ? Depois::Fecha
                       : Depois::MenuPrincipal;
        case Desfecho::CatalogoInvalido:
            // A count the device cannot be given leaves the operation menu for the catalogue to
            // be put right; a line that is not found again leaves the list as it was.
            if (final.aviso.id == MessageId::ContagemInvalida) return Depois::MenuOperacao;
            if (final.aviso.id == MessageId::RegistroNaoLocalizado) return Depois::Fica;
            return Depois::Fecha;
        default:
            return Depois::MenuPrincipal;
    }
}

}  // namespace

FrmTolvanLink::FrmTolvanLink(Services services)
    // The timers are made while the components are built: nothing of this window but its address
    // is used until they tick.
    : Componentes(
          services, *this,
          [this, &timers = services.timers](const char* name, int ms,
                                            std::function<void()> handler) {
              return timers.create(name, ms, [this, handler] { dispatch(handler); });
          },
          [this] { TimerMontaTelaTimer(); }),
      linhaPerdida_(timer("LinhaPerdida", 0, [this] { linhaPerdida(); })),
      silencio_(timer("Silencio", kTickDeSilencio, [this] { fimDaInterrupcao(); })) {
    ouvintes.adiciona(painelDaConexao_);
    ComPort.onTriggerAvail = [this](std::uint16_t count) {
        ++recebidos_;
        dispatch([this, count] { receptor.ComPortTriggerAvail(count); });
    };
    // Perhaps from inside a write: what is under way ends from the event loop. No poll may
    // come before that: the line is gone.
    ComPort.onLineLost = [this] {
        conn.TimerLink->stop();
        linhaPerdida_->start();
    };
    ComPort.onTraceNotWritten = [this](const std::string& why) {
        svc.desktop.reportError("the serial trace was not written: " + why);
    };
}

std::unique_ptr<Timer> FrmTolvanLink::timer(const char* name, int ms,
                                            std::function<void()> handler) {
    return svc.timers.create(name, ms, [this, handler] { dispatch(handler); });
}

FrmTolvanLink::~FrmTolvanLink() {
    // The handlers go before the timers and the port they hang on.
    ComPort.onTriggerAvail = nullptr;
    ComPort.onLineLost = nullptr;
    ComPort.onTraceNotWritten = nullptr;
}

void FrmTolvanLink::FormCreate(bool consideraSelecao) {
    std::error_code ec;
    Memo1.setVisible(std::filesystem::exists(kDebugFile, ec));

    textos.Idioma = "Português";
    try {
        CarregaTextos(textos, files, kCaptionsFile);
    } catch (const TextFileError& e) {
        // The dialogs fall back to their built-in texts; the operator learns which file failed.
        svc.desktop.reportError(e.path() + ": " + e.what());
        Mensagem(MessageId::TextoIlegivel,
                 "Não foi possível ler o arquivo: " + e.path() + "\r\r" + e.what(), kErro,
                 kBotaoOk);
    }

    // Drive is still empty here: the selection file is looked for from the root. One that
    // another operator left in the shared folder does not put this program in selector mode.
    ModoSelecao = false;
    if (consideraSelecao && files.exists(Drive + kSelectionFile)) {
        const std::filesystem::path selecao = files.resolve(Drive + kSelectionFile);
        if (svc.fileAccess.ownedByRootOrMe(selecao)) {
            entraEmModoSelecao();
            configuraModoSelecao();
        } else {
            svc.desktop.reportError("Selection file " + utf8(selecao) +
                                    " belongs to another user: passed over");
        }
    }

    nav.LinhaSinal = 1;
    nav.LinhaIni = 1;
    nav.LinhaFim = 2;
    nav.Tela = 0;
    run.QtdBytesLidos = 0;
    run.QtdBytesArq = 0;
    nav.Rolagem = false;
    painel.AtivaFuncoes(true);
    lbxVisor.setItemIndex(nav.LinhaIni);
    lbxSinalizador.setItemIndex(nav.LinhaIni);
}

void FrmTolvanLink::configuraModoSelecao() {
    janela.setLeft(0);
    janela.setTop(0);
    janela.setHeight(600);
    janela.setWidth(800);

    const std::string fundo = Drive + kBackgroundPicture;
    if (files.exists(fundo)) {
        ImgTolvanLink.setJpegFile(utf8(files.resolve(fundo)));
    } else {
        Mensagem(MessageId::FundoAusente, "Não foi possível encontrar o arquivo: " + fundo, kErro,
                 kBotaoOk);
    }
    ImgTolvanLink.setWidth(800);
    ImgTolvanLink.repaint();

    btnDown.setVisible(false);
    btnUp.setVisible(false);
    lblStatus.setVisible(false);
    iLedBar1.setLeft(500);
    iLedBar1.setTop(72);
    lblMsg2.setLeft(500);
    lblMsg2.setTop(50);
    lbxVisor.setTop(300);
    lbxSinalizador.setTop(300);
    lblMsg2.setCaption("");
    lblMsg2.setVisible(true);

    // Only the bar and the caption are drawn and take the mouse.
    janela.setRegion(
        {Rect{500, 72, 790, 88}, Rect{500, 50, 500 + lblMsg2.width(), 50 + lblMsg2.height()}});
    janela.repaint();
    iLedBar1.setTransparent(true);
    lblMsg2.setTransparent(true);
}

void FrmTolvanLink::entraEmModoSelecao() {
    ModoSelecao = true;
    ouvintes.adiciona(legendaSelecao);
}

void FrmTolvanLink::FormActivate() {
    portas.NumPorta = portas.lePortFile();
    portas.aberturaInicio();

    frmCarregando.width = 0;
    frmCarregando.left = 0;
    frmCarregando.recolhido = true;

    preparaCaminhos();
    if (mostraCatalogo() && ModoSelecao) painel.btnConfirmaClick();
}

void FrmTolvanLink::TimerMontaTelaTimer() {
    telas.TimerMontaTelaTimer();
    if (!ModoSelecao) return;
    // Selector mode goes on by itself: the system the selection file names, programmed and
    // verified, as tolvan-flash runs it.
    nav.SistemaSelecao = sistemaDoArquivoSelecao(files.resolve(Drive + kSelectionFile));
    if (escolheSistema(nav.SistemaSelecao)) telas.iniciaOperacao(Operacao::GravacaoVerificacao);
    nav.Tela = 2;
}

std::optional<std::string> FrmTolvanLink::procuraSistema(const std::string& sistema) {
    // An empty text is in no description.
    if (sistema.empty()) return std::nullopt;
    for (QrTolvanLink.First(); !QrTolvanLink.Eof(); QrTolvanLink.Next()) {
        std::string descricao = QrTolvanLink.asString(catalogo::kDescricao);
        if (descricao.find(sistema) != std::string::npos) return descricao;
    }
    return std::nullopt;
}

bool FrmTolvanLink::escolheSistema(const std::string& sistema) {
    const std::optional<std::string> linha = procuraSistema(sistema);
    if (!linha) {
        termina({Desfecho::SistemaInexistente,
                 {MessageId::MontadoraInexistente, kMsgMontadoraInexistente, kErro}});
        return false;
    }
    return listaSistemas.escolhe(*linha);
}

void FrmTolvanLink::preparaCaminhos() {
    // The program directory is the real directory of the executable. Drive is the executable's
    // drive where drives exist (Windows), else the drive text the installation root stands for.
    // It ends in the machine's separator, as the paths the operator reads are spelt there.
    constexpr char separador = std::filesystem::path::preferred_separator;
    DirPrograma = utf8(svc.executable.parent_path());
    if (DirPrograma.empty() || DirPrograma.back() != separador) DirPrograma += separador;
    const std::string executavel = utf8(svc.executable);
    Drive = svc.executable.has_root_name() ? executavel.substr(0, 2) : "C:";
}

bool FrmTolvanLink::mostraCatalogo() {
    const Aviso causa = abreCatalogo();
    if (QrTolvanLink.active() && QrTolvanLink.recordCount() > 0) {
        frmAbout.lbxSisInstall.clear();
        QrTolvanLink.First();
        while (!QrTolvanLink.Eof()) {
            frmAbout.lbxSisInstall.push_back(QrTolvanLink.asString(catalogo::kDescricao));
            QrTolvanLink.Next();
        }
        QrTolvanLink.First();
        telas.MontaTela0();
        return true;
    }
    termina({Desfecho::CatalogoInvalido,
             {MessageId::NenhumSistema,
              "Nenhum sistema foi encontrado. \r\rSe houver interesse em adquirir \ralgum, favor "
              "entrar em contato  \rcom a Orsolite. ",
              kInformacao},
             false,
             causa});
    frmAbout.lbxSisInstall = {"Nenhum sistema foi encontrado.", "Se houver interesse em adquirir",
                              "algum, favor entrar em contato", "com a Orsolite. "};
    return false;
}

Aviso FrmTolvanLink::abreCatalogo() {
    const std::string arquivo = Drive + kCatalogueFile;
    if (!files.exists(arquivo)) return {};
    CatalogueOpenResult aberto = svc.catalogues.open(files.resolve(arquivo));
    if (aberto.table) {
        QrTolvanLink.open(std::move(*aberto.table));
        return {};
    }
    // A file that is there but is no usable catalogue (a legacy Paradox table, another file):
    // say so plainly before the no-system path, instead of only claiming there is no system.
    const std::string texto =
        "O catálogo de sistemas não pôde ser lido: " + utf8(files.resolve(arquivo)) + "\r\r" +
        aberto.detail;
    svc.desktop.reportError(texto);
    return {MessageId::CatalogoIlegivel, texto, kErro};
}

void FrmTolvanLink::FormClose() {
    if (ModoSelecao) {
        std::error_code ec;
        std::filesystem::remove(files.resolve(Drive + kSelectionFile), ec);
        if (!files.exists(kMarkerFile)) svc.desktop.closeWindowTitled(kLauncherTitle);
    }
    QrTolvanLink.close();
}

void FrmTolvanLink::Close() {
    if (closed_) return;
    closed_ = true;
    FormClose();
    // The port is released with the window, and its trace written, before the program ends:
    // an ending the program is told of from outside must not lose them.
    try {
        ComPort.setOpen(false);
    } catch (const std::exception& e) {
        svc.desktop.reportError(e.what());
    }
    svc.desktop.quit();
}

void FrmTolvanLink::interrompe(const std::string& motivo) {
    if (closed_ || interrupcao_) return;
    interrupcao_ = motivo;
    const bool sobAOperacao = conn.Conectando || run.emCurso();
    if (conn.Conectando) conexao.para();
    if (run.emCurso()) run.encerra();
    if (!sobAOperacao || !ComPort.isOpen()) {
        fimDaInterrupcao();
        return;
    }
    // The device may still be sending its answer to the last frame (a sector read back lasts
    // 135 ms at 19200 baud). The port closes once the line has been quiet for a tick, so that
    // the next run to open it is not greeted by the rest of that answer.
    recebidosAntes_ = recebidos_;
    ticksDeSilencio_ = 0;
    silencio_->start();
}

void FrmTolvanLink::fimDaInterrupcao() {
    if (silencio_->running()) {
        const bool ouviu = recebidos_ != recebidosAntes_;
        recebidosAntes_ = recebidos_;
        if (ouviu && ++ticksDeSilencio_ < kTicksDeSilencioMaximos) return;
        silencio_->stop();
    }
    termina({Desfecho::Interrompido, {}, false, {}, *interrupcao_}, Depois::Fecha);
}

void FrmTolvanLink::lblFecharClick() {
    Close();
}

void FrmTolvanLink::centra(int screenWidth, int screenHeight) {
    janela.setLeft((screenWidth - janela.width()) / 2);
    janela.setTop((screenHeight - janela.height()) / 2);
}

int FrmTolvanLink::Mensagem(MessageId id, const std::string& texto, int tipo, unsigned botoes) {
    // While the program is ending, a dialog closes at once by itself.
    if (closed_) return kClosedByTitleBar;
    return svc.dialogs.showMessage(montaMensagem(textos, texto, tipo, botoes, id));
}

void FrmTolvanLink::mostraSobre() {
    if (closed_) return;
    svc.dialogs.showAbout(frmAbout);
}

void FrmTolvanLink::termina(const Final& final) {
    termina(final, depoisDe(final));
}

void FrmTolvanLink::termina(const Final& final, Depois depois) {
    const Aviso& aviso = final.aviso;
    ouvintes.fim(final.desfecho, aviso.texto.empty() ? final.motivo : aviso.texto);
    if (final.daConexao) {
        // The main menu comes before the message; in selector mode there is none.
        AtivaFuncoes(true);
        telas.MontaTela0();
        ouvintes.semConexao();
        if (ModoSelecao) {
            Close();
        } else if (!aviso.texto.empty()) {
            Mensagem(aviso.id, aviso.texto, aviso.tipo, kBotaoOk);
        }
        return;
    }
    if (!final.antes.texto.empty())
        Mensagem(final.antes.id, final.antes.texto, final.antes.tipo, kBotaoOk);
    // The no-system screen stands behind its message.
    if (aviso.id == MessageId::NenhumSistema) telas.MontaTelaSemSistema();
    // A verification that went to its end gives the panel back before its message.
    if (final.desfecho == Desfecho::Verificado || final.desfecho == Desfecho::ComErros)
        AtivaFuncoes(true);
    if (!aviso.texto.empty()) Mensagem(aviso.id, aviso.texto, aviso.tipo, kBotaoOk);
    // The program was ended while the message was open: nothing more goes to the device.
    if (closed_) return;
    // After success the device runs the system.
    if (final.desfecho == Desfecho::Gravado || final.desfecho == Desfecho::Verificado)
        CmdExecuta(ComPort);
    switch (depois) {
        case Depois::MenuPrincipal:
            AtivaFuncoes(true);
            telas.MontaTela0();
            break;
        case Depois::MenuOperacao:
            AtivaFuncoes(true);
            focaVisor();
            break;
        case Depois::Fica:
            break;
        case Depois::Fecha:
            Close();
            return;
    }
    if (ModoSelecao) Close();
}

void FrmTolvanLink::falhaNoEvento(const std::exception& e) {
    svc.desktop.reportError(e.what());
    const bool daPorta = dynamic_cast<const SerialError*>(&e) != nullptr;
    const std::string texto = daPorta ? kMsgFalhaNaPorta : kMsgFalhaInesperada;
    try {
        const Desfecho desfecho = daPorta ? Desfecho::FalhaDePorta : Desfecho::Falha;
        const MessageId id = daPorta ? MessageId::FalhaNaPorta : MessageId::FalhaInesperada;
        if (conn.Conectando) {
            conexao.encerraSemConexao(desfecho, id, texto);
        } else if (run.emCurso()) {
            run.encerra();
            termina({desfecho, {id, texto, kErro}});
        }
    } catch (const std::exception& again) {
        svc.desktop.reportError(again.what());
    }
}

void FrmTolvanLink::linhaPerdida() {
    linhaPerdida_->stop();
    if (!ComPort.isOpen() || !ComPort.lineLost()) return;
    svc.desktop.reportError(nomeDaPorta(ComPort.comNumber()) +
                            ": the line was lost: " + ComPort.lossReason());
    // Closed, so that the next operation opens the device again, wherever it came back.
    ComPort.setOpen(false);
    if (conn.Conectando) {
        conexao.encerraSemConexao(Desfecho::FalhaDePorta, MessageId::FalhaNaPorta,
                                  kMsgFalhaNaPorta);
    } else if (run.emCurso()) {
        run.encerra();
        termina({Desfecho::FalhaDePorta, {MessageId::FalhaNaPorta, kMsgFalhaNaPorta, kErro}});
    } else {
        lblStatus.setCaption("[Desconectado]");
    }
}

void FrmTolvanLink::focaVisor() {
    foco = ControlId::lbxVisor;
    view_.changed(ControlId::Focus);
}

}  // namespace tolvan
