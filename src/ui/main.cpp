// SPDX-License-Identifier: GPL-3.0-or-later
// kestavo: the desktop program.
#include <QApplication>
#include <QDir>
#include <QTimer>
#include <clocale>
#include <cstdio>

#include "ui/command_line.h"
#include "ui/kestavo_doc.h"
#include "ui/main_frame.h"
#include "ui/pictures.h"
#include "ui/remembered_state.h"
#include "ui/single_instance.h"

namespace kestavo::ui {

// Starts the program: the user's locale for dates, times and letter case,
// one document and one main window, with the catalogs of the command line
// loaded. A start with files while a window runs hands them to that window.
class CKestavo2App : public QApplication {
public:
    CKestavo2App(int& argc, char** argv) : QApplication(argc, argv) {
        std::setlocale(LC_ALL, "");
        // Also the window class (WM_CLASS) on X11 and XWayland, which the desktop entry
        // names in StartupWMClass.
        setApplicationName(QStringLiteral("Kestavo"));
        setOrganizationName(QStringLiteral("Kestavo"));
        setWindowIcon(ApplicationIcon());
        // Ties the window to the installed menu entry (and its icon) on Wayland.
        setDesktopFileName(QStringLiteral(KESTAVO_APP_ID));
    }

    int Run(const QStringList& files) {
        const QString socketPath = InstanceSocketPath();
        if (!files.isEmpty() && HandOverFiles(socketPath, files)) return 0;
        RememberedState::SetEnabled(true);
        CKestavo2Doc doc;
        CMainFrame frame(doc);
        InstanceServer instance;
        instance.Listen(socketPath);
        connect(&instance, &InstanceServer::FilesArrived, &frame,
                [&frame](const QStringList& handed) {
                    frame.BringToFront();
                    frame.OpenCatalogFiles(handed);
                });
        frame.show();
        // Loaded once the window is up, so that any message shows over it.
        QTimer::singleShot(0, &frame, [&frame, files] { frame.OpenCatalogFiles(files); });
        return exec();
    }
};

int Answer(const TerminalAnswer& answer) {
    std::fputs(answer.text.c_str(), answer.toStandardError ? stderr : stdout);
    return std::fflush(stdout) == 0 ? answer.exitStatus : 1;
}

}  // namespace kestavo::ui

int main(int argc, char** argv) {
    if (const auto answer = kestavo::ui::EarlyAnswer(argc, argv))
        return kestavo::ui::Answer(*answer);
    kestavo::ui::CKestavo2App app(argc, argv);
    const kestavo::ui::StartFiles start =
        kestavo::ui::FilesOfArguments(QCoreApplication::arguments(), QDir::currentPath());
    if (start.error) return kestavo::ui::Answer(*start.error);
    return app.Run(start.files);
}
