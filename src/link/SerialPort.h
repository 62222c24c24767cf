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
    static constexpr std::size_t kInSize = 4096;  // received bytes that can wait
    static constexpr int kHighestPromptedPort = 50;

    SerialPort(SerialDriver& driver, PortRegistry& registry, Dialogs& dialogs, Clock& clock);
    // Closes the port if open (writing the trace and the log on the first close).
    ~SerialPort() override;
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    // ComNumber, 16 bits (a larger number keeps its low 16 bits). Takes effect at the next
    // opening.
    int comNumber() const { return comNumber_; }
    void setComNumber(int number);
    bool isOpen() const;
    // Open(true): opens port comNumber() on the device the port list maps "COMn" to; throws
    // SerialError when that fails (no mapping, device missing or held by another program). Port
    // number 0 asks the operator with the "Select Port" dialog first; Cancel is a failure. Does
    // nothing on an open port. Open(false): closes the port if open.
    void setOpen(bool open);
    // Queues every byte for sending, in order, and returns at once; a closed port is opened
    // first. Throws SerialError when the output buffer cannot take the whole string. On a line
    // that is gone the bytes are dropped (and logged): the caller's own time-out ends the work.
    void sendString(std::string_view bytes);
    // Removes and returns the oldest received byte; throws SerialError when none is waiting.
    std::uint8_t readChar();
    std::size_t waiting() const { return received_.size(); }

    // The data-available event, with the number of received bytes waiting. Raised once for
    // each arrival; a handler that opens a modal dialog may see further arrivals raised inside
    // that dialog's event loop.
    std::function<void(std::uint16_t count)> onTriggerAvail;
    // The device went away under the open port (an adapter pulled out, the other end of a
    // pseudo-terminal closed). Raised on the user-interface thread, possibly from inside a
    // write: a handler that ends what is under way must do so later, from the event loop.
    std::function<void()> onLineLost;
    // The open port's device is gone: nothing arrives and writes are dropped until the port is
    // closed and opened again (which finds an adapter back under the same name).
    bool lineLost() const { return driver_.lineIsLost(); }
    // Why the line was lost, in the driver's words ("hang-up (the adapter unplugged?)", "the
    // server closed the connection").
    const std::string& lossReason() const { return lossReason_; }

    // Where the trace and the log go (default "APD.TRC" and "APD.LOG" in the current directory);
    // empty names: nothing is traced, logged or written.
    void setTraceFiles(std::string traceName, std::string logName);
    const SerialTrace& trace() const { return *trace_; }
    // The trace or the log could not be written as the port closed: which file, and why.
    std::function<void(const std::string& why)> onTraceNotWritten;

  private:
    void bytesArrived() override;
    void lineLost(const std::string& reason) override;
    void openNow();
    void closeNow();
    // Port 0: the operator's choice from the "Select Port" dialog; throws on Cancel.
    int promptForPort();
    // The device mapped to "COMn", or empty.
    std::string deviceFor(int number);
    std::int64_t now() const;

    SerialDriver& driver_;
    PortRegistry& registry_;
    Dialogs& dialogs_;
    Clock& clock_;
    std::uint16_t comNumber_ = 2;
    bool opening_ = false;
    std::string traceName_ = "APD.TRC";
    std::string logName_ = "APD.LOG";
    std::deque<std::uint8_t> received_;
    std::unique_ptr<SerialTrace> trace_;
    std::string lossReason_;
};

}  // namespace tolvan
