#include <memory>
#include <set>
#include <string>

#include "FuzzEntries.h"
#include "Scenario.h"
#include "link/PortDialog.h"
#include "link/PortOpening.h"
#include "link/SerialCommRegistry.h"
#include "platform/NativeFileAccess.h"

namespace tolvan::fuzz {

namespace {

class NoDevices : public SerialDeviceList {
  public:
    std::vector<std::string> serialDevices() override { return {}; }
};

bool blank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

}  // namespace

void fuzzSerialComm(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::vector<SerialPortEntry> entries = parseSerialComm(text);

    std::set<int> numbers;
    for (const SerialPortEntry& e : entries) {
        const int n = numeroDaPorta(e.name);
        expect(n >= 1 && e.name == "COM" + std::to_string(n), "a port name that is not COMn");
        expect(numbers.insert(n).second, "a port listed twice");
        expect(!e.device.empty() && !blank(e.device.front()) && !blank(e.device.back()) &&
                   e.device.find('\n') == std::string::npos,
               "a device path with blanks around it or a line break");
    }

    // The registry reads the same list from the file.
    const PathResolver files(scratchFolder() / "serialcomm");
    writeBytes(files.resolve(kSerialCommFile), text);
    NoDevices none;
    const std::unique_ptr<FileAccess> access = nativeFileAccess();
    SerialCommRegistry registry(files, *access, none);
    const std::vector<SerialPortEntry> read = registry.ports();
    expect(read.size() == entries.size(), "the registry reads another list than the text gives");
    for (std::size_t i = 0; i < read.size(); ++i)
        expect(read[i].name == entries[i].name && read[i].device == entries[i].device,
               "the registry reads another list than the text gives");

    // The list on the port list screen, the port dialog and the serial layer's own prompt.
    Scenario s;
    s.rig.registry.entries = entries;
    for (const SerialPortEntry& e : entries)
        s.rig.serial.addDevice(e.device);
    s.rig.dialogs.onSelectPort = [](const SelectPortRequest& r) -> std::optional<std::string> {
        if (r.choices.empty()) return std::nullopt;
        return r.choices.back();
    };
    s.rig.setSystems({{"Sistema", "M.BIN", 1, "L.BIN", 1, "", 0}});
    s.rig.writeFile(kPortFile, "0\r\n");  // no port chosen: the serial layer asks
    s.rig.start();
    for (int line = 0; line < 8 && !s.closed(); ++line) {
        s.on([&] { s.f().telas.MontaTela3(); });
        s.on([&] {
            s.f().painel.cliqueVisor(line);
            s.f().painel.btnConfirmaClick();
        });
    }
    if (!s.closed()) s.on([&] { s.f().telas.FormKeyDown(kVkF6); });
}

}  // namespace tolvan::fuzz
