#include "tools/find_duplicates.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cstring>

#include "catalog/entry_kind.h"
#include "catalog/name_compare.h"
#include "catalog/size_unit.h"
#include "tools/large_buffer.h"
#include "tools/tree_walk.h"

namespace kestavo {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::uint64_t Mix(std::uint64_t h) {
    h ^= h >> 31;
    h *= 0x7fb5d329728ea185ULL;
    h ^= h >> 27;
    h *= 0x81dadef4bc2dd44dULL;
    h ^= h >> 33;
    return h;
}

std::uint64_t HashKey(std::string_view key) {
    std::uint64_t h = 0x9E3779B97F4A7C15ULL ^ key.size();
    std::size_t i = 0;
    for (; i + 8 <= key.size(); i += 8) {
        std::uint64_t word;
        std::memcpy(&word, key.data() + i, 8);
        h = Mix(h ^ word);
    }
    std::uint64_t tail = 0;
    std::memcpy(&tail, key.data() + i, key.size() - i);
    return Mix(h ^ tail ^ 0xA5A5A5A5A5A5A5A5ULL);
}

// One duplicate set while sets are gathered: its key and its members, as
// positions in the collection (so in the collection's order).
struct DuplicateSet {
    std::string key;
    std::vector<std::uint32_t> members;
};

}  // namespace

bool ParseThresholdText(std::string_view text, std::int32_t& value) {
    const std::string_view read = text.substr(0, 31);
    std::size_t i = 0;
    while (i < read.size() && IsBlank(read[i])) ++i;
    const std::size_t numberStart = i;
    bool negative = false;
    if (i < read.size() && (read[i] == '+' || read[i] == '-')) negative = read[i++] == '-';
    const std::size_t digitsStart = i;
    std::int64_t number = 0;
    while (i < read.size() && read[i] >= '0' && read[i] <= '9') {
        number = number * 10 + (read[i] - '0');
        if (number > std::int64_t{INT32_MAX} + 1) return false;
        ++i;
    }
    if (i == digitsStart) return false;
    while (i < read.size() && IsBlank(read[i])) ++i;
    if (i != read.size()) return false;
    if (number == 0 && read[numberStart] != '0') return false;
    if (negative) number = -number;
    if (number > INT32_MAX || number < INT32_MIN) return false;
    value = static_cast<std::int32_t>(number);
    return true;
}

std::string UnitLabel(int sizeUnit) {
    switch (sizeUnit) {
        case kUnitByte: return "bytes";
        case kUnitKB: return "KB";
        case kUnitMB: return "MB";
        default: return "error";
    }
}

void AppendDuplicateKey(FileData& entry, const DuplicateCriteria& criteria, std::string& key) {
    if (criteria.names) {
        const std::size_t start = key.size();
        key.append(entry.Name());
        for (std::size_t i = start; i < key.size(); ++i)
            if (key[i] >= 'a' && key[i] <= 'z') key[i] = static_cast<char>(key[i] - 'a' + 'A');
        key.push_back('~');
    }
    if (criteria.sizes) {
        key.append(entry.GetSizeText());
        key.push_back('~');
    }
    if (criteria.dates) {
        char digits[24];
        const auto end = std::to_chars(digits, digits + sizeof digits, entry.GetTime()).ptr;
        key.append(digits, end);
    }
}

FindDuplicates::FindDuplicates(CatalogSet& set, TreeItem searchRoot)
    : set_(set), searchRoot_(searchRoot), unitLabel_(kestavo::UnitLabel(GetSizeUnit())) {
    searchRootText_ = searchRoot == kNoItem ? std::string(kRootItemText)
                                            : kestavo::SearchRootText(set.Tree(), searchRoot);
}

bool FindDuplicates::SetThresholdText(std::string_view text, MessageSink& messages) {
    std::int32_t value = 0;
    if (!ParseThresholdText(text, value)) {
        messages.Show(Message{kApplicationName, kPleaseEnterAnInteger, MessageIcon::Exclamation,
                              MessageButtons::Ok, MessageAnswer::Ok});
        return false;
    }
    threshold_ = value;
    return true;
}

void FindDuplicates::Collect(std::vector<FileData*>& collection) const {
    collection.clear();
    if (searchRoot_ == kNoItem) {
        set_.CollectAllFiles(collection);
        return;
    }
    ForEachNodeDepthFirst(set_.Tree(), searchRoot_,
                          [&](TreeItem node) { set_.CollectFilesUnder(node, collection); });
    SortByIdentity(collection);
}

void FindDuplicates::FindNow() {
    rows_.clear();
    if (!criteria_.Any()) {
        rows_.push_back(Row{nullptr, kAllCriteriaDisabled, RowKind::Message, IMAGE_DELETED});
        return;
    }
    // The threshold in bytes, as a 64-bit product so that it cannot wrap.
    const std::int64_t thresholdBytes = std::int64_t{GetSizeUnit()} * threshold_;
    std::vector<FileData*> collection;
    Collect(collection);
    ListSets(collection, thresholdBytes);
    if (rows_.empty()) rows_.push_back(Row{nullptr, kNoDuplicatesFound, RowKind::Message, IMAGE_IDENTICAL});
}

