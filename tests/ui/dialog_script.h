// SPDX-License-Identifier: GPL-3.0-or-later
// Answers a test's modal dialogs as they come, one handler each, in order.
#pragma once

#include <QApplication>
#include <QDialog>
#include <QPointer>
#include <QTimer>
#include <deque>
#include <functional>

class DialogScript : public QObject {
public:
    void Then(std::function<void(QDialog*)> step) { steps_.push_back(std::move(step)); }
    void Start() {
        timer_.setInterval(5);
        connect(&timer_, &QTimer::timeout, this, [this] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!dialog || dialog == last_ || steps_.empty()) return;
            last_ = dialog;
            auto step = std::move(steps_.front());
            steps_.pop_front();
            step(dialog);
        });
        timer_.start();
    }
    bool Done() const { return steps_.empty(); }

private:
    std::deque<std::function<void(QDialog*)>> steps_;
    QTimer timer_;
    QPointer<QDialog> last_;
};
