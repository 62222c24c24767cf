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
    // The root of a process group of its own, so that the bench's Ctrl-Break reaches it alone
    // (GenerateConsoleCtrlEvent to its id); the console's Ctrl-C is off in such a group.
    process.setCreateProcessArgumentsModifier([](QProcess::CreateProcessArguments* arguments) {
        arguments->flags |= CREATE_NEW_PROCESS_GROUP;
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
