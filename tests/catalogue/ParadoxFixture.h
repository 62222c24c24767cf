#pragma once

#include "ParadoxWriter.h"
#include "TempFiles.h"

namespace tolvan::testing {

using catalogue::ParadoxRow;
using catalogue::writeParadoxTable;

}  // namespace tolvan::testing
