#include "ProgramFixture.h"
#include "platform/X11Windows.h"

namespace tolvan::e2e {
namespace {

// Without a port file the program creates it with port 2, opens COM2, shows the main menu and
// ends when its window is asked to close, leaving the serial layer's trace and log behind.
TEST_F(ProgramTest, StartsOnComTwoAndEndsOnAWindowClose) {
    install::InstallOptions options;
    options.portNumber.reset();
    start(options);
    waitMainMenu();
    // Written by the first activation, which may come just after the window shows.
    EXPECT_TRUE(waitFor([&] { return readFile(install_->portFile()) == "2\r\n"; }, 10s))
        << readFile(install_->portFile());

    ASSERT_TRUE(waitFor(
        [&] {
            return tolvan::X11Windows::closeWindowTitled(kMainWindow) &&
                   program_->waitExit(2s).has_value();
        },
        10s));
    expectExit();
    EXPECT_TRUE(std::filesystem::exists(install_->cwd() / "APD.LOG"));
    EXPECT_TRUE(std::filesystem::exists(install_->cwd() / "APD.TRC"));
}

// Escape on the main menu asks whether to leave; Yes (Enter, the default button) ends it.
TEST_F(ProgramTest, EscapeAsksAndYesEndsTheProgram) {
    start();
    waitMainMenu();
    ASSERT_TRUE(op_->keys(kMainWindow, {"Escape"}));
    ASSERT_TRUE(op_->waitWindow("Confirmação", 10s)) << op_->titles();
    ASSERT_TRUE(op_->keys("Confirmação", {"Return"}));
    expectExit();
}

// The program reaches the launcher's window by its exact title only.
TEST(X11WindowsTest, ClosesOnlyTheWindowWithTheExactTitle) {
    XServer x;
    if (!x.ok()) GTEST_SKIP() << "no Xvfb";
    setenv("DISPLAY", x.display().c_str(), 1);
    ForeignWindow launcher(x.display(), "Tolvan Flex Selecionador");
    ForeignWindow other(x.display(), "Tolvan Flex Selecionador 2");
    ASSERT_TRUE(launcher.ok() && other.ok());

    EXPECT_FALSE(X11Windows::closeWindowTitled("Tolvan Flex"));
    EXPECT_TRUE(X11Windows::closeWindowTitled("Tolvan Flex Selecionador"));
    EXPECT_TRUE(waitFor([&] { return launcher.closeRequested(); }, 5s));
    EXPECT_FALSE(other.closeRequested());
    unsetenv("DISPLAY");
}

}  // namespace
}  // namespace tolvan::e2e
