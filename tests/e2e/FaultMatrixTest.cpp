// The program against a misbehaving device: each case ends with the message the operator must
// see, the panel back on its screen (or the program closed in selector mode), no crash, and
// nothing sent to the device once the operation was given up.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>

#include "FlashOutput.h"
#include "Observations.h"
#include "ProgramFixture.h"

namespace tolvan::e2e {
namespace {

namespace fs = std::filesystem;

constexpr const char* kInformacao = "Informação";
constexpr const char* kErro = "Erro";
constexpr const char* kConfirmacao = "Confirmação";

constexpr const char* kDesconecte =
    "Desconecte o cabo de comunicação do\rTolvan Link e clique em \"OK\", após \rclicar em "
    "\"OK\" conecte novamente o \rcabo no Tolvan Link e aguarde.";
constexpr const char* kAbandonarConexao = "Não houve comunicação. Deseja abandonar a conexão? ";
constexpr const char* kSemComunicacao = "Não houve comunicação. \rO processo será abandonado! ";
constexpr const char* kComErros = " ARQUIVO VERIFICADO COM ERROS ";
constexpr const char* kSemErros =
    " ARQUIVO VERIFICADO SEM ERROS \r\r O Tolvan Link será executado. ";
constexpr const char* kSair = "Deseja realmento sair do Tolvan Link? ";
constexpr const char* kPortaInvalida = "Porta de Comunicação Inválida! ";
constexpr const char* kOutraPorta = "Deseja selecionar outra porta? ";
constexpr const char* kNaoEncontrado = "Arquivo não encontrado: ";
constexpr const char* kMsgFalhaNaPorta =
    "Falha na Porta de Comunicação. \rVerifique o adaptador e o cabo, se o usuário \rpertence "
    "ao grupo dialout e se outro programa \restá usando a porta. \rO processo será abandonado! ";

// The line of the operation menu.
enum class Operacao { GravacaoVerificacao = 1, Gravacao = 2, Verificacao = 3 };

// A small system: the main image of two sectors (the first frame full, so a silence after it
// runs into the time-out), the L image of one, and an L2 image of one when asked for.
install::SystemSpec sistema(bool comL2 = false) {
    install::SystemSpec s{"Teste", "TESTE.BIN", 2, "TESTE_L.BIN", 1, "", 0};
    if (comL2) {
        s.arquivoL2 = "TESTE_2.BIN";
        s.setorL2 = 1;
    }
    return s;
}

// The bytes an image leaves in the device: the main image without its leading FF and 00.
std::string bytesGuardados(const fs::path& file, bool principal) {
    std::string bytes = readFile(file);
    if (principal) {
        const auto first = bytes.find_first_not_of(std::string("\xFF\x00", 2));
        bytes.erase(0, first == std::string::npos ? bytes.size() : first);
    }
    return bytes;
}

std::vector<std::string> textos(const std::vector<ShownMessage>& messages) {
    std::vector<std::string> out;
    for (const ShownMessage& m : messages)
        out.push_back(m.text);
    return out;
}

// The display, the emulator, the installation and the program, with the messages shown kept
// in a file and the operator's usual moves.
class FaultMatrix : public ProgramTest {
  protected:
    struct Begin {
        install::InstallOptions options;
        std::vector<std::string> emulatorArgs;
        // The device already holds the system's images (a verification without programming).
        bool preload = false;
        // Runs on the installation before the emulator and the program start.
        std::function<void(const Installation&)> adjust;
        // More emulator arguments, made once the installation exists.
        std::function<std::vector<std::string>(const Installation&)> lateArgs;
        // Runs once the emulator is up, before the program starts.
        std::function<void()> beforeProgram;
        // Answers at the line's rate, in 16-byte chunks, as from a real UART.
        bool paced = false;
        // The program in its window; false for a run of tolvan-flash instead.
        bool window = true;
    };

    static Begin with(std::vector<std::string> emulatorArgs, bool preload = false) {
        Begin b;
        b.emulatorArgs = std::move(emulatorArgs);
        b.preload = preload;
        return b;
    }

    void begin(Begin b) {
        if (b.options.systems.empty()) b.options.systems = {sistema()};
        systems_ = b.options.systems;
        install_ = std::make_unique<Installation>(std::move(b.options));
        if (b.adjust) b.adjust(*install_);
        messageLog_ = install_->cwd() / "messages.log";
        setenv("TOLVAN_MESSAGE_LOG", messageLog_.c_str(), 1);

        std::vector<std::string> args;
        if (!b.paced) args.push_back("--no-pacing");
        if (b.preload) {
            const install::SystemSpec& s = systems_.front();
            for (const auto& [image, name] :
                 {std::pair{"main", s.arquivo}, std::pair{"L", s.arquivoL},
                  std::pair{"L2", s.arquivoL2}}) {
                if (name.empty() || !fs::exists(binFile(name))) continue;
                args.push_back("--program");
                args.push_back(std::string(image) + ":" + binFile(name).string());
            }
        }
        args.insert(args.end(), b.emulatorArgs.begin(), b.emulatorArgs.end());
        if (b.lateArgs) {
            const std::vector<std::string> late = b.lateArgs(*install_);
            args.insert(args.end(), late.begin(), late.end());
        }
        emulator_ = std::make_unique<Emulator>(install_->root(), args);
        ASSERT_TRUE(emulator_->ok()) << "the emulator gave no pty";
        install_->mapPorts({{"COM2", emulator_->pty()}});
        if (b.beforeProgram) b.beforeProgram();
        if (b.window) program_ = install_->start(x_->display());
    }

    fs::path binFile(const std::string& name) const {
        return install_->programDir() / "bin" / name;
    }

