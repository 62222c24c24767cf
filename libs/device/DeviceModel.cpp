#include "device/DeviceModel.h"

#include <algorithm>

#include "device/Commands.h"

namespace tolvan::emu {

namespace {

const std::string kRespostaLink{"\x00\x03\x01", 3};
const std::string kCabecalhoSetor{"\x01\x03\x09", 3};

std::uint8_t at(std::string_view frame, std::size_t i) {
    return i < frame.size() ? static_cast<std::uint8_t>(frame[i]) : 0;
}

// 00 05 cc 00 N gives N; 00 05 cc 01 M gives 255 + M.
int sectorCount(std::string_view frame) {
    return at(frame, 3) == 0 ? at(frame, 4) : 255 + at(frame, 4);
}

std::string printable(std::string_view bytes) {
    std::string out;
    for (char c : bytes)
        out += (c >= 0x20 && c < 0x7F) ? c : '?';
    return out;
}

std::string joined(const std::vector<std::string>& notes) {
    std::string out;
    for (const std::string& n : notes) {
        if (n.empty()) continue;
        if (!out.empty()) out += "; ";
        out += n;
    }
    return out;
}

}  // namespace

DeviceModel::DeviceModel(DeviceOptions options)
    : options_(std::move(options)), parser_(options_.quietGapUs) {}

std::vector<Reaction> DeviceModel::receive(std::string_view bytes, std::int64_t nowUs) {
    std::vector<Reaction> out;
    if (hungUp_) return out;
    parser_.receive(bytes, nowUs, [&](FrameParser::Piece p) { onPiece(std::move(p), out); });
    return out;
}

std::vector<Reaction> DeviceModel::tick(std::int64_t nowUs) {
    std::vector<Reaction> out;
    if (hungUp_) return out;
    parser_.tick(nowUs, [&](FrameParser::Piece p) { onPiece(std::move(p), out); });
    return out;
}

std::optional<std::int64_t> DeviceModel::deadlineUs() const {
    if (hungUp_) return std::nullopt;
    return parser_.deadlineUs();
}

int DeviceModel::frameCount(std::uint8_t code) const {
    auto it = codeCounts_.find(code);
    return it == codeCounts_.end() ? 0 : it->second;
}

void DeviceModel::onPiece(FrameParser::Piece piece, std::vector<Reaction>& out) {
    // Bytes after a hang-up in the same read are never heard.
    if (hungUp_) return;
    Reaction r;
    r.received.atUs = piece.lastUs;
    r.received.spanUs = piece.lastUs - piece.firstUs;
    r.received.dir = LogEntry::Dir::Rx;
    r.received.bytes = std::move(piece.bytes);
    switch (piece.kind) {
        case FrameParser::Kind::Junk:
            r.received.name = "junk";
            r.received.note = "skipped";
            break;
        case FrameParser::Kind::Dropped:
            r.received.name = "dropped";
            r.received.note = "frame cut off by a quiet gap";
            break;
        case FrameParser::Kind::Frame:
            onFrame(r);
            break;
    }
    out.push_back(std::move(r));
}

void DeviceModel::onFrame(Reaction& r) {
    const std::string& frame = r.received.bytes;
    r.code = at(frame, 2);
    r.number = ++frames_;
    const int ofCode = ++codeCounts_[r.code];
    r.received.name = commandName(r.code);
    std::vector<std::string> notes;
    const std::string ack{'\x00', '\x03', static_cast<char>(r.code)};

    switch (r.code) {
        case kLink:
            r.answer = linkAnswer();
            r.answerName = r.answer == kRespostaLink ? "RespostaLink" : "LinkGarbage";
            break;
        case kNome: {
            const std::string_view name = std::string_view(frame).substr(3);
            name_ = std::string(name.substr(0, name.find('\0')));
            notes.push_back("name " + printable(name_));
            sequence_ = Sequence::None;
            r.answer = ack;
            break;
        }
        case kEndereco1:
            r.answer = ack;
            break;
        case kEndereco2Gravacao:
        case kEndereco2Leitura: {
            // The second address names the image, and whether it is written or read back.
            const bool write = r.code == kEndereco2Gravacao;
            image_ = addressOf(at(frame, 3), at(frame, 4), at(frame, 5));
            sequence_ = write ? Sequence::Write : Sequence::Read;
            nextSector_ = 1;
            if (write) store_.erase(image_);
            notes.push_back(imageName(image_) + (write ? " write" : " read"));
            r.answer = ack;
            break;
        }
        case kSetoresGravacao:
        case kSetoresLeitura:
            notes.push_back(std::to_string(sectorCount(frame)) + " sectors");
            r.answer = ack;
            break;
        case kGravaSetor:
            if (sequence_ == Sequence::Write) {
                notes.push_back(imageName(image_) + " sector " + std::to_string(nextSector_));
                store_.writeSector(image_, nextSector_++, std::string_view(frame).substr(3, 256));
                // The frame's last byte is the next sector's first, sent ahead: the device keeps
                // it there, so an image that ends on it is not cut short. The next frame, when
                // one comes, writes that sector whole.
                store_.writeByte(image_, nextSector_, 0, static_cast<char>(at(frame, 259)));
            } else {
                notes.push_back("no write sequence: not stored");
            }
            r.answer = ack;
            break;
        case kLeSetor: {
            std::string data(kSectorSize, '\xFF');
            if (sequence_ == Sequence::Read) {
                const std::size_t sector = nextSector_++;
                notes.push_back(imageName(image_) + " sector " + std::to_string(sector));
                data = readSector(image_, sector, notes);
                r.answer = kCabecalhoSetor + data;
                for (const Truncation& t : options_.truncations) {
                    if (t.sector != sector || (t.image && *t.image != image_)) continue;
                    if (t.bytes < r.answer.size()) {
                        r.answer.resize(t.bytes);
                        notes.push_back("cut to " + std::to_string(t.bytes) + " bytes");
                    }
                }
            } else {
                notes.push_back("no read sequence: FF");
                r.answer = kCabecalhoSetor + data;
            }
            r.answerName = "CabecalhoSetor";
            break;
        }
        case kExecuta:
            ++runs_;
            notes.push_back("run");
            break;
        default:
            break;
    }
    if (r.answerName.empty() && !r.answer.empty()) r.answerName = "Ack";

    // Faults, in the order they would act on the line.
    if (options_.hangUpAfter && options_.hangUpAfter->matches(r.code, r.number, ofCode)) {
        hungUp_ = true;
        r.hangUp = true;
        r.answer.clear();
        notes.push_back("hang-up");
    }
    if (!silentNow_ && options_.silentFrom &&
        options_.silentFrom->matches(r.code, r.number, ofCode))
        silentNow_ = true;
    bool quiet = options_.silent || silentNow_;
    for (const FrameSelector& d : options_.drop)
        if (d.matches(r.code, r.number, ofCode)) quiet = true;
    if (quiet && !r.answer.empty()) {
        r.answer.clear();
        notes.push_back("silent");
    }
    if (!r.answer.empty()) {
        r.delayUs = options_.delayUs;
        for (const DelayRule& d : options_.delays)
            if (d.frames.matches(r.code, r.number, ofCode)) r.delayUs += d.delayUs;
        if (options_.splitCodes.empty() || options_.splitCodes.count(r.code)) {
            for (std::size_t cut : options_.splits)
                if (cut > 0 && cut < r.answer.size()) r.cuts.push_back(cut);
            std::sort(r.cuts.begin(), r.cuts.end());
            r.cuts.erase(std::unique(r.cuts.begin(), r.cuts.end()), r.cuts.end());
        }
    }
    r.received.note = joined(notes);
}

std::string DeviceModel::readSector(Address image, std::size_t sector,
                                    std::vector<std::string>& notes) const {
    std::string data = store_.sector(image, sector);
    const std::size_t start = (sector - 1) * kSectorSize;
    for (const Corruption& c : options_.corruptions) {
        if (c.image != image || c.index < start || c.index >= start + kSectorSize) continue;
        data[c.index - start] = static_cast<char>(data[c.index - start] ^ '\xFF');
        notes.push_back("byte " + std::to_string(c.index) + " flipped");
    }
    return data;
}

std::string DeviceModel::linkAnswer() {
    ++linkPolls_;
    if (options_.linkAnswer &&
        (options_.linkAnswerCount < 0 || linkPolls_ <= options_.linkAnswerCount))
        return *options_.linkAnswer;
    return kRespostaLink;
}

}  // namespace tolvan::emu
