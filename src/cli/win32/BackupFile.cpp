#include "cli/BackupFile.h"

#include <windows.h>

#include <algorithm>

#include "platform/win32/SystemText.h"
#include "services/PathResolver.h"

namespace tolvan::cli {

namespace fs = std::filesystem;

bool writeWhole(const fs::path& file, const std::vector<std::uint8_t>& bytes, std::string& error) {
    const fs::path part = file.parent_path() / (L"." + file.filename().wstring() + L".part-" +
                                                std::to_wstring(::GetCurrentProcessId()));
    const HANDLE f = ::CreateFileW(part.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) {
        error = utf8(part) + ": " + systemText(::GetLastError());
        return false;
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD n = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1 << 20));
        if (!::WriteFile(f, bytes.data() + done, chunk, &n, nullptr) || n == 0) break;
        done += n;
    }
    const bool whole = done == bytes.size() && ::FlushFileBuffers(f);
    DWORD why = whole ? ERROR_SUCCESS : ::GetLastError();
    // A write that took nothing and said nothing: the disk is full.
    if (!whole && why == ERROR_SUCCESS) why = ERROR_HANDLE_DISK_FULL;
    const bool closed = ::CloseHandle(f);
    if (whole && !closed) why = ::GetLastError();
    if (whole && closed &&
        !::MoveFileExW(part.c_str(), file.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        why = ::GetLastError();
    if (why != ERROR_SUCCESS) {
        error = utf8(file) + ": " + systemText(why);
        ::DeleteFileW(part.c_str());
        return false;
    }
    return true;
}

}  // namespace tolvan::cli
