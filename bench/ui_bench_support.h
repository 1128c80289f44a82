// SPDX-License-Identifier: GPL-3.0-or-later
// What the window benchmarks share: a prompter that answers every question
// with its default (and names the message on standard error, so that a run
// that went wrong says so), and milliseconds from a Qt timer.
#pragma once

#include <QElapsedTimer>
#include <cstdio>

#include "ui/prompter.h"

namespace kestavo::bench {

class SilentPrompter : public ui::Prompter {
public:
    MessageAnswer Show(const Message& m) override {
        std::fprintf(stderr, "message: %s\n", m.text.c_str());
        return m.defaultAnswer;
    }
    QString ChooseCatalogFile(QWidget*, const QString&) override { return {}; }
    QString ChooseReportFile(QWidget*, const QString&) override { return {}; }
};

inline double Ms(const QElapsedTimer& timer) {
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

}  // namespace kestavo::bench
