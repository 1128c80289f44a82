// SPDX-License-Identifier: GPL-3.0-or-later
// One method call on a D-Bus connection through sd-bus: owns its error and
// its reply, so that every way out of the caller frees them.
#pragma once

#include <systemd/sd-bus.h>

#include <cstring>
#include <string>

namespace kestavo::media {

struct BusCall {
    sd_bus_error error = SD_BUS_ERROR_NULL;
    sd_bus_message* reply = nullptr;
    BusCall() = default;
    BusCall(const BusCall&) = delete;
    BusCall& operator=(const BusCall&) = delete;
    ~BusCall() {
        sd_bus_error_free(&error);
        sd_bus_message_unref(reply);
    }
    // What went wrong with a call that answered `result` (< 0).
    std::string Reason(int result) const {
        if (error.message) return error.message;
        return std::strerror(-result);
    }
};

}  // namespace kestavo::media
