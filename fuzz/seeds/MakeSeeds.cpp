// Writes the seed corpus of every fuzz target: real-looking inputs of each reader.
// Usage: fuzz_make_seeds <the fuzz folder of the source tree>
#include <sqlite3.h>

#include <QImage>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>

#include "FuzzSupport.h"
#include "ParadoxWriter.h"
#include "gui/JpegImage.h"
#include "texts/DefaultTexts.h"

namespace fs = std::filesystem;
using tolvan::fuzz::readBytes;
using tolvan::fuzz::writeBytes;

namespace {

fs::path corpus;

void seed(const std::string& target, const std::string& name, const std::string& bytes) {
    writeBytes(corpus / target / name, bytes);
}

std::string bytes(std::initializer_list<int> values) {
    std::string s;
    for (int v : values)
        s += static_cast<char>(v);
    return s;
}

std::string pattern(std::size_t n, int seed) {
    std::string s;
    for (std::size_t i = 0; i < n; ++i)
        s += static_cast<char>(1 + (i * 7 + static_cast<std::size_t>(seed)) % 250);
    return s;
}

// ---- Text files ----

void textSeeds() {
    const std::string captions = tolvan::arquivoCaptionsPadrao();
    const std::string mensagens = tolvan::arquivoMensagensPadrao();
    seed("text_tables", "captions-default", bytes({0, 4}) + captions);
    seed("text_tables", "messages-default", bytes({1, 4}) + mensagens);
    std::string lf = mensagens;
    for (std::size_t at; (at = lf.find("\r\n")) != std::string::npos;)
        lf.erase(at, 1);
    seed("text_tables", "messages-lf", bytes({1, 3}) + lf);
    seed("text_tables", "both-short",
         bytes({2, 0}) +
             "[Portugu\xEAs]\r\nfrmTolvanLink = Vessaro\r\nMsg = linha\xA4linha\r\n"
             "sem igual\r\n=\r\n[FIM]\r\n");
    seed("text_tables", "no-end-mark", bytes({2, 1}) + "[PORTUGU\xEAS]\nA=\nB = x\n");

    for (const auto& [name, text] :
         std::vector<std::pair<std::string, std::string>>{{"two", "2\r\n"},
                                                          {"three-bare", "3"},
                                                          {"blanks", " 4 \r\n"},
                                                          {"zero", "0\r\n"},
                                                          {"largest", "65535\r\n"},
                                                          {"too-large", "65536\r\n"},
                                                          {"negative", "-1\r\n"},
                                                          {"name", "COM3\r\n"},
                                                          {"empty", ""},
                                                          {"two-lines", "1\r\n2\r\n"}})
        seed("port_file", name, text);

    seed("serial_comm", "two-ports", "COM1=/dev/ttyS0\nCOM2=/dev/ttyUSB0\n");
    seed("serial_comm", "bom-crlf-comments",
         "\xEF\xBB\xBF# serial ports\r\nCOM3 = /dev/pts/4\r\n\r\ncom4=/dev/serial/by-id/usb-x\r\n");
    seed("serial_comm", "duplicates-and-junk",
         "COM2=/dev/ttyS1\nCOM2=/dev/ttyS2\nCOM0=/dev/null\nCOMX=/dev/x\nLPT1=/dev/lp0\n"
         "COM70000=/dev/ttyS3\nCOM5=\n=\nCOM6=/dev/ttyACM0");
    seed("serial_comm", "many", [] {
        std::string s;
        for (int n = 1; n <= 12; ++n)
            s += "COM" + std::to_string(n) + "=/dev/ttyS" + std::to_string(n) + "\n";
        return s;
    }());

    for (const auto& [name, text] : std::vector<std::pair<std::string, std::string>>{
             {"alfa", "C:\\Orsolite\\TolvanFlex\r\n1\r\nAlfa\r\n"},
             {"gama-lf", "x\ny\nGama\n"},
             {"accented", "x\r\ny\r\n\xC3\x89psilon\r\n"},
             {"part-of-name", "x\r\ny\r\nOmega\r\n"},
             {"last-row", "x\r\ny\r\nZeta \xC3\x94mega\r\n"},
             {"missing-image", "x\r\ny\r\nDelta\r\n"},
             {"unknown", "x\r\ny\r\nNenhum\r\n"},
             {"two-lines", "x\r\ny\r\n"},
             {"empty", ""}})
        seed("selection_file", name, text);

    seed("catalogue_csv", "two-rows",
         "Descricao,Arquivo,Setor,Arquivo_L,Setor_L,Arquivo_L2,Setor_L2\n"
         "Sistema A,A.BIN,4,AL.BIN,2,,0\n\"Sistema, B\",B.BIN,1,BL.BIN,1,B2.BIN,1\n");
    seed("catalogue_csv", "bom-crlf-no-l2",
         "\xEF\xBB\xBF"
         "descricao,ARQUIVO,setor,arquivo_l,setor_l\r\n\"Aspas \"\"x\"\"\",X.BIN,10,XL.BIN,3\r\n");
    seed("catalogue_csv", "bad-count", "Descricao,Arquivo,Setor,Arquivo_L,Setor_L\nA,B,x,C,1\n");
    // As spreadsheets save them: semicolons in Windows-1252 with a quoted header, tabs in UTF-8.
    seed("catalogue_csv", "semicolons-windows-1252",
         "\"Descricao\";\"Arquivo\";\"Setor\";\"Arquivo_L\";\"Setor_L\";\"Arquivo_L2\";"
         "\"Setor_L2\"\r\n\"Falc\xE3o; \x80\";\"F.BIN\";12;\"F_L.BIN\";3;;0\r\n;;;;;;\r\n");
    seed("catalogue_csv", "tabs-utf8",
         "Descricao\tArquivo\tSetor\tArquivo_L\tSetor_L\n\"Ação\nnova\"\tA.BIN\t1\tA_L.BIN\t2\n");
}

// ---- Catalogues ----

void exec(sqlite3* db, const std::string& sql) {
    char* error = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
        const std::string why = error ? error : "?";
        sqlite3_free(error);
        throw std::runtime_error(why + " in " + sql);
    }
}

