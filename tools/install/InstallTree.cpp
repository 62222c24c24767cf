#include "InstallTree.h"

#include <sqlite3.h>

#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <fstream>
#include <memory>
#include <system_error>

#include "gui/JpegImage.h"
#include "texts/DefaultTexts.h"

namespace tolvan::install {

namespace fs = std::filesystem;

namespace {

void writeFile(const fs::path& file, const std::string& bytes) {
    std::error_code ec;
    fs::create_directories(file.parent_path(), ec);
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) throw InstallError("cannot write " + file.string());
}

// A small fixed generator, so that an image's bytes depend only on its name.
std::uint32_t seedOf(const std::string& text) {
    std::uint32_t h = 2166136261u;
    for (unsigned char c : text)
        h = (h ^ c) * 16777619u;
    return h ? h : 1;
}
std::uint8_t nextByte(std::uint32_t& state) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return static_cast<std::uint8_t>(state >> 24);
}

struct SqliteCloser {
    void operator()(sqlite3* db) const { sqlite3_close(db); }
};

void exec(sqlite3* db, const char* sql) {
    char* error = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &error) != SQLITE_OK) {
        const std::string text = error ? error : "unknown error";
        sqlite3_free(error);
        throw InstallError("catalogue: " + text);
    }
}

void writeBackground(const fs::path& file) {
    QImage image(800, 600, QImage::Format_RGB32);
    QPainter p(&image);
    QLinearGradient sky(0, 0, 0, 600);
    sky.setColorAt(0, QColor(18, 52, 96));
    sky.setColorAt(1, QColor(160, 190, 220));
    p.fillRect(image.rect(), sky);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 40));
    p.drawRoundedRect(QRect(480, 30, 320, 80), 12, 12);
    p.end();
    std::error_code ec;
    fs::create_directories(file.parent_path(), ec);
    QString error;
    if (!gui::JpegImage::save(image, QString::fromStdString(file.string()), 85, &error))
        throw InstallError("background: " + error.toStdString());
}

}  // namespace

std::vector<SystemSpec> demoSystems() {
    return {
        {"Aurora Motores", "AURORA.BIN", 12, "AURORA_L.BIN", 4, "", 0},
        {"Borealis Veículos", "BOREAL.BIN", 8, "BOREAL_L.BIN", 3, "BOREAL_2.BIN", 2},
        {"Cadenza", "CADENZA.BIN", 20, "CADENZ_L.BIN", 5, "", 0},
        {"Delta Norte", "DELTA.BIN", 6, "DELTA_L.BIN", 2, "", 0},
        {"Estrela do Sul", "ESTRELA.BIN", 16, "ESTREL_L.BIN", 4, "ESTREL_2.BIN", 3},
        {"Falcão Diesel", "FALCAO.BIN", 10, "FALCAO_L.BIN", 3, "", 0},
        {"Granito Caminhões", "GRANITO.BIN", 24, "GRANIT_L.BIN", 6, "", 0},
        {"Horizonte", "HORIZ.BIN", 5, "HORIZ_L.BIN", 2, "", 0},
        {"Ipê Tratores", "IPE.BIN", 14, "IPE_L.BIN", 4, "IPE_2.BIN", 2},
        {"Jacarandá", "JACAR.BIN", 9, "JACAR_L.BIN", 3, "", 0},
    };
}

fs::path programDir(const fs::path& root) {
    return root / "Orsolite" / "Tolvan Link";
}
fs::path commonDir(const fs::path& root) {
    return root / "Orsolite" / "Comuns";
}

std::string imageBytes(const std::string& fileName, int sectors, bool mainImage) {
    std::uint32_t state = seedOf(fileName);
    std::string bytes;
    std::size_t kept = static_cast<std::size_t>(std::max(0, sectors)) * 256;
    if (mainImage) {
        // Leading filler that programming skips, then the kept bytes from a byte that is
        // neither FF nor 00; every other image keeps a little less than its sectors.
        bytes = std::string("\xFF\x00\xFF\x00\xFF", 5);
        if (seedOf(fileName) % 2 == 0 && kept > 64) kept -= 1 + nextByte(state) % 48;
    }
    for (std::size_t i = 0; i < kept; ++i) {
        std::uint8_t b = nextByte(state);
        if (i == 0 && mainImage && (b == 0x00 || b == 0xFF)) b = 0x5A;
        bytes.push_back(static_cast<char>(b));
    }
    return bytes;
}

