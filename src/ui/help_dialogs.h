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

// The help page: beside the catalog directory's parent when the variable
// Kestavo names a folder of the form INSTALL/Catalogs (cut before
// "Catalogs"), relative to the current directory when it does not contain
// "Catalogs", and in the program's data folder when it is not set.
QString HelpFilePath();

}  // namespace kestavo::ui
