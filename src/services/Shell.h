#pragma once

#include <string>

namespace tolvan {

enum class MessageId;
struct Final;

// What the main window offers the subsystems it owns. They reach the window through this and
// through the state and controls they are given, never through the window itself.
class Shell {
  public:
    virtual ~Shell() = default;
    // The one message dialog (which message, text, kind, buttons); returns the result code.
    // After the window has closed it returns at once with 2, as a dialog closed by its title bar.
    virtual int Mensagem(MessageId id, const std::string& texto, int tipo, unsigned botoes) = 0;
    // Closes the message opened last that is still open, as if nobody had answered it.
    virtual void fechaMensagem() = 0;
    // Closes the main window: its close handler runs at once; the program ends when control is
    // back in the event loop. The rest of the calling handler still runs.
    virtual void Close() = 0;
    virtual bool closed() const = 0;
    // The launcher asked for a run without the operator.
    virtual bool modoSelecao() const = 0;
    // The panel answers the operator, or not while the link is busy.
    virtual void AtivaFuncoes(bool ativa) = 0;
    // The display takes the keyboard focus.
    virtual void focaVisor() = 0;
    // The about box, modal.
    virtual void mostraSobre() = 0;
    // Applies how a connection, a run or the choice of a system ended, the one place that does:
    // whoever listens is told, the message is shown, the panel goes where that ending leads, and
    // in selector mode the window closes. A run under way has been ended by its caller.
    virtual void termina(const Final& final) = 0;
};

}  // namespace tolvan
