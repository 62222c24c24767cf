#include "link/SerialPort.h"

#include <algorithm>
#include <charconv>
#include <exception>

#include "link/PortName.h"
#include "link/SerialTrace.h"
#include "services/Clock.h"
#include "services/Dialogs.h"
#include "services/PathResolver.h"
#include "services/PortRegistry.h"

namespace tolvan {

SerialPort::SerialPort(SerialDriver& driver, PortRegistry& registry, Dialogs& dialogs, Clock& clock)
    : driver_(driver),
      registry_(registry),
      dialogs_(dialogs),
      clock_(clock),
      trace_(std::make_unique<SerialTrace>()) {
    driver_.setListener(this);
}

SerialPort::~SerialPort() {
    try {
        if (isOpen()) closeNow();
    } catch (const std::exception&) {
        // The program is ending; a failure to close or to write the trace changes nothing.
    }
    driver_.setListener(nullptr);
}

void SerialPort::setComNumber(int number) {
    comNumber_ = static_cast<std::uint16_t>(number);
}

bool SerialPort::isOpen() const {
    return driver_.isOpen();
}

std::int64_t SerialPort::now() const {
    return clock_.nowMs();
}

void SerialPort::setOpen(bool open) {
    if (open) {
        if (!isOpen()) openNow();
    } else if (isOpen()) {
        closeNow();
    }
}

void SerialPort::openNow() {
    // A timer tick inside the "Select Port" dialog may send, and so try to open, again.
    if (opening_) throw SerialError("the port is being opened");
    opening_ = true;
    struct Reset {
        bool& flag;
        ~Reset() { flag = false; }
    } reset{opening_};

    if (comNumber_ == 0) comNumber_ = static_cast<std::uint16_t>(promptForPort());
    const std::string name = nomeDaPorta(comNumber_);
    const std::string device = deviceFor(comNumber_);
    if (device.empty()) throw SerialError(name + " is not a serial port of this machine");
    std::string error;
    if (!driver_.open(device, error)) throw SerialError(name + " (" + device + "): " + error);

    received_.clear();
    if (!traceName_.empty()) trace_->start(now());
    trace_->log(now(), "Port", "Open", name, device);
}

void SerialPort::closeNow() {
    trace_->log(now(), "Port", "Close", nomeDaPorta(comNumber_));
    driver_.close();
    received_.clear();
    // The names are UTF-8 (a plain string would go through Windows' ANSI code page).
    const std::string failure = trace_->finish(pathFromUtf8(traceName_), pathFromUtf8(logName_));
    if (!failure.empty() && onTraceNotWritten) onTraceNotWritten(failure);
}

int SerialPort::promptForPort() {
    SelectPortRequest request;
    request.caption = "Select Port";
    request.line1 = "The configured serial port is not valid.";
    request.line2 = "Please choose another port.";
    for (int n = 1; n <= kHighestPromptedPort; ++n) {
        const std::string device = deviceFor(n);
        if (!device.empty() && driver_.probe(device) != SerialDriver::Availability::Missing) {
            request.choices.push_back(nomeDaPorta(n));
        }
    }
    const std::optional<std::string> choice = dialogs_.showSelectPort(request);
    if (!choice) throw SerialError("no port chosen");
    const int number = numeroDaPorta(*choice);
    if (number <= 0 || number > 0xFFFF) throw SerialError("no port chosen");
    return number;
}

std::string SerialPort::deviceFor(int number) {
    for (const SerialPortEntry& entry : registry_.ports()) {
        if (numeroDaPorta(entry.name) == number) return entry.device;
    }
    return {};
}

void SerialPort::sendString(std::string_view bytes) {
    if (!isOpen()) openNow();
    const std::string count = std::to_string(bytes.size());
    if (driver_.lineIsLost()) {
        trace_->log(now(), "Write", "Dropped", count, hexPreview(bytes));
        return;
    }
    if (!driver_.write(bytes)) {
        if (driver_.lineIsLost()) {
            trace_->log(now(), "Write", "Dropped", count, hexPreview(bytes));
            return;
        }
        trace_->log(now(), "Write", "Refused", count, hexPreview(bytes));
        throw SerialError("the output buffer cannot take " + count + " bytes");
    }
    trace_->transmit(bytes);
    trace_->log(now(), "Write", "Queued", count, hexPreview(bytes));
}

std::uint8_t SerialPort::readChar() {
    if (received_.empty()) throw SerialError("no received character is waiting");
    const std::uint8_t byte = received_.front();
    received_.pop_front();
    trace_->noteRead(now());
    return byte;
}

void SerialPort::setTraceFiles(std::string traceName, std::string logName) {
    traceName_ = std::move(traceName);
    logName_ = std::move(logName);
}

void SerialPort::bytesArrived() {
    const std::string bytes = driver_.takeReceived();
    if (!bytes.empty()) {
        // Bytes beyond the input buffer are lost, as on a line without flow control.
        const std::size_t room = kInSize - std::min(kInSize, received_.size());
        const std::size_t kept = std::min(room, bytes.size());
        received_.insert(received_.end(), bytes.begin(), bytes.begin() + kept);
        trace_->receive(std::string_view(bytes).substr(0, kept));
        trace_->log(now(), "Receive", "Data", std::to_string(kept),
                    hexPreview(bytes.substr(0, kept)));
        if (kept < bytes.size()) {
            trace_->log(now(), "Line", "Overrun", std::to_string(bytes.size() - kept));
        }
    }
    if (received_.empty() || !onTriggerAvail) return;
    const auto count = static_cast<std::uint16_t>(std::min<std::size_t>(received_.size(), 0xFFFF));
    trace_->log(now(), "Trigger", "Avail", std::to_string(count));
    // A copy: the handler may replace the port's handler while it runs.
    const auto handler = onTriggerAvail;
    handler(count);
}

void SerialPort::lineLost(const std::string& reason) {
    trace_->log(now(), "Line", "Lost", nomeDaPorta(comNumber_), reason);
    lossReason_ = reason;
    const auto handler = onLineLost;
    if (handler) handler();
}

}  // namespace tolvan
