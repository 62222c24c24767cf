#include <algorithm>

#include "ProgramFixture.h"

namespace tolvan::e2e {
namespace {

constexpr const char* kInformacao = "Informação";

install::SystemSpec horizonte() {
    return install::demoSystems().at(7);
}

// The operator connects, picks the only system and runs "Gravação & Verificação": the device
// receives both images, reads them back sector by sector and is told to run them.
TEST_F(ProgramTest, ConnectsProgramsAndVerifiesASystem) {
    install::InstallOptions options;
    options.systems = {horizonte()};
    start(options);
    waitMainMenu();

    ASSERT_TRUE(op_->keys(kMainWindow, {"Return"}));  // Conexão
    answer(kInformacao, {"Return"});                  // unplug and replug the cable
    ASSERT_TRUE(waitFor([&] { return emulator_->framesNamed("RespostaLink", "tx") > 0; }, 20s))
        << emulator_->frameLog();
    // The system list comes half a second after the answer (with room for a busy machine).
    std::this_thread::sleep_for(2500ms);
    ASSERT_TRUE(op_->keys(kMainWindow, {"Return", "Return"}));  // the system, then line 1

    answer(kInformacao, {"Return"}, 60s);  // " ARQUIVO VERIFICADO SEM ERROS ..."
    EXPECT_EQ(emulator_->framesNamed("LeSetor"), horizonte().setor + horizonte().setorL);
    EXPECT_GT(emulator_->framesNamed("GravaSetor"), 0);
    ASSERT_TRUE(waitFor([&] { return emulator_->framesNamed("Executa") == 1; }, 5s))
        << emulator_->frameLog();

    ASSERT_TRUE(op_->keys(kMainWindow, {"Escape"}));
    answer("Confirmação", {"Return"});
    expectExit();
}

// A device that never answers: the link poll goes out every 5 ms until the 400th tick, then
// the operator is asked whether to give up; Yes brings back the main menu.
TEST_F(ProgramTest, LinkPollKeepsItsCadenceAgainstASilentDevice) {
    start({}, {"--silent"});
    waitMainMenu();
    ASSERT_TRUE(op_->keys(kMainWindow, {"Return"}));  // Conexão
    answer(kInformacao, {"Return"});
    answer("Confirmação", {"Return"}, 20s);  // "Não houve comunicação. Deseja abandonar ..."

    std::vector<long long> times = emulator_->frameTimes("Link");
    ASSERT_GE(times.size(), 390u) << emulator_->frameLog().substr(0, 2000);
    std::vector<long long> gaps;
    for (std::size_t i = 1; i < times.size(); ++i)
        gaps.push_back(times[i] - times[i - 1]);
    std::nth_element(gaps.begin(), gaps.begin() + gaps.size() / 2, gaps.end());
    const long long median = gaps[gaps.size() / 2];
    EXPECT_GE(median, 4000);
    EXPECT_LE(median, 7500);

    ASSERT_TRUE(op_->keys(kMainWindow, {"Escape"}));
    answer("Confirmação", {"Return"});
    expectExit();
}

class SelectorRunTest : public ProgramTest, public ::testing::WithParamInterface<Desktop> {
  protected:
    void SetUp() override { openDesktop(GetParam()); }
};

// Started by the launcher: the program connects by itself, finds the system named in the
// selection file (on the eighth row, so the list scrolls), programs and verifies it, then
// closes, deletes the selection file and asks the launcher's window to close. Inside a Wayland
// session with XWayland the program chooses X11 by itself: its window is an X window that the
// operator finds there, and the launcher's window is reached.
TEST_P(SelectorRunTest, RunsTheNamedSystemAndClosesTheLauncher) {
    ForeignWindow launcher(display_, "Tolvan Flex Selecionador");
    ASSERT_TRUE(launcher.ok());
    install::InstallOptions options;
    options.selection = horizonte().descricao;
    options.background = true;
    start(options);
    ASSERT_TRUE(op_->waitWindow(kMainWindow, 20s)) << op_->titles();

    answer(kInformacao, {"Return"});       // unplug and replug the cable
    answer(kInformacao, {"Return"}, 60s);  // " ARQUIVO VERIFICADO SEM ERROS ..."
    expectExit();

    EXPECT_EQ(emulator_->framesNamed("LeSetor"), horizonte().setor + horizonte().setorL);
    EXPECT_EQ(emulator_->framesNamed("Executa"), 1);
    EXPECT_FALSE(std::filesystem::exists(install_->selectionFile()));
    EXPECT_TRUE(waitFor([&] { return launcher.closeRequested(); }, 5s));
}

INSTANTIATE_TEST_SUITE_P(Desktops, SelectorRunTest,
                         ::testing::Values(Desktop::Xvfb, Desktop::XWayland),
                         [](const auto& info) { return ::testing::PrintToString(info.param); });

}  // namespace
}  // namespace tolvan::e2e
