// SPDX-License-Identifier: GPL-3.0-or-later
// kestavo-cli find, duplicates and compare: the search and compare tools,
// their reports written to standard output or to --report FILE.
#pragma once

#include "cli/cli_commands.h"

namespace kestavo::cli {

int RunFind(const Arguments& args);
int RunDuplicates(const Arguments& args);
int RunCompare(const Arguments& args);

}  // namespace kestavo::cli
