#include "Emulator.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>

namespace tolvan::emu {

namespace {

volatile sig_atomic_t gStop = 0;

void onSignal(int) {
    gStop = 1;
}

bool readFile(const std::string& path, std::string& content) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    content.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

bool fileExists(const std::string& path) {
    return ::access(path.c_str(), F_OK) == 0;
}

}  // namespace

std::int64_t monotonicUs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1'000'000 + ts.tv_nsec / 1000;
}

Emulator::Emulator(EmulatorConfig config)
    : config_(std::move(config)), model_(config_.device), pacer_(config_.line) {}

Emulator::~Emulator() {
    if (frameLog_) std::fclose(frameLog_);
}

bool Emulator::setUp() {
    std::string error;
    if (!config_.storeFile.empty() && fileExists(config_.storeFile) &&
        !model_.store().load(config_.storeFile, error)) {
        std::fprintf(stderr, "tolvan-emulator: %s\n", error.c_str());
        return false;
    }
    for (const auto& preload : config_.preloads) {
        std::string bytes;
        if (!readFile(preload.file, bytes)) {
            std::fprintf(stderr, "tolvan-emulator: cannot read %s\n", preload.file.c_str());
            return false;
        }
        if (preload.asProgrammed) bytes = asProgrammed(bytes, preload.image == kMainImage);
        model_.store().setImage(preload.image, bytes);
    }
    if (!config_.frameLogFile.empty()) {
        frameLog_ = std::fopen(config_.frameLogFile.c_str(), "w");
        if (!frameLog_) {
            std::fprintf(stderr, "tolvan-emulator: cannot write %s: %s\n",
                         config_.frameLogFile.c_str(), std::strerror(errno));
            return false;
        }
        std::setvbuf(frameLog_, nullptr, _IOLBF, 0);
    }
    if (!pty_.open(error)) {
        std::fprintf(stderr, "tolvan-emulator: %s\n", error.c_str());
        return false;
    }
    if (!config_.linkFile.empty()) {
        // Written whole under another name first, so a reader never sees half a path.
        const std::string temporary = config_.linkFile + ".tmp";
        std::ofstream out(temporary, std::ios::trunc);
        out << pty_.slavePath() << '\n';
        out.close();
        if (!out || std::rename(temporary.c_str(), config_.linkFile.c_str()) != 0) {
            std::fprintf(stderr, "tolvan-emulator: cannot write %s\n", config_.linkFile.c_str());
            return false;
        }
    }
    std::printf("%s\n", pty_.slavePath().c_str());
    std::fflush(stdout);
    logEvent("open", pty_.slavePath());
    return true;
}

int Emulator::run() {
    // Signals are taken only inside ppoll, so a handler never cuts into the loop's work.
    sigset_t blocked, waitMask;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGINT);
    sigaddset(&blocked, SIGTERM);
    sigaddset(&blocked, SIGHUP);
    sigprocmask(SIG_BLOCK, &blocked, &waitMask);
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGHUP, &sa, nullptr);
    signal(SIGPIPE, SIG_IGN);
    sigdelset(&waitMask, SIGINT);
    sigdelset(&waitMask, SIGTERM);
    sigdelset(&waitMask, SIGHUP);
    prctl(PR_SET_TIMERSLACK, 1UL, 0, 0, 0);  // paced writes on time, not 50 µs late

    if (!setUp()) return 1;

    char buffer[4096];
    while (!gStop && !hangUp_) {
        const bool writable = sendDue(monotonicUs());
        std::int64_t wakeUs = -1;
        if (writable && !queue_.empty()) wakeUs = queue_.front().atUs;
        if (auto deadline = model_.deadlineUs())
            wakeUs = wakeUs < 0 ? *deadline : std::min(wakeUs, *deadline);

        pollfd pfd{pty_.masterFd(), static_cast<short>(POLLIN | (writable ? 0 : POLLOUT)), 0};
        timespec timeout{};
        timespec* timeoutPtr = nullptr;
        if (wakeUs >= 0) {
            const std::int64_t waitUs = std::max<std::int64_t>(0, wakeUs - monotonicUs());
            timeout.tv_sec = waitUs / 1'000'000;
            timeout.tv_nsec = (waitUs % 1'000'000) * 1000;
            timeoutPtr = &timeout;
        }
        const int ready = ppoll(&pfd, 1, timeoutPtr, &waitMask);
        if (ready < 0) {
            if (errno == EINTR) continue;
            std::fprintf(stderr, "tolvan-emulator: ppoll: %s\n", std::strerror(errno));
            break;
        }
        if (pfd.revents & POLLIN) {
            const ssize_t n = ::read(pty_.masterFd(), buffer, sizeof buffer);
            const std::int64_t now = monotonicUs();
            if (n > 0) {
                handle(model_.receive(std::string_view(buffer, static_cast<std::size_t>(n)), now),
                       now);
            } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
                std::fprintf(stderr, "tolvan-emulator: read: %s\n", std::strerror(errno));
                break;
            }
        }
        if (!hangUp_) {
            const std::int64_t now = monotonicUs();
            handle(model_.tick(now), now);
        }
    }

    if (hangUp_) {
        pty_.close();
        logEvent("hangup", "line closed");
    } else {
        logEvent("stop", gStop ? "signal" : "error");
    }
    const bool saved = saveStore();
    pty_.close();
    return saved && (gStop || hangUp_) ? 0 : 1;
}

void Emulator::handle(const std::vector<Reaction>& reactions, std::int64_t nowUs) {
    for (const Reaction& r : reactions) {
        log(r.received);
        if (r.hangUp) {
            hangUp_ = true;
            queue_.clear();
            return;
        }
        for (auto& w : pacer_.schedule(r.answer, r.cuts, r.delayUs, nowUs))
            queue_.push_back({w.atUs, std::move(w.bytes), r.answerName});
    }
}

bool Emulator::sendDue(std::int64_t nowUs) {
    while (!queue_.empty() && queue_.front().atUs <= nowUs) {
        Pending& p = queue_.front();
        const ssize_t n = ::write(pty_.masterFd(), p.bytes.data(), p.bytes.size());
        if (n < 0) {
            if (errno == EAGAIN || errno == EINTR) return false;
            std::fprintf(stderr, "tolvan-emulator: write: %s\n", std::strerror(errno));
            queue_.clear();  // nobody can hear it
            return true;
        }
        const auto written = static_cast<std::size_t>(n);
        log({monotonicUs(), 0, LogEntry::Dir::Tx, p.name, p.bytes.substr(0, written), ""});
        if (written < p.bytes.size()) {
            p.bytes.erase(0, written);
            return false;
        }
        queue_.pop_front();
    }
    return true;
}

void Emulator::log(const LogEntry& entry) {
    if (!frameLog_ && !config_.verbose) return;
    const std::string line = formatLogLine(entry);
    if (frameLog_) std::fprintf(frameLog_, "%s\n", line.c_str());
    if (config_.verbose) std::fprintf(stderr, "%s\n", line.c_str());
}

void Emulator::logEvent(const std::string& name, const std::string& note) {
    log({monotonicUs(), 0, LogEntry::Dir::Event, name, "", note});
}

bool Emulator::saveStore() {
    if (config_.storeFile.empty()) return true;
    std::string error;
    if (!model_.store().save(config_.storeFile, error)) {
        std::fprintf(stderr, "tolvan-emulator: %s\n", error.c_str());
        return false;
    }
    return true;
}

}  // namespace tolvan::emu
