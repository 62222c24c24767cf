#include "cli/FlashOptions.h"

#include <CLI/CLI.hpp>
#include <charconv>
#include <functional>
#include <map>
#include <set>

#include "app/Portas.h"
#include "platform/NetworkAddress.h"

namespace tolvan::cli {

namespace {

const char kUsage[] = R"(Usage: tolvan-flash --port PORT --system TEXT [options]
  or: tolvan-flash --list [--root R] [--json]
  or: tolvan-flash --list-ports [--root R] [--json]

Programs a system of the catalogue into the Tolvan Link handheld and verifies it, without a
window or a display: the same core as TolvanLink (its frames, pauses, handshake, verification
rules, catalogue, installation root and port map). The messages the panel would show are
printed in its own Portuguese texts on standard error, one "<title>: <text>" each. Given
several ports, it runs a bench: one process per port, side by side, their progress together
and a summary table at the end.

Device:
  --port PORT            COMn from the installation's port map (SerialComm.txt, else the
                         machine's serial devices in order), a device path such as
                         /dev/ttyUSB0, or a port on another machine: rfc2217://HOST:PORT (a
                         serial port server speaking RFC 2217, such as ser2net, which sets the
                         line) or socket://HOST:PORT (raw TCP, the line set on the server); give
                         it once for each device of a bench. A network address takes only a
                         host and a port; the port map may name one too (COM5=rfc2217://...).
                         Opening one takes at most 5 s. Neither protocol has authentication:
                         keep the server on the lab network, or reach it through ssh -L;
                         tolvan-flash only connects, it never listens
  --system TEXT          the first system of the catalogue whose description contains TEXT
                         (case counts), as the selector finds it
  --program-verify       program the system's images, then read them back and compare them
                         with their files (the default)
  --program              program only
  --verify               read back and compare only
  --dry-run              check everything a run checks before its first frame, and send the
                         device nothing: the catalogue, the system's row, each image a regular
                         readable file inside bin, sector counts the frames can carry, the port
                         opens and can be locked. The exit status is the run's (0: it would
                         start); a bench checks every port
  --read-to DIR          back up what the device holds: read the system's images as the row
                         names them (its sector counts and addresses, the reads and pauses of
                         verification) into DIR under the row's file names, byte for byte,
                         without comparing them or writing to the device (the main image as
                         the device keeps it: without the file's leading FF and 00 bytes, its
                         last sector filled). A file appears under its name only when whole (a
                         short answer: exit 2). Not the installation's bin. A bench reads each
                         device into DIR/<port>

Questions:
  --yes                  unattended: the cable message does not wait for Enter, and the
                         question whether to abandon the connection is answered No until the
                         connection time-out has passed, then Yes. Without a terminal on
                         standard input, or once its input has ended, they are answered so
                         as well.
  --connect-timeout S    seconds of polling before an unattended run gives the connection up
                         (30); the question comes about every 2 s of polling

Output:
  --json                 one JSON object a line on standard output for each event (below);
                         the messages go there instead of standard error
  --trace NAME           write the serial trace and log as NAME.TRC and NAME.LOG in the
                         current folder when the port closes (in a bench, NAME-<port>.TRC and
                         NAME-<port>.LOG). Without it none are written (the window writes
                         APD.TRC and APD.LOG as always)
  --report FILE          append one JSON line per device to FILE when its run ends (below);
                         never rewritten, one write a line, so that the devices of a bench and
                         other runs can append to one file on a local file system at once

Installation:
  --root R               the installation root (default: $TOLVAN_ROOT, else the root this
                         program is installed under, else /)
  --list                 print the descriptions of the catalogue's systems in the device's
                         order, one a line (with --json, one object each), and exit
  --list-ports           print the machine's serial devices and exit: each with its
                         /dev/serial/by-id name (the one to put in the port map: it stays
                         the same whichever node and socket the adapter gets), the USB
                         adapter's vendor and product id and serial number, the kernel
                         driver, the COMn the port map gives it and the processes that have
                         it open; then the port map's ports on other machines (not connected
                         to) and its entries that lead to no device. With
                         --json, one object a line (below)
  -h, --help             this text
  --version              the version

On a terminal, standard error shows one live line per device: the port, the operation, the
image, the sector, bytes per second and the time left for that image. Otherwise, and without
--json, standard output gets a plain line for the connection, each image and the result.