    std::vector<ShownMessage> messages() const { return readShownMessages(messageLog_); }
    std::vector<LoggedFrame> frames(const Emulator& device) const {
        return parseFrameLog(device.frameLog());
    }
    std::vector<LoggedFrame> frames() const { return frames(*emulator_); }

    // Waits for the message with this text (from the `from`-th message shown on).
    std::optional<ShownMessage> waitMessage(const std::string& text,
                                            std::chrono::milliseconds timeout,
                                            std::size_t from = 0) const {
        std::optional<ShownMessage> found;
        waitFor(
            [&] {
                const std::vector<ShownMessage> shown = messages();
                for (std::size_t i = from; i < shown.size(); ++i) {
                    if (shown[i].text == text) {
                        found = shown[i];
                        return true;
                    }
                }
                return false;
            },
            timeout);
        return found;
    }

    // "Conexão" on the main menu, the cable message answered, the device's answer, and the
    // system list half a second later (with room for a busy machine).
    void conecta(const Emulator& device) {
        const std::size_t shown = messages().size();
        ASSERT_TRUE(op_->keys(kMainWindow, {"Return"}));
        ASSERT_TRUE(waitMessage(kDesconecte, 20s, shown)) << describe(messages());
        ASSERT_NO_FATAL_FAILURE(answer(kInformacao, {"Return"}));
        ASSERT_TRUE(waitFor([&] { return device.framesNamed("RespostaLink", "tx") > 0; }, 20s))
            << device.frameLog();
        std::this_thread::sleep_for(1500ms);
    }

    // The only system, then the operation's line.
    void escolhe(Operacao operacao) {
        std::vector<std::string> keys = {"Return"};
        for (int k = 1; k < static_cast<int>(operacao); ++k)
            keys.push_back("Down");
        keys.push_back("Return");
        ASSERT_TRUE(op_->keys(kMainWindow, keys));
    }

    // From the main menu (Escape there asks whether to leave; anywhere else it does not), or
    // from the operation menu with `escapes` 3: the program ends cleanly.
    void sai(int escapes = 1) {
        std::vector<std::string> keys(static_cast<std::size_t>(escapes), "Escape");
        ASSERT_TRUE(op_->keys(kMainWindow, keys));
        ASSERT_NO_FATAL_FAILURE(answer(kConfirmacao, {"Return"}));
        ASSERT_NO_FATAL_FAILURE(expectExit());
    }

    // No frame reached the device after the message `m` was shown.
    void nadaEnviadoDepois(const ShownMessage& m) {
        const std::vector<LoggedFrame> late = receivedAfter(frames(), m.time);
        EXPECT_TRUE(late.empty()) << late.size() << " frames after \"" << m.text
                                  << "\", the first: " << late.front().name << " "
                                  << late.front().hex;
    }

    // The last frame the device received before `m` was shown.
    static std::optional<LoggedFrame> ultimoAntes(const std::vector<LoggedFrame>& all,
                                                  const ShownMessage& m) {
        std::optional<LoggedFrame> last;
        for (const LoggedFrame& f : all)
            if (f.direction == "rx" && f.time <= m.time) last = f;
        return last;
    }

