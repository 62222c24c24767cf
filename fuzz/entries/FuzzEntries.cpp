#include "FuzzEntries.h"

namespace tolvan::fuzz {

const std::vector<FuzzEntry>& fuzzEntries() {
    // clang-format off
    static const std::vector<FuzzEntry> entries = {
        {"text_tables", fuzzTextTables},
        {"port_file", fuzzPortFile},
        {"serial_comm", fuzzSerialComm},
        {"selection_file", fuzzSelectionFile},
        {"catalogue_sqlite", fuzzCatalogueSqlite},
        {"catalogue_paradox", fuzzCatalogueParadox},
        {"catalogue_csv", fuzzCatalogueCsv},
        {"background_picture", fuzzBackgroundPicture},
        {"image_files", fuzzImageFiles},
        {"receiver_link", fuzzReceiverLink},
        {"receiver_transfer", fuzzReceiverTransfer},
        {"telnet_session", fuzzTelnetSession},
    };
    // clang-format on
    return entries;
}

const FuzzEntry* findFuzzEntry(std::string_view name) {
    for (const FuzzEntry& e : fuzzEntries())
        if (name == e.name) return &e;
    return nullptr;
}

}  // namespace tolvan::fuzz
