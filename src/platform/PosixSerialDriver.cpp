#include "platform/PosixSerialDriver.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tolvan {

namespace {

std::string errorText(int error) {
    return std::strerror(error);
}

int openDevice(const std::string& path) {
    return ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
}

// Whether another program has taken the tty for itself (TIOCEXCL, as terminal programs do):
// the kernel keeps out everybody else but root, who is let through and must ask.
bool takenByAnother(int fd) {
    int exclusive = 0;
    return ::ioctl(fd, TIOCGEXCL, &exclusive) == 0 && exclusive != 0;
}

// Raw 8N1 at 19200 baud, receiver on, modem lines ignored, no hardware or XON/XOFF flow control.
bool setLine(int fd) {
    termios tio{};
    if (::tcgetattr(fd, &tio) != 0) return false;
    ::cfmakeraw(&tio);
    tio.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS);
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    tio.c_iflag &= ~(IXON | IXOFF | IXANY);
    tio.c_cc[VMIN] = 1;  // with O_NONBLOCK: EAGAIN when nothing waits, 0 only at hang-up
    tio.c_cc[VTIME] = 0;
    if (::cfsetispeed(&tio, B19200) != 0 || ::cfsetospeed(&tio, B19200) != 0) return false;
    return ::tcsetattr(fd, TCSANOW, &tio) == 0;
}

}  // namespace

PosixSerialDriver::PosixSerialDriver() : DescriptorSerialDriver(kOutSize) {}

PosixSerialDriver::~PosixSerialDriver() {
    close();
}

bool PosixSerialDriver::open(const std::string& devicePath, std::string& error) {
    close();
    const int fd = openDevice(devicePath);
    if (fd < 0) {
        error = errno == EBUSY ? "in use by another program" : errorText(errno);
        return false;
    }
    const auto fail = [&](std::string why) {
        ::close(fd);
        error = std::move(why);
        return false;
    };
    if (!::isatty(fd)) return fail("not a serial device");
    // The lock keeps out every program that locks too (and a second opening of our own); the
    // exclusive mode keeps out the others, root excepted.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        return fail(errno == EWOULDBLOCK ? "in use by another program" : errorText(errno));
    }
    if (takenByAnother(fd)) return fail("in use by another program");
    ::ioctl(fd, TIOCEXCL);
    if (!setLine(fd)) return fail(errorText(errno));
    // A pseudo-terminal has no modem lines and says so with EINVAL or ENOTTY.
    int lines = TIOCM_DTR | TIOCM_RTS;
    if (::ioctl(fd, TIOCMBIS, &lines) != 0 && errno != EINVAL && errno != ENOTTY) {
        return fail(errorText(errno));
    }
    // Whatever waited on the line before this opening (answers to a run abandoned before a
    // reopen) belongs to nobody now.
    ::tcflush(fd, TCIOFLUSH);

    device_ = devicePath;
    watch(fd);
    return true;
}

void PosixSerialDriver::close() {
    if (fd() < 0) return;
    stopWatching();
    // What is still queued gets one last chance.
    if (!lineIsLost()) lastSend();
    ::ioctl(static_cast<int>(fd()), TIOCNXCL);
    ::close(static_cast<int>(fd()));  // releases the lock
    device_.clear();
    forget();
}

bool PosixSerialDriver::write(std::string_view bytes) {
    if (fd() < 0 || lineIsLost()) return false;
    return hold(bytes);
}

// What read(2) or write(2) came to; a tty that takes or gives nothing at all is over.
DescriptorSerialDriver::Io PosixSerialDriver::readSome(char* data, std::size_t size) {
    ssize_t n;
    while ((n = ::read(static_cast<int>(fd()), data, size)) < 0 && errno == EINTR) {
    }
    if (n > 0) return {Io::State::Moved, static_cast<std::size_t>(n)};
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return {Io::State::Again};
    return {Io::State::Ended, 0, n == 0 ? 0 : errno};
}

DescriptorSerialDriver::Io PosixSerialDriver::writeSome(const char* data, std::size_t size) {
    ssize_t n;
    while ((n = ::write(static_cast<int>(fd()), data, size)) < 0 && errno == EINTR) {
    }
    if (n > 0) return {Io::State::Moved, static_cast<std::size_t>(n)};
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return {Io::State::Again};
    return {Io::State::Ended, 0, n == 0 ? EIO : errno};
}

// What a local line's loss most often is.
constexpr const char* kUnplugged = " (the adapter unplugged?)";

// 0: the tty was hung up; EIO: the other end of a pseudo-terminal closed or the device went
// away.
std::string PosixSerialDriver::readEnded(int error) const {
    return (error == 0 ? std::string("hang-up") : errorText(error)) + kUnplugged;
}

std::string PosixSerialDriver::sendFailed(int error) const {
    return errorText(error) + kUnplugged;
}

SerialDriver::Availability PosixSerialDriver::probe(const std::string& devicePath) {
    if (fd() >= 0 && devicePath == device_) return Availability::InUse;
    const int fd = openDevice(devicePath);
    if (fd < 0) return errno == EBUSY ? Availability::InUse : Availability::Missing;
    Availability result = Availability::Free;
    if (!::isatty(fd)) {
        result = Availability::Missing;
    } else if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || takenByAnother(fd)) {
        result = Availability::InUse;
    }
    ::close(fd);
    return result;
}

}  // namespace tolvan
