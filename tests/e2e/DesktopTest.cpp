// The desktops the program meets besides a plain X server: a Wayland session with no X display,
// no display at all, and the desktop's URL handler that opens the manual on F1.
#include <QImage>
#include <algorithm>
#include <fstream>

#include "Observations.h"
#include "ProgramFixture.h"
#include "platform/X11Windows.h"

namespace tolvan::e2e {
namespace {

namespace fs = std::filesystem;

constexpr const char* kNoX11 = "cannot be asked to close from a native Wayland session";

// The selector window's region: the caption at (500, 50), 153 x 19, over the LED bar at
// (500, 72), 290 x 16.
constexpr int kRegionArea = 153 * 19 + 290 * 16;
const QSize kRegionBox(290, 38);

// The pixels of a screenshot that are not the desktop's colour, and the box around them,
// leaving out the bottom-right corner where the pointer is parked: no window placed on the screen
// puts the region there.
struct Painted {
    long count = 0;
    QRect box;
};

Painted paintedOver(const QImage& shot) {
    Painted p;
    const QImage image = shot.convertToFormat(QImage::Format_RGB32);
    const QRect pointer(image.width() - 32, image.height() - 32, 32, 32);
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if ((line[x] & 0xffffff) == WaylandCompositor::kDesktopColour) continue;
            if (pointer.contains(x, y)) continue;
            ++p.count;
            p.box |= QRect(x, y, 1, 1);
        }
    }
    return p;
}

class NativeWaylandTest : public ProgramTest {
  protected:
    void SetUp() override {
        openDesktop(Desktop::Wayland);
        if (IsSkipped()) return;
        scratch_ = makeTempDir("tolvan-wayland-test-");
        messageLog_ = scratch_ / "messages.log";
        programEnv_["TOLVAN_MESSAGE_LOG"] = messageLog_.string();
        programEnv_["LSAN_OPTIONS"] =
            "fast_unwind_on_malloc=0:suppressions=" TOLVAN_WAYLAND_LSAN_SUPPRESSIONS;
    }
    void TearDown() override {
        ProgramTest::TearDown();
        if (!scratch_.empty() && !std::getenv("TOLVAN_E2E_KEEP")) fs::remove_all(scratch_);
    }

    // Once the n-th message shows, the operator presses Return at the compositor until `done`.
    // No X tool sees a Wayland window: the message log says when the dialog is up.
    void answer(std::size_t n, const std::function<bool()>& done,
                std::chrono::milliseconds timeout) {
        ASSERT_TRUE(waitFor([&] { return readShownMessages(messageLog_).size() >= n; }, timeout))
            << describe(readShownMessages(messageLog_));
        std::this_thread::sleep_for(1s);  // the dialog maps and takes the keyboard
        ASSERT_TRUE(waitFor(
            [&] {
                compositor_->keys({"Return"});
                if (waitFor(done, 3s)) return true;
                // A main window that maps after its dialog (under load) takes the activation,
                // and a client cannot hand it on by itself on Wayland: the compositor's window
                // switcher gives the keyboard to the other window.
                compositor_->keys({"super+Tab"});
                return false;
            },
            30s))
            << "message " << n << " stays: " << describe(readShownMessages(messageLog_));
    }

    fs::path scratch_;
    fs::path messageLog_;
};

// With no X display the program runs on native Wayland. The selector window, an 800 x 600
// window, shows the desktop through everything but its caption and LED bar, the run completes,
// and the launcher's window that cannot be reached is named once on standard error.
TEST_F(NativeWaylandTest, SelectorWindowShowsOnlyItsRegionAndTheRunCompletes) {
    const install::SystemSpec system = install::demoSystems().at(7);
    install::InstallOptions options;
    options.systems = {system};
    options.selection = system.descricao;
    options.background = true;
    start(options);

    answer(
        1, [&] { return emulator_->framesNamed("Link") > 0; }, 20s);  // replug the cable
    ASSERT_TRUE(waitFor([&] { return emulator_->framesNamed("GravaSetor") > 0; }, 30s))
        << emulator_->frameLog();
    compositor_->parkPointer();
    std::this_thread::sleep_for(300ms);
    const fs::path shot = install_->cwd() / "wayland.png";
    ASSERT_TRUE(compositor_->screenshot(shot));

    answer(
        2, [&] { return !program_->running(); }, 60s);  // " ARQUIVO VERIFICADO SEM ERROS ..."
    expectExit();
    EXPECT_EQ(emulator_->framesNamed("LeSetor"), system.setor + system.setorL);
    EXPECT_EQ(emulator_->framesNamed("Executa"), 1);
    EXPECT_FALSE(fs::exists(install_->selectionFile()));
    const std::string output = readFile(install_->programOutput());
    const auto said = output.find(kNoX11);
    EXPECT_NE(said, std::string::npos) << output;
    EXPECT_EQ(output.find(kNoX11, said + 1), std::string::npos) << output;

    const QImage image(QString::fromStdString(shot.string()));
    ASSERT_EQ(image.size(), QSize(WaylandCompositor::kWidth, WaylandCompositor::kHeight));
    const Painted painted = paintedOver(image);
    EXPECT_EQ(painted.box.size(), kRegionBox) << "painted: " << painted.count << " pixels";
    EXPECT_GT(painted.count, kRegionArea * 9 / 10);
    EXPECT_LE(painted.count, kRegionArea);
}

