// SPDX-License-Identifier: GPL-3.0-or-later
// The commands of kestavo-cli. Each answers the process exit status.
#pragma once

#include "cli/arguments.h"

namespace kestavo::cli {

int RunLs(const Arguments& args);
int RunProperties(const Arguments& args);
// Writes every loaded catalog into the SQLite database --sqlite FILE.
int RunExport(const Arguments& args);

}  // namespace kestavo::cli
