#include "platform/TelnetCodec.h"

namespace tolvan::telnet {

std::string escape(std::string_view data) {
    std::string out;
    out.reserve(data.size() + 8);
    for (const char c : data) {
        out.push_back(c);
        if (static_cast<std::uint8_t>(c) == kIac) out.push_back(c);
    }
    return out;
}

std::string option(std::uint8_t verb, std::uint8_t opt) {
    return {static_cast<char>(kIac), static_cast<char>(verb), static_cast<char>(opt)};
}

std::string subnegotiation(std::uint8_t opt, std::string_view payload) {
    std::string out = {static_cast<char>(kIac), static_cast<char>(kSb), static_cast<char>(opt)};
    out += escape(payload);
    out += {static_cast<char>(kIac), static_cast<char>(kSe)};
    return out;
}

void Decoder::feed(std::string_view bytes, std::string& data, std::vector<Command>& commands) {
    for (const char c : bytes) {
        const auto b = static_cast<std::uint8_t>(c);
        switch (state_) {
            case State::Data:
                if (b == kIac) {
                    state_ = State::Iac;
                } else {
                    data.push_back(c);
                }
                break;
            case State::Iac:
                if (b == kIac) {  // a doubled 0xFF is one data byte
                    data.push_back(c);
                    state_ = State::Data;
                } else if (b >= kWill) {
                    pending_ = {b, 0, {}};
                    state_ = State::Verb;
                } else if (b == kSb) {
                    pending_ = {kSb, 0, {}};
                    state_ = State::SbOption;
                } else {
                    commands.push_back({b, 0, {}});
                    state_ = State::Data;
                }
                break;
            case State::Verb:
                pending_.option = b;
                commands.push_back(pending_);
                state_ = State::Data;
                break;
            case State::SbOption:
                pending_.option = b;
                state_ = State::Sb;
                break;
            case State::Sb:
                if (b == kIac) {
                    state_ = State::SbIac;
                } else if (pending_.payload.size() < kPayloadLimit) {
                    pending_.payload.push_back(c);
                }
                break;
            case State::SbIac:
                if (b == kSe) {
                    commands.push_back(pending_);
                    state_ = State::Data;
                } else {
                    // IAC IAC is a 0xFF of the payload; any other command inside a
                    // subnegotiation is not meant for it and is passed over.
                    if (b == kIac && pending_.payload.size() < kPayloadLimit)
                        pending_.payload.push_back(c);
                    state_ = State::Sb;
                }
                break;
        }
    }
}

}  // namespace tolvan::telnet
