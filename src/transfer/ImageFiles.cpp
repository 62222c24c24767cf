// Scaffold so that the core links while the image files are being written.
#include "transfer/ImageFiles.h"

namespace tolvan {
ImageFiles::~ImageFiles() { fecha(); }
void ImageFiles::AbreArq(const std::string&) {}
void ImageFiles::LeArqBin(const std::string&) {}
void ImageFiles::fecha() {}
}  // namespace tolvan
