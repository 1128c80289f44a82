// SPDX-License-Identifier: GPL-3.0-or-later
// Where panes find the program's actions, so that a context menu offers the
// same commands as the menus and routes them to the same handlers.
#pragma once

#include "ui/commands.h"

class QAction;

namespace kestavo::ui {

class CommandSource {
public:
    virtual ~CommandSource() = default;
    virtual QAction* Action(Command command) = 0;
};

}  // namespace kestavo::ui
