#include "app/Componentes.h"

#include "services/Shell.h"

namespace tolvan {

namespace {

Rect at(int left, int top, int width, int height) {
    return {left, top, left + width, top + height};
}

}  // namespace

Componentes::Componentes(Services services, Shell& shell, const FabricaDeTimers& timer,
                         std::function<void()> timerMontaTela)
    : svc(services),
      files(services.root),
      janela(view_, ControlId::Window, at(0, 0, 589, 288)),
      ImgTolvanLink(view_, ControlId::ImgTolvanLink, at(0, 0, 589, 288)),
      lblMsg(view_, ControlId::lblMsg, at(53, 17, 428, 19), "Vessaro"),
      lblFechar(view_, ControlId::lblFechar, at(496, 16, 13, 14), " X "),
      lbxVisor(view_, ControlId::lbxVisor, at(99, 69, 225, 122)),
      lbxSinalizador(view_, ControlId::lbxSinalizador, at(88, 69, 11, 122)),
      lblStatus(view_, ControlId::lblStatus, at(88, 191, 236, 13), "[Desconectado]"),
      btnUp(view_, ControlId::btnUp, at(366, 41, 50, 58), "Sobe"),
      btnDown(view_, ControlId::btnDown, at(420, 43, 52, 58), "Desce"),
      btnRetorna(view_, ControlId::btnRetorna, at(366, 166, 50, 58), "Retorna"),
      btnConfirma(view_, ControlId::btnConfirma, at(420, 166, 52, 58), "Confirma"),
      lblMsg2(view_, ControlId::lblMsg2, at(616, 385, 153, 19), "Conectando ... "),
      iLedBar1(view_, ControlId::iLedBar1, at(459, 304, 290, 16)),
      Memo1(view_, ControlId::Memo1, at(240, 64, 129, 113)),
      ComPort(services.serial, services.ports, services.dialogs, services.clock),
      conn(timer("TimerLink", 5, [this] { conexao.TimerLinkTimer(); })),
      nav(timer("TimerMontaTela", 500, std::move(timerMontaTela))),
      run(timer("TimerCmd", 200, [this] { receptor.TimerCmdTimer(); }),
          timer("TimerRead", 100, [this] { receptor.TimerReadTimer(); }),
          timer("TimeOut", 5000, [this] { receptor.TimeOutTimer(); })),
      diagnostico(Memo1, view_, services.dialogs),
      arquivos(run, files, services.fileAccess, QrTolvanLink, DirPrograma, diagnostico, ouvintes,
               shell),
      verificacao(run, arquivos, diagnostico, ComPort, services.clock, ouvintes, shell),
      gravacao(run, arquivos, verificacao, ComPort, services.clock, ouvintes, shell),
      conexao(conn, ComPort, receptor, shell),
      receptor(run, conn, ComPort, {conexao, arquivos, gravacao, verificacao, diagnostico},
               ouvintes, shell),
      portas(ComPort, files, services.fileAccess, Drive, services.ports, services.dialogs,
             services.desktop, shell),
      painel(nav, visor(), {btnUp, btnDown, btnRetorna, btnConfirma, lblFechar}, listaSistemas,
             telas, services.desktop, shell),
      telas(nav, visor(), iLedBar1, run, listaSistemas,
            {conexao, portas, arquivos, gravacao, verificacao}, services.ports, services.desktop,
            files, DirPrograma, shell),
      listaSistemas(nav, visor(), QrTolvanLink, arquivos, telas, shell) {
    for (const char* line : {"", "Conexão", "Sair do Programa", "", "", ""})
        lbxVisor.add(line);
    for (const char* line : {"", ">", "", "", "", ""})
        lbxSinalizador.add(line);
    lblMsg.setTransparent(true);
    lblFechar.setTransparent(true);
    lblFechar.setOnMouseBorderWidth(1);
    lblMsg2.setVisible(false);
    iLedBar1.setVisible(false);
    Memo1.setVisible(false);
    ouvintes.adiciona(linhaDeStatus);
    ouvintes.adiciona(barraDeSetores);
}

}  // namespace tolvan
