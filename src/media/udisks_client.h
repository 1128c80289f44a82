// SPDX-License-Identifier: GPL-3.0-or-later
// The few UDisks2 calls Kestavo makes over the system D-Bus: setting a
// file system's label, unmounting it and ejecting its drive.
#pragma once

#include <memory>
#include <string>

struct sd_bus;

namespace kestavo::media {

class UDisksClient {
public:
    // Null when there is no system bus to talk to.
    static std::unique_ptr<UDisksClient> Connect();
    ~UDisksClient();
    UDisksClient(const UDisksClient&) = delete;
    UDisksClient& operator=(const UDisksClient&) = delete;

    // Each answers false with `error` set when UDisks2 does not run, does
    // not know the device, or refuses.
    bool SetLabel(const std::string& device, const std::string& label, std::string& error);
    bool UnmountAndEject(const std::string& device, std::string& error);

private:
    explicit UDisksClient(sd_bus* bus) : bus_(bus) {}
    // The UDisks2 object of a block device ("/dev/sdb1").
    bool BlockObject(const std::string& device, std::string& object, std::string& error);

    sd_bus* bus_;
};

}  // namespace kestavo::media
