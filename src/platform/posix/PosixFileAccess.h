#pragma once

#include "services/FileAccess.h"

namespace tolvan {

// The shared files through open(2) and friends: no link followed, no open that waits.
class PosixFileAccess : public FileAccess {
  public:
    Rewritten rewriteShared(const std::filesystem::path& file,
                            std::string_view content) const override;
    OpenedFile openRegular(const std::filesystem::path& file) const override;
    bool ownedByRootOrMe(const std::filesystem::path& file) const override;
};

}  // namespace tolvan
