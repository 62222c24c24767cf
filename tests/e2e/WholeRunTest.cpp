// Whole runs of the installed program against the device emulator, checked by what the device
// ends up holding and by the files the program leaves: a selector-mode run of a three-image
// system, the same on a catalogue converted from a legacy Paradox table and through a serial
// port server (the port map naming a port on another machine), the launcher's marker file, and
// the serial trace of a connection.
#include <cstdlib>
#include <string>

#include "Observations.h"
#include "ParadoxFixture.h"
#include "PortServer.h"
#include "ProgramFixture.h"
#include "device/ImageStore.h"
#include "texts/Cp1252.h"

namespace tolvan::e2e {
namespace {

namespace fs = std::filesystem;

constexpr const char* kInformacao = "Informação";
constexpr const char* kDesconecte =
    "Desconecte o cabo de comunicação do\rTolvan Link e clique em \"OK\", após \rclicar em "
    "\"OK\" conecte novamente o \rcabo no Tolvan Link e aguarde.";
constexpr const char* kSemErros =
    " ARQUIVO VERIFICADO SEM ERROS \r\r O Tolvan Link será executado. ";

// Borealis Veículos: a main image of 8 sectors, L of 3 and L2 of 2.
install::SystemSpec tresImagens() {
    return install::demoSystems().at(1);
}

std::string bytesGuardados(const fs::path& file, bool principal) {
    std::string bytes = readFile(file);
    if (principal) {
        const auto first = bytes.find_first_not_of(std::string("\xFF\x00", 2));
        bytes.erase(0, first == std::string::npos ? bytes.size() : first);
    }
    return bytes;
}

class WholeRunTest : public ProgramTest {
  protected:
    // Selector mode on `system`, the device keeping what it is given in a store file.
    void beginSelector(install::InstallOptions options, const install::SystemSpec& system,
                       const std::function<void(const Installation&)>& adjust = {}) {
        options.systems = {system};
        options.selection = system.descricao;
        options.background = true;
        install_ = std::make_unique<Installation>(std::move(options));
        if (adjust) adjust(*install_);
        messageLog_ = install_->cwd() / "messages.log";
        setenv("TOLVAN_MESSAGE_LOG", messageLog_.c_str(), 1);
        store_ = install_->cwd() / "device.txt";
        emulator_ = std::make_unique<Emulator>(
            install_->root(), std::vector<std::string>{"--no-pacing", "--store", store_.string()});
        ASSERT_TRUE(emulator_->ok());
        std::string device = emulator_->pty();
        if (through_) {
            server_ = std::make_unique<PortServer>(*through_, install_->cwd() / "server", device);
            ASSERT_TRUE(server_->ok());
            device = server_->url();
        }
        install_->mapPorts({{"COM2", device}});
        program_ = install_->start(x_->display());
    }

    // The operator only confirms the cable message and the end message; the program closes.
    void runToTheEnd() {
        ASSERT_TRUE(op_->waitWindow(kMainWindow, 20s)) << op_->titles();
        ASSERT_NO_FATAL_FAILURE(answer(kInformacao, {"Return"}));
        ASSERT_NO_FATAL_FAILURE(answer(kInformacao, {"Return"}, 90s));
        ASSERT_NO_FATAL_FAILURE(expectExit());
        EXPECT_EQ(texts(), (std::vector<std::string>{kDesconecte, kSemErros}));
    }

    std::vector<std::string> texts() const {
        std::vector<std::string> out;
        for (const ShownMessage& m : readShownMessages(messageLog_))
            out.push_back(m.text);
        return out;
    }

    // What the device holds, once the emulator has ended and written its store.
    emu::ImageStore deviceMemory() {
        emulator_.reset();
        emu::ImageStore memory;
        std::string error;
        EXPECT_TRUE(memory.load(store_.string(), error)) << error;
        return memory;
    }

    // The device holds the image's kept bytes, then only the last frame's 00 fill.
    void expectHolds(const emu::ImageStore& memory, emu::Address image, const std::string& file,
                     bool principal) {
        const std::string kept = bytesGuardados(install_->programDir() / "bin" / file, principal);
        const std::string held = memory.image(image);
        ASSERT_GE(held.size(), kept.size()) << file;
        EXPECT_EQ(held.substr(0, kept.size()), kept) << file;
        EXPECT_EQ(held.find_first_not_of('\0', kept.size()), std::string::npos) << file;
    }

