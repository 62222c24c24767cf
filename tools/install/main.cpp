// tolvan-install: lays out a complete installation of the program under a root folder, for
// the demo and the end-to-end tests.
#include <cstring>
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
    try {
        for (int i = 1; i < argc; ++i) {
            const std::string arg = argv[i];
            auto value = [&]() -> std::string {
                if (i + 1 >= argc) throw InstallError(arg + " needs a value");
                return argv[++i];
            };
            if (arg == "-h" || arg == "--help") {
                std::cout << kUsage;
                return 0;
            } else if (arg == "--root") {
                o.root = value();
            } else if (arg == "--program") {
                o.program = value();
            } else if (arg == "--port") {
                const std::string v = value();
                const auto eq = v.find('=');
                if (eq == std::string::npos) throw InstallError("--port wants COMn=DEVICE");
                o.ports.push_back({v.substr(0, eq), v.substr(eq + 1)});
            } else if (arg == "--port-number") {
                o.portNumber = std::stoi(value());
            } else if (arg == "--no-port-file") {
                o.portNumber.reset();
            } else if (arg == "--systems") {
                const auto n = static_cast<std::size_t>(std::stoul(value()));
                if (n < o.systems.size()) o.systems.resize(n);
            } else if (arg == "--no-catalogue") {
                o.catalogue = false;
            } else if (arg == "--selector") {
                o.selection = value();
            } else if (arg == "--background") {
                o.background = true;
            } else if (arg == "--marker") {
                o.marker = true;
            } else {
                throw InstallError("unknown option " + arg + " (see --help)");
            }
        }
        writeInstallation(o);
    } catch (const std::exception& e) {
        std::cerr << "tolvan-install: " << e.what() << '\n';
        return 1;
    }
    return 0;
}