    std::vector<install::SystemSpec> systems_;
    fs::path messageLog_;
};

// ---- The device falls silent or stops short: the 5-second time-out ends the operation ----

struct SilenceCase {
    const char* name;
    Operacao operacao;
    std::vector<std::string> emulatorArgs;
    const char* lastFrame;  // the last frame the device receives
    bool selector = false;
};
void PrintTo(const SilenceCase& c, std::ostream* os) {
    *os << c.name;
}

class SilenceTest : public FaultMatrix, public ::testing::WithParamInterface<SilenceCase> {};

TEST_P(SilenceTest, EndsByTheTimeOutAndSendsNothingMore) {
    const SilenceCase& c = GetParam();
    Begin b;
    b.emulatorArgs = c.emulatorArgs;
    b.preload = c.operacao == Operacao::Verificacao;
    if (c.selector) {
        b.options.selection = sistema().descricao;
        b.options.background = true;
    }
    ASSERT_NO_FATAL_FAILURE(begin(std::move(b)));
    if (c.selector) {
        ASSERT_TRUE(op_->waitWindow(kMainWindow, 20s)) << op_->titles();
        ASSERT_NO_FATAL_FAILURE(answer(kInformacao, {"Return"}));  // the cable
    } else {
        ASSERT_NO_FATAL_FAILURE(waitMainMenu());
        ASSERT_NO_FATAL_FAILURE(conecta(*emulator_));
        ASSERT_NO_FATAL_FAILURE(escolhe(c.operacao));
    }

    const std::optional<ShownMessage> m = waitMessage(kSemComunicacao, 40s);
    ASSERT_TRUE(m) << describe(messages()) << "\n" << emulator_->frameLog();
    EXPECT_EQ(m->title, kInformacao);
    const std::optional<LoggedFrame> last = ultimoAntes(frames(), *m);
    ASSERT_TRUE(last);
    EXPECT_EQ(last->name, c.lastFrame);
    // The silence after the last frame is the time-out's, not a shortcut and not a hang.
    EXPECT_GE(m->time - last->time, 4'900'000);
    EXPECT_LE(m->time - last->time, 8'000'000);
    EXPECT_TRUE(op_->window(kMainWindow).has_value()) << "the main window is gone";

    ASSERT_NO_FATAL_FAILURE(answer(kInformacao, {"Return"}));
    if (c.selector) {
        ASSERT_NO_FATAL_FAILURE(expectExit());
        EXPECT_EQ(textos(messages()), (std::vector<std::string>{kDesconecte, kSemComunicacao}));
    } else {
        ASSERT_NO_FATAL_FAILURE(sai());  // the main menu, the panel enabled
        EXPECT_EQ(textos(messages()),
                  (std::vector<std::string>{kDesconecte, kSemComunicacao, kSair}));
    }
    nadaEnviadoDepois(*m);
    EXPECT_EQ(emulator_->framesNamed("Executa"), 0);
}

const SilenceCase kSilences[] = {
    {"ProgrammingNome", Operacao::Gravacao, {"--silent-from", "Nome"}, "CmdNome"},
    {"ProgrammingEndereco1", Operacao::Gravacao, {"--silent-from", "Endereco1"}, "CmdEndereco1"},
    {"ProgrammingEndereco2",
     Operacao::Gravacao,
     {"--silent-from", "Endereco2Gravacao"},
     "CmdEndereco2Gravacao"},
    {"ProgrammingSetores",
     Operacao::Gravacao,
     {"--silent-from", "SetoresGravacao"},
     "CmdSetoresGravacao"},
    // A full sector frame arms the time-out.
    {"AfterAFullSectorWrite",
     Operacao::Gravacao,
     {"--silent-from", "GravaSetor:1"},
     "CmdGravaSetor"},
    // The main image's last frame goes straight on to the L image, whose set-up meets silence.
    {"AfterTheLastSectorWrite", Operacao::Gravacao, {"--silent-from", "GravaSetor:2"}, "CmdNome"},
    {"VerifyingNome", Operacao::Verificacao, {"--silent-from", "Nome"}, "CmdNome"},
    {"VerifyingEndereco1", Operacao::Verificacao, {"--silent-from", "Endereco1"}, "CmdEndereco1"},
    {"VerifyingEndereco2",
     Operacao::Verificacao,
     {"--silent-from", "Endereco2Leitura"},
     "CmdEndereco2Leitura"},
    {"VerifyingSetores",
     Operacao::Verificacao,
     {"--silent-from", "SetoresLeitura"},
     "CmdSetoresLeitura"},
    {"FirstSectorRead", Operacao::Verificacao, {"--silent-from", "LeSetor:1"}, "CmdLeSetor"},
    {"SecondSectorRead", Operacao::Verificacao, {"--silent-from", "LeSetor:2"}, "CmdLeSetor"},
    // The answer stops in the middle of the sector's data, or inside its head.
    {"MidSectorData", Operacao::Verificacao, {"--truncate-read", "main:2:130"}, "CmdLeSetor"},
    {"MidSectorHead", Operacao::Verificacao, {"--truncate-read", "main:1:2"}, "CmdLeSetor"},
    // In selector mode the program closes after the message.
    {"SelectorAfterASectorWrite",
     Operacao::GravacaoVerificacao,
     {"--silent-from", "GravaSetor:1"},
     "CmdGravaSetor",
     true},
};

INSTANTIATE_TEST_SUITE_P(Device, SilenceTest, ::testing::ValuesIn(kSilences),
                         [](const auto& info) { return std::string(info.param.name); });

// A device that never answers the link poll: 399 polls, the question, Yes, and no poll more.
TEST_F(FaultMatrix, SilentDuringTheHandshake) {
    ASSERT_NO_FATAL_FAILURE(begin(with({"--silent"})));
    ASSERT_NO_FATAL_FAILURE(waitMainMenu());
    ASSERT_TRUE(op_->keys(kMainWindow, {"Return"}));
    ASSERT_NO_FATAL_FAILURE(answer(kInformacao, {"Return"}));
    const std::optional<ShownMessage> m = waitMessage(kAbandonarConexao, 30s);
    ASSERT_TRUE(m) << describe(messages());
    EXPECT_EQ(m->title, kConfirmacao);
    ASSERT_NO_FATAL_FAILURE(answer(kConfirmacao, {"Return"}));  // Yes: abandon
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(emulator_->framesNamed("Link"), 399);
    ASSERT_NO_FATAL_FAILURE(sai());
    nadaEnviadoDepois(*m);
    EXPECT_EQ(textos(messages()),
              (std::vector<std::string>{kDesconecte, kAbandonarConexao, kSair}));
}

// The device answers the 399th poll late, while the question whether to abandon the connection
// is open: in selector mode the question closes by itself, unanswered, and the run goes on to
// its end with nobody at the keyboard.
TEST_F(FaultMatrix, LateAnswerClosesTheQuestion) {
    Begin b;
    b.options.selection = sistema().descricao;
    b.options.background = true;
    b.emulatorArgs = {"--drop", "Link:1-398", "--delay-on", "Link:399=1500"};
    ASSERT_NO_FATAL_FAILURE(begin(std::move(b)));
    ASSERT_TRUE(op_->waitWindow(kMainWindow, 20s)) << op_->titles();
    ASSERT_NO_FATAL_FAILURE(answer(kInformacao, {"Return"}));  // the cable
    ASSERT_TRUE(waitMessage(kAbandonarConexao, 30s)) << describe(messages());
    ASSERT_TRUE(op_->waitWindow(kConfirmacao, 10s)) << op_->titles();
    EXPECT_TRUE(op_->waitGone(kConfirmacao, 10s)) << "the question stays open";
    ASSERT_TRUE(waitMessage(kSemErros, 60s)) << describe(messages()) << emulator_->frameLog();
    ASSERT_NO_FATAL_FAILURE(answer(kInformacao, {"Return"}));
    ASSERT_NO_FATAL_FAILURE(expectExit());
    EXPECT_EQ(textos(messages()),
              (std::vector<std::string>{kDesconecte, kAbandonarConexao, kSemErros}));
    EXPECT_EQ(emulator_->framesNamed("Link"), 399 + 4);  // and a greeting before each image
}

// ---- Answers cut into pieces: the link answer and the sector head at every byte boundary ----

class SplitTest : public FaultMatrix, public ::testing::WithParamInterface<const char*> {};

TEST_P(SplitTest, ConnectsAndVerifies) {
    ASSERT_NO_FATAL_FAILURE(begin(
        with({"--split", GetParam(), "--split-gap", "2", "--split-only", "Link,LeSetor"}, true)));
    ASSERT_NO_FATAL_FAILURE(waitMainMenu());
    ASSERT_NO_FATAL_FAILURE(conecta(*emulator_));
    ASSERT_NO_FATAL_FAILURE(escolhe(Operacao::Verificacao));
    const std::optional<ShownMessage> m = waitMessage(kSemErros, 40s);
    ASSERT_TRUE(m) << describe(messages()) << "\n" << emulator_->frameLog();
    ASSERT_NO_FATAL_FAILURE(answer(kInformacao, {"Return"}));
    ASSERT_TRUE(waitFor([&] { return emulator_->framesNamed("Executa") == 1; }, 5s));
    ASSERT_NO_FATAL_FAILURE(sai());
    EXPECT_EQ(textos(messages()), (std::vector<std::string>{kDesconecte, kSemErros, kSair}));
    // Every sector asked for once: a head taken for data would end a sector early.
    EXPECT_EQ(emulator_->framesNamed("LeSetor"), 3);
    // The pieces did go out apart.
    const std::vector<LoggedFrame> all = frames();
    EXPECT_TRUE(std::any_of(all.begin(), all.end(), [](const LoggedFrame& f) {
        return (f.name == "RespostaLink" && f.count < 3) ||
               (f.name == "CabecalhoSetor" && f.count < 259);
    })) << emulator_->frameLog().substr(0, 3000);
}

INSTANTIATE_TEST_SUITE_P(Answers, SplitTest, ::testing::Values("1", "2", "1,2", "3", "1,2,3"),
                         [](const auto& info) {
                             std::string name = "At_" + std::string(info.param);
                             std::replace(name.begin(), name.end(), ',', '_');
                             return name;
                         });

// ---- One byte read back wrong: at the first and the last byte of each image ----

struct CorruptCase {
    const char* name;
    const char* image;  // main, L, L2
    bool last;          // the image's last kept byte, else its first
    int offset;         // added to that index (1 past the last byte: the sector's fill)
    bool detected;
    int sectorsRead;  // the images read back end at the first with errors
    bool paced = false;
};
void PrintTo(const CorruptCase& c, std::ostream* os) {
    *os << c.name;
}

class CorruptTest : public FaultMatrix, public ::testing::WithParamInterface<CorruptCase> {};

TEST_P(CorruptTest, ReportsErrorsAndStaysOnTheOperationMenu) {
    const CorruptCase& c = GetParam();
    const install::SystemSpec s = sistema(true);
    const std::string image = c.image;
    Begin b;
    b.options.systems = {s};
    b.preload = true;
    b.paced = c.paced;
    // The index needs the installed file.
    b.lateArgs = [&](const Installation& in) {
        const std::string name = image == "main" ? s.arquivo
                                 : image == "L"  ? s.arquivoL
                                                 : s.arquivoL2;
        const std::string kept = bytesGuardados(in.programDir() / "bin" / name, image == "main");
        const long index = (c.last ? static_cast<long>(kept.size()) - 1 : 0) + c.offset;
        return std::vector<std::string>{"--corrupt", image + ":" + std::to_string(index)};
    };
    ASSERT_NO_FATAL_FAILURE(begin(std::move(b)));
    ASSERT_NO_FATAL_FAILURE(waitMainMenu());
    ASSERT_NO_FATAL_FAILURE(conecta(*emulator_));
    ASSERT_NO_FATAL_FAILURE(escolhe(Operacao::Verificacao));

    const std::optional<ShownMessage> m = waitMessage(c.detected ? kComErros : kSemErros, 40s);
    ASSERT_TRUE(m) << describe(messages()) << "\n" << emulator_->frameLog();
    EXPECT_EQ(m->title, kInformacao);
    ASSERT_NO_FATAL_FAILURE(answer(kInformacao, {"Return"}));
    EXPECT_EQ(emulator_->framesNamed("LeSetor"), c.sectorsRead);
    if (c.detected) {
        // The operation menu stays, the panel enabled: Escape goes to the system list, then to
        // the main menu, where it asks whether to leave.
        ASSERT_NO_FATAL_FAILURE(sai(3));
        nadaEnviadoDepois(*m);
        EXPECT_EQ(emulator_->framesNamed("Executa"), 0);
        EXPECT_EQ(textos(messages()), (std::vector<std::string>{kDesconecte, kComErros, kSair}));
    } else {
        ASSERT_TRUE(waitFor([&] { return emulator_->framesNamed("Executa") == 1; }, 5s));
        ASSERT_NO_FATAL_FAILURE(sai());
        EXPECT_EQ(textos(messages()), (std::vector<std::string>{kDesconecte, kSemErros, kSair}));
    }
}

const CorruptCase kCorruptions[] = {
    {"MainFirst", "main", false, 0, true, 2},
    {"MainLast", "main", true, 0, true, 2},
    {"LFirst", "L", false, 0, true, 3},
    {"LLast", "L", true, 0, true, 3},
    {"L2First", "L2", false, 0, true, 4},
    {"L2Last", "L2", true, 0, true, 4},
    // On a paced line the last chunk of a full last sector comes after the sector looks
    // complete; it is compared all the same.
    {"LLastPaced", "L", true, 0, true, 3, true},
    // The fill after the main image's last byte is not part of the file: not compared.
    {"MainFillAfterTheLastByte", "main", true, 1, false, 4},
};

INSTANTIATE_TEST_SUITE_P(ReadBack, CorruptTest, ::testing::ValuesIn(kCorruptions),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- A sector answer that stays short: never "verified" ----

// Each image of three sectors (of one, for the only sector), all of one repeated byte, as the
// erased stretches of a real image are, so that bytes read back shifted would compare equal.
// The device cuts one sector's answer 1, 3 or 6 data bytes short. Short by 1 or 3, the sector
// passes the completion threshold and has its pause: errors, exit 1. Short by 6 it stays at 250
// bytes, incomplete, and the time-out ends the run: exit 2. Every row runs through tolvan-flash;
// a few run in the window and in selector mode as well.
enum class Lugar { Primeiro, Meio, Ultimo, Unico };
enum class Frente { Flash, Janela, Selecao };
struct ShortReadCase {
    const char* image;  // main, L, L2
    Lugar lugar;
    int faltam;  // data bytes the answer lacks
    Frente frente;
};
std::string nameOf(const ShortReadCase& c) {
    const char* lugares[] = {"First", "Middle", "Last", "Only"};
    const char* frentes[] = {"Flash", "Window", "Selector"};
    return std::string(frentes[static_cast<int>(c.frente)]) + "_" + c.image + "_" +
           lugares[static_cast<int>(c.lugar)] + "_ShortBy" + std::to_string(c.faltam);
}
void PrintTo(const ShortReadCase& c, std::ostream* os) {
    *os << nameOf(c);
}

class ShortReadTest : public FaultMatrix, public ::testing::WithParamInterface<ShortReadCase> {};

TEST_P(ShortReadTest, IsNeverVerified) {
    const ShortReadCase& c = GetParam();
    const int setores = c.lugar == Lugar::Unico ? 1 : 3;
    const int setor = c.lugar == Lugar::Primeiro ? 1 : c.lugar == Lugar::Meio ? 2 : setores;
    const bool completa = c.faltam < 6;
    Begin b;
    b.options.systems = {
        {"Teste", "TESTE.BIN", setores, "TESTE_L.BIN", setores, "TESTE_2.BIN", setores}};
    if (c.frente == Frente::Selecao) {
        b.options.selection = "Teste";
        b.options.background = true;
    }
    b.adjust = [&](const Installation& in) {
        for (const char* name : {"TESTE.BIN", "TESTE_L.BIN", "TESTE_2.BIN"})
            std::ofstream(in.programDir() / "bin" / name, std::ios::binary)
                << std::string(setores * 256, '\x5A');
    };
    b.preload = c.frente != Frente::Selecao;  // selector mode programs first
    b.emulatorArgs = {"--truncate-read", std::string(c.image) + ":" + std::to_string(setor) + ":" +
                                             std::to_string(3 + 256 - c.faltam)};
    b.window = c.frente != Frente::Flash;
    ASSERT_NO_FATAL_FAILURE(begin(std::move(b)));

    const char* texto = completa ? kComErros : kSemComunicacao;
    if (c.frente == Frente::Flash) {
        const FlashOutput r = runFlash(
            *install_, {"--port", "COM2", "--system", "Teste", "--verify", "--yes", "--json"});
        ASSERT_EQ(r.status, completa ? 1 : 2) << r.describe() << emulator_->frameLog();
        ASSERT_FALSE(r.events.empty()) << r.describe();
        EXPECT_EQ(r.events.back().get("outcome"), completa ? "ComErros" : "SemComunicacao");
        EXPECT_EQ(r.events.back().get("text"), texto);
    } else {
        if (c.frente == Frente::Janela) {
            ASSERT_NO_FATAL_FAILURE(waitMainMenu());
            ASSERT_NO_FATAL_FAILURE(conecta(*emulator_));
            ASSERT_NO_FATAL_FAILURE(escolhe(Operacao::Verificacao));
        } else {
            ASSERT_TRUE(op_->waitWindow(kMainWindow, 20s)) << op_->titles();
            ASSERT_NO_FATAL_FAILURE(answer(kInformacao, {"Return"}));  // the cable
        }
        const std::optional<ShownMessage> m = waitMessage(texto, 60s);
        ASSERT_TRUE(m) << describe(messages()) << "\n" << emulator_->frameLog();
        ASSERT_NO_FATAL_FAILURE(answer(kInformacao, {"Return"}));
        if (c.frente == Frente::Janela) {
            ASSERT_NO_FATAL_FAILURE(sai(3));  // the operation menu stayed
        } else {
            ASSERT_NO_FATAL_FAILURE(expectExit());
        }
        EXPECT_EQ(textos(messages()).at(1), texto);
    }
    EXPECT_EQ(emulator_->framesNamed("Executa"), 0);
}

std::vector<ShortReadCase> shortReads() {
    std::vector<ShortReadCase> out;
    for (const char* image : {"main", "L", "L2"})
        for (Lugar lugar : {Lugar::Primeiro, Lugar::Meio, Lugar::Ultimo, Lugar::Unico})
            for (int faltam : {1, 3, 6})
                out.push_back({image, lugar, faltam, Frente::Flash});
    out.push_back({"main", Lugar::Ultimo, 3, Frente::Janela});
    out.push_back({"L2", Lugar::Unico, 1, Frente::Janela});
    out.push_back({"L", Lugar::Meio, 1, Frente::Selecao});
    return out;
}

INSTANTIATE_TEST_SUITE_P(ReadBack, ShortReadTest, ::testing::ValuesIn(shortReads()),
                         [](const auto& info) { return nameOf(info.param); });

// Selector mode: the errors are reported and the program closes.
TEST_F(FaultMatrix, SelectorModeClosesAfterVerificationErrors) {
    Begin b;
    b.options.selection = sistema().descricao;
    b.options.background = true;
    b.emulatorArgs = {"--corrupt", "main:0"};
    ASSERT_NO_FATAL_FAILURE(begin(std::move(b)));
    ASSERT_TRUE(op_->waitWindow(kMainWindow, 20s)) << op_->titles();
    ASSERT_NO_FATAL_FAILURE(answer(kInformacao, {"Return"}));  // the cable
    const std::optional<ShownMessage> m = waitMessage(kComErros, 60s);
    ASSERT_TRUE(m) << describe(messages()) << "\n" << emulator_->frameLog();
    ASSERT_NO_FATAL_FAILURE(answer(kInformacao, {"Return"}));
    ASSERT_NO_FATAL_FAILURE(expectExit());
    nadaEnviadoDepois(*m);
    EXPECT_EQ(emulator_->framesNamed("Executa"), 0);
    EXPECT_EQ(textos(messages()), (std::vector<std::string>{kDesconecte, kComErros}));
    EXPECT_FALSE(fs::exists(install_->selectionFile()));
}

// ---- The USB adapter is pulled out (the device's pty closes) and put back ----

// The port map names the adapter by a stable link, as /dev/serial/by-id does. Pulled out while
// polling, in the middle of a run, or at the operation menu: the program neither spins nor loses
// its window; what is under way ends at once with the port's failure (not the time-out, and
// once); put back, the link points at a new node, and the next "Conexão" or operation opens it
// without a restart.
struct UnplugCase {
    const char* name;
    enum { Polling, Run, Idle } momento;
    Operacao operacao;
    const char* frame;  // the frame on which the device hangs up; none: the emulator is stopped
    const char* title;  // of the port's failure message
};
void PrintTo(const UnplugCase& c, std::ostream* os) {
    *os << c.name;
}

class UnplugTest : public FaultMatrix, public ::testing::WithParamInterface<UnplugCase> {};

TEST_P(UnplugTest, EndsOnceAndThePortOpensAgainUnderItsName) {
    const UnplugCase& c = GetParam();
    const fs::path link = fs::temp_directory_path() /
                          ("usb-Tolvan_Link-" + std::to_string(::getpid()) + "-" + c.name);
    fs::remove(link);
    std::vector<std::string> args;
    if (c.frame) args = {"--hangup-after", c.frame};
    // Polling: the device stays silent until it goes.
    if (c.momento == UnplugCase::Polling) args.insert(args.end(), {"--drop", "Link"});
    Begin b = with(args, c.operacao == Operacao::Verificacao);
    b.beforeProgram = [&] {
        fs::create_symlink(emulator_->pty(), link);
        install::writeSerialComm(install_->root(), {{"COM2", link.string()}});
    };
    ASSERT_NO_FATAL_FAILURE(begin(std::move(b)));
    ASSERT_NO_FATAL_FAILURE(waitMainMenu());
    if (c.momento == UnplugCase::Polling) {
        ASSERT_TRUE(op_->keys(kMainWindow, {"Return"}));
        ASSERT_TRUE(waitMessage(kDesconecte, 20s)) << describe(messages());
        // The port's message, of the same title, follows the cable's at once.
        ASSERT_TRUE(op_->waitWindow(kInformacao, 10s)) << op_->titles();
        ASSERT_TRUE(op_->keys(kInformacao, {"Return"}));
    } else {
        ASSERT_NO_FATAL_FAILURE(conecta(*emulator_));
        if (c.momento == UnplugCase::Run) {
            ASSERT_NO_FATAL_FAILURE(escolhe(c.operacao));
        } else {
            ASSERT_TRUE(op_->keys(kMainWindow, {"Return"}));  // the operation menu
            std::this_thread::sleep_for(500ms);
            emulator_->stop();
        }
    }
    ASSERT_TRUE(emulator_->waitExit(40s)) << "the device did not hang up";
    const double cpuBefore = cpuSeconds(program_->pid());
    std::this_thread::sleep_for(1500ms);
    const double cpu = cpuSeconds(program_->pid()) - cpuBefore;
    EXPECT_LT(cpu, 0.3 * 1.5) << "the program used " << cpu << " s of processor time in 1.5 s";
    EXPECT_TRUE(op_->window(kMainWindow).has_value()) << "the main window is gone";
    if (c.momento != UnplugCase::Idle) {
        // Shown within the 1.5 s: not the 5 s time-out's message.
        const std::optional<ShownMessage> m = waitMessage(kMsgFalhaNaPorta, 0s);
        ASSERT_TRUE(m) << describe(messages()) << "\n" << emulator_->frameLog();
        EXPECT_EQ(m->title, c.title);
        ASSERT_NO_FATAL_FAILURE(answer(c.title, {"Return"}));
    }
    std::this_thread::sleep_for(6s);  // past any time-out: nothing more is said
    EXPECT_EQ(messages().size(), c.momento == UnplugCase::Idle ? 1u : 2u) << describe(messages());

    // Put back: a new pty under the same link.
    const fs::path dir = install_->cwd() / "device2";
    fs::create_directories(dir);
    Emulator device(dir, {"--no-pacing"});
    ASSERT_TRUE(device.ok());
    fs::remove(link);
    fs::create_symlink(device.pty(), link);
    if (c.momento == UnplugCase::Idle) {
        // Still on the operation menu: "Gravação" opens the port again and programs.
        ASSERT_TRUE(op_->keys(kMainWindow, {"Down", "Return"}));
        ASSERT_TRUE(waitMessage(" FIM DA GRAVAÇÃO \r\r O Tolvan Link será executado. ", 40s))
            << describe(messages()) << device.frameLog();
        ASSERT_NO_FATAL_FAILURE(answer(kInformacao, {"Return"}));
        ASSERT_NO_FATAL_FAILURE(sai());
    } else {
        ASSERT_NO_FATAL_FAILURE(conecta(device));
        ASSERT_NO_FATAL_FAILURE(sai(2));  // the system list, then the main menu
    }
    fs::remove(link);
    EXPECT_NE(device.frameLog().find(" open "), std::string::npos);

    // The serial layer saw the line go, and wrote nothing to it afterwards.
    const std::string log = readFile(install_->cwd() / "APD.LOG");
    EXPECT_NE(log.find("Lost"), std::string::npos) << log;
    EXPECT_EQ(logLinesAfter(log, "Line", "Lost", "Write"), std::vector<std::string>{}) << log;
}

const UnplugCase kUnplugs[] = {
    {"WhilePolling", UnplugCase::Polling, Operacao::Gravacao, "Link:3", kInformacao},
    {"WhileProgramming", UnplugCase::Run, Operacao::Gravacao, "GravaSetor:1", kErro},
    {"WhileVerifying", UnplugCase::Run, Operacao::Verificacao, "LeSetor:2", kErro},
    {"AtTheOperationMenu", UnplugCase::Idle, Operacao::Gravacao, nullptr, kErro},
};

INSTANTIATE_TEST_SUITE_P(Adapter, UnplugTest, ::testing::ValuesIn(kUnplugs),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- The port cannot be opened ----

// Another program holds COM2: the program says so and offers the port dialog; once the other
// program lets go, COM2 chosen there opens and the device connects.
// The port dialog lists the machine's ports: the port map's here, the registry's on Windows.
TEST_F(FaultMatrix, PortTakenByAnotherProgram) {
    int holder = -1;
    std::unique_ptr<Process> otherProgram;
    Begin b;
    b.beforeProgram = [&] {
        if (underWine()) {
            // Wine keeps no COM port to one opener: another copy of the program holds it.
            otherProgram = holdPortUnderWine("COM2", install_->cwd());
            ASSERT_TRUE(otherProgram) << "the port holder could not take COM2";
            return;
        }
        holder = ::open(emulator_->pty().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        ASSERT_GE(holder, 0);
        ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);
        ::ioctl(holder, TIOCEXCL);
    };
    ASSERT_NO_FATAL_FAILURE(begin(std::move(b)));
    ASSERT_TRUE(holder >= 0 || otherProgram);
    ASSERT_TRUE(waitMessage(kPortaInvalida, 20s)) << describe(messages());
    ASSERT_NO_FATAL_FAILURE(answer(kErro, {"Return"}));
    ASSERT_TRUE(waitMessage(kOutraPorta, 10s)) << describe(messages());
    if (otherProgram) {
        otherProgram->stop();
    } else {
        ::ioctl(holder, TIOCNXCL);
        ::close(holder);
    }
    ASSERT_NO_FATAL_FAILURE(answer(kConfirmacao, {"Return"}));           // Yes
    ASSERT_NO_FATAL_FAILURE(answer("Porta de Comunicação", {"alt+o"}));  // COM2, preselected
    ASSERT_NO_FATAL_FAILURE(waitMainMenu());
    ASSERT_NO_FATAL_FAILURE(conecta(*emulator_));
    ASSERT_NO_FATAL_FAILURE(sai(2));
    // The list: six lines at least, the ports first (tests/windows/run.sh reads the registry's).
    std::vector<std::string> ports = {"COM2"};
    if (underWine()) {
        ports.clear();
        const char* listed = std::getenv("TOLVAN_WINE_REGISTRY_PORTS");
        ASSERT_TRUE(listed) << "TOLVAN_WINE_REGISTRY_PORTS is set by tests/windows/run.sh";
        std::istringstream registry(listed);
        for (std::string port; std::getline(registry, port, ',');)
            ports.push_back(port);
    }
    std::string list;
    for (std::size_t i = 0; i < std::max<std::size_t>(ports.size(), 6); ++i)
        list += (i == 0 ? "" : "\r") + (i < ports.size() ? ports[i] : "");
    EXPECT_EQ(textos(messages()),
              (std::vector<std::string>{kPortaInvalida, kOutraPorta, list, kDesconecte, kSair}));
    EXPECT_EQ(readFile(install_->portFile()), "2\r\n");
}

// The port file names COM7, which no device stands for: No to another port closes the program.
TEST_F(FaultMatrix, PortNumberWithNoMapping) {
    Begin b;
    b.options.portNumber = 7;
    ASSERT_NO_FATAL_FAILURE(begin(std::move(b)));
    ASSERT_TRUE(waitMessage(kPortaInvalida, 20s)) << describe(messages());
    ASSERT_NO_FATAL_FAILURE(answer(kErro, {"Return"}));
    ASSERT_TRUE(waitMessage(kOutraPorta, 10s)) << describe(messages());
    ASSERT_NO_FATAL_FAILURE(answer(kConfirmacao, {"Escape"}));  // No
    ASSERT_NO_FATAL_FAILURE(expectExit());
    EXPECT_EQ(textos(messages()), (std::vector<std::string>{kPortaInvalida, kOutraPorta}));
    EXPECT_EQ(emulator_->frameLog().find(" rx "), std::string::npos) << emulator_->frameLog();
}

// ---- Catalogue rows that do not fit their files ----

// An image that cannot be opened (its file missing, its name blank, a FIFO in its place) is
// found before the operation's first frame: the message names the path, the program closes, and
// the device receives nothing after the handshake.
struct MissingCase {
    const char* name;
    Operacao operacao;
    enum { Absent, BlankName, Fifo } problem;
};
void PrintTo(const MissingCase& c, std::ostream* os) {
    *os << c.name;
}

class MissingImageTest : public FaultMatrix, public ::testing::WithParamInterface<MissingCase> {};

TEST_P(MissingImageTest, NamesThePathClosesAndSendsNothing) {
    const MissingCase& c = GetParam();
    install::SystemSpec s = sistema();
    Begin b;
    b.options.systems = {s};
    b.preload = c.operacao == Operacao::Verificacao;
    b.adjust = [&](const Installation& in) {
        const fs::path l = in.programDir() / "bin" / s.arquivoL;
        fs::remove(l);
        if (c.problem == MissingCase::Fifo) {
            ASSERT_EQ(::mkfifo(l.c_str(), 0644), 0);
        }
        if (c.problem == MissingCase::BlankName) {
            install::SystemSpec blank = s;
            blank.arquivoL = "";
            install::writeCatalogue(in.programDir() / "Tabelas" / "TolvanLink.db", {blank});
        }
    };
    ASSERT_NO_FATAL_FAILURE(begin(std::move(b)));
    ASSERT_NO_FATAL_FAILURE(waitMainMenu());
    ASSERT_NO_FATAL_FAILURE(conecta(*emulator_));
    ASSERT_NO_FATAL_FAILURE(escolhe(c.operacao));

    const std::string path = install_->programDir().string() + "/\\bin\\" +
                             (c.problem == MissingCase::BlankName ? "" : s.arquivoL);
    const std::string text =
        c.problem == MissingCase::Fifo
            ? "Arquivo não pôde ser aberto: " + path + " (não é um arquivo comum)"
            : kNaoEncontrado + path;
    const std::optional<ShownMessage> m = waitMessage(text, 20s);
    ASSERT_TRUE(m) << describe(messages()) << "\n" << emulator_->frameLog();
    EXPECT_EQ(m->title, kErro);
    ASSERT_NO_FATAL_FAILURE(answer(kErro, {"Return"}));
    ASSERT_NO_FATAL_FAILURE(expectExit());
    // Nothing after the device's answer to the link poll: no greeting, no set-up, no sector.
    const std::vector<LoggedFrame> all = frames();
    const std::vector<LoggedFrame> answers = named(all, "RespostaLink");
    ASSERT_FALSE(answers.empty());
    const std::vector<LoggedFrame> late = receivedAfter(all, answers.back().time);
    EXPECT_TRUE(late.empty()) << late.size() << " frames after the connection, the first "
                              << late.front().name;
    EXPECT_EQ(textos(messages()), (std::vector<std::string>{kDesconecte, text}));
}

const MissingCase kMissing[] = {
    {"ProgrammingAbsentFile", Operacao::Gravacao, MissingCase::Absent},
    {"VerifyingBlankName", Operacao::Verificacao, MissingCase::BlankName},
    {"ProgrammingAndVerifyingFifo", Operacao::GravacaoVerificacao, MissingCase::Fifo},
};

INSTANTIATE_TEST_SUITE_P(Catalogue, MissingImageTest, ::testing::ValuesIn(kMissing),
                         [](const auto& info) { return std::string(info.param.name); });

// The main image's sector count in the catalogue: 0 and 1 read one sector back and pass; the
// large counts go out in the count frames' two forms, and the read of more sectors than the
// file holds is cut short by a device that falls silent at the third.
struct CountCase {
    int setor;
    int fileSectors;
    const char* countBytes;  // the count's two bytes in both count frames
};
void PrintTo(const CountCase& c, std::ostream* os) {
    *os << c.setor;
}

class SectorCountTest : public FaultMatrix, public ::testing::WithParamInterface<CountCase> {};

TEST_P(SectorCountTest, CountFramesAndTheRun) {
    const CountCase& c = GetParam();
    install::SystemSpec s = sistema();
    s.setor = c.fileSectors;
    const bool large = c.setor > c.fileSectors;
    Begin b;
    b.options.systems = {s};
    b.adjust = [&](const Installation& in) {
        install::SystemSpec row = s;
        row.setor = c.setor;
        install::writeCatalogue(in.programDir() / "Tabelas" / "TolvanLink.db", {row});
    };
    if (large) b.emulatorArgs = {"--silent-from", "LeSetor:3"};
    ASSERT_NO_FATAL_FAILURE(begin(std::move(b)));
    ASSERT_NO_FATAL_FAILURE(waitMainMenu());
    ASSERT_NO_FATAL_FAILURE(conecta(*emulator_));
    ASSERT_NO_FATAL_FAILURE(escolhe(Operacao::GravacaoVerificacao));

    const std::optional<ShownMessage> m = waitMessage(large ? kSemComunicacao : kSemErros, 60s);
    ASSERT_TRUE(m) << describe(messages()) << "\n" << emulator_->frameLog();
    ASSERT_NO_FATAL_FAILURE(answer(kInformacao, {"Return"}));
    if (!large) {
        ASSERT_TRUE(waitFor([&] { return emulator_->framesNamed("Executa") == 1; }, 5s));
    }
    ASSERT_NO_FATAL_FAILURE(sai());
    if (large) nadaEnviadoDepois(*m);
    EXPECT_EQ(textos(messages()), (std::vector<std::string>{kDesconecte, m->text, kSair}));

    const std::vector<LoggedFrame> all = frames();
    const std::vector<LoggedFrame> gravacao = named(all, "CmdSetoresGravacao");
    const std::vector<LoggedFrame> leitura = named(all, "CmdSetoresLeitura");
    ASSERT_FALSE(gravacao.empty());
    ASSERT_FALSE(leitura.empty());
    EXPECT_EQ(gravacao.front().hex, std::string("00 05 05 ") + c.countBytes);
    EXPECT_EQ(leitura.front().hex, std::string("00 05 08 ") + c.countBytes);
    // Programming ends with the file, whatever the count says.
    EXPECT_EQ(emulator_->framesNamed("GravaSetor"), c.fileSectors + 1);
    EXPECT_EQ(emulator_->framesNamed("LeSetor"), large ? 3 : 2);
}

const CountCase kCounts[] = {
    {0, 2, "00 00"}, {1, 2, "00 01"}, {255, 1, "00 FF"}, {256, 1, "01 01"}, {510, 1, "01 FF"},
};

INSTANTIATE_TEST_SUITE_P(Catalogue, SectorCountTest, ::testing::ValuesIn(kCounts),
                         [](const auto& info) {
                             return "Setor" + std::to_string(info.param.setor);
                         });

}  // namespace
}  // namespace tolvan::e2e
