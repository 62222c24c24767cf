#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "services/CatalogueStore.h"
#include "services/Desktop.h"
#include "services/Dialogs.h"
#include "services/PortRegistry.h"

namespace tolvan::sim {

class SimLoop;

// Dialogs answered by a script. Each kind of dialog calls its handler, which may let simulated
// time pass (loop.runFor) while the dialog is "open"; without a handler a message is closed
// with its default button (Enter) and the port dialog with OK.
class ScriptedDialogs : public Dialogs {
  public:
    int showMessage(const MessageDialog& dialog) override;
    void dismissMessage() override;
    void showPlainMessage(const std::string& text) override;
    void showAbout(AboutBox& about) override;
    void showPortDialog(PortDialog& dialog) override;
    std::optional<std::string> showSelectPort(const SelectPortRequest& request) override;

    std::function<int(const MessageDialog&)> onMessage;
    std::function<void(const std::string&)> onPlainMessage;
    std::function<void(AboutBox&)> onAbout;
    // Runs after the dialog's FormActivate.
    std::function<void(PortDialog&)> onPortDialog;
    std::function<std::optional<std::string>(const SelectPortRequest&)> onSelectPort;

    std::vector<MessageDialog> messages;
    std::vector<std::string> plainMessages;
    int aboutShown = 0;
    int portDialogsShown = 0;
    std::vector<SelectPortRequest> selectPortRequests;

    // The texts of the messages shown, in order.
    std::vector<std::string> texts() const;

    // From a handler, while its message is open: lets `ms` of simulated time pass, or less when
    // the program closes the message meanwhile; true when it did.
    bool staysOpenFor(SimLoop& loop, std::int64_t ms);
    int dismissals = 0;  // messages the program closed unanswered

  private:
    std::vector<bool> dismissed_;  // the messages open, innermost last
};

// The desktop around the window, recorded.
class FakeDesktop : public Desktop {
  public:
    explicit FakeDesktop(SimLoop& loop) : loop_(loop) {}
    void beep() override { ++beeps; }
    void showHelp(const HelpRequest& request) override { helpRequests.push_back(request); }
    bool closeWindowTitled(const std::string& title) override;
    void setBusyCursor(bool busy) override { busyCursor = busy; }
    void quit() override;
    void reportError(const std::string& text) override { errors.push_back(text); }

    int beeps = 0;
    std::vector<HelpRequest> helpRequests;
    std::set<std::string> windowTitles;  // top-level windows that exist
    std::vector<std::string> closeRequests;
    bool busyCursor = false;
    int quitCalls = 0;
    std::vector<std::string> errors;

  private:
    SimLoop& loop_;
};

class FakePortRegistry : public PortRegistry {
  public:
    std::vector<SerialPortEntry> ports() override { return entries; }
    std::vector<SerialPortEntry> entries;
};

// A catalogue store that returns a table given by the test for every file that exists.
class FakeCatalogueStore : public CatalogueStore {
  public:
    CatalogueOpenResult open(const std::filesystem::path& file) override;

    // One system; its rows come in the query's order whatever the order given.
    using System = CatalogueRow;
    void setSystems(const std::vector<System>& systems);
    std::optional<CatalogueOpenResult> forced;  // returned instead when set
    CatalogueTable table;
    std::vector<std::filesystem::path> opened;
};

}  // namespace tolvan::sim
