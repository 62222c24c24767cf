#include "cli/UnitReport.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <system_error>

#include "cli/Events.h"

namespace tolvan::cli {

namespace fs = std::filesystem;

namespace {

QString qs(const std::string& s) {
    return QString::fromStdString(s);
}

QJsonValue textOrNull(const std::string& s) {
    return s.empty() ? QJsonValue() : QJsonValue(qs(s));
}

std::string hostName() {
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0) return {};
    return name;
}

}  // namespace

std::string isoUtc(std::chrono::system_clock::time_point when) {
    const std::time_t t = std::chrono::system_clock::to_time_t(when);
    std::tm utc{};
    ::gmtime_r(&t, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
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
    if (fs::is_symlink(device, ec)) r.deviceTarget = fs::canonical(device, ec).string();
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
    QFile f(qs(path.string()));
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
    const QByteArray line = reportLine(record);
    const int fd = ::open(file.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = file.string() + ": " + std::strerror(errno);
        return false;
    }
    // One write: with O_APPEND the kernel puts the whole line at the end of the file, after
    // every other process's whole line. Another write for a rest could land after theirs. The
    // lock (which the bench's processes all take) lets a failed write be cut back off the end
    // without cutting another's line.
    ::flock(fd, LOCK_EX);
    struct stat before {};
    const bool sized = ::fstat(fd, &before) == 0;
    ssize_t written;
    do {
        written = ::write(fd, line.constData(), static_cast<std::size_t>(line.size()));
    } while (written < 0 && errno == EINTR);
    const int writeErrno = errno;
    bool cut = true;
    if (written > 0 && written != line.size()) cut = sized && ::ftruncate(fd, before.st_size) == 0;
    const bool closed = ::close(fd) == 0;  // and unlocks
    if (written < 0) {
        error = file.string() + ": " + std::strerror(writeErrno);
    } else if (written != line.size()) {
        error = file.string() + ": only " + std::to_string(written) + " of " +
                std::to_string(line.size()) + " bytes of the line were written (disk full?)" +
                (cut ? "; they were taken off again" : "; they could not be taken off again");
    } else if (!closed) {
        error = file.string() + ": " + std::strerror(errno);
    } else {
        return true;
    }
    return false;
}

}  // namespace tolvan::cli
