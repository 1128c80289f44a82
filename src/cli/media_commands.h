// SPDX-License-Identifier: GPL-3.0-or-later
// The kestavo-cli commands for drives and disks: drives, catalog, locate
// and eject. Each answers the process exit status.
#pragma once

#include "cli/cli_commands.h"

namespace kestavo::cli {

int RunDrives(const Arguments& args);
int RunCatalog(const Arguments& args);
int RunLocate(const Arguments& args);
int RunEject(const Arguments& args);

}  // namespace kestavo::cli
