#include "cli/UnitReport.h"

#include <QCryptographicHash>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdio>
#include <system_error>

#include "cli/Events.h"
#include "cli/ReportFile.h"
#include "services/PathResolver.h"

namespace tolvan::cli {

namespace fs = std::filesystem;

namespace {

QString qs(const std::string& s) {
    return QString::fromStdString(s);
}

QJsonValue textOrNull(const std::string& s) {
    return s.empty() ? QJsonValue() : QJsonValue(qs(s));
}

}  // namespace

std::string isoUtc(std::chrono::system_clock::time_point when) {
    using namespace std::chrono;
    const auto second = floor<seconds>(when);
    const auto day = floor<days>(second);
    const year_month_day date{day};
    const hh_mm_ss time{second - day};
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02dZ", int(date.year()),
                  unsigned(date.month()), unsigned(date.day()), int(time.hours().count()),
                  int(time.minutes().count()), int(time.seconds().count()));
    return text;
}

const char* operationName(Operacao operacao) {
    switch (operacao) {
        case Operacao::Gravacao:
            return "program";
        case Operacao::Verificacao:
            return "verify";
        case Operacao::Leitura:
            return "read";
        default:
            return "program+verify";
    }
}

const char* nameOf(DeviceLeft left) {
    switch (left) {
        case DeviceLeft::NotProgrammed:
            return "not programmed";
        case DeviceLeft::PartlyProgrammed:
            return "partly programmed";
        case DeviceLeft::Programmed:
            return "programmed, not verified";
        case DeviceLeft::Verified:
            return "programmed and verified";
    }
    return "not programmed";
}

void setDevice(UnitRecord& r, const std::string& device) {
    r.device = device;
    r.deviceTarget.clear();
    std::error_code ec;
    if (fs::is_symlink(pathFromUtf8(device), ec))
        r.deviceTarget = utf8(fs::canonical(pathFromUtf8(device), ec));
}

UnitRecord beginRecord(const std::string& port, const std::string& device,
                       const std::string& system, Operacao operacao) {
    UnitRecord r;
    r.start = isoUtc(std::chrono::system_clock::now());
    r.version = TOLVAN_VERSION;
    r.host = hostName();
    r.port = port;
    setDevice(r, device);
    r.system = system;
    r.operation = operationName(operacao);
    return r;
}

ReportImage reportImage(Imagem imagem, const std::string& file, const fs::path& path,
                        std::int64_t sectors) {
    ReportImage image{events::imageName(imagem), file, sectors, std::nullopt, {}};
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return image;
    // Size and hash from the same reading, so that they describe the same bytes.
    QCryptographicHash hash(QCryptographicHash::Sha256);
    std::uintmax_t size = 0;
    while (!f.atEnd()) {
        const QByteArray chunk = f.read(1 << 16);
        if (chunk.isEmpty()) {
            if (f.error() != QFileDevice::NoError) return image;
            break;
        }
        hash.addData(chunk);
        size += static_cast<std::uintmax_t>(chunk.size());
    }
    image.size = size;
    image.sha256 = hash.result().toHex().toStdString();
    return image;
}

void endRecord(UnitRecord& r, const Outcome& outcome, double seconds, double bytesPerSecond) {
    r.end = isoUtc(std::chrono::system_clock::now());
    r.code = exitCodeOf(outcome);
    r.result = resultOf(outcome);
    r.outcome = nameOf(outcome);
    r.seconds = seconds;
    r.bytesPerSecond = bytesPerSecond;
}

QByteArray reportLine(const UnitRecord& r) {
    QJsonArray images;
    for (const ReportImage& i : r.images) {
        images.append(
            QJsonObject{{"image", qs(i.role)},
                        {"file", qs(i.file)},
                        {"sectors", static_cast<qint64>(i.sectors)},
                        {"size", i.size ? QJsonValue(static_cast<qint64>(*i.size)) : QJsonValue()},
                        {"sha256", textOrNull(i.sha256)}});
    }
    const QJsonObject line{{"start", qs(r.start)},
                           {"end", qs(r.end)},
                           {"version", qs(r.version)},
                           {"host", qs(r.host)},
                           {"port", qs(r.port)},
                           {"device", qs(r.device)},
                           {"device_target", textOrNull(r.deviceTarget)},
                           {"system", qs(r.system)},
                           {"operation", qs(r.operation)},
                           {"images", images},
                           {"result", qs(r.result)},
                           {"code", r.code},
                           {"outcome", qs(r.outcome)},
                           {"device_left", nameOf(r.deviceLeft)},
                           {"seconds", r.seconds},
                           {"bytes_per_second", qRound64(r.bytesPerSecond)}};
    return QJsonDocument(line).toJson(QJsonDocument::Compact) + '\n';
}

bool appendReportLine(const fs::path& file, const UnitRecord& record, std::string& error) {
    return appendWholeLine(file, reportLine(record), error);
}

}  // namespace tolvan::cli
