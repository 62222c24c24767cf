#pragma once

#include <cstdint>
#include <exception>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/Componentes.h"
#include "services/Desfecho.h"
#include "services/Paths.h"
#include "services/Shell.h"

namespace tolvan {

namespace sim {
class TestRig;
}

// The main window TfrmTolvanLink as a model: its life (creation, activation, close), selector
// mode and the one ending, over its components (controls, the state of its subsystems and the
// subsystems), which are its own: a front end reaches them only through the session (Sessao),
// the tests through the rig. The window toolkit only draws it and delivers clicks, keys and
// ticks; the subsystems reach the window through the Shell it implements.
class FrmTolvanLink : public Shell, private Componentes {
  public:
    explicit FrmTolvanLink(Services services);
    ~FrmTolvanLink() override;
    FrmTolvanLink(const FrmTolvanLink&) = delete;
    FrmTolvanLink& operator=(const FrmTolvanLink&) = delete;

    void setView(ViewListener* view) { view_.setListener(view); }

    // Life of the window. `consideraSelecao` false: never selector mode, whatever the selection
    // file says (a front end without the window).
    void FormCreate(bool consideraSelecao = true);
    void FormActivate();
    // Selector mode from here on: the caption over the bar listens to the run.
    void entraEmModoSelecao();
    // TimerMontaTela's tick, half a second after a connection: the system list, and in selector
    // mode what follows by itself (the system the selection file names chosen, then programmed
    // and verified).
    void TimerMontaTelaTimer();
    // The first system of the catalogue, in the list's order, whose description contains
    // `sistema` (case counts; an empty text is in none): its description as the list shows it.
    std::optional<std::string> procuraSistema(const std::string& sistema);
    // The system `sistema` names (procuraSistema) chosen as Confirm on its line of the list
    // chooses it: the operation menu follows. When there is none the session ends
    // (SistemaInexistente, told, the program closes); false also when the catalogue does not
    // give its row again (told).
    bool escolheSistema(const std::string& sistema);
    // Parts of the first activation, also for a front end that opens the port itself: the
    // program directory and the drive; the catalogue opened, the about box's list filled and the
    // main menu shown, or the no-system path (message, close), which returns false.
    void preparaCaminhos();
    bool mostraCatalogo();
    // Who hears of connections and runs besides the panel; none (nullptr) by default.
    void setRunListener(RunListener* ouvinte) { ouvintes.setFrente(ouvinte); }
    void FormClose();
    void lblFecharClick();
    // The program was told to end from outside (a signal, the console or the session closing):
    // the handshake or the run under way stops after the frame it is sending, nothing more is
    // sent, and the window closes as the close mark closes it, asking nothing. Its listeners
    // hear Interrompido with `motivo`.
    void interrompe(const std::string& motivo);
    // Centres the window on a screen of the given size, as when it is first shown.
    void centra(int screenWidth, int screenHeight);

    // ---- Shell ----
    int Mensagem(MessageId id, const std::string& texto, int tipo, unsigned botoes) override;
    void fechaMensagem() override { svc.dialogs.dismissMessage(); }
    void Close() override;
    bool closed() const override { return closed_; }
    bool modoSelecao() const override { return ModoSelecao; }
    void AtivaFuncoes(bool ativa) override { painel.AtivaFuncoes(ativa); }
    void focaVisor() override;
    void termina(const Final& final) override;
    void mostraSobre() override;

    // Runs one event handler from the event loop: nothing runs once the window has closed, and
    // a failure that the handler does not catch ends at falhaNoEvento.
    template <typename Handler>
    void dispatch(Handler&& handler) {
        if (closed_) return;
        try {
            handler();
        } catch (const std::exception& e) {
            falhaNoEvento(e);
        }
    }
    // A failure that no handler caught goes to the platform's error report; a handshake or a
    // transfer run under way ends with a message, once, instead of being left half done.
    void falhaNoEvento(const std::exception& e);
    // The port's device went away: the handshake or the run under way ends with one message;
    // the port is closed, to be opened again by the next operation.
    void linhaPerdida();

    // Where the panel goes once the operator has been told how something ended.
    enum class Depois {
        MenuPrincipal,  // the main menu, the panel answering again
        MenuOperacao,   // the operation menu stays, for another choice
        Fica,           // the screen stays as it is
        Fecha,          // the program closes
    };

  private:
    friend class Sessao;
    friend class sim::TestRig;

    // The one ending: termina with where the panel goes, decided from the ending or, for the
    // session's own endings, by the session.
    void termina(const Final& final, Depois depois);

    // What a connection does to the panel: disabled while the handshake polls, answering again
    // once the device has answered, with the system list half a second later.
    class PainelDaConexao final : public RunListener {
      public:
        explicit PainelDaConexao(FrmTolvanLink& janela) : janela_(janela) {}
        void conectando() override { janela_.AtivaFuncoes(false); }
        void conectado() override {
            janela_.AtivaFuncoes(true);
            janela_.nav.TimerMontaTela->start();
        }

      private:
        FrmTolvanLink& janela_;
    };

    // A timer whose ticks run `handler` as an event of this window.
    std::unique_ptr<Timer> timer(const char* name, int ms, std::function<void()> handler);
    void configuraModoSelecao();
    // Opens the catalogue file when there is one; what went wrong when it is no catalogue.
    Aviso abreCatalogo();
    // An interruption's last step, once the line is quiet: the session ends.
    void fimDaInterrupcao();

    std::unique_ptr<Timer> linhaPerdida_;  // takes a lost line to the event loop
    // Ticks while an interrupted session waits for the device's answer under way to end.
    std::unique_ptr<Timer> silencio_;
    PainelDaConexao painelDaConexao_{*this};
    bool closed_ = false;
    // Receive events so far, and at silencio_'s last tick; its ticks since the interruption.
    std::uint64_t recebidos_ = 0, recebidosAntes_ = 0;
    int ticksDeSilencio_ = 0;
    std::optional<std::string> interrupcao_;  // why, once interrupted
};

}  // namespace tolvan