void sqliteSeed(const std::string& name, const std::string& sql) {
    const fs::path file = fs::temp_directory_path() / ("tolvan-seed-" + name + ".db");
    fs::remove(file);
    sqlite3* db = nullptr;
    sqlite3_open(file.c_str(), &db);
    exec(db, "Pragma page_size = 512; Pragma journal_mode = Off;");
    exec(db, sql);
    exec(db, "Vacuum;");
    sqlite3_close(db);
    seed("catalogue_sqlite", name, readBytes(file));
    fs::remove(file);
}

const char* const kSchema =
    "Create Table TolvanLink (Descricao Text Not Null Collate NoCase, Arquivo Text Not Null,"
    " Setor Integer Not Null, Arquivo_L Text Not Null, Setor_L Integer Not Null,"
    " Arquivo_L2 Text Not Null Default '', Setor_L2 Integer Not Null Default 0);"
    "Create Unique Index TolvanLink_Descricao On TolvanLink (Descricao Collate NoCase);";

void sqliteSeeds() {
    sqliteSeed("three-systems",
               std::string(kSchema) +
                   "Insert Into TolvanLink Values ('Sistema A', 'A.BIN', 4, 'AL.BIN', 2, '', 0),"
                   " ('Sistema B', 'B.BIN', 1, 'BL.BIN', 1, 'B2.BIN', 1),"
                   " ('Máquina Ç', 'C.BIN', 300, 'CL.BIN', 1, '', 0);");
    std::string many = std::string(kSchema) + "Insert Into TolvanLink Values ";
    for (int n = 1; n <= 9; ++n)
        many += std::string(n > 1 ? "," : "") + "('Sistema " + std::to_string(n) + "', 'S" +
                std::to_string(n) + ".BIN', " + std::to_string(n) + ", 'L.BIN', 1, '', 0)";
    sqliteSeed("nine-systems", many + ";");
    sqliteSeed("loose-types",
               "Create Table TolvanLink (Descricao, Arquivo, Setor, Arquivo_L, Setor_L,"
               " Arquivo_L2, Setor_L2, Extra);"
               "Insert Into TolvanLink Values (Null, X'FF00', '12abc', 3.75, -1, Null, 1e300, 1),"
               " (42, 'A.BIN', 9223372036854775807, 'L', -9223372036854775808, '  ', '7', 2);");
    sqliteSeed("missing-column",
               "Create Table TolvanLink (Descricao Text, Arquivo Text, Setor Integer);"
               "Insert Into TolvanLink Values ('A', 'A.BIN', 1);");
    sqliteSeed("a-view",
               "Create Table T (Descricao, Arquivo, Setor, Arquivo_L, Setor_L,"
               " Arquivo_L2, Setor_L2);"
               "Create View TolvanLink As Select * From T;");
    sqliteSeed("empty-table", kSchema);
}

