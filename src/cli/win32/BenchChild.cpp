#include "cli/BenchChild.h"

#include <windows.h>

#include <QProcess>

namespace tolvan::cli {

namespace {

// The bench's children, killed by the system when the bench ends in any way (its last handle
// to the job closes with the process).
HANDLE benchJob() {
    static const HANDLE job = [] {
        const HANDLE made = ::CreateJobObjectW(nullptr, nullptr);
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        if (made)
            ::SetInformationJobObject(made, JobObjectExtendedLimitInformation, &limits,
                                      sizeof limits);
        return made;
    }();
    return job;
}

}  // namespace

void makeBenchChild(QProcess& process) {
    // A console of its own, without a window, in a process group of its own: the operator's
    // Ctrl-C, Ctrl-Break and closing of the console reach the bench alone, which passes them on
    // (Interruptions::passOn) once.
    process.setCreateProcessArgumentsModifier([](QProcess::CreateProcessArguments* arguments) {
        arguments->flags |= CREATE_NEW_PROCESS_GROUP | CREATE_NO_WINDOW;
    });
    QObject::connect(&process, &QProcess::started, &process, [&process] {
        const HANDLE job = benchJob();
        const HANDLE child = ::OpenProcess(PROCESS_SET_QUOTA | PROCESS_TERMINATE, FALSE,
                                           static_cast<DWORD>(process.processId()));
        if (job && child) ::AssignProcessToJobObject(job, child);
        if (child) ::CloseHandle(child);
    });
}

}  // namespace tolvan::cli
