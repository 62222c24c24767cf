#include "platform/win32/Win32SerialDriver.h"

#include <windows.h>

#include <QWinEventNotifier>
#include <algorithm>
#include <cwctype>

#include "platform/HeldOutput.h"
#include "platform/win32/SystemText.h"

namespace tolvan {

namespace {

constexpr const char* kHeld = "held by another program";
// Received bytes kept for the listener; more would only pile up while nobody takes them.
constexpr std::size_t kInLimit = 64 * 1024;
constexpr DWORD kReadSize = 4096;
// A read ends this long after the last byte that came (about four bytes' time at 19200 baud);
// with no total time-out a silent line keeps the read waiting and wakes nobody.
constexpr DWORD kByteGapMs = 2;

std::wstring wide(const std::string& text) {
    const int n =
        ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
    return out;
}

// "COM12" as the system opens it; a path given whole ("\\.\COM3") is taken as it is.
std::wstring portPath(const std::string& device) {
    if (device.rfind("\\\\", 0) == 0) return wide(device);
    return L"\\\\.\\" + wide(device);
}

// Wine lets a second handle open a COM port that one holds already; this name, held while the
// port is open, keeps two openings of this program apart there as Windows itself does.
std::wstring claimName(const std::string& device) {
    std::wstring name = portPath(device);
    std::transform(name.begin(), name.end(), name.begin(),
                   [](wchar_t c) { return static_cast<wchar_t>(std::towupper(c)); });
    std::replace(name.begin(), name.end(), L'\\', L'/');
    return L"Global\\TolvanLink.serial." + name;
}

bool heldError(DWORD error) {
    return error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION;
}

HANDLE openPort(const std::string& device) {
    return ::CreateFileW(portPath(device).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                         OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
}

bool setLine(HANDLE port) {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!::GetCommState(port, &dcb)) return false;
    dcb.BaudRate = CBR_19200;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fBinary = TRUE;
    dcb.fParity = FALSE;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fTXContinueOnXoff = TRUE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    dcb.fAbortOnError = FALSE;
    if (!::SetCommState(port, &dcb)) return false;
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = kByteGapMs;
    return ::SetCommTimeouts(port, &timeouts) != 0;
}

}  // namespace

// One overlapped operation: its OVERLAPPED, its event, the notifier that wakes the loop when
// it ends, and the bytes it reads into or writes from, which must outlive it.
struct Win32SerialDriver::Operation {
    OVERLAPPED overlapped{};
    QWinEventNotifier notifier;
    std::string bytes;
    bool pending = false;

