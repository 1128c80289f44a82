// SPDX-License-Identifier: GPL-3.0-or-later
// The questions and messages the windows put to the user. The desktop
// program asks with message boxes and file dialogs; tests answer through a
// prompter of their own.
#pragma once

#include <QString>

#include "catalog/messages.h"

class QWidget;

namespace kestavo::ui {

class Prompter : public MessageSink {
public:
    // A catalog file to open, or an empty text when the user cancels.
    virtual QString ChooseCatalogFile(QWidget* parent, const QString& directory) = 0;
    // Where to save a text report, offered first as `initialName`; asks
    // before an existing file is replaced. An empty text when the user
    // cancels.
    virtual QString ChooseReportFile(QWidget* parent, const QString& initialName) = 0;
};

// Message boxes and the file dialog, owned by `parent`.
class DialogPrompter : public Prompter {
public:
    explicit DialogPrompter(QWidget* parent) : parent_(parent) {}
    MessageAnswer Show(const Message& message) override;
    QString ChooseCatalogFile(QWidget* parent, const QString& directory) override;
    QString ChooseReportFile(QWidget* parent, const QString& initialName) override;

private:
    QWidget* parent_;
};

}  // namespace kestavo::ui
