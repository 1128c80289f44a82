// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/catalog_new_disk_temporary.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <random>
#include <string_view>

#include "catalog/directory_lister.h"

namespace kestavo::media {
namespace {

constexpr const char* kTemporaryMark = ".kvx-new-";
constexpr std::size_t kTagLength = 16;
constexpr std::time_t kAbandonedAfter = 24 * 60 * 60;

std::string FirstLineOf(const char* path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

std::string LinkTextOf(const char* path) {
    char text[256];
    const ssize_t n = ::readlink(path, text, sizeof text);
    return n > 0 ? std::string(text, static_cast<std::size_t>(n)) : std::string();
}

std::string HostName() {
    char name[256] = {};
    return ::gethostname(name, sizeof name - 1) == 0 ? name : "";
}

std::uint64_t Fnv1a(std::string_view text) {
    std::uint64_t hash = 14695981039346656037ull;
    for (unsigned char c : text) hash = (hash ^ c) * 1099511628211ull;
    return hash;
}

// The boot (new at every start of the machine), the process namespace in
// which process numbers are looked up, and the host name.
std::string MakeMachineTag() {
    const std::string identity = FirstLineOf("/proc/sys/kernel/random/boot_id") + "\n" +
                                 LinkTextOf("/proc/self/ns/pid") + "\n" + HostName();
    char tag[kTagLength + 1];
    std::snprintf(tag, sizeof tag, "%016llx", static_cast<unsigned long long>(Fnv1a(identity)));
    return tag;
}

// The beginning of the names of a disk's temporary catalogs.
std::string TemporaryPrefix(const std::string& label) {
    return "." + label + kTemporaryMark;
}

bool IsTag(std::string_view text) {
    return text.size() == kTagLength &&
           text.find_first_not_of("0123456789abcdef") == std::string_view::npos;
}

// The owner of a temporary, from the part of its name after the prefix:
// "TAG-PID-NUMBER". Names of another form have no known owner.
struct Owner {
    std::string machine;
    long process = 0;
};

Owner OwnerOf(std::string_view rest) {
    Owner owner;
    const std::size_t dash = rest.find('-');
    if (dash == std::string_view::npos || !IsTag(rest.substr(0, dash))) return owner;
    owner.machine = std::string(rest.substr(0, dash));
    owner.process = std::strtol(std::string(rest.substr(dash + 1)).c_str(), nullptr, 10);
    return owner;
}

bool ProcessIsGone(long process) {
    return process <= 0 || (::kill(static_cast<pid_t>(process), 0) != 0 && errno == ESRCH);
}

bool UntouchedForADay(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && std::time(nullptr) - st.st_mtime > kAbandonedAfter;
}

}  // namespace

const std::string& MachineTag() {
    static const std::string tag = MakeMachineTag();
    return tag;
}

void RemoveLeftTemporaries(const std::string& directory, const std::string& label,
                           const std::string& machine) {
    const std::string prefix = TemporaryPrefix(label);
    DirectoryLister().List(directory, [&](const ListedName& item) {
        const std::string_view name = item.name;
        if (!name.starts_with(prefix)) return true;
        const Owner owner = OwnerOf(name.substr(prefix.size()));
        const std::string path = directory + "/" + std::string(name);
        const bool left =
            owner.machine == machine ? ProcessIsGone(owner.process) : UntouchedForADay(path);
        if (left) ::unlink(path.c_str());
        return true;
    });
}

int CreateTemporary(const std::string& directory, const std::string& label, std::string& path) {
    std::random_device random;
    std::string prefix = TemporaryPrefix(label);
    const std::string owner = MachineTag() + "-" + std::to_string(::getpid()) + "-";
    for (int attempt = 0; attempt < 100; ++attempt) {
        path = directory + "/" + prefix + owner + std::to_string(random() & 0xffffff);
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) return fd;
        if (errno == ENAMETOOLONG && prefix != kTemporaryMark)
            prefix = kTemporaryMark;  // a label near the limit
        else if (errno != EEXIST)
            return -1;
    }
    return -1;
}

}  // namespace kestavo::media
