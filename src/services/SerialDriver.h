#pragma once

#include <string>
#include <string_view>

namespace tolvan {

// What the operating system offers for one serial device, opened by its path. The program's
// serial layer (link/SerialPort) sits on top and adds port numbers, tracing and logging.
class SerialDriver {
  public:
    class Listener {
      public:
        virtual ~Listener() = default;
        // Received bytes are waiting; delivered on the user-interface thread.
        virtual void bytesArrived() = 0;
        // The line is gone (device unplugged, other end of a pseudo-terminal closed): nothing
        // more arrives and writes are dropped until the device is closed and opened again.
        virtual void lineLost(const std::string& reason) { (void)reason; }
    };

    enum class Availability { Free, InUse, Missing };

    virtual ~SerialDriver() = default;
    // Opens the device at 19200 baud, 8N1, no flow control, DTR and RTS raised (a device that
    // refuses DTR/RTS, such as a pseudo-terminal, still opens). On failure returns false and
    // says why in `error`.
    virtual bool open(const std::string& devicePath, std::string& error) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // Queues the bytes for sending and returns at once; false when they cannot all be taken.
    virtual bool write(std::string_view bytes) = 0;
    // The open device's line is gone (see Listener::lineLost); writes are refused meanwhile.
    virtual bool lineIsLost() const { return false; }
    // Removes and returns every received byte waiting.
    virtual std::string takeReceived() = 0;
    virtual void setListener(Listener* listener) = 0;
    // Whether a device could be opened now, is held by another program, or is not there.
    virtual Availability probe(const std::string& devicePath) = 0;
};

}  // namespace tolvan
