#include "sim/TestRig.h"

#include <unistd.h>
#include <atomic>
#include <fstream>
#include <sstream>
#include <system_error>

#include "link/PortName.h"
#include "services/PathResolver.h"
#include "texts/DefaultTexts.h"
#include "texts/TextTables.h"

namespace tolvan::sim {

namespace {

std::filesystem::path freshRoot() {
    static std::atomic<int> counter{0};
    std::filesystem::path dir =
        std::filesystem::temp_directory_path() /
        ("tolvan-rig-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

}  // namespace

TestRig::TestRig() : root(freshRoot()) {
    previousDirectory_ = std::filesystem::current_path();
    std::filesystem::current_path(root);
    writeFile(kCaptionsFile, arquivoCaptionsPadrao());
    writeFile(kMessagesFile, arquivoMensagensPadrao());
    for (int n = 1; n <= 4; ++n) {
        const std::string device = "/dev/sim" + std::to_string(n);
        registry.entries.push_back({nomeDaPorta(n), device});
        serial.addDevice(device);
    }
}

TestRig::~TestRig() {
    sessao_.reset();
    std::error_code ec;
    std::filesystem::current_path(previousDirectory_, ec);
    std::filesystem::remove_all(root, ec);
}

Sessao& TestRig::sessao() {
    if (!sessao_) {
        Services services{loop,      loop,
                          serial,    registry,
                          dialogs,   desktop,
                          catalogue, *fileAccess,
                          root,      root / "Orsolite" / "Tolvan Link" / "TolvanLink"};
        sessao_ = std::make_unique<Sessao>(services);
    }
    return *sessao_;
}

FrmTolvanLink& TestRig::form() {
    return *sessao().form_;
}

Componentes& TestRig::componentes() {
    return form();
}

void TestRig::start() {
    FrmTolvanLink& f = form();
    f.dispatch([&] { f.FormCreate(); });
    f.dispatch([&] { f.FormActivate(); });
}

std::filesystem::path TestRig::path(const std::string& programPath) const {
    return PathResolver(root).resolve(programPath);
}

void TestRig::writeFile(const std::string& programPath, const std::string& content) const {
    const std::filesystem::path p = path(programPath);
    std::filesystem::create_directories(p.parent_path());
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out << content;
}

std::string TestRig::readFile(const std::string& programPath) const {
    std::ifstream in(path(programPath), std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

bool TestRig::exists(const std::string& programPath) const {
    std::error_code ec;
    return std::filesystem::exists(path(programPath), ec);
}

void TestRig::removeFile(const std::string& programPath) const {
    std::error_code ec;
    std::filesystem::remove(path(programPath), ec);
}

void TestRig::writeImage(const std::string& name, const std::string& content) const {
    const std::filesystem::path bin = root / "Orsolite" / "Tolvan Link" / "bin";
    std::filesystem::create_directories((bin / name).parent_path());
    std::ofstream(bin / name, std::ios::binary | std::ios::trunc) << content;
}

void TestRig::setSystems(const std::vector<FakeCatalogueStore::System>& systems) {
    catalogue.setSystems(systems);
    writeFile(kCatalogueFile, "catalogue");
}

}  // namespace tolvan::sim