    fs::path messageLog_;
    fs::path store_;
    // COM2 goes through a serial port server of this kind in front of the emulator.
    std::optional<PortServer::Kind> through_;
    std::unique_ptr<PortServer> server_;
};

TEST_F(WholeRunTest, SelectorModeWritesAllThreeImagesAndTheDeviceHoldsTheirBytes) {
    ForeignWindow launcher(x_->display(), "Tolvan Flex Selecionador");
    ASSERT_TRUE(launcher.ok());
    const install::SystemSpec s = tresImagens();
    ASSERT_NO_FATAL_FAILURE(beginSelector({}, s));
    ASSERT_NO_FATAL_FAILURE(runToTheEnd());

    EXPECT_EQ(emulator_->framesNamed("LeSetor"), s.setor + s.setorL + s.setorL2);
    EXPECT_EQ(emulator_->framesNamed("Executa"), 1);
    EXPECT_FALSE(fs::exists(install_->selectionFile()));
    EXPECT_TRUE(waitFor([&] { return launcher.closeRequested(); }, 5s));

    const emu::ImageStore memory = deviceMemory();
    expectHolds(memory, emu::kMainImage, s.arquivo, true);
    expectHolds(memory, emu::kLImage, s.arquivoL, false);
    expectHolds(memory, emu::kL2Image, s.arquivoL2, false);
}

// The port map names a port on another machine (COM2=rfc2217://...): the window's selector
// mode programs and verifies through ser2net as through a local adapter.
TEST_F(WholeRunTest, SelectorModeThroughASerialPortServer) {
    through_ = PortServer::Kind::Ser2net;
    const install::SystemSpec s = tresImagens();
    ASSERT_NO_FATAL_FAILURE(beginSelector({}, s));
    ASSERT_NO_FATAL_FAILURE(runToTheEnd());
    // The last frame crosses ser2net after the program has ended.
    EXPECT_TRUE(waitFor([&] { return emulator_->framesNamed("Executa") == 1; }, 5s));
    const emu::ImageStore memory = deviceMemory();
    expectHolds(memory, emu::kMainImage, s.arquivo, true);
    expectHolds(memory, emu::kLImage, s.arquivoL, false);
    expectHolds(memory, emu::kL2Image, s.arquivoL2, false);
}

TEST_F(WholeRunTest, TheMarkerFileLeavesTheLauncherWindowOpen) {
    ForeignWindow launcher(x_->display(), "Tolvan Flex Selecionador");
    ASSERT_TRUE(launcher.ok());
    install::InstallOptions options;
    options.marker = true;
    ASSERT_NO_FATAL_FAILURE(beginSelector(options, install::demoSystems().at(3)));
    ASSERT_NO_FATAL_FAILURE(runToTheEnd());
    EXPECT_FALSE(fs::exists(install_->selectionFile()));
    std::this_thread::sleep_for(500ms);
    EXPECT_FALSE(launcher.closeRequested());
}

// An older installation's catalogue is a Paradox table: the catalogue tool converts it in
// place, and the program then runs on it as on any other catalogue.
TEST_F(WholeRunTest, ACatalogueConvertedFromParadoxRunsTheSame) {
    const install::SystemSpec s = tresImagens();
    const auto toParadox = [&](const Installation& in) {
        const fs::path table = in.programDir() / "Tabelas" / "TolvanLink.db";
        fs::remove(table);
        testing::writeParadoxTable(table,
                                   {{utf8ToCp1252(s.descricao), s.arquivo, s.setor, s.arquivoL,
                                     s.setorL, s.arquivoL2, s.setorL2},
                                    {"Outro Sistema", "OUTRO.BIN", 1, "OUTRO_L.BIN", 1, "", 0}},
                                   1252);
        const std::string command =
            std::string(TOLVAN_CATALOGUE_TOOL) + " convert '" + table.string() + "' >/dev/null";
        ASSERT_EQ(std::system(command.c_str()), 0);
        EXPECT_TRUE(fs::exists(table.string() + ".paradox-backup"));
    };
    ASSERT_NO_FATAL_FAILURE(beginSelector({}, s, toParadox));
    ASSERT_NO_FATAL_FAILURE(runToTheEnd());
    EXPECT_EQ(emulator_->framesNamed("Executa"), 1);
    const emu::ImageStore memory = deviceMemory();
    expectHolds(memory, emu::kL2Image, s.arquivoL2, false);
}

// After a connection and the program's end, the serial trace holds the polls and the answer.
TEST_F(ProgramTest, TheTraceHoldsThePollsAndTheDevicesAnswer) {
    start();
    ASSERT_NO_FATAL_FAILURE(waitMainMenu());
    ASSERT_TRUE(op_->keys(kMainWindow, {"Return"}));  // Conexão
    ASSERT_NO_FATAL_FAILURE(answer(kInformacao, {"Return"}));
    ASSERT_TRUE(waitFor([&] { return emulator_->framesNamed("RespostaLink", "tx") > 0; }, 20s));
    std::this_thread::sleep_for(1500ms);  // the system list
    ASSERT_TRUE(op_->keys(kMainWindow, {"Escape", "Escape"}));
    ASSERT_NO_FATAL_FAILURE(answer("Confirmação", {"Return"}));
    ASSERT_NO_FATAL_FAILURE(expectExit());

    const std::string trace = readFile(install_->cwd() / "APD.TRC");
    EXPECT_EQ(trace.rfind("Transmit: ", 0), 0u) << trace.substr(0, 200);
    EXPECT_NE(trace.find("[00][05][01]U[AA]"), std::string::npos);
    const std::size_t answer = trace.find("Receive: ");
    ASSERT_NE(answer, std::string::npos);
    EXPECT_NE(trace.find("[00][03][01]", answer), std::string::npos);
}

}  // namespace
}  // namespace tolvan::e2e
