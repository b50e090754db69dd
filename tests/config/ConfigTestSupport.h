#pragma once

#include "support/TempDir.h"

namespace orvanta::config::testing {

using orvanta::testing::ReadFile;
using orvanta::testing::TempDir;
using orvanta::testing::WriteFile;

} // namespace orvanta::config::testing
