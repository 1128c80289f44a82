// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/test_support.h"

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>

#include "catalog/catalog_cache.h"

namespace kestavo::test {

MessageAnswer RecordingMessages::Show(const Message& message) {
    shown.push_back(message);
    if (message.buttons == MessageButtons::Ok) return MessageAnswer::Ok;
    if (answers.empty()) return message.defaultAnswer;
    const MessageAnswer answer = answers.front();
    answers.pop_front();
    return answer;
}

void RecordingList::Listen(ShownContents& shown) {
    shown_ = &shown;
    shown.SetListener(this);
}

void RecordingList::RowsRead() {
    rows = shown_->Rows();
    diskColumns = shown_->ListsDisks();
    ++reads;
}

std::vector<std::string> RecordingList::Names() const {
    std::vector<std::string> names;
    for (FileData* row : rows) names.emplace_back(row->GetName());
    return names;
}

TempDir::TempDir() {
    std::random_device random;
    path_ = std::filesystem::temp_directory_path() /
            ("kestavo-test-" + std::to_string(::getpid()) + "-" + std::to_string(random()));
    std::filesystem::create_directories(path_);
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(path_, ignored);
}

CacheDirectory::CacheDirectory()
    : old_(std::getenv("XDG_CACHE_HOME") ? std::getenv("XDG_CACHE_HOME") : "") {
    ::setenv("XDG_CACHE_HOME", dir_.Str().c_str(), 1);
}

CacheDirectory::~CacheDirectory() {
    ::setenv("XDG_CACHE_HOME", old_.c_str(), 1);
}

void WaitForCatalogsToSettle() {
    std::this_thread::sleep_for(std::chrono::nanoseconds(kCatalogSettleNanoseconds + 10'000'000));
}

std::string TempDir::Write(const std::string& name, const std::string& content) const {
    const std::string full = (path_ / name).string();
    std::ofstream(full, std::ios::binary) << content;
    return full;
}

LoadOutcome LoadText(CatalogSet& set, const std::string& text, RecordingMessages& messages,
                     const std::string& path) {
    return LoadCatalogText(set, text, path, messages);
}

std::vector<std::string> ChildTexts(const CatalogSet& set, TreeItem item) {
    std::vector<std::string> texts;
    for (TreeItem child : set.Tree().Children(item)) texts.emplace_back(set.Tree().ItemText(child));
    return texts;
}

std::vector<std::string> EntryNames(const CatalogSet& set, TreeItem item) {
    std::vector<std::string> names;
    set.ForEachEntryUnder(item, [&](FileData& e) { names.emplace_back(e.GetName()); });
    return names;
}

TreeItem Child(const CatalogSet& set, TreeItem parent, const std::string& text) {
    return set.Tree().FindChild(parent, text);
}

namespace {

std::string Quote(const std::string& word) {
    std::string quoted = "'";
    for (char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

}  // namespace

CliRun RunProgram(const std::string& program,
                  const std::vector<std::pair<std::string, std::string>>& env,
                  const std::vector<std::string>& args) {
    TempDir scratch;
    const std::string errFile = (scratch.Path() / "err").string();
    // Appended piece by piece: `"text" + std::string` makes GCC 12 warn falsely (-Wrestrict).
    std::string command = "env TZ=UTC LC_ALL=C.UTF-8";
    for (const auto& [name, value] : env)
        command.append(" ").append(name).append("=").append(Quote(value));
    command.append(" ").append(Quote(program));
    for (const std::string& a : args) command.append(" ").append(Quote(a));
    command.append(" 2>").append(Quote(errFile));
    CliRun run;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return run;
    char buffer[4096];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) run.out.append(buffer, n);
    const int raw = ::pclose(pipe);
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.err = ReadWholeFile(errFile);
    return run;
}

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string CatalogHeader(const std::string& driveType) {
    return "kvx_version_1_1\r\n< \r\n   %drivetype " + driveType + "\r\n> \r\n";
}

bool MayMount() {
    return std::getenv("KESTAVO_PACKAGE_BUILD") == nullptr;
}

}  // namespace kestavo::test
