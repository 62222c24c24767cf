#pragma once

#include <gtest/gtest.h>

#include <thread>

#include "Harness.h"

namespace tolvan::e2e {

inline constexpr const char* kMainWindow = "frmTolvanLink";

// A display, the emulator on a pty mapped to COM2 and an installation around the program.
class ProgramTest : public ::testing::Test {
  protected:
    void SetUp() override {
        x_ = std::make_unique<XServer>();
        if (!x_->ok()) GTEST_SKIP() << "no Xvfb";
        op_ = std::make_unique<Operator>(x_->display());
        // The test's own X calls go to the same display.
        setenv("DISPLAY", x_->display().c_str(), 1);
    }

    // Generates the installation (COM2 on the emulator's pty) and starts the program.
    void start(install::InstallOptions options = {}, std::vector<std::string> emulatorArgs = {}) {
        install_ = std::make_unique<Installation>(std::move(options));
        emulator_ = std::make_unique<Emulator>(install_->root(), std::move(emulatorArgs));
        ASSERT_TRUE(emulator_->ok()) << "the emulator gave no pty";
        install::writeSerialComm(install_->root(), {{"COM2", emulator_->pty()}});
        program_ = install_->start(x_->display());
    }

    // The main window is up and its first activation has opened COM2.
    void waitMainMenu() {
        ASSERT_TRUE(op_->waitWindow(kMainWindow, 20s)) << op_->titles();
        ASSERT_TRUE(
            waitFor([&] { return emulator_->frameLog().find(" open ") != std::string::npos; }, 10s))
            << emulator_->frameLog();
    }

    // The operator answers the dialog titled `title` with these keys once it shows, and waits
    // for it to go.
    void answer(const std::string& title, const std::vector<std::string>& keys,
                std::chrono::milliseconds timeout = 20s) {
        ASSERT_TRUE(op_->waitWindow(title, timeout)) << "no \"" << title << "\": " << op_->titles();
        ASSERT_TRUE(op_->keys(title, keys));
        ASSERT_TRUE(op_->waitGone(title, 10s)) << "\"" << title << "\" stays open";
    }

    void expectExit(std::chrono::milliseconds timeout = 10s) {
        const std::optional<int> status = program_->waitExit(timeout);
        ASSERT_TRUE(status.has_value()) << "the program did not end; windows: " << op_->titles();
        EXPECT_EQ(*status, 0);
    }

    void TearDown() override {
        if (HasFailure() && op_ && install_) op_->screenshot(install_->cwd() / "failure.png");
    }

    std::unique_ptr<XServer> x_;
    std::unique_ptr<Operator> op_;
    std::unique_ptr<Installation> install_;
    std::unique_ptr<Emulator> emulator_;
    std::unique_ptr<Process> program_;
};

}  // namespace tolvan::e2e
