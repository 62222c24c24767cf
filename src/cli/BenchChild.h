#pragma once

class QProcess;

namespace tolvan::cli {

// Makes `process`, before it starts, a child of the bench (cli/posix or cli/win32): it outlives
// no bench that was killed, and it hears of an interruption only as the bench passes it on
// (Interruptions::passOn), once, not also from the terminal (a second would end its ending at
// once).
void makeBenchChild(QProcess& process);

}  // namespace tolvan::cli
