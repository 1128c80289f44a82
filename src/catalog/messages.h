// SPDX-License-Identifier: GPL-3.0-or-later
// Messages the user must see, and the one way they are shown: the desktop
// program shows message boxes, the command line writes standard error, and
// tests record them and give the answers.
#pragma once

#include <string>

namespace kestavo {

enum class MessageIcon { None, Information, Exclamation, Question, Stop };
enum class MessageButtons { Ok, YesNo };
enum class MessageAnswer { Ok, Yes, No };

struct Message {
    std::string caption;
    std::string text;
    MessageIcon icon = MessageIcon::None;
    MessageButtons buttons = MessageButtons::Ok;
    MessageAnswer defaultAnswer = MessageAnswer::Ok;
};

class MessageSink {
public:
    virtual ~MessageSink() = default;
    virtual MessageAnswer Show(const Message& message) = 0;
};

// The caption of messages that have none of their own.
inline constexpr const char* kApplicationName = "Kestavo";

}  // namespace kestavo
