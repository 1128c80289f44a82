// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalog/catalog_writer.h"

#include <unistd.h>

#include <cerrno>
#include <charconv>

#include "catalog/catalog_format.h"

namespace kestavo {
namespace {

constexpr std::size_t kFlushAt = 256 * 1024;

void AppendCleanedName(std::string& out, std::string_view name) {
    const std::size_t start = out.size();
    bool pendingBlank = false;
    for (char c : name) {
        if (IsCatalogSpace(c)) {
            pendingBlank = out.size() > start;
            continue;
        }
        if (pendingBlank) out += ' ';
        pendingBlank = false;
        out += c == kQuote ? kQuoteStandIn : c;
    }
    if (pendingBlank) out += ' ';
}

}  // namespace

std::string CleanedName(std::string_view name) {
    std::string out;
    out.reserve(name.size());
    AppendCleanedName(out, name);
    return out;
}

void AppendCatalogName(std::string& out, std::string_view name) {
    const std::size_t start = out.size();
    AppendCleanedName(out, name);
    for (std::size_t i = start; i < out.size(); ++i)
        if (out[i] == '/') out[i] = '_';
    const std::string_view written = std::string_view(out).substr(start);
    if (written.empty() || written == "." || written == "..") out.insert(start, 1, '_');
}

std::string CatalogName(std::string_view name) {
    std::string out;
    out.reserve(name.size());
    AppendCatalogName(out, name);
    return out;
}

CatalogWriter::CatalogWriter(int fd) : fd_(fd) {
    buffer_.reserve(kFlushAt + 4096);
}

CatalogWriter::~CatalogWriter() {
    Flush();
}

void CatalogWriter::Header(std::string_view driveTypeWord) {
    Text(kCatalogVersion);
    LineEnd();
    Mark(kHeaderOpen);
    Text(" ");
    LineEnd();
    Text("   ");
    Mark(kDirectiveMark);
    Text(kDriveTypeDirective);
    Text(" ");
    Text(driveTypeWord);
    LineEnd();
    Mark(kHeaderClose);
    Text(" ");
    LineEnd();
    Flush();
}

void CatalogWriter::BeginDisk(std::string_view label, std::int64_t total, std::int64_t free,
                              const DateFields& date) {
    Mark(kContainerMark);
    LineEnd();
    Name(label);
    Number(total);
    Text(" ");
    Number(free);
    Date(date);
    Text(" ");
    Mark(kChildrenOpen);
    LineEnd();
}

void CatalogWriter::BeginContainer(std::string_view name, std::int64_t size,
                                   const DateFields& date) {
    Mark(kContainerMark);
    Name(name);
    Number(size);
    Text(" 0");
    Date(date);
    Text(" ");
    Mark(kChildrenOpen);
    LineEnd();
}

void CatalogWriter::EndContainer() {
    Mark(kChildrenClose);
    LineEnd();
}

void CatalogWriter::File(std::string_view name, std::int64_t size, const DateFields& date) {
    Name(name);
    Number(size);
    Date(date);
    LineEnd();
}

// The name in quotes, followed by the blank the closing quote needs.
void CatalogWriter::Name(std::string_view name) {
    buffer_ += kQuote;
    AppendCatalogName(buffer_, name);
    buffer_ += kQuote;
    buffer_ += ' ';
}

void CatalogWriter::Number(std::int64_t value) {
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    buffer_.append(digits, result.ptr);
}

void CatalogWriter::Date(const DateFields& date) {
    const std::int64_t fields[] = {date.day,  date.month,  date.year,
                                   date.hour, date.minute, date.second};
    for (std::int64_t field : fields) {
        buffer_ += ' ';
        Number(field);
    }
}

void CatalogWriter::LineEnd() {
    buffer_ += kLineEnd;
    if (buffer_.size() >= kFlushAt) Flush();
}

bool CatalogWriter::Flush() {
    std::size_t done = 0;
    while (error_ == 0 && done < buffer_.size()) {
        const ssize_t n = ::write(fd_, buffer_.data() + done, buffer_.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            error_ = n < 0 ? errno : EIO;
            break;
        }
        done += static_cast<std::size_t>(n);
        written_ += static_cast<std::uint64_t>(n);
    }
    buffer_.clear();
    return error_ == 0;
}

}  // namespace kestavo