JSON events, one a line, each with "port" (as given) and "t" (seconds since the start):
  {"event":"message","id":"DesconecteCabo","title":"Informação","text":"..."}
      a message of the core (\r breaks its lines); id says which message it is (for a
      script to tell them apart without their text: DesconecteCabo, AbandonarConexao,
      ErroConexao, FalhaNaPorta, SemComunicacao, VerificadoSemErros,
      VerificadoComErros, FimDaGravacao, ...; Outra for any other); a question adds
      "buttons"
  {"event":"answer","answer":"Não"}
      the answer a question was given; a question the device made moot (it answered
      while the question was open) closes by itself with no answer
  {"event":"connected"}
      the device answered the link poll
  {"event":"image","operation":"program","image":"main","file":"AURORA.BIN","sectors":40}
      an image's transfer begins: operation program or verify, image main, L or L2
  {"event":"sector","n":12,"total":40}
      the status line's "Setor: 12/40": sector 12 is under way (an image's first is 2)
  {"event":"end","result":"verified","code":0,"outcome":"Verificado","text":"...",
   "device_left":"programmed and verified"}
      result verified, programmed, read (--read-to), ready (--dry-run: it would start),
      mismatch, interrupted (a signal ended the run) or error; code the exit status;
      outcome tells the errors apart (SemComunicacao, FalhaDePorta, ArquivoInvalido,
      CatalogoInvalido, SistemaInexistente, Falha, Interrompido; Lido, Pronto); text
      the core's message for it; device_left what the run left in the device: not
      programmed (nothing written), partly programmed (an image greeted for programming,
      which erases it, and not every image written), programmed, not verified, or
      programmed and verified
  {"event":"summary","result":"verified","code":0,"seconds":41.2,"sectors":104,
   "bytes_per_second":650}
      a bench's row per port at its end; the devices' events come with their port

Ports (--list-ports --json), one object a line:
  {"event":"port","device":"/dev/ttyUSB0","present":true,
   "by_id":"/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10K1234-if00-port0",
   "vendor_id":"0403","product_id":"6001","serial":"A10K1234","manufacturer":"FTDI",
   "product":"FT232R USB UART","driver":"ftdi_sio","com":["COM2"],
   "holders":[{"pid":812,"command":"minicom","argv0":"/usr/bin/minicom"}],
   "holders_unseen":0}
      a device of this machine: what is not known is null; com the port map's names
      for it (empty: the map does not name it); holders as in the end event below
  {"event":"port","device":"/dev/ttyUSB7","present":false,"com":["COM5"]}
      a port map entry that leads to no device
  {"event":"port","device":"rfc2217://bench-07:3001","present":null,"com":["COM5"],
   "network":{"url":"rfc2217://bench-07:3001","host":"bench-07","port":3001,
              "protocol":"rfc2217"}}
      a port map entry on another machine (protocol rfc2217 or raw), listed without
      connecting to it

When the port does not open or the device does not answer, the end event adds:
  "holders":[{"pid":812,"command":"minicom","argv0":"/usr/bin/minicom"}]
      the processes that have the device open
  "holders_unseen":0
      processes that could not be looked into (other users', unless run as root)
  "interferers":[{"process":"ModemManager","pid":640,"remedy":"..."}]
      running daemons known to take serial adapters (ModemManager, brltty), each with
      its remedy; standard error says the same in lines of its own
and for a port on another machine, instead of those (also when it failed during the run):
  "network":{"url":"rfc2217://bench-07:3001","host":"bench-07","port":3001,
             "protocol":"rfc2217","fault":"refused","advice":"..."}
      fault host-not-found, refused, timed-out (no answer to the connection within 5 s),
      closed-by-server (e.g. another client has the port), no-answer (connected, never
      answered), not-rfc2217, line-not-set, lost (the connection ended during the run) or
      none (the port opened, the device did not answer); advice what to check

Report lines (--report FILE), one JSON object per device and run:
  {"start":"2024-05-02T13:04:05Z","end":"2024-05-02T13:04:46Z","version":"1.07",
   "host":"bench-1","port":"COM2","device":"/dev/serial/by-id/usb-...-if00-port0",
   "device_target":"/dev/ttyUSB0","system":"Aurora Motores","operation":"program+verify",
   "images":[{"image":"main","file":"AURORA.BIN","sectors":40,"size":10245,
              "sha256":"5f0c..."}],
   "result":"verified","code":0,"outcome":"Verificado",
   "device_left":"programmed and verified","seconds":41.2,"bytes_per_second":650}
      start and end in UTC; version this program's; host this machine's name; port as
      given, device the path it stands for, device_target what that path links to (null
      when it is no link); system the row's description; operation program, verify,
      program+verify or read (--read-to); images as the row names them (main, L, L2):
      file, sectors the row's count, size in bytes and sha256 of the file as the run
      started (for --read-to, of the file written; null when there is none); the list
      is empty when the run ended before the system's row was taken; result, code (the
      exit status), outcome and device_left as in the end event; seconds from the start
      to the end; bytes_per_second of the sectors transferred, from the connection on.
      A line is written whole or not at all: one that a full disk cuts short is taken
      off again, and the run exits 4

