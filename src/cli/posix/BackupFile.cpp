#include "cli/BackupFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tolvan::cli {

namespace fs = std::filesystem;

bool writeWhole(const fs::path& file, const std::vector<std::uint8_t>& bytes, std::string& error) {
    const fs::path part = file.parent_path() /
                          ("." + file.filename().string() + ".part-" + std::to_string(::getpid()));
    const int fd = ::open(part.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = part.string() + ": " + std::strerror(errno);
        return false;
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    const bool whole = done == bytes.size() && ::fsync(fd) == 0;
    const int saved = errno;
    const bool closed = ::close(fd) == 0;
    if (!whole || !closed || ::rename(part.c_str(), file.c_str()) != 0) {
        error = file.string() + ": " + std::strerror(whole && closed ? errno : saved);
        ::unlink(part.c_str());
        return false;
    }
    return true;
}

}  // namespace tolvan::cli
