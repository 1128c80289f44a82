// SPDX-License-Identifier: GPL-3.0-or-later
// The Quick Help and About dialogs, and the help page's location.
#pragma once

#include <QDialog>
#include <QString>

namespace kestavo::ui {

class HelpDialog : public QDialog {
    Q_OBJECT
public:
    explicit HelpDialog(QWidget* parent = nullptr);
};

class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};

// The program's data folder: share/kestavo beside the installed program, else
// the source tree's res/ folder.
QString DataFolder();

// The help page: beside the catalog directory's parent when the variable
// Kestavo names a folder of the form INSTALL/Catalogs (cut before
// "Catalogs"), otherwise Help/Kestavo_help.htm in the program's data folder.
QString HelpFilePath();

}  // namespace kestavo::ui
