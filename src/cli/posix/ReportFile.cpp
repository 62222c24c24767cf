#include "cli/ReportFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tolvan::cli {

namespace fs = std::filesystem;

std::string hostName() {
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0) return {};
    return name;
}

bool appendWholeLine(const fs::path& file, const QByteArray& line, std::string& error) {
    const int fd = ::open(file.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = file.string() + ": " + std::strerror(errno);
        return false;
    }
    // One write: with O_APPEND the kernel puts the whole line at the end of the file, after
    // every other process's whole line. Another write for a rest could land after theirs. The
    // lock (which the bench's processes all take) lets a failed write be cut back off the end
    // without cutting another's line.
    ::flock(fd, LOCK_EX);
    struct stat before {};
    const bool sized = ::fstat(fd, &before) == 0;
    ssize_t written;
    do {
        written = ::write(fd, line.constData(), static_cast<std::size_t>(line.size()));
    } while (written < 0 && errno == EINTR);
    const int writeErrno = errno;
    bool cut = true;
    if (written > 0 && written != line.size()) cut = sized && ::ftruncate(fd, before.st_size) == 0;
    const bool closed = ::close(fd) == 0;  // and unlocks
    if (written < 0) {
        error = file.string() + ": " + std::strerror(writeErrno);
    } else if (written != line.size()) {
        error = file.string() + ": only " + std::to_string(written) + " of " +
                std::to_string(line.size()) + " bytes of the line were written (disk full?)" +
                (cut ? "; they were taken off again" : "; they could not be taken off again");
    } else if (!closed) {
        error = file.string() + ": " + std::strerror(errno);
    } else {
        return true;
    }
    return false;
}

}  // namespace tolvan::cli
