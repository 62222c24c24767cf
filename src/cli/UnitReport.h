#pragma once

#include <QByteArray>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "app/Sessao.h"
#include "cli/ExitCodes.h"

namespace tolvan::cli {

// One device's run as a line of the --report file, for traceability: what was put into which
// unit, from which files, with which result.

struct ReportImage {
    std::string role;  // main, L, L2
    std::string file;  // the catalogue row's file name
    std::int64_t sectors = 0;
    std::optional<std::uintmax_t> size;  // bytes; none when the file could not be read
    std::string sha256;                  // lower-case hex; empty when it could not be read
};

// What a run left the device holding, by what it sent: nothing written (or only read), an
// image greeted for programming (which erases it) and not yet every one written, every image
// written, every image written and read back equal.
enum class DeviceLeft { NotProgrammed, PartlyProgrammed, Programmed, Verified };
// "not programmed", "partly programmed", "programmed, not verified", "programmed and verified".
const char* nameOf(DeviceLeft left);

struct UnitRecord {
    std::string start, end;  // UTC, ISO 8601 with Z
    std::string version;     // of this program
    std::string host;
    std::string port;          // as given
    std::string device;        // the device path the port stands for
    std::string deviceTarget;  // what that path links to (a by-id link); empty for none
    std::string system;        // the row's description
    std::string operation;     // program, verify, program+verify
    std::vector<ReportImage> images;
    int code = -1;        // the exit status
    std::string result;   // verified, programmed, mismatch, error
    std::string outcome;  // Verificado, SemComunicacao, ...
    DeviceLeft deviceLeft = DeviceLeft::NotProgrammed;
    double seconds = 0;
    double bytesPerSecond = 0;
};

// "2024-05-02T13:04:05Z".
std::string isoUtc(std::chrono::system_clock::time_point when);
// "program", "verify", "program+verify".
const char* operationName(Operacao operacao);

// A record started now for this program on this host.
UnitRecord beginRecord(const std::string& port, const std::string& device,
                       const std::string& system, Operacao operacao);
// The device path the port stands for, and what it links to.
void setDevice(UnitRecord& record, const std::string& device);
// An image of the row: the file at `path` sized and hashed.
ReportImage reportImage(Imagem imagem, const std::string& file, const std::filesystem::path& path,
                        std::int64_t sectors);
// The run ended now as `outcome` says, after `seconds`, at `bytesPerSecond`.
void endRecord(UnitRecord& record, const Outcome& outcome, double seconds, double bytesPerSecond);

// The record as one compact JSON object and a line feed.
QByteArray reportLine(const UnitRecord& record);
// Appends the record's line to `file` in one write, so that the processes of a bench can
// append to the same file at once; creates it (0644) when missing. False, and why in `error`,
// when the line was not written whole: then the file is cut back to what it held, so that no
// piece of a line is left for the next one to be glued to.
bool appendReportLine(const std::filesystem::path& file, const UnitRecord& record,
                      std::string& error);

}  // namespace tolvan::cli
