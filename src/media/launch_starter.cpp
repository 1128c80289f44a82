// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/launch_starter.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <optional>
#include <thread>

extern char** environ;

namespace kestavo::media {
namespace {

constexpr const char* kDefaultOpener = "xdg-open";

// Common graphical text editors, the desktops' own ones first.
constexpr const char* kTextEditors[] = {"gnome-text-editor", "gedit",   "kate",  "kwrite",
                                        "mousepad",          "xed",     "pluma", "featherpad",
                                        "leafpad",           "l3afpad", "geany"};

// xdg-open's exit statuses.
constexpr int kOpenerFileNotFound = 2;
constexpr int kOpenerNoTool = 3;
constexpr int kOpenerActionFailed = 4;

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n';
}

// Appends the text of the single-quoted part opening at `open` to `word`;
// answers where the part ends (its closing quote, or the end of the text).
std::size_t AppendSingleQuoted(std::string_view text, std::size_t open, std::string& word) {
    const std::size_t close = std::min(text.find('\'', open + 1), text.size());
    word.append(text.substr(open + 1, close - open - 1));
    return close;
}

// The same for a double-quoted part. There a backslash escapes only a
// dollar sign, backquote, double quote, backslash or line end; an escaped
// line end is dropped with its backslash.
std::size_t AppendDoubleQuoted(std::string_view text, std::size_t open, std::string& word) {
    std::size_t at = open + 1;
    for (; at < text.size() && text[at] != '"'; ++at) {
        const bool escape =
            text[at] == '\\' && at + 1 < text.size() &&
            std::string_view("$`\"\\\n").find(text[at + 1]) != std::string_view::npos;
        if (escape) ++at;
        if (!(escape && text[at] == '\n')) word += text[at];
    }
    return at;
}

bool IsExecutableFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
           ::access(path.c_str(), X_OK) == 0;
}

bool IsOnPath(const std::string& name) {
    const char* path = std::getenv("PATH");
    if (!path) return false;
    const std::string folders(path);
    std::size_t start = 0;
    while (start <= folders.size()) {
        const std::size_t end = std::min(folders.find(':', start), folders.size());
        const std::string folder = end > start ? folders.substr(start, end - start) : ".";
        if (IsExecutableFile(folder + "/" + name)) return true;
        start = end + 1;
    }
    return false;
}

// The launch code of a path that cannot be opened at all; nothing when it
// can be reached.
std::optional<int> UnreachablePathCode(const std::string& fullPath) {
    struct stat st {};
    if (::stat(fullPath.c_str(), &st) == 0) return std::nullopt;
    if (errno == ENOENT && ::lstat(fullPath.c_str(), &st) == 0)
        return kLaunchFileNotFound;  // dangling link
    const int code = LaunchErrorCodeOf(fullPath);
    return code == kLaunchNoAssociation ? kLaunchFileNotFound : code;
}

int SpawnErrorCode(int error) {
    return error == ENOMEM || error == EAGAIN ? kLaunchNotEnoughMemory : kLaunchNoAssociation;
}

// The launch code of a child that ended early with `status`.
int ExitCode(int status, bool opener, const std::string& fullPath) {
    if (!WIFEXITED(status) || WEXITSTATUS(status) == 0) return 0;
    if (!opener) return 0;  // the program ran; its own failures are its to report
    switch (WEXITSTATUS(status)) {
        case kOpenerFileNotFound:
            return kLaunchFileNotFound;
        case kOpenerNoTool:
        case kOpenerActionFailed:
            return kLaunchNoAssociation;
        default: {
            const int code = LaunchErrorCodeOf(fullPath);
            return code == 0 ? kLaunchNoAssociation : code;
        }
    }
}

// Spawns `argv` in a session of its own with no input; the error of a
// failed start (posix_spawnp reports a failed exec), else 0.
int Spawn(const std::vector<std::string>& argv, pid_t& pid) {
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigaddset(&defaults, SIGCHLD);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes,
                             POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    const int error = ::posix_spawnp(&pid, args[0], &actions, &attributes, args.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    return error;
}

// Waits up to `wait` for the child to end; its status, or nothing while it
// still runs.
std::optional<int> EarlyExitStatus(pid_t pid, std::chrono::milliseconds wait) {
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
        int status = 0;
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid) return status;
        if (done < 0 && errno != EINTR) return 0;  // reaped elsewhere: it ran
        if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

// Reaps a child that outlived the early-exit wait, so none is left a zombie.
void ReapLater(pid_t pid) {
    std::thread([pid] {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }).detach();
}

}  // namespace

std::vector<std::string> ShellWords(std::string_view text) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    for (std::size_t at = 0; at < text.size(); ++at) {
        const char c = text[at];
        if (IsBlank(c)) {
            if (inWord) words.push_back(std::move(word));
            word.clear();
            inWord = false;
        } else if (c == '\\' && at + 1 < text.size()) {
            if (text[++at] == '\n') continue;  // a backslash and a line end join two lines
            word += text[at];
            inWord = true;
        } else if (c == '\'') {
            at = AppendSingleQuoted(text, at, word);
            inWord = true;
        } else if (c == '"') {
            at = AppendDoubleQuoted(text, at, word);
            inWord = true;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord) words.push_back(std::move(word));
    return words;
}

std::vector<std::string> TextEditorCommand() {
    const char* visual = std::getenv("VISUAL");
    if (visual && *visual) {
        std::vector<std::string> words = ShellWords(visual);
        if (!words.empty()) return words;
    }
    for (const char* editor : kTextEditors)
        if (IsOnPath(editor)) return {editor};
    return {kDefaultOpener};
}

std::vector<std::string> LaunchCommand(const std::string& fullPath, const std::string& program) {
    std::vector<std::string> command;
    if (program.empty())
        command = {kDefaultOpener};
    else if (program == kTextEditorProgram)
        command = TextEditorCommand();
    else
        command = {program};
    command.push_back(fullPath);
    return command;
}

int ProcessLauncher::Start(const std::string& fullPath, const std::string& program) {
    if (fullPath.find('\0') != std::string::npos) return kLaunchPathNotFound;
    if (const std::optional<int> code = UnreachablePathCode(fullPath)) return *code;
    const std::vector<std::string> command = LaunchCommand(fullPath, program);
    pid_t pid = 0;
    if (const int error = Spawn(command, pid); error != 0) return SpawnErrorCode(error);
    const std::optional<int> status = EarlyExitStatus(pid, earlyExitWait_);
    if (!status) {
        ReapLater(pid);
        return 0;
    }
    return ExitCode(*status, command.front() == kDefaultOpener, fullPath);
}

}  // namespace kestavo::media
