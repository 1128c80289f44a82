// Helpers for the tests of the tools: reports captured as text.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

#include "catalog/size_unit.h"
#include "tools/report_writer.h"

namespace kestavo::test {

// The bytes a tool's WriteReport produces.
template <class Tool>
std::string ReportOf(const Tool& tool) {
    char* data = nullptr;
    std::size_t size = 0;
    std::FILE* memory = ::open_memstream(&data, &size);
    {
        ReportWriter report(memory);
        const_cast<Tool&>(tool).WriteReport(report);
    }
    std::fclose(memory);
    std::string text(data, size);
    std::free(data);
    return text;
}

// Puts the size unit back to bytes when a test ends.
class SizeUnitGuard {
public:
    ~SizeUnitGuard() { SetSizeUnit(kUnitByte); }
};

}  // namespace kestavo::test