Exit status:
  0  verified (with --program: programmed; --read-to: read whole; --dry-run: ready)
  1  verification mismatch: an image read back differs from its file
  2  no communication: no answer to the link poll, a time-out during the run, the
     connection given up
  3  port error: the port is not in the port map, missing, held by another program or
     failed during the run; a port on another machine: its host not found, the
     connection refused, timed out or closed, the server not speaking RFC 2217
  4  bad catalogue, installation or input: no usable catalogue, an unknown system, an
     image file missing or unreadable, a sector count the device cannot be given, a
     wrong command line; also any other failure the run ended in (see standard error)
  5  a bench: some device did not succeed (each one's status is in the summary)
  128 + n  ended by signal n: 130 SIGINT (Ctrl-C), 143 SIGTERM, 129 SIGHUP. Nothing
     is sent after the frame under way (never the command that runs the system), the
     port is closed and released, the trace written, and the end event and report line
     say "interrupted" with what the device was left holding. A bench passes the
     signal on to each device's process, waits up to 10 s for their endings, then
     prints its summary. A second signal ends the program at once

Examples:
  tolvan-flash --list
  tolvan-flash --list-ports
  tolvan-flash --port COM2 --system "Aurora Motores"
  tolvan-flash --port /dev/ttyUSB0 --system Aurora --verify --yes --json
  tolvan-flash --port rfc2217://bench-07:3001 --system Aurora --yes --trace bench-07
  tolvan-flash --port COM2 --port COM3 --port COM4 --port COM5 --system Aurora --yes
)";

// A wrong command line: why, as the user is told.
struct Refusal {
    std::string why;
};

std::optional<int> seconds(const std::string& text) {
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < 0 || value > 86400)
        return std::nullopt;
    return value;
}

// What names a bench's device in its files: the port's last path component.
std::string fileNameOf(const std::string& port) {
    const auto slash = port.rfind('/');
    return slash == std::string::npos ? port : port.substr(slash + 1);
}

}  // namespace

std::string usageText() {
    return kUsage;
}

std::optional<int> comNumber(const std::string& port) {
    const int numero = numeroDaPorta(port);
    if (numero < 1) return std::nullopt;
    return numero;
}

