#include "platform/win32/Win32FileAccess.h"

// clang-format off
#include <windows.h>
#include <aclapi.h>
#include <fcntl.h>
#include <io.h>
// clang-format on

#include <memory>
#include <vector>

#include "platform/NativeFileAccess.h"
#include "platform/win32/SystemText.h"

namespace tolvan {

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

OpenedFile failed(DWORD error) {
    OpenedFile r;
    r.systemError = static_cast<int>(error);
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
        case ERROR_BAD_NETPATH:
            r.fault = FileFault::NotFound;
            break;
        case ERROR_ACCESS_DENIED:
            r.fault = FileFault::Denied;
            break;
        case ERROR_CANT_RESOLVE_FILENAME:
            r.fault = FileFault::TooManyLinks;
            break;
        case ERROR_FILENAME_EXCED_RANGE:
            r.fault = FileFault::NameTooLong;
            break;
        case ERROR_TOO_MANY_OPEN_FILES:
        case ERROR_NOT_ENOUGH_MEMORY:
        case ERROR_OUTOFMEMORY:
            r.fault = FileFault::NoResources;
            break;
        case ERROR_IO_DEVICE:
        case ERROR_CRC:
        case ERROR_READ_FAULT:
            r.fault = FileFault::InputOutput;
            break;
        default:
            r.fault = FileFault::Other;
    }
    return r;
}

// A plain file on a disk: not a reparse point (a link), a pipe, a console or a device.
bool plainDiskFile(HANDLE h, BY_HANDLE_FILE_INFORMATION& info) {
    return ::GetFileType(h) == FILE_TYPE_DISK && ::GetFileInformationByHandle(h, &info) &&
           (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0;
}

bool writeAll(HANDLE h, std::string_view content) {
    LARGE_INTEGER start{};
    if (!::SetFilePointerEx(h, start, nullptr, FILE_BEGIN)) return false;
    DWORD written = 0;
    if (!::WriteFile(h, content.data(), static_cast<DWORD>(content.size()), &written, nullptr) ||
        written != content.size())
        return false;
    return ::SetEndOfFile(h) != 0;  // the pointer stands at the content's end
}

}  // namespace

Rewritten Win32FileAccess::rewriteShared(const std::filesystem::path& file,
                                         std::string_view content) const {
    // The reparse point itself, never its target: a link put here is refused below.
    HANDLE h = ::CreateFileW(file.c_str(), GENERIC_WRITE, kShareAll, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    DWORD error = ::GetLastError();
    const bool novo = h == INVALID_HANDLE_VALUE && error == ERROR_FILE_NOT_FOUND;
    // A new file takes the rights the shared folder passes on to what is made in it.
    if (novo) {
        h = ::CreateFileW(file.c_str(), GENERIC_WRITE, kShareAll, nullptr, CREATE_NEW,
                          FILE_ATTRIBUTE_NORMAL, nullptr);
        error = ::GetLastError();
    }
    if (h == INVALID_HANDLE_VALUE) return {false, systemText(error)};
    BY_HANDLE_FILE_INFORMATION info{};
    bool gravado = plainDiskFile(h, info);
    if (!gravado) {
        error = ERROR_CANT_ACCESS_FILE;
    } else {
        gravado = writeAll(h, content);
        if (!gravado) error = ::GetLastError();
    }
    if (!::CloseHandle(h) && gravado) {
        gravado = false;
        error = ::GetLastError();
    }
    // A file made here and left empty would read as no content at all next time.
    if (!gravado && novo) ::DeleteFileW(file.c_str());
    if (gravado) return {true, {}};
    return {false, systemText(error)};
}

OpenedFile Win32FileAccess::openRegular(const std::filesystem::path& file) const {
    HANDLE h = ::CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        // A folder does not open as a file at all: it is refused for what it is.
        const DWORD attributes = ::GetFileAttributesW(file.c_str());
        if (error == ERROR_ACCESS_DENIED && attributes != INVALID_FILE_ATTRIBUTES &&
            (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            OpenedFile r;
            r.fault = FileFault::Folder;
            return r;
        }
        return failed(error);
    }
    BY_HANDLE_FILE_INFORMATION info{};
    const bool disk = ::GetFileType(h) == FILE_TYPE_DISK;
    if (!disk || !::GetFileInformationByHandle(h, &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        ::CloseHandle(h);
        OpenedFile r;
        r.fault = disk && (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                      ? FileFault::Folder
                      : FileFault::NotRegular;
        return r;
    }
    const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(h), _O_RDONLY | _O_BINARY);
    if (fd < 0) {
        ::CloseHandle(h);
        return failed(ERROR_TOO_MANY_OPEN_FILES);
    }
    OpenedFile r;
    r.file = ::_fdopen(fd, "rb");
    if (!r.file) {
        ::_close(fd);  // closes the handle too
        return failed(ERROR_NOT_ENOUGH_MEMORY);
    }
    r.size = (static_cast<std::uintmax_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    return r;
}

// Owned by root or me: the file's owner is the running user, the Administrators (the owner an
// administrator's elevated programs give what they make) or the system itself.
bool Win32FileAccess::ownedByRootOrMe(const std::filesystem::path& file) const {
    HANDLE h = ::CreateFileW(file.c_str(), READ_CONTROL, kShareAll, nullptr, OPEN_EXISTING,
                             FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const DWORD got = ::GetSecurityInfo(h, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner,
                                        nullptr, nullptr, nullptr, &descriptor);
    ::CloseHandle(h);
    if (got != ERROR_SUCCESS || !owner) {
        if (descriptor) ::LocalFree(descriptor);
        return false;
    }
    bool counts = ::IsWellKnownSid(owner, WinBuiltinAdministratorsSid) ||
                  ::IsWellKnownSid(owner, WinLocalSystemSid);
    HANDLE token = nullptr;
    if (!counts && ::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) {
        DWORD size = 0;
        ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
        std::vector<unsigned char> buffer(size);
        if (size > 0 && ::GetTokenInformation(token, TokenUser, buffer.data(), size, &size)) {
            const auto* user = reinterpret_cast<const TOKEN_USER*>(buffer.data());
            counts = ::EqualSid(owner, user->User.Sid) != 0;
        }
        ::CloseHandle(token);
    }
    ::LocalFree(descriptor);
    return counts;
}

std::unique_ptr<FileAccess> nativeFileAccess() {
    return std::make_unique<Win32FileAccess>();
}

}  // namespace tolvan