void paradoxSeed(const std::string& name, const std::vector<tolvan::catalogue::ParadoxRow>& rows,
                 int codePage, bool withL2) {
    const fs::path file = fs::temp_directory_path() / ("tolvan-seed-" + name + ".db");
    fs::remove(file);
    tolvan::catalogue::writeParadoxTable(file, rows, codePage, withL2);
    seed("catalogue_paradox", name, readBytes(file));
    fs::remove(file);
}

void paradoxSeeds() {
    paradoxSeed("three-systems-1252",
                {{"Sistema A", "A.BIN", 4, "AL.BIN", 2, "", 0},
                 {"M\xE1quina", "B.BIN", 1, "BL.BIN", 1, "B2.BIN", 1},
                 {" Com brancos ", "C.BIN", 300, "CL.BIN", 1, "", 0}},
                1252, true);
    paradoxSeed("no-l2-850", {{"Sistema \x87", "A.BIN", 2, "AL.BIN", 1, "", 0}}, 850, false);
    paradoxSeed("twins",
                {{"Alfa", "A.BIN", 1, "L.BIN", 1, "", 0}, {"ALFA", "B.BIN", 1, "L.BIN", 1, "", 0}},
                0, true);
    paradoxSeed("empty", {}, 1252, true);
}

// ---- Image files ----

void imageSeed(const std::string& name, int flags, const std::string& main,
               const std::string& rest) {
    seed("image_files", name,
         bytes({flags, static_cast<int>(main.size() >> 8), static_cast<int>(main.size() & 0xFF)}) +
             main + rest);
}

void imageSeeds() {
    imageSeed("both-300-100", 1, bytes({0x00, 0xFF}) + pattern(300, 1), pattern(100, 2));
    imageSeed("programming-257", 2, pattern(257, 3), pattern(1, 4));
    imageSeed("verification-513-l2", 3 | 4, pattern(513, 5), pattern(200, 6));
    imageSeed("exact-sector-l2", 1 | 4, pattern(256, 7), pattern(256, 8) + pattern(255, 9));
    imageSeed("only-skipped-bytes", 1, std::string(40, '\x00') + std::string(40, '\xFF'), "L");
    imageSeed("counts-off", 1 | 8, pattern(10, 10), pattern(10, 11));
    imageSeed("empty-l", 2, pattern(20, 12), "");
}

// ---- Background pictures ----

// A JPEG of `components` channels (1 grey, 3 RGB, 4 CMYK) written with libjpeg itself, so that
// the seeds also hold the kinds the program's own writer does not make.
std::string jpeg(int width, int height, int components, bool progressive) {
    jpeg_compress_struct info{};
    jpeg_error_mgr err{};
    info.err = jpeg_std_error(&err);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = components;
    info.in_color_space = components == 1 ? JCS_GRAYSCALE : components == 3 ? JCS_RGB : JCS_CMYK;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 60, TRUE);
    if (progressive) jpeg_simple_progression(&info);
    jpeg_start_compress(&info, TRUE);
    std::vector<unsigned char> row(static_cast<std::size_t>(width * components));
    while (info.next_scanline < info.image_height) {
        for (std::size_t x = 0; x < row.size(); ++x)
            row[x] = static_cast<unsigned char>(x * 16 + info.next_scanline * 8);
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::string out(reinterpret_cast<const char*>(buffer), size);
    std::free(buffer);
    return out;
}

void pictureSeeds() {
    QImage picture(16, 12, QImage::Format_RGB32);
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            picture.setPixel(x, y, qRgb(x * 16, y * 20, 128));
    const QByteArray own = tolvan::gui::JpegImage::encode(picture, 75);
    seed("background_picture", "own-writer-16x12", own.toStdString());
    seed("background_picture", "cut-short", own.left(own.size() / 2).toStdString());
    seed("background_picture", "grey-8x8", jpeg(8, 8, 1, false));
    seed("background_picture", "progressive-24x16", jpeg(24, 16, 3, true));
    seed("background_picture", "cmyk-8x8", jpeg(8, 8, 4, false));
    seed("background_picture", "one-pixel", jpeg(1, 1, 3, false));
}

// ---- The device's side of the line ----

std::string event(int gapMs, const std::string& b) {
    return bytes({gapMs, static_cast<int>(b.size())}) + b;
}