void writeCatalogue(const fs::path& file, const std::vector<SystemSpec>& systems) {
    std::error_code ec;
    fs::create_directories(file.parent_path(), ec);
    fs::remove(file, ec);
    sqlite3* raw = nullptr;
    if (sqlite3_open(file.string().c_str(), &raw) != SQLITE_OK) {
        sqlite3_close(raw);
        throw InstallError("cannot create " + file.string());
    }
    std::unique_ptr<sqlite3, SqliteCloser> db(raw);
    std::string create = std::string("CREATE TABLE ") + catalogo::kTabela + "(";
    for (const char* column : catalogo::kColunas) {
        const bool count = std::string_view(column).rfind("Setor", 0) == 0;
        create += std::string(column) + (count ? " INTEGER" : " TEXT") + ",";
    }
    create.back() = ')';
    exec(db.get(), create.c_str());
    sqlite3_stmt* insert = nullptr;
    if (sqlite3_prepare_v2(db.get(), "INSERT INTO TolvanLink VALUES (?, ?, ?, ?, ?, ?, ?)", -1,
                           &insert, nullptr) != SQLITE_OK)
        throw InstallError("catalogue: " + std::string(sqlite3_errmsg(db.get())));
    for (const SystemSpec& s : systems) {
        sqlite3_reset(insert);
        sqlite3_bind_text(insert, 1, s.descricao.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 2, s.arquivo.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int64(insert, 3, s.setor);
        sqlite3_bind_text(insert, 4, s.arquivoL.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int64(insert, 5, s.setorL);
        sqlite3_bind_text(insert, 6, s.arquivoL2.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int64(insert, 7, s.setorL2);
        if (sqlite3_step(insert) != SQLITE_DONE) {
            sqlite3_finalize(insert);
            throw InstallError("catalogue: " + std::string(sqlite3_errmsg(db.get())));
        }
    }
    sqlite3_finalize(insert);
}

void writeSerialComm(const fs::path& root, const std::vector<PortEntry>& ports) {
    std::string text = "# Serial ports: COMn=<device>\n";
    for (const PortEntry& p : ports)
        text += p.name + "=" + p.device + "\n";
    writeFile(commonDir(root) / "SerialComm.txt", text);
}

void writeInstallation(const InstallOptions& o) {
    if (o.root.empty()) throw InstallError("no installation root given");
    const fs::path dir = programDir(o.root);
    writeFile(dir / "Captions.txt", arquivoCaptionsPadrao());
    writeFile(dir / "Mensagens.txt", arquivoMensagensPadrao());

    std::error_code ec;
    fs::create_directories(dir / "manual", ec);
    fs::create_directories(dir / "bin", ec);
    for (const SystemSpec& s : o.systems) {
        writeFile(dir / "bin" / s.arquivo, imageBytes(s.arquivo, s.setor, true));
        writeFile(dir / "bin" / s.arquivoL, imageBytes(s.arquivoL, s.setorL, false));
        if (!s.arquivoL2.empty())
            writeFile(dir / "bin" / s.arquivoL2, imageBytes(s.arquivoL2, s.setorL2, false));
    }
    const fs::path catalogue = dir / "Tabelas" / "TolvanLink.db";
    if (o.catalogue) {
        writeCatalogue(catalogue, o.systems);
    } else {
        fs::remove(catalogue, ec);
    }

    if (!o.program.empty()) {
        // TolvanLink.exe for Windows.
        const fs::path target = dir / ("TolvanLink" + o.program.extension().string());
        fs::remove(target, ec);
        fs::copy_file(o.program, target, fs::copy_options::overwrite_existing, ec);
        if (ec) throw InstallError("cannot copy " + o.program.string() + ": " + ec.message());
        fs::permissions(target, fs::perms::owner_all | fs::perms::group_read |
                                    fs::perms::group_exec | fs::perms::others_read |
                                    fs::perms::others_exec);
    }

    writeSerialComm(o.root, o.ports);
    const fs::path portFile = commonDir(o.root) / "Comm.txt";
    if (o.portNumber) {
        writeFile(portFile, std::to_string(*o.portNumber) + "\r\n");
    } else {
        fs::remove(portFile, ec);
    }

    // The launcher's files, spelled as the launcher spells them; the program finds them
    // whatever the case.
    const fs::path selection = commonDir(o.root) / "Selecao";
    if (o.selection) {
        writeFile(selection, "TolvanFlex\r\nSelecionador\r\n" + *o.selection + "\r\n");
    } else {
        fs::remove(selection, ec);
    }
    const fs::path flex = o.root / "Orsolite" / "TolvanFlex";
    if (o.background) writeBackground(flex / "Imagens" / "FundoComum.jpg");
    if (o.marker) writeFile(flex / "pilq.dll", "");
}

}  // namespace tolvan::install
