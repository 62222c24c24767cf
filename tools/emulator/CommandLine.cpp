#include "emulator/CommandLine.h"

#include <CLI/CLI.hpp>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <optional>

#include "device/Commands.h"

namespace tolvan::emu {

namespace {

const char kUsage[] = R"(Usage: tolvan-emulator [options]

Plays the Tolvan Link device on a pseudo-terminal. Prints the pty's slave path on the
first line of standard output; point a port at it (COM2=/dev/pts/N in SerialComm.txt).
Runs until SIGTERM or SIGINT, then writes the store and exits with 0.

The device answers:
  CmdLink              00 05 01 55 AA    -> 00 03 01
  CmdNome ... CmdSetoresLeitura, CmdGravaSetor -> 00 03 <code>
  CmdLeSetor           00 03 09          -> 01 03 09 + the 256 bytes of the next sector
  CmdExecuta           00 03 0B          -> nothing (logged as "run")
Images are named by their address frame: main (00 20 00), L (01 00 00), L2 (02 00 00).
CmdEndereco2Gravacao erases its image; the sector writes that follow store bytes 3..258
of each frame as sectors 1, 2, ... CmdEndereco2Leitura rewinds its image to sector 1;
each CmdLeSetor answers the next sector. Unwritten sectors read as FF.
Frames are found by their head (00, second byte, code); other bytes are skipped. A frame
unfinished after a quiet gap is dropped; a name of 13 or more characters ends at the gap.

Output:
  --link FILE            also write the slave path into FILE
  --frame-log FILE       one line per frame: <µs> <rx|tx|--> <name> <count> <span µs> <hex>
                         [# note]; µs on the monotonic clock (CLOCK_MONOTONIC); rx lines at
                         the arrival of the frame's last byte, span from its first byte
  -v, --verbose          the frame log also on standard error

Images:
  --store FILE           load images from FILE at start (if it exists), save them at exit
  --load IMAGE:FILE      IMAGE holds the raw bytes of FILE from sector 1 on
  --program IMAGE:FILE   IMAGE holds what programming FILE leaves in the device: for main
                         without its leading FF and 00 bytes, 00-filled to a whole sector
  IMAGE is main, L, L2 or six hexadecimal digits of an address.

Line:
  --no-pacing            send answers at once (default: paced at the line's rate)
  --baud N               line rate for pacing (19200; 10 bits a byte)
  --chunk N              paced bytes are written in chunks of up to N, each when its last
                         byte would have arrived (16; 1 sends byte by byte)
  --delay MS             every answer starts MS milliseconds after its frame
  --delay-on SEL=MS      a further delay for the frames SEL picks
  --gap MS               quiet gap that ends a frame (50)

Faults (SEL picks frames, counted from 1: K is the K-th frame of any kind, NAME every
frame of that command, NAME:K the K-th of them, NAME:K-L the K-th to the L-th; NAME is
e.g. Link, Nome, Endereco1, Endereco2Gravacao, SetoresGravacao, GravaSetor,
Endereco2Leitura, SetoresLeitura, LeSetor, Executa, with or without "Cmd", or the code as
0x09):
  --silent               never answer
  --silent-from SEL      answer nothing from the first frame SEL picks on
  --drop SEL             do not answer the frames SEL picks (repeatable)
  --hangup-after SEL     when the frame SEL picks arrives, close the pty (unanswered),
                         save the store and exit with 0
  --split A,B,...        send each answer in pieces cut at these byte offsets, with a quiet
                         gap between them
  --split-only NAME,...  split only the answers to these commands (names or codes)
  --split-gap MS         the gap at each cut (10)
  --corrupt IMAGE:INDEX  flip (XOR FF) byte INDEX (from 0) of IMAGE's data whenever it is
                         read back; the stored byte stays right (repeatable)
  --truncate-read [IMAGE:]SECTOR:BYTES
                         send only the first BYTES bytes (head included) of the answer to
                         the read of SECTOR (from 1); then carry on (repeatable)
  --garbage-link[=N]     answer link polls with E5 E5 E5 (the first N polls; default all)
  --link-answer HEX      answer link polls with these bytes instead (with --garbage-link=N
                         for the first N polls only)
  -h, --help             this text

Examples:
  tolvan-emulator --link /tmp/port --store /tmp/device.txt --frame-log /tmp/frames.log
  tolvan-emulator --split 1 --split-only Link,LeSetor
  tolvan-emulator --silent-from GravaSetor:3
  tolvan-emulator --truncate-read main:2:100
  tolvan-emulator --corrupt main:0 --corrupt L:767
)";

// A wrong command line: why, as the user is told.
struct Refusal {
    std::string why;
};

std::optional<long long> integer(std::string_view text) {
    long long value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::optional<std::int64_t> millisecondsToUs(const std::string& text) {
    if (text.empty()) return std::nullopt;
    char* end = nullptr;
    const double ms = std::strtod(text.c_str(), &end);
    if (*end != '\0' || !std::isfinite(ms) || ms < 0 || ms > 1e9) return std::nullopt;
    return static_cast<std::int64_t>(std::llround(ms * 1000.0));
}

std::vector<std::string> splitText(std::string_view text, char separator) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (true) {
        const auto pos = text.find(separator, start);
        parts.emplace_back(text.substr(start, pos - start));
        if (pos == std::string_view::npos) break;
        start = pos + 1;
    }
    return parts;
}

}  // namespace

std::string usageText() {
    return kUsage;
}

bool parseCommandLine(const std::vector<std::string>& args, EmulatorConfig& config,
                      std::string& error) {
    DeviceOptions& d = config.device;
    // The options act in the order given, and the first wrong one is the one reported.
    CLI::App app{"", "tolvan-emulator"};
    app.set_help_flag();
    app.allow_extras();
    // What CLI11 leaves over is unknown, but for -h and -v: a word of one dash is taken whole
    // (CLI11 alone would read -vh as -v -h).
    std::size_t leftoversSeen = 0;
    const auto leftovers = [&] {
        const std::vector<std::string> rest = app.remaining();
        for (; leftoversSeen < rest.size(); ++leftoversSeen) {
            const std::string& word = rest[leftoversSeen];
            if (word == "-h") {
                config.help = true;
            } else if (word == "-v") {
                config.verbose = true;
            } else {
                throw Refusal{"unknown option " + word};
            }
        }
    };
    // An option with a value: `take` says whether the value is good.
    const auto value = [&](const std::string& name, std::function<bool(const std::string&)> take) {
        app.add_option_function<std::string>(
               name,
               [&leftovers, name, take](const std::string& v) {
                   leftovers();
                   if (!take(v)) throw Refusal{"bad value for " + name + ": " + v};
               })
            ->trigger_on_parse();
    };
    // A flag: CLI11 hands on --garbage-link=10 as "10", a flag without a value as "true".
    const auto flag = [&](const std::string& name, std::function<bool(const std::string&)> act) {
        app.add_option(name,
                       [&leftovers, name, act](const CLI::results_t& given) {
                           leftovers();
                           if (!act(given.front()))
                               throw Refusal{"bad value for " + name + ": " + given.front()};
                           return true;
                       })
            ->expected(0)
            ->trigger_on_parse();
    };
    // Most flags ignore a value given them (--silent=1), as they always have.
    const auto set = [](bool& into) { return [&into](const std::string&) { return into = true; }; };
    const auto text = [](std::string& into) {
        return [&into](const std::string& v) { return (into = v, true); };
    };

    flag("--help", set(config.help));
    flag("--verbose", set(config.verbose));
    value("--link", text(config.linkFile));
    value("--frame-log", text(config.frameLogFile));
    value("--store", text(config.storeFile));
    for (const bool asProgrammed : {false, true}) {
        value(asProgrammed ? "--program" : "--load", [&, asProgrammed](const std::string& v) {
            const auto colon = v.find(':');
            if (colon == std::string::npos) return false;
            auto image = parseImageName(std::string_view(v).substr(0, colon));
            if (!image || colon + 1 == v.size()) return false;
            config.preloads.push_back({*image, v.substr(colon + 1), asProgrammed});
            return true;
        });
    }
    flag("--no-pacing", [&](const std::string&) {
        config.line.pacing = false;
        return true;
    });
    value("--baud", [&](const std::string& v) {
        auto n = integer(v);
        if (!n || *n < 1 || *n > 10'000'000) return false;
        config.line.baud = static_cast<int>(*n);
        return true;
    });
    value("--chunk", [&](const std::string& v) {
        auto n = integer(v);
        if (!n || *n < 1 || *n > 65536) return false;
        config.line.chunkBytes = static_cast<std::size_t>(*n);
        return true;
    });
    for (auto [name, into] : {std::pair{"--delay", &d.delayUs},
                              {"--gap", &d.quietGapUs},
                              {"--split-gap", &config.line.splitGapUs}}) {
        value(name, [into](const std::string& v) {
            auto us = millisecondsToUs(v);
            if (us) *into = *us;
            return us.has_value();
        });
    }
    value("--delay-on", [&](const std::string& v) {
        const auto eq = v.rfind('=');
        if (eq == std::string::npos) return false;
        auto selector = FrameSelector::parse(std::string_view(v).substr(0, eq));
        auto us = millisecondsToUs(v.substr(eq + 1));
        if (!selector || !us) return false;
        d.delays.push_back({*selector, *us});
        return true;
    });
    flag("--silent", set(d.silent));
    const auto selector = [](std::function<void(const FrameSelector&)> take) {
        return [take](const std::string& v) {
            auto selector = FrameSelector::parse(v);
            if (selector) take(*selector);
            return selector.has_value();
        };
    };
    value("--silent-from", selector([&](const FrameSelector& s) { d.silentFrom = s; }));
    value("--drop", selector([&](const FrameSelector& s) { d.drop.push_back(s); }));
    value("--hangup-after", selector([&](const FrameSelector& s) { d.hangUpAfter = s; }));
    value("--split", [&](const std::string& v) {
        for (const std::string& part : splitText(v, ',')) {
            auto n = integer(part);
            if (!n || *n < 1) return false;
            d.splits.push_back(static_cast<std::size_t>(*n));
        }
        return true;
    });
    value("--split-only", [&](const std::string& v) {
        for (const std::string& part : splitText(v, ',')) {
            auto code = parseCommand(part);
            if (!code) return false;
            d.splitCodes.insert(*code);
        }
        return true;
    });
    value("--corrupt", [&](const std::string& v) {
        const auto parts = splitText(v, ':');
        if (parts.size() != 2) return false;
        auto image = parseImageName(parts[0]);
        auto index = integer(parts[1]);
        if (!image || !index || *index < 0) return false;
        d.corruptions.push_back({*image, static_cast<std::size_t>(*index)});
        return true;
    });
    value("--truncate-read", [&](const std::string& v) {
        const auto parts = splitText(v, ':');
        if (parts.size() != 2 && parts.size() != 3) return false;
        Truncation t{};
        if (parts.size() == 3) {
            t.image = parseImageName(parts[0]);
            if (!t.image) return false;
        }
        auto sector = integer(parts[parts.size() - 2]);
        auto bytes = integer(parts.back());
        if (!sector || *sector < 1 || !bytes || *bytes < 0) return false;
        t.sector = static_cast<std::size_t>(*sector);
        t.bytes = static_cast<std::size_t>(*bytes);
        d.truncations.push_back(t);
        return true;
    });
    // Only --garbage-link=N takes a count: a word after --garbage-link is not its value.
    flag("--garbage-link", [&](const std::string& v) {
        if (!d.linkAnswer) d.linkAnswer = std::string("\xE5\xE5\xE5", 3);
        if (v == "true") return true;
        auto n = integer(v);
        if (!n || *n < 0) return false;
        d.linkAnswerCount = static_cast<int>(*n);
        return true;
    });
    value("--link-answer", [&](const std::string& v) {
        auto bytes = parseHexBytes(v);
        if (bytes) d.linkAnswer = *bytes;
        return bytes.has_value();
    });
    try {
        try {
            app.parse(std::vector<std::string>(args.rbegin(), args.rend()));
        } catch (const CLI::ArgumentMismatch& e) {
            // "--link: 1 required TEXT missing": the last option, given without its value.
            leftovers();
            const std::string what = e.what();
            throw Refusal{what.substr(0, what.find(':')) + " needs a value"};
        }
        leftovers();
    } catch (const Refusal& refusal) {
        error = refusal.why;
        return false;
    }
    return true;
}

}  // namespace tolvan::emu
