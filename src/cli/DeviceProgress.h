#pragma once

#include <QJsonObject>
#include <algorithm>
#include <optional>
#include <string>
#include <vector>

namespace tolvan::cli {

// What is known of one device's run, from its events: the line a terminal shows for it and
// its row of a bench's summary. Times are seconds on the caller's clock.
class DeviceProgress {
  public:
    DeviceProgress(std::string port, double startedAt)
        : port_(std::move(port)), started_(startedAt) {}

    // The run starts now (a bench's child once it is started).
    void begin(double now) { started_ = now; }
    void apply(const QJsonObject& event, double now);

    const std::string& port() const { return port_; }
    bool ended() const { return end_.has_value(); }
    const std::string& result() const;
    int code() const;
    // From the start to the end (or now), seconds.
    double seconds(double now) const;
    // Sectors transferred, every image of every operation counted.
    int sectors() const { return done_ + std::max(n_ - 1, 0); }
    // Bytes of those sectors over the time from the connection to the end (or now).
    double bytesPerSecond(double now) const;

    // "COM2  program main BANCADA.BIN  sector 12/40  640 B/s  ETA 0:44"
    std::string line(double now) const;

  private:
    struct End {
        std::string result;
        std::string outcome;  // for an error: which
        int code = 0;
    };
    std::string port_;
    double started_;
    std::optional<double> connectedAt_;
    std::string operation_, image_, file_;
    // The status line's sector: n of total is under way (the first event of an image is 2).
    int n_ = 0, total_ = 0;
    // The image's first sector event, for its rate: when, and its n.
    std::optional<double> firstSectorAt_;
    int firstSector_ = 0;
    bool imageStarted_ = false;
    int done_ = 0;  // sectors of the images finished
    std::optional<End> end_;
    double endedAt_ = 0;
};

// Human forms of figures: "640 B/s", "1.9 kB/s"; "0:44", "1:02:03".
std::string rateText(double bytesPerSecond);
std::string durationText(double seconds);

}  // namespace tolvan::cli