std::optional<FlashOptions> parseFlashOptions(const std::vector<std::string>& args,
                                              std::string& error) {
    FlashOptions o;
    bool list = false, listPorts = false, operacao = false;
    // The options act in the order given, and the first wrong one is the one reported.
    CLI::App app{"", "tolvan-flash"};
    app.set_help_flag();
    app.allow_extras();
    // What CLI11 leaves over is unknown, but for -h: a word of one dash is taken whole (CLI11
    // alone would read -hx as -h -x).
    const auto leftovers = [&] {
        const std::vector<std::string> rest = app.remaining();
        if (rest.empty()) return;
        if (rest.front() != "-h") throw Refusal{"unknown argument: " + rest.front()};
        o.action = FlashOptions::Action::Help;
        throw CLI::Success();
    };
    const auto value = [&](const std::string& name, std::function<void(const std::string&)> take) {
        app.add_option_function<std::string>(name,
                                             [&leftovers, take](const std::string& v) {
                                                 leftovers();
                                                 take(v);
                                             })
            ->trigger_on_parse();
    };
    // A flag takes no value: CLI11 hands on --json=1 as "1", --json (and --json=true) as "true".
    const auto flag = [&](const std::string& name, std::function<void()> act) {
        app.add_option(name,
                       [&leftovers, name, act](const CLI::results_t& given) {
                           leftovers();
                           if (given.front() != "true")
                               throw Refusal{"unknown argument: " + name + "=" + given.front()};
                           act();
                           return true;
                       })
            ->expected(0)
            ->trigger_on_parse();
    };
    const auto setOperacao = [&](Operacao op) {
        return [&, op] {
            if (operacao && o.operacao != op)
                throw Refusal{"give one of --program, --verify, --program-verify"};
            operacao = true;
            o.operacao = op;
        };
    };
    // An option naming a file or a folder: an empty name is none.
    const auto pathInto = [&](const std::string& option, std::optional<std::string>& into) {
        value(option, [option, &into](const std::string& v) {
            if (v.empty()) throw Refusal{option + " takes a name, not an empty one"};
            into = v;
        });
    };
    value("--port", [&](const std::string& v) {
        if (isNetworkAddress(v)) {
            std::string why;
            if (!parseNetworkAddress(v, why) && !why.empty()) throw Refusal{"--port " + why};
        } else if (v.empty() || (v[0] != '/' && !comNumber(v))) {
            throw Refusal{
                "--port takes COMn (n from 1), a device path, rfc2217://HOST:PORT or "
                "socket://HOST:PORT: " +
                v};
        }
        o.ports.push_back(v);
    });
    value("--system", [&](const std::string& v) { o.system = v; });
    value("--root", [&](const std::string& v) { o.root = v; });
    pathInto("--trace", o.trace);
    pathInto("--read-to", o.readTo);
    pathInto("--report", o.report);
    value("--connect-timeout", [&](const std::string& v) {
        const auto s = seconds(v);
        if (!s) throw Refusal{"--connect-timeout takes whole seconds: " + v};
        o.connectTimeoutS = *s;
    });
    flag("--program-verify", setOperacao(Operacao::GravacaoVerificacao));
    flag("--program", setOperacao(Operacao::Gravacao));
    flag("--verify", setOperacao(Operacao::Verificacao));
    flag("--json", [&] { o.json = true; });
    flag("--yes", [&] { o.yes = true; });
    flag("--dry-run", [&] { o.dryRun = true; });
    flag("--list", [&] { list = true; });
    flag("--list-ports", [&] { listPorts = true; });
    flag("--help", [&] {
        o.action = FlashOptions::Action::Help;
        throw CLI::Success();
    });
    flag("--version", [&] {
        o.action = FlashOptions::Action::Version;
        throw CLI::Success();
    });
    try {
        try {
            app.parse(std::vector<std::string>(args.rbegin(), args.rend()));
        } catch (const CLI::ArgumentMismatch& e) {
            // "--root: 1 required TEXT missing": the last option, given without its value.
            leftovers();
            const std::string what = e.what();
            throw Refusal{what.substr(0, what.find(':')) + " needs a value"};
        }
        leftovers();
    } catch (const CLI::Success&) {
        return o;
    } catch (const Refusal& refusal) {
        error = refusal.why;
        return std::nullopt;
    }
    if (list || listPorts) {
        if (list && listPorts) {
            error = "give one of --list, --list-ports";
            return std::nullopt;
        }
        o.action = list ? FlashOptions::Action::List : FlashOptions::Action::ListPorts;
        return o;
    }
    // A backup reads; it neither programs nor compares.
    if (o.readTo && operacao) {
        error = "--read-to takes none of --program, --verify, --program-verify";
        return std::nullopt;
    }
    if (o.readTo) o.operacao = Operacao::Leitura;
    if (o.ports.empty()) {
        error = "--port is missing";
        return std::nullopt;
    }
    // An empty text is in no description: the selector would find nothing.
    if (o.system.empty()) {
        error = "--system is missing";
        return std::nullopt;
    }
    std::set<std::string> seen;
    std::map<std::string, std::string> named;  // a bench's file names, and whose they are
    for (const std::string& port : o.ports) {
        const auto n = comNumber(port);
        if (!seen.insert(n ? nomeDaPorta(*n) : port).second) {
            error = "--port " + port + " is given twice";
            return std::nullopt;
        }
        // Two devices of a bench would write each other's trace, log and backup.
        if (const auto [at, fresh] = named.emplace(fileNameOf(port), port); !fresh && o.bench()) {
            error = "--port " + at->second + " and --port " + port +
                    " end in the same name: give one of them another path (e.g. its "
                    "/dev/serial/by-id/ name)";
            return std::nullopt;
        }
    }
    return o;
}

std::vector<std::string> childArguments(const FlashOptions& o, const std::string& port,
                                        const std::string& root) {
    std::vector<std::string> args = {"--port", port, "--system", o.system, "--json", "--yes"};
    const std::string name = fileNameOf(port);
    if (o.readTo) {
        // Each device's images in a folder of its own: the row's file names are the same for all.
        args.insert(args.end(), {"--read-to", o.readTo->ends_with('/') ? *o.readTo + name
                                                                       : *o.readTo + "/" + name});
    } else {
        args.push_back(o.operacao == Operacao::Gravacao      ? "--program"
                       : o.operacao == Operacao::Verificacao ? "--verify"
                                                             : "--program-verify");
    }
    if (o.dryRun) args.push_back("--dry-run");
    // Every process appends its own device's line.
    if (o.report) args.insert(args.end(), {"--report", *o.report});
    args.insert(args.end(), {"--connect-timeout", std::to_string(o.connectTimeoutS)});
    if (!root.empty()) args.insert(args.end(), {"--root", root});
    if (o.trace) args.insert(args.end(), {"--trace", *o.trace + "-" + name});
    return args;
}

}  // namespace tolvan::cli
