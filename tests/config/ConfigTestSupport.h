#pragma once

#include "support/TempDir.h"

namespace orvanta::app::testing {

using orvanta::testing::ReadFile;
using orvanta::testing::TempDir;
using orvanta::testing::WriteFile;

} // namespace orvanta::app::testing
