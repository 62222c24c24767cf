#pragma once

#include <QJsonObject>
#include <memory>
#include <vector>

#include "cli/DeviceProgress.h"

namespace tolvan::cli {

// Where the events of the runs are shown: JSON lines, live terminal lines or plain lines.
class EventView {
  public:
    virtual ~EventView() = default;
    // An event of `device`, already applied to it.
    virtual void show(const QJsonObject& event, const DeviceProgress& device, double now) = 0;
    // Something else is about to be written on the terminal (a question, an error).
    virtual void interrupt() {}
    // Every run has ended.
    virtual void finish(double /*now*/) {}
};

// The view the options ask for: JSON on standard output; else, when `live` and standard error
// is a terminal, live lines there; else plain lines. `board` holds every device shown, in
// order; with more than one, messages name their port.
std::unique_ptr<EventView> makeView(bool json, bool live, const std::vector<DeviceProgress>& board);

// A message's text as the terminal shows it: each carriage return (or CR LF) a line break.
std::string terminalText(const std::string& text);

}  // namespace tolvan::cli
