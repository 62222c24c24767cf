#include "LineFloor.h"

#include <algorithm>
#include <deque>

namespace tolvan::bench {

namespace {

constexpr std::int64_t kMs = 1000;

// Pauses the host keeps: around the greeting of each image, before each set-up step (TimerCmd),
// at the end of each sector write, and before each further sector read (TimerRead).
constexpr std::int64_t kPausaSaudacao = 200 * kMs;
constexpr std::int64_t kPausaPasso = 200 * kMs;
constexpr std::int64_t kPausaGravaArq = 400 * kMs;
constexpr std::int64_t kPausaLeitura = 100 * kMs;

// The host takes a sector read as complete once more than 250 data bytes have come after the
// answer's 3-byte head; the last sector of an image only once its whole answer has come.
constexpr std::size_t kBytesLeituraCompleta = 3 + 251;

enum class Kind { Link, Nome, Endereco1, Endereco2, Setores, GravaSetor, LeSetor, Executa, Other };

Kind kindOf(const std::string& name) {
    if (name == "CmdLink") return Kind::Link;
    if (name == "CmdNome") return Kind::Nome;
    if (name == "CmdEndereco1") return Kind::Endereco1;
    if (name == "CmdEndereco2Gravacao" || name == "CmdEndereco2Leitura") return Kind::Endereco2;
    if (name == "CmdSetoresGravacao" || name == "CmdSetoresLeitura") return Kind::Setores;
    if (name == "CmdGravaSetor") return Kind::GravaSetor;
    if (name == "CmdLeSetor") return Kind::LeSetor;
    if (name == "CmdExecuta") return Kind::Executa;
    return Kind::Other;
}

std::size_t expectedAnswer(Kind k) {
    switch (k) {
        case Kind::LeSetor:
            return 259;
        case Kind::Executa:
        case Kind::Other:
            return 0;
        default:
            return 3;
    }
}

struct Frame {
    Kind kind;
    std::string name;
    std::size_t bytes;
    // When its first byte reached the emulator: the moment the host sent it, on a pty.
    std::int64_t atUs;
    std::vector<std::pair<std::int64_t, std::size_t>> chunks;  // answer writes: time, bytes
    bool lastRead = false;                                     // the last sector read of an image

