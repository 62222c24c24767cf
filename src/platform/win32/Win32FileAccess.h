#pragma once

#include "services/FileAccess.h"

namespace tolvan {

// The shared files through CreateFileW on the path's own UTF-16 name: no reparse point written
// through, nothing but a disk file read, the owner read from the file's security descriptor.
class Win32FileAccess : public FileAccess {
  public:
    Rewritten rewriteShared(const std::filesystem::path& file,
                            std::string_view content) const override;
    OpenedFile openRegular(const std::filesystem::path& file) const override;
    bool ownedByRootOrMe(const std::filesystem::path& file) const override;
};

}  // namespace tolvan
