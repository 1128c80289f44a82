// SPDX-License-Identifier: GPL-3.0-or-later
// Writes catalog text: the header block, container records and file
// records, with CR LF line ends, buffered over a file descriptor.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "catalog/local_time.h"

namespace kestavo {

using DateFields = LocalClock::Fields;

// A name as the catalog format can hold it: a double quote becomes an
// apostrophe, leading white space is dropped and every run of white space
// (blank, tab, CR, LF, VT, FF) becomes one blank, a trailing run included.
std::string CleanedName(std::string_view name);

// A name as the writer writes it: cleaned as above, and never a path step:
// "/" becomes "_", and a name that would read as "", "." or ".." gets a
// "_" in front ("_", "_.", "_..").
std::string CatalogName(std::string_view name);
void AppendCatalogName(std::string& out, std::string_view name);

class CatalogWriter {
public:
    // Writes to `fd`, which stays owned by the caller.
    explicit CatalogWriter(int fd);
    ~CatalogWriter();
    CatalogWriter(const CatalogWriter&) = delete;
    CatalogWriter& operator=(const CatalogWriter&) = delete;

    // The version tag and the header block naming the drive-type word.
    void Header(std::string_view driveTypeWord);
    // The root marker and the disk record, its children opened.
    void BeginDisk(std::string_view label, std::int64_t total, std::int64_t free,
                   const DateFields& date);
    // A folder or Zip Folder record, its children opened.
    void BeginContainer(std::string_view name, std::int64_t size, const DateFields& date);
    void EndContainer();
    void File(std::string_view name, std::int64_t size, const DateFields& date);

    // Writes out what is buffered. False once any write has failed.
    bool Flush();
    bool Failed() const { return error_ != 0; }
    int Error() const { return error_; }
    // Bytes handed to the file so far.
    std::uint64_t Written() const { return written_; }

private:
    void Name(std::string_view name);
    void Number(std::int64_t value);
    void Date(const DateFields& date);
    void Text(std::string_view text) { buffer_.append(text); }
    void Mark(char mark) { buffer_ += mark; }
    void LineEnd();

    int fd_;
    int error_ = 0;
    std::uint64_t written_ = 0;
    std::string buffer_;
};

}  // namespace kestavo
