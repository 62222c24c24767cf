#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "app/FrmTolvanLink.h"
#include "app/Sessao.h"
#include "platform/NativeFileAccess.h"
#include "sim/Fakes.h"
#include "sim/SimLoop.h"
#include "sim/SimSerial.h"

namespace tolvan::sim {

// A whole installation on the simulated clock: a fresh root folder with the two text files,
// the ports COM1 to COM4 mapped to simulated devices, scripted dialogs and a recorded desktop.
// The session and its main window are built on first use; the current directory is the root while
// the rig lives.
class TestRig {
  public:
    TestRig();
    ~TestRig();
    TestRig(const TestRig&) = delete;
    TestRig& operator=(const TestRig&) = delete;

    SimLoop loop;
    SimSerialDriver serial{loop};
    FakePortRegistry registry;
    ScriptedDialogs dialogs;
    FakeDesktop desktop{loop};
    FakeCatalogueStore catalogue;
    // The machine's own, on the rig's real temporary files.
    std::unique_ptr<FileAccess> fileAccess = nativeFileAccess();
    std::filesystem::path root;

    // The front door, as the window and tolvan-flash have it.
    Sessao& sessao();
    // The main window's model behind it, and its components, for tests that drive one subsystem.
    FrmTolvanLink& form();
    Componentes& componentes();
    // FormCreate then FormActivate, as the program's entry runs them.
    void start();

    // Files by the program's own (Windows-style) names, through the rig's resolver.
    std::filesystem::path path(const std::string& programPath) const;
    void writeFile(const std::string& programPath, const std::string& content) const;
    std::string readFile(const std::string& programPath) const;
    bool exists(const std::string& programPath) const;
    void removeFile(const std::string& programPath) const;

    // An image file in the program's bin folder.
    void writeImage(const std::string& name, const std::string& content) const;

    // A catalogue file with these systems (the rows the fake store returns).
    void setSystems(const std::vector<FakeCatalogueStore::System>& systems);

    // The text of every message shown, in order.
    std::vector<std::string> messages() const { return dialogs.texts(); }

  private:
    std::filesystem::path previousDirectory_;
    std::unique_ptr<Sessao> sessao_;
};

}  // namespace tolvan::sim
