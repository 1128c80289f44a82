// SPDX-License-Identifier: GPL-3.0-or-later
// Giving a volume a label: through UDisks2 where it runs, else, for the
// superuser, with the file system's own label tool.
#pragma once

#include <string>

#include "media/drive_map.h"

namespace kestavo::media {

class VolumeLabeler {
public:
    virtual ~VolumeLabeler() = default;
    // Answers whether the label was set. A mapped folder has no volume to
    // label; failures are not reported to the user.
    virtual bool SetLabel(const Drive& drive, const std::string& label) = 0;
    // The label the volume holds now (a file system may cut a label it
    // was given); empty when it cannot be read.
    virtual std::string ReadLabel(const Drive&) { return {}; }
};

class SystemVolumeLabeler : public VolumeLabeler {
public:
    bool SetLabel(const Drive& drive, const std::string& label) override;
    std::string ReadLabel(const Drive& drive) override;
};

}  // namespace kestavo::media
