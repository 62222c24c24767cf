#pragma once

#include <cstdio>
#include <string>

namespace tolvan {

class FrmTolvanLink;

// The image files of a system: AbreArq opens one for sending and holds back its first byte;
// LeArqBin reads one whole into BytesArq.
class ImageFiles {
  public:
    explicit ImageFiles(FrmTolvanLink& form) : f_(form) {}
    ~ImageFiles();
    ImageFiles(const ImageFiles&) = delete;
    ImageFiles& operator=(const ImageFiles&) = delete;

    void AbreArq(const std::string& path);
    void LeArqBin(const std::string& path);

    // ArqBin, the image being sent.
    bool isOpen() const { return arqBin_ != nullptr; }
    void fecha();

  private:
    FrmTolvanLink& f_;
    std::FILE* arqBin_ = nullptr;
};

}  // namespace tolvan
