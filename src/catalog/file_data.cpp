// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalog/file_data.h"

namespace kestavo {

FileData::FileData(TextRef name, TreeItem parentItem, std::int64_t size, std::int64_t time,
                   int kind, std::uint32_t serial)
    : size_(size),
      time_(time),
      name_(name),
      parentItem_(parentItem),
      kind_(kind),
      serial_(serial & 0x7fffffffu),
      sizeCounted_(0) {}

bool PassesZipTest(std::string_view name) {
    std::size_t pos = name.find(".zip");
    if (pos == std::string_view::npos) pos = name.find(".ZIP");
    return pos != std::string_view::npos && pos > 0 && pos + 4 == name.size();
}

}  // namespace kestavo
