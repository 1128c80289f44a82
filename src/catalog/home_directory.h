// SPDX-License-Identifier: GPL-3.0-or-later
// The user's home directory, where the catalog directory and the cache
// directory lie unless set otherwise.
#pragma once

#include <string>

namespace kestavo {

// A variable that is unset or empty gives null.
const char* NonEmptyVariable(const char* name);
// HOME, else the home directory the password database gives the user
// (empty when it gives none).
std::string HomeDirectory();

}  // namespace kestavo
