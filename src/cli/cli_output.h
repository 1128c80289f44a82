// How the command line shows what the desktop program shows in windows.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "catalog/list_rows.h"
#include "catalog/list_sink.h"
#include "catalog/messages.h"

namespace kestavo::cli {

// Messages go to standard error, their text only. Questions are answered
// with their default button.
class StderrMessages : public MessageSink {
public:
    MessageAnswer Show(const Message& message) override;
};

// Collects the rows a container's contents fill the list with, and prints
// them as TAB-separated lines under a heading line.
class TabSeparatedList : public ListSink {
public:
    void ClearRows() override { rows_.clear(); }
    void ShowFileColumns() override { columns_ = FileColumns(); }
    void ShowDiskColumns() override { columns_ = DiskColumns(DiskColumnSwitches{}); }
    void AddFileRow(FileData& entry) override { rows_.push_back(&entry); }
    void AddDiskRow(FileData& entry) override { rows_.push_back(&entry); }

    void Print(std::FILE* out);

private:
    std::vector<ListColumn> columns_ = FileColumns();
    std::vector<FileData*> rows_;
};

}  // namespace kestavo::cli
