#pragma once

#include <gtest/gtest.h>

#include <thread>

#include "Harness.h"

namespace tolvan::e2e {

inline constexpr const char* kMainWindow = "frmTolvanLink";

// The desktop the program is started on. Xvfb: an X server, the program told to use it.
// XWayland: a Wayland compositor with XWayland, the program given both displays and no
// platform. Wayland: the compositor alone; the program has no X display.
enum class Desktop { Xvfb, XWayland, Wayland };

inline void PrintTo(Desktop d, std::ostream* out) {
    *out << (d == Desktop::Xvfb ? "Xvfb" : d == Desktop::XWayland ? "XWayland" : "Wayland");
}

// A display, the emulator on a pty mapped to COM2 and an installation around the program.
class ProgramTest : public ::testing::Test {
  protected:
    void SetUp() override { openDesktop(Desktop::Xvfb); }

    // Skips the test when the desktop cannot be had on this machine.
    void openDesktop(Desktop desktop) {
        x_ = std::make_unique<XServer>();
        if (!x_->ok()) GTEST_SKIP() << "no Xvfb";
        display_ = x_->display();
        programEnv_ = {{"DISPLAY", display_}, {"QT_QPA_PLATFORM", "xcb"}};
        if (desktop != Desktop::Xvfb) {
            compositor_ =
                std::make_unique<WaylandCompositor>(display_, desktop == Desktop::XWayland);
            if (!compositor_->ok()) GTEST_SKIP() << "no weston";
            if (desktop == Desktop::XWayland) display_ = compositor_->xDisplay();
            programEnv_ = compositor_->clientEnvironment();
            programUnset_ = {"QT_QPA_PLATFORM", "DISPLAY"};
        }
        op_ = std::make_unique<Operator>(display_);
        // The test's own X calls go to the same display.
        setenv("DISPLAY", display_.c_str(), 1);
    }

    // Generates the installation (COM2 on the emulator's pty) and starts the program.
    void start(install::InstallOptions options = {}, std::vector<std::string> emulatorArgs = {}) {
        install_ = std::make_unique<Installation>(std::move(options));
        emulator_ = std::make_unique<Emulator>(install_->root(), std::move(emulatorArgs));
        ASSERT_TRUE(emulator_->ok()) << "the emulator gave no pty";
        install_->mapPorts({{"COM2", emulator_->pty()}});
        program_ = install_->start(programEnv_, programUnset_);
    }

    // The main window is up and the emulator has its pty ready (" open " is the emulator's own
    // event); the window's first activation, which opens COM2, may still be under way.
    void waitMainMenu() {
        ASSERT_TRUE(op_->waitWindow(kMainWindow, 20s)) << op_->titles();
        ASSERT_TRUE(
            waitFor([&] { return emulator_->frameLog().find(" open ") != std::string::npos; }, 10s))
            << emulator_->frameLog();
    }

    // The operator answers the dialog titled `title` with these keys once it shows, and waits
    // for it to go. Inside a Wayland session the compositor gives the keyboard to the window it
    // has activated: the keys go to the compositor until the dialog has taken them. XWayland
    // hands them to the X window with the input focus, which a window activated just after the
    // dialog showed (the main window of selector mode) may still hold: the dialog takes it.
    // Under Wine a window takes keys once Wine has handled the focus it was given, which a
    // busy machine delays past the first keys (the disabled main window drops them meanwhile).
    void answer(const std::string& title, const std::vector<std::string>& keys,
                std::chrono::milliseconds timeout = 20s) {
        ASSERT_TRUE(op_->waitWindow(title, timeout)) << "no \"" << title << "\": " << op_->titles();
        if (compositor_ || underWine()) {
            ASSERT_TRUE(waitFor(
                [&] {
                    if (compositor_) {
                        op_->focus(title);
                        compositor_->keys(keys);
                    } else {
                        op_->keys(title, keys);
                    }
                    return op_->waitGone(title, 3s);
                },
                15s))
                << "\"" << title << "\" stays open";
            return;
        }
        ASSERT_TRUE(op_->keys(title, keys));
        ASSERT_TRUE(op_->waitGone(title, 10s)) << "\"" << title << "\" stays open";
    }

    void expectExit(std::chrono::milliseconds timeout = 10s) {
        const std::optional<int> status = program_->waitExit(timeout);
        ASSERT_TRUE(status.has_value()) << "the program did not end; windows: " << op_->titles();
        EXPECT_EQ(*status, 0);
    }

    void TearDown() override {
        if (!HasFailure() || !install_) return;
        if (compositor_) {
            compositor_->screenshot(install_->cwd() / "failure.png");
        } else if (op_) {
            op_->screenshot(install_->cwd() / "failure.png");
        }
    }

    std::unique_ptr<XServer> x_;
    std::unique_ptr<WaylandCompositor> compositor_;
    std::string display_;  // the X display of the operator and of the test's own X calls
    std::map<std::string, std::string> programEnv_;
    std::vector<std::string> programUnset_;
    std::unique_ptr<Operator> op_;
    std::unique_ptr<Installation> install_;
    std::unique_ptr<Emulator> emulator_;
    std::unique_ptr<Process> program_;
};

}  // namespace tolvan::e2e
