#include "platform/PosixSerialDriver.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/HeldOutput.h"

namespace tolvan {

namespace {

// Received bytes kept for the listener; more would only pile up while nobody takes them.
constexpr std::size_t kInLimit = 64 * 1024;

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

PosixSerialDriver::PosixSerialDriver() = default;

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

    fd_ = fd;
    ++openings_;
    device_ = devicePath;
    lost_ = false;
    in_.clear();
    out_.clear();
    if (!readNotifier_) {
        readNotifier_ = std::make_unique<QSocketNotifier>(QSocketNotifier::Read);
        QObject::connect(readNotifier_.get(), &QSocketNotifier::activated, readNotifier_.get(),
                         [this] { onReadable(); });
        writeNotifier_ = std::make_unique<QSocketNotifier>(QSocketNotifier::Write);
        QObject::connect(writeNotifier_.get(), &QSocketNotifier::activated, writeNotifier_.get(),
                         [this] { onWritable(); });
        burstEnd_ = std::make_unique<heldoutput::BurstEnd>([this] { onBurstEnd(); });
    }
    readNotifier_->setSocket(fd_);  // leaves the notifier disabled
    writeNotifier_->setSocket(fd_);
    readNotifier_->setEnabled(true);
    return true;
}

void PosixSerialDriver::close() {
    if (fd_ < 0) return;
    readNotifier_->setEnabled(false);
    writeNotifier_->setEnabled(false);
    // What is still queued gets one last chance; closing must not wait on the line.
    if (!lost_ && !out_.empty()) {
        ++deviceWrites_;
        const ssize_t sent = ::write(fd_, out_.data(), out_.size());
        (void)sent;
    }
    ::ioctl(fd_, TIOCNXCL);
    ::close(fd_);  // releases the lock
    fd_ = -1;
    device_.clear();
    lost_ = false;
    in_.clear();
    out_.clear();
}

bool PosixSerialDriver::write(std::string_view bytes) {
    if (fd_ < 0 || lost_) return false;
    if (out_.size() + bytes.size() > kOutSize) return false;
    out_.append(bytes);
    burstEnd_->wrote();
    return true;
}

void PosixSerialDriver::onBurstEnd() {
    if (fd_ >= 0 && !lost_) flush();
}

std::string PosixSerialDriver::takeReceived() {
    std::string bytes;
    bytes.swap(in_);
    return bytes;
}

void PosixSerialDriver::flush() {
    while (!out_.empty()) {
        ++deviceWrites_;
        const ssize_t n = ::write(fd_, out_.data(), out_.size());
        if (n > 0) {
            out_.erase(0, static_cast<std::size_t>(n));
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            writeNotifier_->setEnabled(true);
            return;
        } else {
            loseLine(n < 0 ? errno : EIO);
            return;
        }
    }
    writeNotifier_->setEnabled(false);
}

void PosixSerialDriver::onWritable() {
    if (fd_ < 0 || lost_) return;
    flush();
}

void PosixSerialDriver::onReadable() {
    ++readWakeups_;
    if (fd_ < 0 || lost_) return;
    int lostWith = -1;
    char buf[1024];
    for (;;) {
        const ssize_t n = ::read(fd_, buf, sizeof buf);
        if (n > 0) {
            const std::size_t room = kInLimit - std::min(kInLimit, in_.size());
            in_.append(buf, std::min(room, static_cast<std::size_t>(n)));
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            break;
        } else {
            // 0: the tty was hung up; EIO: the other end of a pseudo-terminal closed or the
            // device went away. Either way the descriptor stays readable for ever.
            lostWith = n == 0 ? 0 : errno;
            break;
        }
    }
    // The bytes that came before the line went are still delivered, first.
    if (lostWith >= 0) {
        lost_ = true;
        readNotifier_->setEnabled(false);
        writeNotifier_->setEnabled(false);
    }
    const std::uint64_t opening = openings_;
    if (!in_.empty() && listener_) listener_->bytesArrived();
    // Unless the listener closed the device meanwhile.
    if (lostWith >= 0 && openings_ == opening && fd_ >= 0) {
        lost_ = false;  // loseLine tells the listener once
        loseLine(lostWith);
    }
}

void PosixSerialDriver::loseLine(int error) {
    if (lost_) return;
    lost_ = true;
    readNotifier_->setEnabled(false);
    writeNotifier_->setEnabled(false);
    out_.clear();
    if (listener_) listener_->lineLost(error == 0 ? "hang-up" : errorText(error));
}

SerialDriver::Availability PosixSerialDriver::probe(const std::string& devicePath) {
    if (fd_ >= 0 && devicePath == device_) return Availability::InUse;
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
