#pragma once

#include <QJsonDocument>
#include <QJsonObject>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "Harness.h"

namespace tolvan::e2e {

// One JSON event line of tolvan-flash.
struct Event {
    QJsonObject json;
    std::string kind() const { return get("event"); }
    std::string get(const char* key) const { return json.value(key).toString().toStdString(); }
    int number(const char* key) const { return json.value(key).toInt(-1); }
};

// What a tolvan-flash run printed, and how it ended.
struct FlashOutput {
    std::optional<int> status;
    std::vector<Event> events;  // standard output's JSON lines
    std::string out, err;
    std::string describe() const { return "stdout:\n" + out + "\nstderr:\n" + err; }
    std::vector<Event> of(const std::string& kind) const {
        std::vector<Event> found;
        for (const Event& e : events)
            if (e.kind() == kind) found.push_back(e);
        return found;
    }
};

// The main image of two sectors, the L image of one: a run of a few seconds.
inline install::SystemSpec sistemaCurto() {
    return {"Teste Curto", "TESTE.BIN", 2, "TESTE_L.BIN", 1, "", 0};
}

// An installation whose catalogue holds that system alone.
inline std::unique_ptr<Installation> installationOfOneShortSystem() {
    install::InstallOptions options;
    options.systems = {sistemaCurto()};
    return std::make_unique<Installation>(std::move(options));
}

inline std::string withoutCarriageReturns(std::string text) {
    if (!underWine()) return text;
    std::string::size_type at = 0;
    while ((at = text.find("\r\n", at)) != std::string::npos)
        text.erase(at, 1);
    return text;
}

// Runs tolvan-flash on the installation, without a display, and reads what it printed.
inline FlashOutput runFlash(const Installation& install, std::vector<std::string> args,
                            std::chrono::seconds timeout = 90s) {
    std::vector<std::string> argv = command(flashExecutable());
    argv.insert(argv.end(), {"--root", install.rootArgument()});
    args.insert(args.begin(), argv.begin(), argv.end());
    const std::filesystem::path out = install.cwd() / "flash.out",
                                err = install.cwd() / "flash.err";
    FlashOutput r;
    {
        // Under Wine even a console program starts the prefix's desktop process, which every
        // later window of the run then goes through: on the run's own display, not on none.
        std::vector<std::string> unset = {"WAYLAND_DISPLAY"};
        if (!underWine()) unset.push_back("DISPLAY");
        Process p({args, {}, install.cwd(), out, {}, unset, err});
        r.status = p.waitExit(timeout);
    }
    // Windows ends a line of a program's output with CR LF.
    r.out = withoutCarriageReturns(readFile(out));
    r.err = withoutCarriageReturns(readFile(err));
    std::istringstream lines(r.out);
    for (std::string line; std::getline(lines, line);) {
        const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(line));
        if (doc.isObject()) r.events.push_back({doc.object()});
    }
    return r;
}

}  // namespace tolvan::e2e
