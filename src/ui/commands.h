// SPDX-License-Identifier: GPL-3.0-or-later
// Command identifiers of the desktop program's menus, toolbar and context
// menus, kept so that every action can be found by the command it carries.
#pragma once

namespace kestavo::ui {

enum class Command : int {
    ID_FIND_FILE_CONTEXT = 136,
    ID_FIND_DUPLICATES_CONTEXT = 138,
    ID_DELETE_CATALOG = 140,
    ID_OPEN_ALL_CATALOGS = 32771,
    ID_FIND_FILES_TOOLBAR = 32772,
    ID_FIND_FILES_ALL = 32773,
    ID_COMPARE_DISK = 32774,
    ID_QUICK_HELP = 32775,
    ID_FIND_DUPLICATES_ALL = 32776,
    ID_VIEW_OPTIONS = 32779,
    ID_PROPERTIES = 32783,
    ID_EJECT_REMOVABLE = 32784,
    ID_OPEN_ENTRY = 32785,
    ID_HELP_TOPICS = 32786,
    ID_SEND_TO_NOTEPAD = 32787,
    ID_OPEN_CONTAINING_FOLDER = 32788,
    ID_CATALOG_NEW_DISK = 57600,
    ID_OPEN_SELECTED_CATALOG = 57601,
    ID_APP_ABOUT = 57664,
    ID_APP_EXIT = 57665,
    ID_VIEW_TOOLBAR = 59392,
    ID_VIEW_STATUS_BAR = 59393,
};

// The property every QAction carries with its command identifier, stored as
// the identifier's number.
inline constexpr const char* kCommandProperty = "kestavoCommand";

constexpr int CommandNumber(Command command) {
    return static_cast<int>(command);
}

}  // namespace kestavo::ui
