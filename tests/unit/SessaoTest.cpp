#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "PanelFixture.h"
#include "RunRecorder.h"
#include "panel/Panel.h"
#include "sim/SimDevice.h"

namespace tolvan::test {
namespace {

// What one scenario drives through the session and how it must end: the endings the listener
// heard (with their texts), the messages shown, by identity, and whether the session closed.
struct Cenario {
    const char* nome;
    std::function<void(Sessao&, sim::TestRig&, RunRecorder&)> passos;
    std::vector<Desfecho> desfechos;
    std::vector<std::string> textos;
    std::vector<MessageId> mensagens;
    bool encerrada;
};

void abreCom(Sessao& s, sim::TestRig& rig, int sistemas) {
    rig.setSystems(numberedSystems(sistemas));
    for (const auto& sistema : numberedSystems(sistemas)) {
        rig.writeImage(sistema.arquivo, std::string(700, '\x11'));
        rig.writeImage(sistema.arquivoL, std::string(300, '\x22'));
    }
    s.dispatch([&] { ASSERT_TRUE(s.abre()); });
}

const std::vector<Cenario>& cenarios() {
    static const std::vector<Cenario> lista = {
        {"an unknown system ends the session before the port is opened",
         [](Sessao& s, sim::TestRig& rig, RunRecorder&) {
             abreCom(s, rig, 3);
             s.dispatch([&] { EXPECT_FALSE(s.temSistema("Nenhum")); });
             EXPECT_FALSE(rig.serial.isOpen());
         },
         {Desfecho::SistemaInexistente},
         {"Montadora inexistente no Tolvan Link."},
         {MessageId::MontadoraInexistente},
         true},
        {"a port that does not open ends the session with its message",
         [](Sessao& s, sim::TestRig& rig, RunRecorder&) {
             abreCom(s, rig, 1);
             s.dispatch([&] { EXPECT_FALSE(s.abrePorta(9)); });
             EXPECT_EQ(s.dispositivo(), std::nullopt);
         },
         {Desfecho::FalhaDePorta},
         {"Porta de Comunicação Inválida! "},
         {MessageId::PortaInvalida},
         true},
        {"a dry run chooses the system past the list's sixth row and ends ready, sending nothing",
         [](Sessao& s, sim::TestRig& rig, RunRecorder&) {
             std::string written;
             rig.serial.onHostWrite = [&](std::string_view b) { written += b; };
             abreCom(s, rig, 9);
             s.dispatch([&] {
                 ASSERT_TRUE(s.temSistema("ma 08"));
                 ASSERT_TRUE(s.escolheSistema("ma 08"));
                 EXPECT_EQ(s.sistema(), "Sistema 08");
                 EXPECT_TRUE(s.confereOperacao(Operacao::GravacaoVerificacao));
                 ASSERT_TRUE(s.abrePorta(2));
                 EXPECT_EQ(s.dispositivo(), "/dev/sim2");
                 s.pronto();
             });
             EXPECT_EQ(written, "");
         },
         {Desfecho::Pronto},
         {""},
         {},
         true},
        {"a front end that gives up is heard with its reason and shows nothing",
         [](Sessao& s, sim::TestRig& rig, RunRecorder&) {
             abreCom(s, rig, 2);
             s.desiste(Desfecho::ArquivoInvalido, "the folder is the installation's bin");
         },
         {Desfecho::ArquivoInvalido},
         {"the folder is the installation's bin"},
         {},
         true},
        {"programming and verifying through the session, as selector mode runs it",
         [](Sessao& s, sim::TestRig& rig, RunRecorder& ouvinte) {
             sim::SimDevice device(rig.loop, rig.serial);
             abreCom(s, rig, 2);
             s.dispatch([&] {
                 ASSERT_TRUE(s.abrePorta(2));
                 s.conecta();
             });
             ASSERT_TRUE(rig.loop.runUntil(
                 [&] { return !ouvinte.events.empty() && ouvinte.events[0] == "connected"; },
                 5000));
             s.dispatch([&] {
                 ASSERT_TRUE(s.escolheSistema("Sistema 02"));
                 s.iniciaOperacao(Operacao::GravacaoVerificacao);
             });
             rig.loop.runUntil([&] { return !ouvinte.desfechos.empty(); }, 600000);
             // After success the device is told to run the system.
             EXPECT_EQ(device.framesHeard().back(), 0x0B);
         },
         {Desfecho::Verificado},
         {" ARQUIVO VERIFICADO SEM ERROS \r\r O Tolvan Link será executado. "},
         {MessageId::DesconecteCabo, MessageId::VerificadoSemErros},
         false},
        {"an interruption mid-programming sends nothing after the frame under way, never the "
         "run command, and closes the port",
         [](Sessao& s, sim::TestRig& rig, RunRecorder& ouvinte) {
             sim::SimDevice device(rig.loop, rig.serial);
             abreCom(s, rig, 1);
             s.dispatch([&] {
                 ASSERT_TRUE(s.abrePorta(2));
                 s.conecta();
             });
             ASSERT_TRUE(rig.loop.runUntil([&] { return !ouvinte.events.empty(); }, 5000));
             s.dispatch([&] {
                 ASSERT_TRUE(s.escolheSistema("Sistema 01"));
                 s.iniciaOperacao(Operacao::GravacaoVerificacao);
             });
             const auto setores = [&] {
                 const auto f = device.framesHeard();
                 return std::count(f.begin(), f.end(), 0x06);
             };
             ASSERT_TRUE(rig.loop.runUntil([&] { return setores() == 2; }, 60000));
             const std::size_t ouvidos = device.framesHeard().size();
             s.interrompe("interrupted by SIGTERM");
             rig.loop.runFor(10000);
             EXPECT_EQ(device.framesHeard().size(), ouvidos);
             EXPECT_FALSE(rig.serial.isOpen());
         },
         {Desfecho::Interrompido},
         {"interrupted by SIGTERM"},
         {MessageId::DesconecteCabo},
         true},
        {"the window's keys: Escape asks whether to leave, Down moves the pointer on the display",
         [](Sessao& s, sim::TestRig& rig, RunRecorder&) {
             rig.setSystems(numberedSystems(2));
             rig.start();
             rig.dialogs.onMessage = [](const MessageDialog&) { return kResultNao; };
             s.tecla(kVkEscape);
             s.tecla(kVkDown);
             EXPECT_EQ(s.vista().lbxVisor.itemIndex(), 2);
             // A disabled display takes no keys.
             s.dispatch([&] { rig.componentes().painel.AtivaFuncoes(false); });
             s.tecla(kVkDown);
             EXPECT_EQ(s.vista().lbxVisor.itemIndex(), 2);
         },
         {},
         {},
         {MessageId::Sair},
         false},
        {"the window's clicks: Conexão polls a silent device until the operator gives up; the "
         "close mark closes",
         [](Sessao& s, sim::TestRig& rig, RunRecorder&) {
             rig.setSystems(numberedSystems(2));
             rig.start();
             s.clique(ControlId::lbxVisor, 1);
             s.clique(ControlId::btnConfirma);
             EXPECT_FALSE(s.vista().btnConfirma.enabled());  // while it polls
             rig.loop.runFor(3000);                          // the question: Yes, give up
             EXPECT_TRUE(s.vista().btnConfirma.enabled());
             s.clique(ControlId::lblFechar);
         },
         {Desfecho::SemComunicacao},
         {""},
         {MessageId::DesconecteCabo, MessageId::AbandonarConexao},
         true},
    };
    return lista;
}

TEST(SessaoTest, DrivesTheCoreAsTheWindowAndTolvanFlashDo) {
    for (const Cenario& c : cenarios()) {
        SCOPED_TRACE(c.nome);
        sim::TestRig rig;
        Sessao& s = rig.sessao();
        RunRecorder ouvinte(s);
        c.passos(s, rig, ouvinte);
        EXPECT_EQ(ouvinte.desfechos, c.desfechos);
        EXPECT_EQ(ouvinte.textos, c.textos);
        std::vector<MessageId> mostradas;
        for (const MessageDialog& d : rig.dialogs.messages)
            mostradas.push_back(d.id);
        EXPECT_EQ(mostradas, c.mensagens);
        EXPECT_EQ(s.encerrada(), c.encerrada);
        s.setOuvinte(nullptr);
    }
}

}  // namespace
}  // namespace tolvan::test
