#include "device/ImageStore.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace tolvan::emu {

namespace {

const char kHex[] = "0123456789ABCDEF";

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string lower(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

}  // namespace

Address addressOf(std::uint8_t b1, std::uint8_t b2, std::uint8_t b3) {
    return (Address{b1} << 16) | (Address{b2} << 8) | Address{b3};
}

std::string imageName(Address address) {
    if (address == kMainImage) return "main";
    if (address == kLImage) return "L";
    if (address == kL2Image) return "L2";
    char text[8];
    std::snprintf(text, sizeof text, "%06X", static_cast<unsigned>(address & 0xFFFFFF));
    return text;
}

std::optional<Address> parseImageName(std::string_view text) {
    const std::string name = lower(text);
    if (name == "main") return kMainImage;
    if (name == "l") return kLImage;
    if (name == "l2") return kL2Image;
    if (name.size() != 6) return std::nullopt;
    Address value = 0;
    for (char c : name) {
        const int digit = hexValue(c);
        if (digit < 0) return std::nullopt;
        value = value * 16 + static_cast<Address>(digit);
    }
    return value;
}

std::string ImageStore::sector(Address image, std::size_t sector) const {
    std::string out(kSectorSize, '\xFF');
    auto it = images_.find(image);
    if (it == images_.end() || sector == 0) return out;
    const std::size_t start = (sector - 1) * kSectorSize;
    if (start >= it->second.size()) return out;
    const std::size_t count = std::min(kSectorSize, it->second.size() - start);
    out.replace(0, count, it->second, start, count);
    return out;
}

void ImageStore::writeSector(Address image, std::size_t sector, std::string_view bytes) {
    if (sector == 0) return;
    std::string& data = images_[image];
    const std::size_t start = (sector - 1) * kSectorSize;
    if (data.size() < start + kSectorSize) data.resize(start + kSectorSize, '\xFF');
    std::string block(bytes.substr(0, kSectorSize));
    block.resize(kSectorSize, '\xFF');
    data.replace(start, kSectorSize, block);
}

void ImageStore::writeByte(Address image, std::size_t sector, std::size_t index, char byte) {
    if (sector == 0 || index >= kSectorSize) return;
    std::string& data = images_[image];
    const std::size_t at = (sector - 1) * kSectorSize + index;
    if (data.size() <= at) data.resize(at + 1, '\xFF');
    data[at] = byte;
}

void ImageStore::erase(Address image) {
    images_.erase(image);
}

void ImageStore::setImage(Address image, std::string_view bytes) {
    images_[image] = std::string(bytes);
}

std::string ImageStore::image(Address image) const {
    auto it = images_.find(image);
    return it == images_.end() ? std::string() : it->second;
}

std::vector<Address> ImageStore::addresses() const {
    std::vector<Address> out;
    for (const auto& [address, data] : images_)
        out.push_back(address);
    return out;
}

bool ImageStore::load(const std::string& path, std::string& error) {
    std::ifstream in(path);
    if (!in) {
        error = "cannot open " + path;
        return false;
    }
    std::map<Address, std::string> loaded;
    std::string line;
    int lineNumber = 0;
    bool headerSeen = false;
    Address current = 0;
    std::size_t expected = 0;
    bool inImage = false;
    auto fail = [&](const std::string& why) {
        error = path + ":" + std::to_string(lineNumber) + ": " + why;
        return false;
    };
    while (std::getline(in, line)) {
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        if (!headerSeen) {
            if (line != "tolvan-device-store 1") return fail("not a device store");
            headerSeen = true;
            continue;
        }
        if (line.rfind("image ", 0) == 0) {
            if (inImage && loaded[current].size() != expected)
                return fail("image " + imageName(current) + " is short");
            std::istringstream fields(line.substr(6));
            std::string name;
            long long count = -1;
            fields >> name >> count;
            auto address = parseImageName(name);
            if (!address || count < 0) return fail("bad image line");
            current = *address;
            expected = static_cast<std::size_t>(count);
            loaded[current].clear();
            inImage = true;
            continue;
        }
        if (!inImage) return fail("data before an image line");
        std::string& data = loaded[current];
        for (std::size_t i = 0; i < line.size();) {
            if (line[i] == ' ') {
                ++i;
                continue;
            }
            const int high = hexValue(line[i]);
            const int low = i + 1 < line.size() ? hexValue(line[i + 1]) : -1;
            if (high < 0 || low < 0) return fail("bad hexadecimal digits");
            data.push_back(static_cast<char>(high * 16 + low));
            i += 2;
        }
        if (data.size() > expected) return fail("image " + imageName(current) + " is too long");
    }
    if (!headerSeen) return fail("empty file");
    if (inImage && loaded[current].size() != expected)
        return fail("image " + imageName(current) + " is short");
    for (auto& [address, data] : loaded)
        images_[address] = std::move(data);
    return true;
}

bool ImageStore::save(const std::string& path, std::string& error) const {
    const std::string temporary = path + ".tmp";
    {
        std::ofstream out(temporary, std::ios::trunc);
        if (!out) {
            error = "cannot write " + temporary;
            return false;
        }
        out << "tolvan-device-store 1\n";
        for (const auto& [address, data] : images_) {
            char head[8];
            std::snprintf(head, sizeof head, "%06X", static_cast<unsigned>(address & 0xFFFFFF));
            out << "image " << head << ' ' << data.size() << '\n';
            for (std::size_t i = 0; i < data.size(); ++i) {
                const auto b = static_cast<unsigned char>(data[i]);
                out << kHex[b >> 4] << kHex[b & 15];
                if (i % 32 == 31 || i + 1 == data.size()) out << '\n';
            }
        }
        out.flush();
        if (!out) {
            error = "cannot write " + temporary;
            return false;
        }
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        error = "cannot rename " + temporary + " to " + path;
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

std::string asProgrammed(std::string_view fileBytes, bool mainImage) {
    std::size_t start = 0;
    if (mainImage) {
        while (start < fileBytes.size() &&
               (fileBytes[start] == '\x00' || fileBytes[start] == '\xFF'))
            ++start;
    }
    std::string kept(fileBytes.substr(start));
    if (kept.size() % kSectorSize != 0)
        kept.resize((kept.size() / kSectorSize + 1) * kSectorSize, '\x00');
    return kept;
}

}  // namespace tolvan::emu
