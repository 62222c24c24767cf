// tolvan-install: lays out a complete installation of the program under a root folder, for
// the demo and the end-to-end tests.
#include <CLI/CLI.hpp>
#include <functional>
#include <iostream>
#include <string>

#include "InstallTree.h"

namespace {

const char kUsage[] = R"(Usage: tolvan-install --root DIR [options]

Lays out DIR/Orsolite/Tolvan Link (texts, catalogue, image files, manual folder, the
program) and DIR/Orsolite/Comuns (SerialComm.txt, Comm.txt).

  --root DIR            the installation root (stands for the drive C:)
  --program FILE        copy FILE in as DIR/Orsolite/Tolvan Link/TolvanLink
  --port COMn=DEVICE    a line of SerialComm.txt (repeatable), e.g. COM2=/dev/pts/3
  --port-number N       the port file Comm.txt holds N (default 2)
  --no-port-file        no Comm.txt
  --systems N           only the first N demo systems (default all ten)
  --no-catalogue        no catalogue file
  --selector TEXT       selector mode: the selection file names TEXT on its third line
  --background          selector mode's background picture
  --marker              the launcher's marker file
  -h, --help            this text
)";

}  // namespace

int main(int argc, char** argv) {
    using namespace tolvan::install;
    InstallOptions o;
    o.systems = demoSystems();
    CLI::App app{"", "tolvan-install"};
    // The options act in the order given, as the demo and the tests give them: a later
    // --port-number or --no-port-file wins, each --systems keeps at most that many.
    app.set_help_flag();
    app.allow_extras();
    app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    const auto value = [&](const char* name, std::function<void(const std::string&)> take) {
        app.add_option_function<std::string>(name, std::move(take))->trigger_on_parse();
    };
    const auto flag = [&](const char* name, std::function<void()> act) {
        app.add_flag_callback(name, std::move(act))->trigger_on_parse();
    };
    const auto unknown = [&] {
        return InstallError("unknown option " + app.remaining().front() + " (see --help)");
    };
    bool help = false;
    flag("-h,--help", [&] {
        if (!app.remaining().empty()) throw unknown();
        help = true;
        throw CLI::Success();
    });
    value("--root", [&](const std::string& v) { o.root = v; });
    value("--program", [&](const std::string& v) { o.program = v; });
    value("--port", [&](const std::string& v) {
        const auto eq = v.find('=');
        if (eq == std::string::npos) throw InstallError("--port wants COMn=DEVICE");
        o.ports.push_back({v.substr(0, eq), v.substr(eq + 1)});
    });
    value("--port-number", [&](const std::string& v) { o.portNumber = std::stoi(v); });
    flag("--no-port-file", [&] { o.portNumber.reset(); });
    value("--systems", [&](const std::string& v) {
        const auto n = static_cast<std::size_t>(std::stoul(v));
        if (n < o.systems.size()) o.systems.resize(n);
    });
    flag("--no-catalogue", [&] { o.catalogue = false; });
    value("--selector", [&](const std::string& v) { o.selection = v; });
    flag("--background", [&] { o.background = true; });
    flag("--marker", [&] { o.marker = true; });
    try {
        try {
            app.parse(argc, argv);
        } catch (const CLI::Success&) {
        } catch (const CLI::ArgumentMismatch& e) {
            // "--root: 1 required TEXT missing": the option given last without its value.
            const std::string what = e.what();
            throw InstallError(what.substr(0, what.find(':')) + " needs a value");
        }
        if (help) {
            std::cout << kUsage;
            return 0;
        }
        if (!app.remaining().empty()) throw unknown();
        writeInstallation(o);
    } catch (const std::exception& e) {
        std::cerr << "tolvan-install: " << e.what() << '\n';
        return 1;
    }
    return 0;
}
