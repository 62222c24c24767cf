#include "platform/posix/PosixFileAccess.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

#include "platform/NativeFileAccess.h"

namespace tolvan {

namespace {

OpenedFile failed(int error) {
    OpenedFile r;
    r.systemError = error;
    switch (error) {
        case ENOENT:
        case ENOTDIR:
            r.fault = FileFault::NotFound;
            break;
        case EACCES:
        case EPERM:
            r.fault = FileFault::Denied;
            break;
        case EISDIR:
            r.fault = FileFault::Folder;
            break;
        case ELOOP:
            r.fault = FileFault::TooManyLinks;
            break;
        case ENAMETOOLONG:
            r.fault = FileFault::NameTooLong;
            break;
        case EMFILE:
        case ENFILE:
        case ENOMEM:
            r.fault = FileFault::NoResources;
            break;
        case EIO:
            r.fault = FileFault::InputOutput;
            break;
        default:
            r.fault = FileFault::Other;
    }
    return r;
}

}  // namespace

Rewritten PosixFileAccess::rewriteShared(const std::filesystem::path& file,
                                         std::string_view content) const {
    int fd = ::open(file.c_str(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    const bool novo = fd < 0 && errno == ENOENT;
    if (novo) {
        fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0664);
        // The group shares the folder: the file is theirs to rewrite whatever the umask says.
        struct stat criado;
        if (fd >= 0 && ::fstat(fd, &criado) == 0)
            ::fchmod(fd, (criado.st_mode & 07777) | S_IRGRP | S_IWGRP);
    }
    const auto tamanho = static_cast<off_t>(content.size());
    bool gravado = fd >= 0 && ::pwrite(fd, content.data(), content.size(), 0) == tamanho &&
                   ::ftruncate(fd, tamanho) == 0;
    int erro = errno;
    if (fd >= 0) {
        const bool fechado = ::close(fd) == 0;
        if (gravado && !fechado) erro = errno;  // a delayed write error shows only here
        gravado = fechado && gravado;
    }
    // A file made here and left empty would read as no content at all next time.
    if (!gravado && novo && fd >= 0) ::unlink(file.c_str());
    if (gravado) return {true, {}};
    return {false, std::strerror(erro)};
}

OpenedFile PosixFileAccess::openRegular(const std::filesystem::path& file) const {
    const int fd = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return failed(errno);
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        const int erro = errno;
        ::close(fd);
        return failed(erro);
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        OpenedFile r;
        r.fault = S_ISDIR(st.st_mode) ? FileFault::Folder : FileFault::NotRegular;
        return r;
    }
    // Reads of a regular file block as usual.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    OpenedFile r;
    r.file = ::fdopen(fd, "rb");
    if (!r.file) {
        const int erro = errno;
        ::close(fd);
        return failed(erro);
    }
    r.size = st.st_size > 0 ? static_cast<std::uintmax_t>(st.st_size) : 0;
    return r;
}

bool PosixFileAccess::ownedByRootOrMe(const std::filesystem::path& file) const {
    struct stat st {};
    if (::lstat(file.c_str(), &st) != 0) return false;
    return st.st_uid == 0 || st.st_uid == ::geteuid();
}

std::unique_ptr<FileAccess> nativeFileAccess() {
    return std::make_unique<PosixFileAccess>();
}

}  // namespace tolvan
