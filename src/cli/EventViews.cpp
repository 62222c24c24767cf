#include <cstdio>
#include <string>

#include "cli/Console.h"
#include "cli/EventView.h"
#include "cli/Events.h"

namespace tolvan::cli {

namespace {

void write(std::FILE* f, const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), f);
    std::fflush(f);
}

// "<title>: <text>", after "<port>: " when several devices share the output.
std::string messageLine(const QJsonObject& e, const DeviceProgress& device, bool namePort) {
    const std::string head = namePort ? device.port() + ": " : "";
    if (events::text(e, "event") == "answer")
        return head + "  (answered: " + events::text(e, "answer") + ")\n";
    return head + events::text(e, "title") + ": " + terminalText(events::text(e, "text")) + "\n";
}

bool isMessage(const QJsonObject& e) {
    const std::string kind = events::text(e, "event");
    return kind == "message" || kind == "answer";
}

class JsonView : public EventView {
  public:
    void show(const QJsonObject& e, const DeviceProgress&, double) override {
        const QByteArray line = events::toLine(e);
        std::fwrite(line.constData(), 1, static_cast<std::size_t>(line.size()), stdout);
        std::fflush(stdout);
    }
};

// Plain lines on standard output for the connection, each image and the end; the messages on
// standard error.
class PlainView : public EventView {
  public:
    explicit PlainView(bool namePort) : namePort_(namePort) {}
    void show(const QJsonObject& e, const DeviceProgress& device, double now) override {
        if (isMessage(e)) {
            write(stderr, messageLine(e, device, namePort_));
            return;
        }
        const std::string kind = events::text(e, "event");
        const std::string port = device.port() + ": ";
        if (kind == "connected") {
            write(stdout, port + "connected\n");
        } else if (kind == "image") {
            write(stdout, port + events::text(e, "operation") + " " + events::text(e, "image") +
                              " " + events::text(e, "file") + " (" +
                              std::to_string(e.value("sectors").toInt()) + " sectors)\n");
        } else if (kind == "end") {
            write(stdout, device.line(now) + "\n");
        }
    }

  private:
    bool namePort_;
};

// One line per device on standard error, rewritten in place; messages go above them.
// Cuts a UTF-8 line to at most `bytes` bytes without leaving half a character.
void cut(std::string& line, std::size_t bytes) {
    line.resize(bytes);
    std::size_t i = line.size();
    while (i > 0 && (static_cast<unsigned char>(line[i - 1]) & 0xC0) == 0x80)
        --i;
    if (i > 0 && static_cast<unsigned char>(line[i - 1]) >= 0xC0) line.resize(i - 1);
}

class LiveView : public EventView {
  public:
    explicit LiveView(const std::vector<DeviceProgress>& board) : board_(board) {}
    void show(const QJsonObject& e, const DeviceProgress& device, double now) override {
        if (isMessage(e)) {
            interrupt();
            write(stderr, messageLine(e, device, board_.size() > 1));
        }
        draw(now);
    }
    void interrupt() override {
        if (drawn_ == 0) return;
        write(stderr, "\033[" + std::to_string(drawn_) + "A\r\033[J");
        drawn_ = 0;
    }
    void finish(double now) override { draw(now); }

  private:
    void draw(double now) {
        std::string out;
        if (drawn_ > 0) out += "\033[" + std::to_string(drawn_) + "A";
        const std::size_t width = terminalColumns();
        for (const DeviceProgress& d : board_) {
            std::string line = d.line(now);
            // A line that wrapped would throw off the count of lines to go back up.
            if (line.size() >= width) cut(line, width - 1);
            out += "\r" + line + "\033[K\n";
        }
        write(stderr, out);
        drawn_ = static_cast<int>(board_.size());
    }

    const std::vector<DeviceProgress>& board_;
    int drawn_ = 0;
};

}  // namespace

std::string terminalText(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r') {
            out += text[i];
        } else if (i + 1 >= text.size() || text[i + 1] != '\n') {
            out += '\n';
        }
    }
    return out;
}

std::unique_ptr<EventView> makeView(bool json, bool live,
                                    const std::vector<DeviceProgress>& board) {
    if (json) return std::make_unique<JsonView>();
    if (live && errorsOnLiveTerminal()) return std::make_unique<LiveView>(board);
    return std::make_unique<PlainView>(board.size() > 1);
}

}  // namespace tolvan::cli
