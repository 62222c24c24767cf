#pragma once

#include "transfer/Execucao.h"

namespace tolvan {

class Clock;
class DiagnosticLists;
class ImageFiles;
class RunListener;
class SerialPort;
class Shell;

// Verification: reads the images back and compares them with their files, byte by byte.
class Verification {
  public:
    Verification(Execucao& run, ImageFiles& arquivos, DiagnosticLists& diagnostico,
                 SerialPort& port, Clock& clock, RunListener& ouvinte, Shell& shell)
        : run_(run),
          arquivos_(arquivos),
          diagnostico_(diagnostico),
          port_(port),
          clock_(clock),
          ouvinte_(ouvinte),
          shell_(shell) {}

    void Verificacao();
    void VerificacaoL();
    void VerificacaoL2();
    // Compares the bytes read back with the file's and goes on to the next image or ends.
    void VerificaArq();

  private:
    void iniciaImagem(Imagem imagem);
    // Operacao::Leitura: the image read whole goes to the listener, and the next one starts.
    void entregaImagem();
    void fimDaVerificacao(bool erros);

    Execucao& run_;
    ImageFiles& arquivos_;
    DiagnosticLists& diagnostico_;
    SerialPort& port_;
    Clock& clock_;
    RunListener& ouvinte_;
    Shell& shell_;
};

}  // namespace tolvan
