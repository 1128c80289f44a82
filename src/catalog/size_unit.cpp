#include "catalog/size_unit.h"

namespace kestavo {
namespace {
// The one piece of program-wide state of the model: set by the View
// Options, read whenever a size text is made.
int g_sizeUnit = kUnitByte;
}  // namespace

bool SetSizeUnit(int unit) {
    const bool changed = unit != g_sizeUnit;
    g_sizeUnit = unit;
    return changed;
}

bool SetSizeUnitByName(std::string_view name) {
    if (name == "byte") return SetSizeUnit(kUnitByte);
    if (name == "KB") return SetSizeUnit(kUnitKB);
    if (name == "MB") return SetSizeUnit(kUnitMB);
    return false;
}

int GetSizeUnit() { return g_sizeUnit; }

std::string_view SizeUnitName(int unit) {
    switch (unit) {
        case kUnitByte: return "byte";
        case kUnitKB: return "KB";
        case kUnitMB: return "MB";
        default: return {};
    }
}

std::string FormatSize(std::int64_t value) {
    const std::int64_t divisor = g_sizeUnit == 0 ? 1 : g_sizeUnit;
    std::int64_t number = 0;
    if (value != 0) {
        number = value / divisor;
        if (value % divisor != 0) number += 1;
    }
    std::string text = std::to_string(number);
    if (divisor == kUnitKB) text += "KB";
    else if (divisor == kUnitMB) text += "MB";
    return text;
}

}  // namespace kestavo
