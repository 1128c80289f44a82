// SPDX-License-Identifier: GPL-3.0-or-later
// Runs a helper program (a label tool, eject) without a shell.
#pragma once

#include <string>
#include <vector>

namespace kestavo::media {

// Runs `argv` (argv[0] looked up on PATH) with its output discarded and
// waits for it. Answers its exit status, or -1 when it could not run.
int RunProgram(const std::vector<std::string>& argv);

}  // namespace kestavo::media
