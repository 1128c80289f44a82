#include "cli/cli_output.h"

namespace kestavo::cli {

MessageAnswer StderrMessages::Show(const Message& message) {
    std::fprintf(stderr, "%s\n", message.text.c_str());
    if (message.buttons == MessageButtons::Ok) return MessageAnswer::Ok;
    return message.defaultAnswer;
}

void TabSeparatedList::Print(std::FILE* out) {
    std::string line;
    for (const ListColumn& column : columns_) {
        if (!line.empty()) line += '\t';
        line += column.heading;
    }
    line += '\n';
    std::fputs(line.c_str(), out);
    SortRowsInInitialOrder(rows_);
    for (FileData* row : rows_) {
        line.clear();
        for (std::size_t i = 0; i < columns_.size(); ++i) {
            if (i) line += '\t';
            line += CellText(*row, columns_[i].content);
        }
        line += '\n';
        std::fwrite(line.data(), 1, line.size(), out);
    }
}

}  // namespace kestavo::cli
