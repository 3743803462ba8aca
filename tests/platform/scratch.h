#pragma once
// The platform tests use the shared scratch folder and environment guards.

#include "tests/support/scratch.h"

namespace tavo::platform::test {
using tavo::test::EnvGuard;
using tavo::test::ReadFile;
using tavo::test::ScratchDir;
}  // namespace tavo::platform::test
