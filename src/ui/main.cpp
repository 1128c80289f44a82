// SPDX-License-Identifier: GPL-3.0-or-later
// kestavo: the desktop program.
#include <QApplication>
#include <clocale>

#include "ui/kestavo_doc.h"
#include "ui/main_frame.h"
#include "ui/pictures.h"

namespace kestavo::ui {

// Starts the program: the user's locale for dates, times and letter case,
// one document and one main window, nothing loaded.
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

    int Run() {
        CKestavo2Doc doc;
        CMainFrame frame(doc);
        frame.show();
        return exec();
    }
};

}  // namespace kestavo::ui

int main(int argc, char** argv) {
    kestavo::ui::CKestavo2App app(argc, argv);
    return app.Run();
}
