#include "platform/DescriptorSerialDriver.h"

#include <QSocketNotifier>
#include <algorithm>

#include "platform/HeldOutput.h"

namespace tolvan {

namespace {

// Received bytes kept for the listener; more would only pile up while nobody takes them.
constexpr std::size_t kInLimit = 64 * 1024;

}  // namespace

DescriptorSerialDriver::DescriptorSerialDriver(std::size_t outSize) : outSize_(outSize) {}

DescriptorSerialDriver::~DescriptorSerialDriver() = default;

void DescriptorSerialDriver::watch(std::intptr_t fd) {
    fd_ = fd;
    ++openings_;
    lost_ = false;
    in_.clear();
    out_.clear();
    if (!readNotifier_) {
        readNotifier_ = std::make_unique<QSocketNotifier>(QSocketNotifier::Read);
        QObject::connect(readNotifier_.get(), &QSocketNotifier::activated, readNotifier_.get(),
                         [this] { onReadable(); });
        writeNotifier_ = std::make_unique<QSocketNotifier>(QSocketNotifier::Write);
        QObject::connect(writeNotifier_.get(), &QSocketNotifier::activated, writeNotifier_.get(),
                         [this] { onWritable(); });
        burstEnd_ = std::make_unique<heldoutput::BurstEnd>([this] { onBurstEnd(); });
    }
    readNotifier_->setSocket(fd_);  // leaves the notifier disabled
    writeNotifier_->setSocket(fd_);
    readNotifier_->setEnabled(true);
}

void DescriptorSerialDriver::stopWatching() {
    readNotifier_->setEnabled(false);
    writeNotifier_->setEnabled(false);
}

void DescriptorSerialDriver::forget() {
    fd_ = -1;
    lost_ = false;
    in_.clear();
    out_.clear();
}

bool DescriptorSerialDriver::hold(std::string_view bytes) {
    if (out_.size() + bytes.size() > outSize_) return false;
    out_ += bytes;
    burstEnd_->wrote();
    return true;
}

void DescriptorSerialDriver::onBurstEnd() {
    if (fd_ >= 0 && !lost_) flush();
}

std::string DescriptorSerialDriver::takeReceived() {
    std::string bytes;
    bytes.swap(in_);
    return bytes;
}

void DescriptorSerialDriver::flush() {
    if (!maySend()) {
        writeNotifier_->setEnabled(false);
        return;
    }
    while (!out_.empty()) {
        ++deviceWrites_;
        const Io io = writeSome(out_.data(), out_.size());
        if (io.state == Io::State::Moved) {
            out_.erase(0, io.count);
        } else if (io.state == Io::State::Again) {
            writeNotifier_->setEnabled(true);
            return;
        } else {
            loseLine(sendFailed(io.error));
            return;
        }
    }
    writeNotifier_->setEnabled(false);
}

void DescriptorSerialDriver::lastSend() {
    if (out_.empty()) return;
    ++deviceWrites_;
    writeSome(out_.data(), out_.size());
}

void DescriptorSerialDriver::onWritable() {
    if (fd_ < 0 || lost_) return;
    flush();
}

void DescriptorSerialDriver::keep(std::string_view data) {
    const std::size_t room = kInLimit - std::min(kInLimit, in_.size());
    in_.append(data, 0, std::min(room, data.size()));
}

void DescriptorSerialDriver::onReadable() {
    ++readWakeups_;
    if (fd_ < 0 || lost_) return;
    std::optional<std::string> ended;
    char buffer[4096];
    for (;;) {
        const Io io = readSome(buffer, sizeof buffer);
        if (io.state == Io::State::Moved) {
            take(std::string_view(buffer, io.count));
        } else if (io.state == Io::State::Again) {
            break;
        } else {
            // The other end closed (a tty hung up, the server closed), or it failed or went
            // away. Either way the descriptor stays readable for ever.
            ended = readEnded(io.error);
            break;
        }
    }
    if (!ended) ended = afterReading();
    if (ended) {
        // The bytes that came before the line went are still delivered, first.
        lost_ = true;
        stopWatching();
    }
    const std::uint64_t opening = openings_;
    if (!in_.empty() && listener_) listener_->bytesArrived();
    // Unless the listener closed the descriptor meanwhile.
    if (ended && openings_ == opening && fd_ >= 0) {
        lost_ = false;  // loseLine tells the listener once
        loseLine(*ended);
    }
}

void DescriptorSerialDriver::loseLine(const std::string& reason) {
    if (lost_) return;
    lost_ = true;
    stopWatching();
    out_.clear();
    noteLoss(reason);
    if (listener_) listener_->lineLost(reason);
}

}  // namespace tolvan
