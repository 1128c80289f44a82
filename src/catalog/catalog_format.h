// SPDX-License-Identifier: GPL-3.0-or-later
// The words, marks and white space of catalog files, shared by the reader
// and the writer.
//
// A catalog is text with CR LF line ends: the version tag; for the current
// version a header block "<" ... ">" whose "%drivetype WORD" directive names
// the disk's kind; then "+" and the disk record. A container record is "+",
// its quoted name, two numbers and a date, then "<", its children and ">";
// a file record is its quoted name, its size and a date.
#pragma once

#include <string_view>

namespace kestavo {

// The version tags: the one written, and the older one still read (it has
// no header block).
inline constexpr const char* kCatalogVersion = "kvx_version_1_1";
inline constexpr const char* kCatalogVersionOld = "kvx_version_1_0";

// The header block and its one directive.
inline constexpr char kHeaderOpen = '<';
inline constexpr char kHeaderClose = '>';
inline constexpr char kDirectiveMark = '%';
inline constexpr const char* kDriveTypeDirective = "drivetype";

// The drive-type words of the header and the disk kinds they give.
inline constexpr const char* kDriveTypeDefault = "default";
inline constexpr const char* kDriveTypeFixed = "fixed";
inline constexpr const char* kDriveTypeCdrom = "cdrom";
inline constexpr const char* kDriveTypeRemovable = "removable";

// Records: "+" opens a container record (the first one is the disk's),
// "<" and ">" enclose its children, and names stand in double quotes.
inline constexpr char kContainerMark = '+';
inline constexpr char kChildrenOpen = '<';
inline constexpr char kChildrenClose = '>';
inline constexpr char kQuote = '"';
// A double quote cannot stand inside a name; the writer writes this instead.
inline constexpr char kQuoteStandIn = '\'';
inline constexpr std::string_view kLineEnd = "\r\n";

// Whether a word is the one mark `mark` standing alone.
constexpr bool IsMarkWord(std::string_view word, char mark) {
    return word.size() == 1 && word[0] == mark;
}

// White space between words, and the white space folded inside names.
constexpr bool IsCatalogSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// The file name extension of catalogs, as written; read in any letter case.
inline constexpr std::string_view kCatalogExtension = ".kvx";

}  // namespace kestavo
