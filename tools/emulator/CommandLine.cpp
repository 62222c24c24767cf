#include "emulator/CommandLine.h"

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
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string option = args[i];
        std::optional<std::string> inlineValue;
        if (option.rfind("--", 0) == 0) {
            const auto eq = option.find('=');
            if (eq != std::string::npos) {
                inlineValue = option.substr(eq + 1);
                option.resize(eq);
            }
        }
        auto value = [&](std::string& out) {
            if (inlineValue) {
                out = *inlineValue;
                return true;
            }
            if (i + 1 >= args.size()) {
                error = option + " needs a value";
                return false;
            }
            out = args[++i];
            return true;
        };
        auto bad = [&](const std::string& v) {
            error = "bad value for " + option + ": " + v;
            return false;
        };
        std::string v;
        DeviceOptions& d = config.device;
        if (option == "-h" || option == "--help") {
            config.help = true;
        } else if (option == "-v" || option == "--verbose") {
            config.verbose = true;
        } else if (option == "--link") {
            if (!value(config.linkFile)) return false;
        } else if (option == "--frame-log") {
            if (!value(config.frameLogFile)) return false;
        } else if (option == "--store") {
            if (!value(config.storeFile)) return false;
        } else if (option == "--load" || option == "--program") {
            if (!value(v)) return false;
            const auto colon = v.find(':');
            if (colon == std::string::npos) return bad(v);
            auto image = parseImageName(std::string_view(v).substr(0, colon));
            if (!image || colon + 1 == v.size()) return bad(v);
            config.preloads.push_back({*image, v.substr(colon + 1), option == "--program"});
        } else if (option == "--no-pacing") {
            config.line.pacing = false;
        } else if (option == "--baud") {
            if (!value(v)) return false;
            auto n = integer(v);
            if (!n || *n < 1 || *n > 10'000'000) return bad(v);
            config.line.baud = static_cast<int>(*n);
        } else if (option == "--chunk") {
            if (!value(v)) return false;
            auto n = integer(v);
            if (!n || *n < 1 || *n > 65536) return bad(v);
            config.line.chunkBytes = static_cast<std::size_t>(*n);
        } else if (option == "--delay" || option == "--gap" || option == "--split-gap") {
            if (!value(v)) return false;
            auto us = millisecondsToUs(v);
            if (!us) return bad(v);
            if (option == "--delay") d.delayUs = *us;
            if (option == "--gap") d.quietGapUs = *us;
            if (option == "--split-gap") config.line.splitGapUs = *us;
        } else if (option == "--delay-on") {
            if (!value(v)) return false;
            const auto eq = v.rfind('=');
            if (eq == std::string::npos) return bad(v);
            auto selector = FrameSelector::parse(std::string_view(v).substr(0, eq));
            auto us = millisecondsToUs(v.substr(eq + 1));
            if (!selector || !us) return bad(v);
            d.delays.push_back({*selector, *us});
        } else if (option == "--silent") {
            d.silent = true;
        } else if (option == "--silent-from" || option == "--drop" || option == "--hangup-after") {
            if (!value(v)) return false;
            auto selector = FrameSelector::parse(v);
            if (!selector) return bad(v);
            if (option == "--silent-from") d.silentFrom = selector;
            if (option == "--drop") d.drop.push_back(*selector);
            if (option == "--hangup-after") d.hangUpAfter = selector;
        } else if (option == "--split") {
            if (!value(v)) return false;
            for (const std::string& part : splitText(v, ',')) {
                auto n = integer(part);
                if (!n || *n < 1) return bad(v);
                d.splits.push_back(static_cast<std::size_t>(*n));
            }
        } else if (option == "--split-only") {
            if (!value(v)) return false;
            for (const std::string& part : splitText(v, ',')) {
                auto code = parseCommand(part);
                if (!code) return bad(v);
                d.splitCodes.insert(*code);
            }
        } else if (option == "--corrupt") {
            if (!value(v)) return false;
            const auto parts = splitText(v, ':');
            if (parts.size() != 2) return bad(v);
            auto image = parseImageName(parts[0]);
            auto index = integer(parts[1]);
            if (!image || !index || *index < 0) return bad(v);
            d.corruptions.push_back({*image, static_cast<std::size_t>(*index)});
        } else if (option == "--truncate-read") {
            if (!value(v)) return false;
            const auto parts = splitText(v, ':');
            if (parts.size() != 2 && parts.size() != 3) return bad(v);
            Truncation t{};
            if (parts.size() == 3) {
                t.image = parseImageName(parts[0]);
                if (!t.image) return bad(v);
            }
            auto sector = integer(parts[parts.size() - 2]);
            auto bytes = integer(parts.back());
            if (!sector || *sector < 1 || !bytes || *bytes < 0) return bad(v);
            t.sector = static_cast<std::size_t>(*sector);
            t.bytes = static_cast<std::size_t>(*bytes);
            d.truncations.push_back(t);
        } else if (option == "--garbage-link") {
            if (!d.linkAnswer) d.linkAnswer = std::string("\xE5\xE5\xE5", 3);
            if (inlineValue) {
                auto n = integer(*inlineValue);
                if (!n || *n < 0) return bad(*inlineValue);
                d.linkAnswerCount = static_cast<int>(*n);
            }
        } else if (option == "--link-answer") {
            if (!value(v)) return false;
            auto bytes = parseHexBytes(v);
            if (!bytes) return bad(v);
            d.linkAnswer = *bytes;
        } else {
            error = "unknown option " + args[i];
            return false;
        }
    }
    return true;
}

}  // namespace tolvan::emu
