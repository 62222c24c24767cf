#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

#include "services/SerialDriver.h"

namespace tolvan {

class Clock;
class Dialogs;
class PortRegistry;
class SerialTrace;

// A failure of the serial layer (opening, sending, reading). Its text is the layer's own and is
// never shown to the operator by the program's loops.
class SerialError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The serial port component ComPort: a port chosen by number, opened on the device that the
// port list maps that number to, with the line settings fixed (19200 baud, 8N1, no flow control,
// DTR and RTS raised). Keeps a trace of the characters and a log of its own events from the
// first opening and writes them on the first close of the open port.
class SerialPort : private SerialDriver::Listener {
  public:
    SerialPort(SerialDriver& driver, PortRegistry& registry, Dialogs& dialogs, Clock& clock);
    ~SerialPort() override;
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    int comNumber() const { return comNumber_; }
    void setComNumber(int number);
    bool isOpen() const;
    // Open(true): opens port comNumber(); throws SerialError when that fails. Port number 0 asks
    // the operator with the "Select Port" dialog first. Open(false): closes the port if open.
    void setOpen(bool open);
    // Queues every byte for sending, in order; a closed port is opened first.
    void sendString(std::string_view bytes);
    // Removes and returns the oldest received byte; throws SerialError when none is waiting.
    std::uint8_t readChar();
    std::size_t waiting() const { return received_.size(); }

    // The data-available event, with the number of received bytes waiting.
    std::function<void(std::uint16_t count)> onTriggerAvail;

    // Where the trace and the log go (default "APD.TRC" and "APD.LOG" in the current directory).
    void setTraceFiles(std::string traceName, std::string logName);
    const SerialTrace& trace() const { return *trace_; }

  private:
    void bytesArrived() override;
    void openNow();
    void closeNow();

    SerialDriver& driver_;
    PortRegistry& registry_;
    Dialogs& dialogs_;
    Clock& clock_;
    int comNumber_ = 2;
    std::deque<std::uint8_t> received_;
    std::unique_ptr<SerialTrace> trace_;
};

}  // namespace tolvan