// Started with no display at all (over SSH, say): one line naming both variables, status 1,
// before Qt would abort.
TEST(NoDisplayTest, SaysSoInOneLineAndEndsWithStatusOne) {
    Installation install;
    const fs::path runtimeDir = makeTempDir("tolvan-runtime-");  // no compositor in it
    const std::vector<std::map<std::string, std::string>> cases = {
        {},
        {{"DISPLAY", ":4093"}},
        {{"WAYLAND_DISPLAY", "wayland-9"}},
    };
    for (std::map<std::string, std::string> env : cases) {
        env["XDG_RUNTIME_DIR"] = runtimeDir.string();
        const std::unique_ptr<Process> program =
            install.start(env, {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY", "WAYLAND_SOCKET"});
        const std::optional<int> status = program->waitExit(10s);
        ASSERT_TRUE(status.has_value());
        EXPECT_EQ(*status, 1);
        const std::string output = readFile(install.programOutput());
        EXPECT_NE(output.find("TolvanLink: no display to open: neither DISPLAY"), std::string::npos)
            << output;
        EXPECT_NE(output.find("WAYLAND_DISPLAY"), std::string::npos) << output;
        EXPECT_EQ(std::count(output.begin(), output.end(), '\n'), 1) << output;
    }
    fs::remove_all(runtimeDir);
}

// F1 opens the compiled manual with a CHM viewer when there are both, and otherwise the HTML
// manual beside it through the desktop's URL handler (xdg-open, or a browser Qt finds without
// it). Stand-in programs on PATH note what they were asked to open.
TEST_F(ProgramTest, F1OpensTheManualThroughAViewerOrTheDesktop) {
    struct Case {
        std::vector<std::string> programs;  // on PATH
        bool html, chm;                     // manual/Index.html, manual/Vessaro.chm
        std::string opener, opened;         // who is asked, with what
    };
    const std::vector<Case> cases = {
        {{"xdg-open", "xchm"}, true, true, "xchm", "/"},
        {{"xdg-open"}, true, true, "xdg-open", "file:///"},
        {{"firefox"}, true, false, "firefox", "file:///"},
    };
    const fs::path bin = makeTempDir("tolvan-bin-");
    const fs::path record = bin / "opened";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.opener);
        fs::remove_all(bin);
        fs::create_directories(bin);
        for (const std::string& name : c.programs) {
            std::ofstream(bin / name) << "#!/bin/sh\necho \"${0##*/} $*\" >> " << record << "\n";
            fs::permissions(bin / name, fs::perms::owner_all);
        }
        programEnv_["PATH"] = bin.string();
        start();
        const fs::path manual = install_->programDir() / "manual";
        if (c.html) std::ofstream(manual / "Index.html") << "<html></html>\n";
        if (c.chm) std::ofstream(manual / "Vessaro.chm") << "ITSF";
        waitMainMenu();
        ASSERT_TRUE(op_->keys(kMainWindow, {"F1"}));
        ASSERT_TRUE(waitFor([&] { return !readFile(record).empty(); }, 10s))
            << readFile(install_->programOutput());
        const std::string line = readFile(record);
        EXPECT_EQ(line.rfind(c.opener + " " + c.opened, 0), 0u) << line;
        const bool viewer = c.opener == "xchm";
        EXPECT_NE(line.find(viewer ? "manual/Vessaro.chm" : "manual/Index.html"), std::string::npos)
            << line;
        ASSERT_TRUE(waitFor([&] { return X11Windows::closeWindowTitled(kMainWindow); }, 5s));
        expectExit();
    }
    fs::remove_all(bin);
}

}  // namespace
}  // namespace tolvan::e2e
