// tolvan-flash: the core of TolvanLink from the command line, for one device or a bench of
// them. See usageText() (--help).
#include <QCoreApplication>
#include <QFileInfo>
#include <iostream>

#include "cli/Bench.h"
#include "cli/Console.h"
#include "cli/ExitCodes.h"
#include "cli/FlashOptions.h"
#include "cli/FlashRun.h"
#include "cli/InstallationRoot.h"
#include "cli/PortList.h"

int main(int argc, char** argv) {
    using namespace tolvan::cli;
    const std::vector<std::string> args = commandLineArguments(argc, argv);
    std::string error;
    const std::optional<FlashOptions> options = parseFlashOptions(args, error);
    if (!options) {
        std::cerr << "tolvan-flash: " << error << "\n"
                  << "Try 'tolvan-flash --help'.\n";
        return kExitBadInput;
    }
    if (options->action == FlashOptions::Action::Help) {
        std::cout << usageText();
        return kExitOk;
    }
    if (options->action == FlashOptions::Action::Version) {
        std::cout << "tolvan-flash " << TOLVAN_VERSION << "\n";
        return kExitOk;
    }

    QCoreApplication app(argc, argv);
    const QString program = QCoreApplication::applicationFilePath();
    const std::filesystem::path root =
        installationRoot(options->root, QFileInfo(program).filesystemCanonicalFilePath());

    if (options->action == FlashOptions::Action::List) return FlashRun(*options, "", root).list();
    if (options->action == FlashOptions::Action::ListPorts)
        return listPortsCommand(root, options->json);
    if (options->bench()) return Bench(*options, root, program).exec();
    return FlashRun(*options, options->ports.front(), root).exec();
}