    Operation() {
        overlapped.hEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
        notifier.setHandle(overlapped.hEvent);
    }
    ~Operation() { ::CloseHandle(overlapped.hEvent); }
    // Before the next operation: its end must not look like this one's.
    void arm() {
        ::ResetEvent(overlapped.hEvent);
        notifier.setEnabled(true);
    }
    void disarm() {
        notifier.setEnabled(false);
        ::ResetEvent(overlapped.hEvent);
    }
};

Win32SerialDriver::Win32SerialDriver()
    : port_(INVALID_HANDLE_VALUE),
      read_(std::make_unique<Operation>()),
      write_(std::make_unique<Operation>()),
      burstEnd_(std::make_unique<heldoutput::BurstEnd>([this] { onBurstEnd(); })) {
    read_->notifier.setEnabled(false);
    write_->notifier.setEnabled(false);
    QObject::connect(&read_->notifier, &QWinEventNotifier::activated, &read_->notifier,
                     [this] { onReadDone(); });
    QObject::connect(&write_->notifier, &QWinEventNotifier::activated, &write_->notifier,
                     [this] { onWriteDone(); });
}

Win32SerialDriver::~Win32SerialDriver() {
    close();
}

bool Win32SerialDriver::isOpen() const {
    return port_ != INVALID_HANDLE_VALUE;
}

bool Win32SerialDriver::open(const std::string& devicePath, std::string& error) {
    close();
    HANDLE claim = ::CreateMutexW(nullptr, FALSE, claimName(devicePath).c_str());
    if (claim && ::GetLastError() == ERROR_ALREADY_EXISTS) {
        ::CloseHandle(claim);
        error = kHeld;
        return false;
    }
    HANDLE port = openPort(devicePath);
    if (port == INVALID_HANDLE_VALUE) {
        const DWORD why = ::GetLastError();
        if (claim) ::CloseHandle(claim);
        error = heldError(why) ? kHeld : systemText(why);
        return false;
    }
    const auto fail = [&](std::string why) {
        ::CloseHandle(port);
        if (claim) ::CloseHandle(claim);
        error = std::move(why);
        return false;
    };
    if (::GetFileType(port) != FILE_TYPE_CHAR) return fail("not a serial device");
    if (!setLine(port)) return fail(systemText(::GetLastError()));
    // Whatever waited on the line before this opening belongs to nobody now.
    ::PurgeComm(port, PURGE_RXCLEAR | PURGE_TXCLEAR);

    port_ = port;
    claim_ = claim;
    device_ = devicePath;
    lost_ = false;
    in_.clear();
    out_.clear();
    ++openings_;
    startRead();
    return true;
}

void Win32SerialDriver::close() {
    if (!isOpen()) return;
    // What is still queued gets its chance, within the time the line takes to carry it.
    if (!lost_ && !write_->pending && !out_.empty()) startWrite();
    settle(false);
    settle(true);
    ::CloseHandle(port_);
    if (claim_) ::CloseHandle(claim_);
    port_ = INVALID_HANDLE_VALUE;
    claim_ = nullptr;
    device_.clear();
    lost_ = false;
    in_.clear();
    out_.clear();
    write_->bytes.clear();
}

void Win32SerialDriver::settle(bool cancel) {
    if (!cancel && write_->pending && !lost_) {
        // 10 bits a byte at 19200 baud, and a little more; a gone adapter gets no wait.
        const auto ms = static_cast<DWORD>(write_->bytes.size() * 10 * 1000 / 19200 + 100);
        ::WaitForSingleObject(write_->overlapped.hEvent, ms);
        return;
    }
    for (Operation* op : {read_.get(), write_.get()}) {
        if (op->pending) {
            ::CancelIoEx(port_, &op->overlapped);
            DWORD n = 0;
            ::GetOverlappedResult(port_, &op->overlapped, &n, TRUE);
            op->pending = false;
        }
        op->disarm();
    }
}

bool Win32SerialDriver::write(std::string_view bytes) {
    if (!isOpen() || lost_) return false;
    if (out_.size() + write_->bytes.size() + bytes.size() > kOutSize) return false;
    out_ += bytes;
    burstEnd_->wrote();
    return true;
}

std::string Win32SerialDriver::takeReceived() {
    std::string bytes;
    bytes.swap(in_);
    return bytes;
}

void Win32SerialDriver::startRead() {
    read_->bytes.resize(kReadSize);
    read_->arm();
    if (!::ReadFile(port_, read_->bytes.data(), kReadSize, nullptr, &read_->overlapped) &&
        ::GetLastError() != ERROR_IO_PENDING) {
        read_->disarm();
        loseLine(::GetLastError());
        return;
    }
    // Done at once or later, the event tells.
    read_->pending = true;
}

void Win32SerialDriver::onReadDone() {
    ++readWakeups_;
    if (!read_->pending) {
        read_->disarm();
        return;
    }
    read_->pending = false;
    read_->disarm();
    DWORD n = 0;
    DWORD failure = ERROR_SUCCESS;
    if (!::GetOverlappedResult(port_, &read_->overlapped, &n, FALSE)) {
        failure = ::GetLastError();
    } else if (n > 0) {
        const std::size_t room = kInLimit - std::min(kInLimit, in_.size());
        in_.append(read_->bytes, 0, std::min<std::size_t>(room, n));
    } else {
        // Nothing came: silence, unless the port can no longer say how it is.
        DWORD errors = 0;
        COMSTAT status{};
        if (!::ClearCommError(port_, &errors, &status)) failure = ::GetLastError();
    }
    const std::uint64_t opening = openings_;
    if (!in_.empty() && listener_) listener_->bytesArrived();
    // Unless the listener closed the port meanwhile.
    if (openings_ != opening || !isOpen()) return;
    if (failure != ERROR_SUCCESS) {
        loseLine(failure);
    } else {
        startRead();
    }
}

void Win32SerialDriver::onBurstEnd() {
    if (isOpen() && !lost_ && !write_->pending && !out_.empty()) startWrite();
}

void Win32SerialDriver::startWrite() {
    write_->bytes += out_;
    out_.clear();
    write_->arm();
    ++deviceWrites_;
    if (!::WriteFile(port_, write_->bytes.data(), static_cast<DWORD>(write_->bytes.size()), nullptr,
                     &write_->overlapped) &&
        ::GetLastError() != ERROR_IO_PENDING) {
        write_->disarm();
        loseLine(::GetLastError());
        return;
    }
    write_->pending = true;
}

void Win32SerialDriver::onWriteDone() {
    if (!write_->pending) {
        write_->disarm();
        return;
    }
    write_->pending = false;
    write_->disarm();
    DWORD n = 0;
    if (!::GetOverlappedResult(port_, &write_->overlapped, &n, FALSE)) {
        loseLine(::GetLastError());
        return;
    }
    write_->bytes.erase(0, std::min<std::size_t>(n, write_->bytes.size()));
    // What a later burst queued meanwhile, and what the port did not take, go on together.
    if (!lost_ && (!write_->bytes.empty() || !out_.empty())) startWrite();
}

void Win32SerialDriver::loseLine(unsigned long error) {
    if (lost_ || !isOpen()) return;
    lost_ = true;
    out_.clear();
    if (listener_) listener_->lineLost(systemText(error));
}

SerialDriver::Availability Win32SerialDriver::probe(const std::string& devicePath) {
    if (isOpen() && devicePath == device_) return Availability::InUse;
    if (HANDLE claim = ::OpenMutexW(SYNCHRONIZE, FALSE, claimName(devicePath).c_str())) {
        ::CloseHandle(claim);
        return Availability::InUse;
    }
    HANDLE port = openPort(devicePath);
    if (port == INVALID_HANDLE_VALUE)
        return heldError(::GetLastError()) ? Availability::InUse : Availability::Missing;
    const bool serial = ::GetFileType(port) == FILE_TYPE_CHAR;
    ::CloseHandle(port);
    return serial ? Availability::Free : Availability::Missing;
}

}  // namespace tolvan
