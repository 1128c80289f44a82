// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/command_line.h"

#include <QDir>
#include <QUrl>
#include <string_view>

#include "kestavo_version.h"

namespace kestavo::ui {
namespace {

constexpr const char* kUsage =
    "usage: kestavo [OPTION]... [FILE.kvx]...\n"
    "Catalogue disks and search their contents offline.\n"
    "\n"
    "Each FILE is a catalog, loaded as File > Open Selected Catalog loads it.\n"
    "When Kestavo is already running, the files are loaded in its window.\n"
    "\n"
    "  -h, --help     show this help and exit\n"
    "      --version  show the version and exit\n"
    "\n"
    "The options of Qt programs (such as -platform) are accepted too.\n"
    "Catalogs are kept in $Kestavo, else $HOME/Kestavo.\n";

TerminalAnswer UnknownOption(const QString& option) {
    return {"kestavo: unknown option " + option.toStdString() +
                "\nTry 'kestavo --help' for more information.\n",
            true, 2};
}

QString AbsoluteFile(const QString& argument, const QString& currentFolder) {
    const QUrl url(argument);
    if (url.isLocalFile()) return QDir::cleanPath(url.toLocalFile());
    return QDir::cleanPath(QDir(currentFolder).absoluteFilePath(argument));
}

}  // namespace

std::optional<TerminalAnswer> EarlyAnswer(int argc, const char* const* argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--") break;
        if (argument == "--help" || argument == "-h") return TerminalAnswer{kUsage, false, 0};
        if (argument == "--version")
            return TerminalAnswer{"kestavo " KESTAVO_VERSION "\n", false, 0};
    }
    return std::nullopt;
}

StartFiles FilesOfArguments(const QStringList& arguments, const QString& currentFolder) {
    StartFiles start;
    bool optionsEnded = false;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (!optionsEnded && argument == QStringLiteral("--")) {
            optionsEnded = true;
            continue;
        }
        if (!optionsEnded && argument.size() > 1 && argument.startsWith(QLatin1Char('-'))) {
            start.error = UnknownOption(argument);
            start.files.clear();
            return start;
        }
        if (!argument.isEmpty()) start.files << AbsoluteFile(argument, currentFolder);
    }
    return start;
}

}  // namespace kestavo::ui
