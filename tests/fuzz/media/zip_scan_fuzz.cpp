// SPDX-License-Identifier: GPL-3.0-or-later
// Hands arbitrary bytes to the scanner as a ".zip" file in a folder of its
// own, then reads the catalog written back: whatever the archive holds,
// the scan must finish and its catalog must load whole.
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "catalog/catalog_reader.h"
#include "catalog/catalog_set.h"
#include "catalog/catalog_writer.h"
#include "media/volume_scanner.h"

namespace {

class IgnoredMessages : public kestavo::MessageSink {
public:
    kestavo::MessageAnswer Show(const kestavo::Message& message) override {
        return message.defaultAnswer;
    }
};

void RemoveScanFolder();

// The folder the archive is written into, made once per run and removed
// when the run ends (kept alive past static destruction for that).
const std::string& ScanFolder() {
    static const std::string* folder = [] {
        auto* pattern = new std::string((access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") +
                                        std::string("/kestavo-fuzz-XXXXXX"));
        if (!mkdtemp(pattern->data())) std::abort();
        std::atexit(RemoveScanFolder);
        return pattern;
    }();
    return *folder;
}

void RemoveScanFolder() {
    unlink((ScanFolder() + "/input.zip").c_str());
    rmdir(ScanFolder().c_str());
}

std::string ReadAll(int fd) {
    std::string text;
    char buffer[65536];
    lseek(fd, 0, SEEK_SET);
    ssize_t n = 0;
    while ((n = read(fd, buffer, sizeof buffer)) > 0)
        text.append(buffer, static_cast<std::size_t>(n));
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string archive = ScanFolder() + "/input.zip";
    const int in = open(archive.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (in < 0 || write(in, data, size) != static_cast<ssize_t>(size)) std::abort();
    close(in);

    const int out = memfd_create("catalog", 0);
    if (out < 0) std::abort();
    kestavo::media::ScanResult result;
    {
        kestavo::CatalogWriter writer(out);
        writer.Header("default");
        kestavo::media::DiskRecord disk;
        disk.label = "FUZZ";
        disk.date = {2024, 1, 2, 3, 4, 5};
        result = kestavo::media::ScanVolume(ScanFolder(), disk, writer);
    }
    const std::string text = ReadAll(out);
    close(out);
    if (result.status != kestavo::media::ScanStatus::Done) std::abort();

    IgnoredMessages messages;
    kestavo::CatalogSet set;
    if (kestavo::LoadCatalogText(set, text, "fuzz.kvx", messages) != kestavo::LoadOutcome::Loaded)
        std::abort();
    // The disk and the archive, as a Zip Folder or a plain file.
    if (set.EntryCount() < 2) std::abort();
    return 0;
}