// Files are grouped by a hash of their key first, so that only files whose
// hashes agree have their keys built again and compared; the sets found are
// then put in byte order of their keys.
void FindDuplicates::ListSets(std::vector<FileData*>& collection, std::int64_t thresholdBytes) {
    if (collection.size() > UINT32_MAX) collection.resize(UINT32_MAX);
    struct Hashed {
        std::uint64_t hash;
        std::uint32_t index;
    };
    LargeBuffer<Hashed> buffer(collection.size());
    const std::span<Hashed> hashed = buffer.Items();
    std::string key;
    for (std::size_t i = 0; i < collection.size(); ++i) {
        key.clear();
        AppendDuplicateKey(*collection[i], criteria_, key);
        hashed[i] = Hashed{HashKey(key), static_cast<std::uint32_t>(i)};
    }
    std::sort(hashed.begin(), hashed.end(), [](const Hashed& a, const Hashed& b) {
        return a.hash != b.hash ? a.hash < b.hash : a.index < b.index;
    });

    std::vector<DuplicateSet> sets;
    std::vector<DuplicateSet> run;
    for (std::size_t start = 0; start < hashed.size();) {
        std::size_t end = start + 1;
        while (end < hashed.size() && hashed[end].hash == hashed[start].hash) ++end;
        if (end - start > 1) {
            run.clear();
            for (std::size_t i = start; i < end; ++i) {
                key.clear();
                AppendDuplicateKey(*collection[hashed[i].index], criteria_, key);
                // Files of one hash nearly always share one key; a collision
                // of different keys makes a second set.
                auto same = std::find_if(run.begin(), run.end(),
                                         [&key](const DuplicateSet& s) { return s.key == key; });
                if (same == run.end()) {
                    run.push_back(DuplicateSet{key, {}});
                    same = run.end() - 1;
                }
                same->members.push_back(hashed[i].index);
            }
            for (DuplicateSet& s : run)
                if (s.members.size() > 1) sets.push_back(std::move(s));
        }
        start = end;
    }
    std::sort(sets.begin(), sets.end(), [](const DuplicateSet& a, const DuplicateSet& b) {
        return CompareBytes(a.key, b.key) < 0;
    });

    const ContainerTree& tree = set_.Tree();
    for (const DuplicateSet& s : sets) {
        const bool reachesThreshold = std::any_of(
            s.members.begin(), s.members.end(),
            [&](std::uint32_t i) { return collection[i]->Size() >= thresholdBytes; });
        if (!reachesThreshold) continue;
        rows_.push_back(Row{nullptr, "---", RowKind::Separator, KIND_FOLDER});
        for (std::uint32_t i : s.members) {
            FileData* entry = collection[i];
            entry->GetSizeText();
            entry->GetDateText();
            entry->GetPath(&tree);
            rows_.push_back(Row{entry, nullptr, RowKind::Entry, 0});
        }
    }
}

int FindDuplicates::RowImage(std::size_t row) const {
    const Row& r = rows_[row];
    return r.kind == RowKind::Entry ? r.entry->GetKind() : r.image;
}

std::string_view FindDuplicates::RowText(std::size_t row, DuplicateColumn column) const {
    const Row& r = rows_[row];
    if (r.kind != RowKind::Entry) return column == DuplicateColumn::Name ? r.message : "";
    switch (column) {
        case DuplicateColumn::Name: return r.entry->Name();
        case DuplicateColumn::Size: return r.entry->GetSizeText();
        case DuplicateColumn::Date: return r.entry->GetDateText();
        case DuplicateColumn::InFolder: return r.entry->GetPath(&set_.Tree());
    }
    return {};
}

bool FindDuplicates::SaveReport(const std::string& path) {
    reportFileName_ = path;
    return WriteReportFile(path, [this](ReportWriter& report) { WriteReport(report); });
}

void FindDuplicates::WriteReport(ReportWriter& report) const {
    report.Line(" Kestavo, Duplicate Files report");
    report.Line(" ------------------------------------");
    report.Text(" Search root        : ");
    report.Line(searchRootText_);
    report.EndLine();
    WriteEntryHeading(report);
    std::int64_t sets = 0;
    for (std::size_t row = 0; row < rows_.size(); ++row) {
        // The entries of the sets lie all over memory: fetch them ahead.
        if (row + 16 < rows_.size() && rows_[row + 16].entry) __builtin_prefetch(rows_[row + 16].entry);
        if (row + 8 < rows_.size() && rows_[row + 8].entry) __builtin_prefetch(rows_[row + 8].entry->GetName());
        switch (rows_[row].kind) {
            case RowKind::Separator:
                report.Line("--->");
                ++sets;
                break;
            case RowKind::Entry:
                WriteEntryLine(report, RowText(row, DuplicateColumn::Date),
                               RowText(row, DuplicateColumn::Size), RowText(row, DuplicateColumn::Name),
                               RowText(row, DuplicateColumn::InFolder));
                break;
            case RowKind::Message: break;
        }
    }
    report.EndLine();
    report.Text(" ");
    report.Number(sets);
    report.Line(" Duplicate sets found.");
}

}  // namespace kestavo
