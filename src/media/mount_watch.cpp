// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/mount_watch.h"

#include <fcntl.h>
#include <poll.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <cstring>
#include <string_view>

#include "media/bus_call.h"

namespace kestavo::media {
namespace {

constexpr const char* kService = "org.freedesktop.UDisks2";
constexpr const char* kJob = "org.freedesktop.UDisks2.Job";
constexpr const char* kBlock = "org.freedesktop.UDisks2.Block";

// The kernel marks the mount table with POLLPRI (and POLLERR) at each change
// until the next poll(), so the poll that reported it has already consumed
// the change: draining only says so.
class MountTableWatch : public MountWatch {
public:
    explicit MountTableWatch(int fd) : fd_(fd) {}
    ~MountTableWatch() override { ::close(fd_); }
    MountTableWatch(const MountTableWatch&) = delete;
    MountTableWatch& operator=(const MountTableWatch&) = delete;

    int Descriptor() const override { return fd_; }
    short Events() const override { return POLLPRI; }
    MountChange Drain() override { return MountChange{true, {}, false}; }

private:
    int fd_;
};

bool ServiceRuns(sd_bus* bus) {
    BusCall call;
    if (sd_bus_call_method(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                           "org.freedesktop.DBus", "NameHasOwner", &call.error, &call.reply, "s",
                           kService) < 0)
        return false;
    int owned = 0;
    return sd_bus_message_read(call.reply, "b", &owned) > 0 && owned;
}

class UDisksWatch : public MountWatch {
public:
    explicit UDisksWatch(sd_bus* bus) : bus_(bus) {}
    ~UDisksWatch() override {
        for (sd_bus_slot* slot : slots_) sd_bus_slot_unref(slot);
        sd_bus_flush_close_unref(bus_);
    }
    UDisksWatch(const UDisksWatch&) = delete;
    UDisksWatch& operator=(const UDisksWatch&) = delete;

    // Asks the bus for the signals; false when it refuses.
    bool Subscribe() {
        static constexpr const char* kRules[] = {
            "type='signal',path='/org/freedesktop/UDisks2',"
            "interface='org.freedesktop.DBus.ObjectManager',member='InterfacesAdded'",
            "type='signal',path='/org/freedesktop/UDisks2',"
            "interface='org.freedesktop.DBus.ObjectManager',member='InterfacesRemoved'",
            "type='signal',path_namespace='/org/freedesktop/UDisks2',"
            "interface='org.freedesktop.DBus.Properties',member='PropertiesChanged',"
            "arg0='org.freedesktop.UDisks2.Filesystem'",
        };
        for (const char* rule : kRules) {
            sd_bus_slot* slot = nullptr;
            if (sd_bus_add_match(bus_, &slot, rule, &UDisksWatch::OnSignal, this) < 0) return false;
            slots_.push_back(slot);
        }
        return true;
    }

    int Descriptor() const override { return sd_bus_get_fd(bus_); }
    short Events() const override {
        const int events = sd_bus_get_events(bus_);
        return static_cast<short>(events > 0 ? events : POLLIN);
    }
    MountChange Drain() override {
        int r;
        while ((r = sd_bus_process(bus_, nullptr)) > 0) {
        }
        if (r < 0) pending_.lost = true;
        MountChange change = std::move(pending_);
        pending_ = MountChange{};
        return change;
    }

private:
    static int OnSignal(sd_bus_message* m, void* self, sd_bus_error*) {
        auto* watch = static_cast<UDisksWatch*>(self);
        watch->pending_.mountsChanged = true;
        if (sd_bus_message_is_signal(m, "org.freedesktop.DBus.ObjectManager", "InterfacesAdded"))
            watch->NoteUnmountJob(m);
        return 0;
    }

    // InterfacesAdded (o, a{sa{sv}}) of a job: its Operation and Objects.
    void NoteUnmountJob(sd_bus_message* m) {
        const char* object = nullptr;
        if (sd_bus_message_read(m, "o", &object) < 0) return;
        if (sd_bus_message_enter_container(m, 'a', "{sa{sv}}") < 0) return;
        while (sd_bus_message_enter_container(m, 'e', "sa{sv}") > 0) {
            const char* interface = nullptr;
            if (sd_bus_message_read(m, "s", &interface) < 0) return;
            if (std::strcmp(interface, kJob) != 0) {
                sd_bus_message_skip(m, "a{sv}");
            } else {
                ReadJob(m);
            }
            if (sd_bus_message_exit_container(m) < 0) return;
        }
    }

    void ReadJob(sd_bus_message* m) {
        std::string operation;
        std::vector<std::string> objects;
        if (sd_bus_message_enter_container(m, 'a', "{sv}") < 0) return;
        while (sd_bus_message_enter_container(m, 'e', "sv") > 0) {
            const char* key = nullptr;
            if (sd_bus_message_read(m, "s", &key) < 0) return;
            if (std::strcmp(key, "Operation") == 0 &&
                sd_bus_message_enter_container(m, 'v', "s") > 0) {
                const char* text = nullptr;
                if (sd_bus_message_read(m, "s", &text) > 0) operation = text;
                sd_bus_message_exit_container(m);
            } else if (std::strcmp(key, "Objects") == 0 &&
                       sd_bus_message_enter_container(m, 'v', "ao") > 0) {
                if (sd_bus_message_enter_container(m, 'a', "o") > 0) {
                    const char* path = nullptr;
                    while (sd_bus_message_read(m, "o", &path) > 0) objects.emplace_back(path);
                    sd_bus_message_exit_container(m);
                }
                sd_bus_message_exit_container(m);
            } else {
                sd_bus_message_skip(m, "v");
            }
            sd_bus_message_exit_container(m);
        }
        sd_bus_message_exit_container(m);
        if (operation != "filesystem-unmount") return;
        for (const std::string& object : objects) pending_.unmounting.push_back(DeviceOf(object));
    }

    // The device file of a UDisks2 block object: its Device property, else
    // the object's last path part under /dev.
    std::string DeviceOf(const std::string& object) {
        BusCall call;
        if (sd_bus_get_property(bus_, kService, object.c_str(), kBlock, "Device", &call.error,
                                &call.reply, "ay") >= 0) {
            const void* bytes = nullptr;
            std::size_t size = 0;
            if (sd_bus_message_read_array(call.reply, 'y', &bytes, &size) >= 0 && size > 0) {
                std::string device(static_cast<const char*>(bytes), size);
                while (!device.empty() && device.back() == '\0') device.pop_back();
                if (!device.empty()) return device;
            }
        }
        return "/dev/" + object.substr(object.rfind('/') + 1);
    }

    sd_bus* bus_;
    std::vector<sd_bus_slot*> slots_;
    MountChange pending_;
};

}  // namespace

std::unique_ptr<MountWatch> WatchMountTable(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    return std::make_unique<MountTableWatch>(fd);
}

std::unique_ptr<MountWatch> WatchUDisks() {
    sd_bus* bus = nullptr;
    if (sd_bus_open_system(&bus) < 0) return nullptr;
    if (!ServiceRuns(bus)) {
        sd_bus_flush_close_unref(bus);
        return nullptr;
    }
    auto watch = std::make_unique<UDisksWatch>(bus);
    if (!watch->Subscribe()) return nullptr;
    return watch;
}

std::unique_ptr<MountWatch> WatchMounts() {
    if (std::unique_ptr<MountWatch> udisks = WatchUDisks()) return udisks;
    return WatchMountTable();
}

}  // namespace kestavo::media
