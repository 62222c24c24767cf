#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace tolvan::fuzz {

// One fuzz target: the reader of outside data it feeds and how an input reaches it. The same
// entry runs under libFuzzer (fuzz/) and in the unit tests on saved inputs, without clang.
// An entry returns normally, or throws FuzzFailure when the input broke one of its rules.
using EntryPoint = void (*)(const std::uint8_t* data, std::size_t size);

struct FuzzEntry {
    const char* name;  // also the folder of its inputs under fuzz/corpus and fuzz/regressions
    EntryPoint run;
};

const std::vector<FuzzEntry>& fuzzEntries();
const FuzzEntry* findFuzzEntry(std::string_view name);

// Captions.txt and Mensagens.txt: input byte 0 picks the file(s) (0 captions, 1 messages,
// 2 both), the rest is the file.
void fuzzTextTables(const std::uint8_t* data, std::size_t size);
// Comm.txt, the port file, read at start-up and by the port list screen.
void fuzzPortFile(const std::uint8_t* data, std::size_t size);
// SerialComm.txt, the machine's port list, up to the port list screen and the port prompt.
void fuzzSerialComm(const std::uint8_t* data, std::size_t size);
// Selecao, the launcher's selection file, through a whole selector-mode run.
void fuzzSelectionFile(const std::uint8_t* data, std::size_t size);
// TolvanLink.db as a SQLite file, through the store, the query and the system list.
void fuzzCatalogueSqlite(const std::uint8_t* data, std::size_t size);
// TolvanLink.db as a legacy Paradox table, through the catalogue tool's conversion.
void fuzzCatalogueParadox(const std::uint8_t* data, std::size_t size);
// The catalogue tool's CSV files.
void fuzzCatalogueCsv(const std::uint8_t* data, std::size_t size);
// FundoComum.jpg, the selector mode's background picture, through the JPEG reader.
void fuzzBackgroundPicture(const std::uint8_t* data, std::size_t size);
// The image files, programmed into the emulated device and verified.
void fuzzImageFiles(const std::uint8_t* data, std::size_t size);
// The receive handler fed the device's side of the line (see ReceiverEntry.cpp for the input's
// layout): during the link handshake and with no operation under way ...
void fuzzReceiverLink(const std::uint8_t* data, std::size_t size);
// ... and during a transfer: set-up steps, sector reads, sector writes, after a time-out.
void fuzzReceiverTransfer(const std::uint8_t* data, std::size_t size);
// What a serial port server sends on a network serial port (byte 0 picks where the reads are
// cut), through the telnet decoder and the RFC 2217 negotiation.
void fuzzTelnetSession(const std::uint8_t* data, std::size_t size);

}  // namespace tolvan::fuzz
