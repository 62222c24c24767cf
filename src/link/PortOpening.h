#pragma once

#include <string>

namespace tolvan {

class FrmTolvanLink;

inline constexpr const char* kPortFile = "\\Orsolite\\Comuns\\Comm.txt";

// The port file and the three places where the port is (re)opened with the operator's help.
class PortOpening {
  public:
    explicit PortOpening(FrmTolvanLink& form) : f_(form) {}

    // The port number in the port file. A missing file is created with "2"; a file that cannot
    // be read or holds no number is rewritten with "2" (its folder created when missing).
    int lePortFile();
    void gravaPortFile(int number);

    // Closes the port, sets its number to NumPorta and opens it; false on any failure.
    bool abrePorta();

    // The start-up loop: port file, open, and on failure the operator may choose another port
    // or the program closes.
    void aberturaInicio();
    // The loop of Confirm on the port list (NumPorta already set): on failure the operator may
    // choose another port or give up; the port file then holds the port's number.
    void aberturaTela3();
    // Key F6: the port dialog, then one opening; on failure the program closes.
    void aberturaF6();

  private:
    // Shows the port dialog for NumPorta and takes its choice; writes it to the port file when
    // asked to.
    void escolhePorta(bool gravaArquivo);

    FrmTolvanLink& f_;
};

}  // namespace tolvan
