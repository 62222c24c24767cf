#include "cli/ReportFile.h"

#include <windows.h>

#include "platform/win32/SystemText.h"
#include "services/PathResolver.h"

namespace tolvan::cli {

namespace fs = std::filesystem;

namespace {

// The lock the bench's processes take: one byte far past any report's end, so that it keeps
// writers apart without locking readers out of the lines (Windows' locks are mandatory).
constexpr DWORD kLockHigh = 0x7fffffff;

}  // namespace

std::string hostName() {
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD length = MAX_COMPUTERNAME_LENGTH + 1;
    if (!::GetComputerNameW(name, &length)) return {};
    return utf8(fs::path(std::wstring(name, length)));
}

bool appendWholeLine(const fs::path& file, const QByteArray& line, std::string& error) {
    const HANDLE f = ::CreateFileW(file.c_str(), GENERIC_WRITE | FILE_READ_ATTRIBUTES,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) {
        error = utf8(file) + ": " + systemText(::GetLastError());
        return false;
    }
    // Under the lock the end of the file is where this line goes, after every other process's
    // whole line; a failed write is cut back off that end without cutting another's line.
    OVERLAPPED at{};
    at.OffsetHigh = kLockHigh;
    const bool locked = ::LockFileEx(f, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &at);
    LARGE_INTEGER before{};
    const bool sized =
        ::GetFileSizeEx(f, &before) && ::SetFilePointerEx(f, before, nullptr, FILE_BEGIN);
    DWORD written = 0;
    const bool wrote = sized && ::WriteFile(f, line.constData(), static_cast<DWORD>(line.size()),
                                            &written, nullptr);
    const DWORD writeError = ::GetLastError();
    bool cut = true;
    if (written > 0 && written != static_cast<DWORD>(line.size()))
        cut = ::SetFilePointerEx(f, before, nullptr, FILE_BEGIN) && ::SetEndOfFile(f);
    if (locked) ::UnlockFileEx(f, 0, 1, 0, &at);
    const bool closed = ::CloseHandle(f);
    if (!wrote && written == 0) {
        error = utf8(file) + ": " + systemText(writeError);
    } else if (written != static_cast<DWORD>(line.size())) {
        error = utf8(file) + ": only " + std::to_string(written) + " of " +
                std::to_string(line.size()) + " bytes of the line were written (disk full?)" +
                (cut ? "; they were taken off again" : "; they could not be taken off again");
    } else if (!closed) {
        error = utf8(file) + ": " + systemText(::GetLastError());
    } else {
        return true;
    }
    return false;
}

}  // namespace tolvan::cli
