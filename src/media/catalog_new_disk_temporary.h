// SPDX-License-Identifier: GPL-3.0-or-later
// The temporary file a new catalog is written to before it is renamed over
// the old one. Its name tells the disk, the machine and the process that
// writes it, so that a later run can remove what killed runs left behind
// without touching the work of a run on another machine that shares the
// catalog folder.
#pragma once

#include <string>

namespace kestavo::media {

// What tells the processes of this machine apart from those of the other
// machines (or process namespaces) that may share a catalog folder: 16
// lower-case hex digits, the same for every run here until the machine
// starts again. A process number means something only beside it.
const std::string& MachineTag();

// Removes the temporaries of disk `label` in `directory` left by runs that
// ended before renaming them: those of the machine tagged `machine` whose
// process no longer exists, and those of any other machine (or of no known
// machine) that nobody has written to for a day.
void RemoveLeftTemporaries(const std::string& directory, const std::string& label,
                           const std::string& machine = MachineTag());

// Creates a new temporary for disk `label` in `directory`, named after this
// machine and process, that Open All never reads. Its descriptor, and its
// path in `path`; -1 with errno when it cannot be created.
int CreateTemporary(const std::string& directory, const std::string& label, std::string& path);

}  // namespace kestavo::media
