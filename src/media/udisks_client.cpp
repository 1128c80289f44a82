// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/udisks_client.h"

#include <systemd/sd-bus.h>

#include <cstring>

#include "media/bus_call.h"

namespace kestavo::media {
namespace {

constexpr const char* kService = "org.freedesktop.UDisks2";
constexpr const char* kManager = "/org/freedesktop/UDisks2/Manager";
constexpr const char* kBlock = "org.freedesktop.UDisks2.Block";
constexpr const char* kFilesystem = "org.freedesktop.UDisks2.Filesystem";
constexpr const char* kDrive = "org.freedesktop.UDisks2.Drive";

}  // namespace

std::unique_ptr<UDisksClient> UDisksClient::Connect() {
    sd_bus* bus = nullptr;
    if (sd_bus_open_system(&bus) < 0) return nullptr;
    return std::unique_ptr<UDisksClient>(new UDisksClient(bus));
}

UDisksClient::~UDisksClient() {
    sd_bus_flush_close_unref(bus_);
}

bool UDisksClient::BlockObject(const std::string& device, std::string& object, std::string& error) {
    BusCall call;
    const int r = sd_bus_call_method(bus_, kService, kManager, "org.freedesktop.UDisks2.Manager",
                                     "ResolveDevice", &call.error, &call.reply, "a{sv}a{sv}", 1,
                                     "path", "s", device.c_str(), 0);
    if (r < 0) {
        error = call.Reason(r);
        return false;
    }
    const char* path = nullptr;
    if (sd_bus_message_enter_container(call.reply, 'a', "o") < 0 ||
        sd_bus_message_read(call.reply, "o", &path) <= 0 || !path) {
        error = "UDisks2 does not know " + device;
        return false;
    }
    object = path;
    return true;
}

bool UDisksClient::SetLabel(const std::string& device, const std::string& label,
                            std::string& error) {
    std::string object;
    if (!BlockObject(device, object, error)) return false;
    BusCall call;
    const int r = sd_bus_call_method(bus_, kService, object.c_str(), kFilesystem, "SetLabel",
                                     &call.error, &call.reply, "sa{sv}", label.c_str(), 0);
    if (r < 0) error = call.Reason(r);
    return r >= 0;
}

bool UDisksClient::UnmountAndEject(const std::string& device, std::string& error) {
    std::string object;
    if (!BlockObject(device, object, error)) return false;
    {
        BusCall call;
        const int r = sd_bus_call_method(bus_, kService, object.c_str(), kFilesystem, "Unmount",
                                         &call.error, &call.reply, "a{sv}", 0);
        if (r < 0) {
            error = call.Reason(r);
            return false;
        }
    }
    BusCall property;
    int r = sd_bus_get_property(bus_, kService, object.c_str(), kBlock, "Drive", &property.error,
                                &property.reply, "o");
    const char* drive = nullptr;
    if (r < 0 || sd_bus_message_read(property.reply, "o", &drive) <= 0 || !drive ||
        std::strcmp(drive, "/") == 0) {
        error = r < 0 ? property.Reason(r) : "UDisks2 knows no drive for " + device;
        return false;
    }
    BusCall eject;
    r = sd_bus_call_method(bus_, kService, drive, kDrive, "Eject", &eject.error, &eject.reply,
                           "a{sv}", 0);
    if (r < 0) error = eject.Reason(r);
    return r >= 0;
}

}  // namespace kestavo::media
