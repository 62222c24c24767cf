#pragma once

#include <QJsonObject>
#include <optional>
#include <string>
#include <vector>

namespace tolvan::cli {

// What is known of one device's run, from its events: the line a terminal shows for it and
// its row of a bench's summary. Times are seconds on the caller's clock.
class DeviceProgress {
  public:
    DeviceProgress(std::string port, double startedAt) : port_(std::move(port)), started_(startedAt) {}

    void apply(const QJsonObject& event, double now);

    const std::string& port() const { return port_; }
    bool ended() const { return end_.has_value(); }
    const std::string& result() const;
    int code() const;
    // From the start to the end (or now), seconds.
    double seconds(double now) const;
    // Sectors transferred, every image of every operation counted.
    int sectors() const { return sectorsBefore_ + n_; }
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
    std::optional<double> imageAt_;
    std::string operation_, image_, file_;
    int n_ = 0, total_ = 0;
    int sectorsBefore_ = 0;  // of the images before the current one
    std::optional<End> end_;
    double endedAt_ = 0;
};

// Human forms of figures: "640 B/s", "1.9 kB/s"; "0:44", "1:02:03".
std::string rateText(double bytesPerSecond);
std::string durationText(double seconds);

}  // namespace tolvan::cli
