// SPDX-License-Identifier: GPL-3.0-or-later
// Answers the program's questions the way a test says, and records them:
// messages, the catalog file chosen and the report file chosen.
#pragma once

#include <QString>
#include <QStringList>
#include <deque>
#include <vector>

#include "ui/prompter.h"

namespace kestavo::ui {

class ScriptedPrompter : public Prompter {
public:
    MessageAnswer Show(const Message& message) override {
        shown.push_back(message);
        if (message.buttons == MessageButtons::Ok) return MessageAnswer::Ok;
        if (answers.empty()) return message.defaultAnswer;
        const MessageAnswer answer = answers.front();
        answers.pop_front();
        return answer;
    }
    QString ChooseCatalogFile(QWidget*, const QString& directory) override {
        offeredDirectory = directory;
        return chosenFile;
    }
    QString ChooseReportFile(QWidget*, const QString& initialName) override {
        offeredNames << initialName;
        return reportFile;
    }
    // The texts of the messages shown, in order.
    QStringList Texts() const {
        QStringList texts;
        for (const Message& m : shown) texts << QString::fromStdString(m.text);
        return texts;
    }

    std::vector<Message> shown;
    std::deque<MessageAnswer> answers;
    QString chosenFile;
    QString offeredDirectory;
    QString reportFile;
    QStringList offeredNames;
};

}  // namespace kestavo::ui
