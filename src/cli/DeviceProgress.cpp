#include "cli/DeviceProgress.h"

#include <cmath>
#include <cstdio>

#include "cli/Events.h"

namespace tolvan::cli {

namespace {

constexpr int kBytesPerSector = 256;

std::string format(const char* pattern, auto... values) {
    char text[256];
    std::snprintf(text, sizeof text, pattern, values...);
    return text;
}

}  // namespace

std::string rateText(double bytesPerSecond) {
    if (!(bytesPerSecond > 0)) return "- B/s";
    if (bytesPerSecond < 1000) return format("%.0f B/s", bytesPerSecond);
    return format("%.1f kB/s", bytesPerSecond / 1000);
}

std::string durationText(double seconds) {
    const long s = std::lround(std::max(0.0, seconds));
    if (s >= 3600) return format("%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
    return format("%ld:%02ld", s / 60, s % 60);
}

void DeviceProgress::apply(const QJsonObject& e, double now) {
    if (end_) return;
    const std::string kind = events::text(e, "event");
    if (kind == "connected") {
        connectedAt_ = now;
    } else if (kind == "image") {
        // The image before has been transferred whole.
        done_ += total_;
        n_ = 0;
        total_ = e.value("sectors").toInt();
        operation_ = events::text(e, "operation");
        image_ = events::text(e, "image");
        file_ = events::text(e, "file");
        firstSectorAt_.reset();
        imageStarted_ = true;
    } else if (kind == "sector") {
        n_ = e.value("n").toInt();
        total_ = e.value("total").toInt();
        if (!firstSectorAt_) {
            firstSectorAt_ = now;
            firstSector_ = n_;
        }
    } else if (kind == "end") {
        end_ = End{events::text(e, "result"), events::text(e, "outcome"), e.value("code").toInt()};
        endedAt_ = now;
        const bool whole = end_->result == "verified" || end_->result == "programmed";
        done_ += whole ? total_ : std::max(n_ - 1, 0);
        n_ = total_ = 0;
    }
}

const std::string& DeviceProgress::result() const {
    static const std::string running = "running";
    return end_ ? end_->result : running;
}

int DeviceProgress::code() const {
    return end_ ? end_->code : -1;
}

double DeviceProgress::seconds(double now) const {
    return (end_ ? endedAt_ : now) - started_;
}

double DeviceProgress::bytesPerSecond(double now) const {
    if (!connectedAt_) return 0;
    const double elapsed = (end_ ? endedAt_ : now) - *connectedAt_;
    return elapsed > 0 ? sectors() * double(kBytesPerSector) / elapsed : 0;
}

std::string DeviceProgress::line(double now) const {
    if (end_) {
        const std::string result = end_->result == "error" && !end_->outcome.empty()
                                       ? "error: " + end_->outcome
                                       : end_->result;
        return format("%s  %s (exit %d)  %s  %d sectors  %s", port_.c_str(), result.c_str(),
                      end_->code, durationText(seconds(now)).c_str(), sectors(),
                      rateText(bytesPerSecond(now)).c_str());
    }
    if (!connectedAt_) return port_ + "  connecting ...";
    if (!imageStarted_) return port_ + "  connected";
    std::string l = format("%s  %s %s %s  sector %d/%d", port_.c_str(), operation_.c_str(),
                           image_.c_str(), file_.c_str(), std::max(n_, 1), total_);
    // From the image's first sector event on, past its set-up steps.
    const double elapsed = firstSectorAt_ ? now - *firstSectorAt_ : 0;
    if (n_ > firstSector_ && elapsed > 0) {
        const double rate = (n_ - firstSector_) * double(kBytesPerSector) / elapsed;
        l += "  " + rateText(rate) + "  ETA " +
             durationText((total_ - n_ + 1) * double(kBytesPerSector) / rate);
    }
    return l;
}

}  // namespace tolvan::cli
