#include "TempFiles.h"

#include <fstream>
#include <random>
#include <sstream>

namespace tolvan::testing {

TempDir::TempDir() {
    path_ = std::filesystem::temp_directory_path() /
            ("tolvan-catalogue-" + std::to_string(std::random_device{}()));
    std::filesystem::create_directories(path_);
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::string readBytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeBytes(const std::filesystem::path& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary) << bytes;
}

}  // namespace tolvan::testing
