#pragma once
// The two commands; each returns the exit code (errors.h) and has said on AErr what failed.

#include "tools/tavo-ftp/options.h"
#include "tools/tavo-ftp/output.h"

namespace tavo::tool {

int RunGet(const Options& AOptions, Console& AErr);
int RunLs(const Options& AOptions, Console& AErr);

}  // namespace tavo::tool
