#pragma once

#include <string>

namespace tolvan {

class Desktop;
class Dialogs;
class FileAccess;
class PathResolver;
class PortRegistry;
class SerialPort;
class Shell;

inline constexpr const char* kPortFile = "\\Orsolite\\Comuns\\Comm.txt";
inline constexpr const char* kPortaInvalida = "Porta de Comunicação Inválida! ";
// The port failed under an operation (its device went away, a write was refused, it does not
// open again): what ends the operation, with what to check.
inline constexpr const char* kMsgFalhaNaPorta =
    "Falha na Porta de Comunicação. \rVerifique o adaptador e o cabo, se o usuário \rpertence "
    "ao grupo dialout e se outro programa \restá usando a porta. \rO processo será abandonado! ";

// The port file and the places where the port is (re)opened with the operator's help.
class PortOpening {
  public:
    // `drive` is the drive text the installation's paths start with.
    PortOpening(SerialPort& port, const PathResolver& files, const FileAccess& access,
                const std::string& drive, PortRegistry& ports, Dialogs& dialogs, Desktop& desktop,
                Shell& shell)
        : port_(port),
          files_(files),
          access_(access),
          drive_(drive),
          ports_(ports),
          dialogs_(dialogs),
          desktop_(desktop),
          shell_(shell) {}

    // The port to open next, as the port file, the port list or the port dialog gave it.
    int NumPorta = 2;

    // The port number in the port file. A missing file is created with "2"; a file that cannot
    // be read or holds no number is rewritten with "2" (its folder created when missing).
    int lePortFile();
    void gravaPortFile(int number);
    // The port file takes the number of the port as it stands (open or not).
    void gravaPortaAtual();

    // Closes the port, sets its number to NumPorta and opens it; false on any failure.
    bool abrePorta();
    // The port as an operation needs it: open on a device that is there. A port closed because
    // its device went away is opened again, which finds an adapter put back under the same
    // name (a /dev/serial/by-id link). False when it does not open.
    bool portaPronta();

    // The start-up loop: the port file's port opened, and on failure the operator may choose
    // another port (written to the port file) or the program ends (FalhaDePorta, nothing more
    // said).
    void aberturaInicio();
    // Confirm on the port list (NumPorta already set): on failure the operator may choose
    // another port or give up.
    void aberturaTela3();
    // Key F6: the port dialog, then one opening; on failure the program ends (FalhaDePorta, with
    // its message).
    void aberturaF6();

  private:
    // Opens NumPorta until it opens or the operator stops choosing other ports; `inicio` is
    // the start-up's loop, where a choice is written to the port file and giving up closes
    // the program.
    void abreComEscolha(bool inicio);
    // Shows the port dialog for NumPorta and takes its choice; writes it to the port file when
    // asked to.
    void escolhePorta(bool gravaArquivo);

    SerialPort& port_;
    const PathResolver& files_;
    const FileAccess& access_;
    const std::string& drive_;
    PortRegistry& ports_;
    Dialogs& dialogs_;
    Desktop& desktop_;
    Shell& shell_;
};

}  // namespace tolvan
