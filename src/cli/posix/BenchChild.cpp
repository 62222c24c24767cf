#include "cli/BenchChild.h"

#include <sys/prctl.h>
#include <unistd.h>

#include <QProcess>
#include <csignal>

#include "platform/Interruptions.h"

namespace tolvan::cli {

void makeBenchChild(QProcess& process) {
    // In a process group of its own, a Ctrl-C at the terminal does not reach it; one passed on
    // while it starts waits until it can be taken.
    process.setChildProcessModifier([] {
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        ::setpgid(0, 0);
        Interruptions::holdForChild();
    });
}

}  // namespace tolvan::cli