// A sector answer in events of at most 255 bytes, cut at `cut`.
std::string sector(int gapMs, char fill, std::size_t cut = 255) {
    const std::string answer = bytes({0x01, 0x03, 0x09}) + std::string(256, fill);
    std::string out;
    for (std::size_t at = 0; at < answer.size(); at += cut) {
        out += event(at == 0 ? gapMs : 5, answer.substr(at, cut));
    }
    return out;
}

void receiverSeeds() {
    const std::string link = bytes({0x00, 0x03, 0x01});
    seed("receiver_link", "answer-whole", bytes({0}) + event(10, link));
    seed("receiver_link", "answer-in-two",
         bytes({0}) + event(10, bytes({0})) + event(3, bytes({3, 1})));
    seed("receiver_link", "answer-in-three",
         bytes({0}) + event(10, bytes({0})) + event(1, bytes({3})) + event(1, bytes({1})));
    seed("receiver_link", "head-then-end",
         bytes({0}) + event(10, bytes({0, 3})) + event(2, bytes({1})));
    seed("receiver_link", "noise-then-answer",
         bytes({0}) + event(10, bytes({0xFF, 0, 3, 2})) + event(20, link));
    seed("receiver_link", "selector-answer", bytes({2}) + event(10, link));
    seed("receiver_link", "keep-polling",
         bytes({0}) + event(250, "") + bytes({1}) + event(10, link));
    seed("receiver_link", "stray-bytes-on-list",
         bytes({1}) + event(10, link) + event(50, bytes({1, 3, 9, 0, 0})));
    seed("receiver_link", "stray-bytes-on-menu-log",
         bytes({1 | 4 | 8}) + event(10, bytes({0, 3, 6})) + event(10, pattern(200, 1)));

    // The host sends each set-up frame 200 ms after the answer to the previous one and each
    // sector frame 400 ms after the previous one: answers 300 ms (gap byte 203) or 500 ms
    // (gap byte 205) apart keep pace with it.
    auto ack = [](int code) { return bytes({0x00, 0x03, code}); };
    seed("receiver_transfer", "setup-acks-programming",
         bytes({0 | (2 << 2)}) + event(20, ack(2)) + event(203, ack(3)) + event(203, ack(4)) +
             event(203, ack(5)) + event(203, ack(6)) + event(205, ack(6)) + event(205, ack(6)));
    seed("receiver_transfer", "setup-acks-reading",
         bytes({0 | (3 << 2)}) + event(20, ack(2)) + event(203, ack(3)) + event(203, ack(7)) +
             event(203, ack(8)) + sector(203, '\x5A'));
    seed("receiver_transfer", "reading-sectors",
         bytes({1 | (3 << 2)}) + sector(20, '\x5A') + sector(203, '\x5A') + sector(203, '\x5A'));
    seed("receiver_transfer", "reading-head-split",
         bytes({1 | (3 << 2)}) + event(20, bytes({1})) + event(5, bytes({3, 9})) +
             event(5, std::string(200, '\x5A')) + event(5, std::string(56, '\x5A')));
    seed("receiver_transfer", "reading-differs-log",
         bytes({1 | (3 << 2) | 32}) + sector(20, '\x11', 100) + sector(203, '\x5A', 100));
    seed("receiver_transfer", "writing-acks",
         bytes({2 | (2 << 2)}) + event(30, ack(6)) + event(205, ack(6)) + event(205, ack(6)) +
             event(205, ack(6)));
    seed("receiver_transfer", "writing-selector-l2",
         bytes({2 | 16 | 64}) + event(30, ack(6)) + event(205, ack(6)) + event(205, ack(6)));
    seed("receiver_transfer", "timeout-late-answers",
         bytes({3 | (1 << 2), 10}) + bytes({4}) + event(10, ack(6)) + event(10, ack(6)));
    seed("receiver_transfer", "timeout-reading-late-sector",
         bytes({3 | (3 << 2), 12}) + bytes({4}) + sector(10, '\x5A'));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_make_seeds <fuzz folder>\n");
        return 2;
    }
    corpus = fs::path(argv[1]) / "corpus";
    try {
        textSeeds();
        sqliteSeeds();
        paradoxSeeds();
        imageSeeds();
        pictureSeeds();
        receiverSeeds();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "fuzz_make_seeds: %s\n", e.what());
        return 1;
    }
    return 0;
}