    std::size_t answerBytes() const {
        std::size_t n = 0;
        for (const auto& c : chunks)
            n += c.second;
        return n;
    }
    // How much of its answer the host waits for before it acts on it.
    std::size_t needed() const {
        const std::size_t total = answerBytes();
        return kind == Kind::LeSetor && !lastRead ? std::min(total, kBytesLeituraCompleta) : total;
    }
    // When that much had been written; -1 when it never was.
    std::int64_t answeredUs() const {
        const std::size_t need = needed();
        std::size_t n = 0;
        for (const auto& c : chunks) {
            n += c.second;
            if (n >= need && need > 0) return c.first;
        }
        return -1;
    }
};

// The host's frames with the answer writes that belong to each; answers follow one another.
std::vector<Frame> framesOf(const std::vector<LogLine>& log) {
    std::vector<Frame> frames;
    std::deque<std::pair<std::size_t, std::size_t>> waiting;  // frame index, bytes still due
    for (const LogLine& l : log) {
        if (l.dir == LogLine::Dir::Rx) {
            const Kind k = kindOf(l.name);
            if (!frames.empty() && frames.back().kind == Kind::LeSetor && k != Kind::LeSetor)
                frames.back().lastRead = true;
            frames.push_back({k, l.name, l.bytes.size(), l.atUs - l.spanUs, {}});
            if (expectedAnswer(k) > 0) waiting.emplace_back(frames.size() - 1, expectedAnswer(k));
        } else if (l.dir == LogLine::Dir::Tx && !waiting.empty()) {
            auto& [index, due] = waiting.front();
            frames[index].chunks.emplace_back(l.atUs, l.bytes.size());
            due -= std::min(due, l.bytes.size());
            if (due == 0) waiting.pop_front();
        }
    }
    if (!frames.empty() && frames.back().kind == Kind::LeSetor) frames.back().lastRead = true;
    return frames;
}

std::string readable(const Frame& f) {
    return f.name + " at " + std::to_string(f.atUs);
}

}  // namespace

std::int64_t LineModel::durationUs(std::size_t bytes) const {
    const std::int64_t bits = static_cast<std::int64_t>(bytes) * bitsPerByte;
    return (bits * 1'000'000 + baud - 1) / baud;
}

LineFloor computeLineFloor(const std::vector<LogLine>& log, const LineModel& model) {
    LineFloor r;
    const std::vector<Frame> frames = framesOf(log);

    // The transfer: from the greeting before the first name frame to the last sector frame.
    const auto firstNome = std::find_if(frames.begin(), frames.end(),
                                        [](const Frame& f) { return f.kind == Kind::Nome; });
    if (firstNome == frames.end()) {
        r.error = "no transfer in the frame log";
        return r;
    }
    std::size_t first = static_cast<std::size_t>(firstNome - frames.begin());
    if (first == 0 || frames[first - 1].kind != Kind::Link) {
        r.error = "the first name frame has no greeting before it";
        return r;
    }
    --first;
    std::size_t last = first;
    for (std::size_t i = first; i < frames.size(); ++i)
        if (frames[i].kind == Kind::GravaSetor || frames[i].kind == Kind::LeSetor) last = i;

    // Ideal send times (S) and answer times (A), from the first greeting at 0.
    const std::size_t n = last - first + 1;
    std::vector<std::int64_t> sendUs(n, 0), answerUs(n, -1);
    std::int64_t lineFreeUs = 0;

    auto addStep = [&](const std::string& kind, const std::string& frame, std::int64_t idealUs,
                       std::int64_t measuredUs) {
        r.each.push_back({kind, frame, idealUs, measuredUs});
        auto it = std::find_if(r.steps.begin(), r.steps.end(),
                               [&](const StepTotals& s) { return s.kind == kind; });
        if (it == r.steps.end()) {
            r.steps.push_back({kind, 0, 0, 0});
            it = r.steps.end() - 1;
        }
        ++it->count;
        it->idealUs += idealUs;
        it->measuredUs += measuredUs;
    };
    // The ideal wait for the answer to frame p: the emulator's delay and the line's time.
    auto answerPart = [&](std::size_t p) {
        r.delaysUs += model.answerDelayUs;
        r.lineUs += answerUs[p] - sendUs[p] - model.answerDelayUs;
    };
    auto needAnswer = [&](std::size_t p) {
        if (answerUs[p] >= 0) return true;
        r.error = "no answer to " + readable(frames[first + p]);
        return false;
    };

    for (std::size_t p = 0; p < n; ++p) {
        const Frame& f = frames[first + p];
        std::string step;
        if (p > 0) {
            const Frame& prev = frames[first + p - 1];
            const std::size_t q = p - 1;
            auto unexpected = [&] {
                r.error = "unexpected " + readable(f) + " after " + prev.name;
                return r;
            };
            switch (f.kind) {
                case Kind::Link:
                    // The next image's greeting: 200 ms after the last sector write went out
                    // (written before that write's own pause), or after the last sector read.
                    step = "image change";
                    if (prev.kind == Kind::GravaSetor) {
                        sendUs[p] = sendUs[q] + kPausaSaudacao;
                    } else if (prev.kind == Kind::LeSetor) {
                        if (!needAnswer(q)) return r;
                        answerPart(q);
                        sendUs[p] = answerUs[q] + kPausaSaudacao;
                    } else {
                        return unexpected();
                    }
                    r.pausesUs += kPausaSaudacao;
                    break;
                case Kind::Nome: {
                    if (prev.kind != Kind::Link) return unexpected();
                    // 200 ms after the greeting, then TimerCmd's 200 ms; an image that follows
                    // a sector write also waits out that write's 400 ms, which TimerCmd overlaps.
                    const bool aposGravacao =
                        p >= 2 && frames[first + p - 2].kind == Kind::GravaSetor;
                    const std::int64_t pausa =
                        kPausaSaudacao + (aposGravacao ? kPausaGravaArq : kPausaPasso);
                    step = "image start";
                    sendUs[p] = sendUs[q] + pausa;
                    r.pausesUs += pausa;
                    break;
                }
                case Kind::Endereco1:
                case Kind::Endereco2:
                case Kind::Setores:
                case Kind::GravaSetor:
                case Kind::LeSetor: {
                    const Kind before = f.kind == Kind::Endereco1   ? Kind::Nome
                                        : f.kind == Kind::Endereco2 ? Kind::Endereco1
                                        : f.kind == Kind::Setores   ? Kind::Endereco2
                                                                    : Kind::Setores;
                    if (!needAnswer(q)) return r;
                    // After the pauses of an image change that follows a sector write, answers
                    // that came meanwhile may be handled only after TimerCmd has sent the name
                    // frame, and restart it then: the first address need not wait for the
                    // name's answer.
                    const bool respostaPendente = f.kind == Kind::Endereco1 && p >= 3 &&
                                                  frames[first + p - 3].kind == Kind::GravaSetor;
                    if (prev.kind == before && respostaPendente) {
                        step = "set-up step";
                        sendUs[p] = sendUs[q] + kPausaPasso;
                        r.pausesUs += kPausaPasso;
                    } else if (prev.kind == before) {
                        // A set-up step: TimerCmd, started by the previous answer.
                        step = "set-up step";
                        answerPart(q);
                        sendUs[p] = answerUs[q] + kPausaPasso;
                        r.pausesUs += kPausaPasso;
                    } else if (f.kind == Kind::GravaSetor && prev.kind == Kind::GravaSetor) {
                        // The next sector goes on the first receive event after the pause.
                        step = "sector write";
                        if (sendUs[q] + kPausaGravaArq >= answerUs[q]) {
                            sendUs[p] = sendUs[q] + kPausaGravaArq;
                            r.pausesUs += kPausaGravaArq;
                        } else {
                            sendUs[p] = answerUs[q];
                            answerPart(q);
                        }
                    } else if (f.kind == Kind::LeSetor && prev.kind == Kind::LeSetor) {
                        step = "sector read";
                        answerPart(q);
                        sendUs[p] = answerUs[q] + kPausaLeitura;
                        r.pausesUs += kPausaLeitura;
                    } else {
                        return unexpected();
                    }
                    break;
                }
                default:
                    return unexpected();
            }
            addStep(step, f.name, sendUs[p] - sendUs[q], f.atUs - prev.atUs);
        }

        // The ideal answer: after the frame is at the device and the delay, when the line is
        // free, in chunks as the emulator writes them.
        const std::size_t total = f.answerBytes();
        r.hostBytes += f.bytes;
        r.answerBytes += total;
        ++r.frames;
        if (f.kind == Kind::Nome) ++r.images;
        if (total == 0) continue;
        const std::int64_t atDevice =
            sendUs[p] + (model.hostBytesOnLine ? model.durationUs(f.bytes) : 0);
        const std::int64_t start = std::max(atDevice + model.answerDelayUs, lineFreeUs);
        const std::size_t need = f.needed();
        const std::size_t chunk = std::max<std::size_t>(1, model.chunkBytes);
        std::size_t upTo = 0;
        while (upTo < need)
            upTo = std::min(upTo + chunk, total);
        answerUs[p] = start + model.durationUs(upTo);
        lineFreeUs = start + model.durationUs(total);
    }

    const Frame& end = frames[last];
    if (!needAnswer(n - 1)) return r;
    const std::int64_t endUs = end.answeredUs();
    if (endUs < 0) {
        r.error = "the last answer did not come whole";
        return r;
    }
    answerPart(n - 1);
    addStep("last answer", "", answerUs[n - 1] - sendUs[n - 1], endUs - end.atUs);
    r.floorUs = answerUs[n - 1];
    r.wallUs = endUs - frames[first].atUs;
    r.ok = true;
    return r;
}

}  // namespace tolvan::bench
