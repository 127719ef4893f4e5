// SPDX-License-Identifier: MIT
// The list of repairs a recovering read hands out. A repair of the same kind
// as the one before it adds to that one's count, and a repair of the form
// alone (a line end, blanks, a name's case) to the first of its kind, so that
// the list grows with the kinds of damage a file has rather than with its
// size; past kMostRecords records the rest are only counted.
#include <algorithm>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iterator>

#include "recover/recovery.h"

namespace vexlith::recover {
namespace {

struct KindRule {
    int action;
    int loss;
    bool once;  // the form alone: one record for the whole file
};

constexpr KindRule kKindRules[] = {
    {QDXF_REPAIR_SKIPPED, 0, true},    // ByteOrderMark
    {QDXF_REPAIR_REPLACED, 0, true},   // LineEnds
    {QDXF_REPAIR_SKIPPED, 0, true},    // CodeBlanks
    {QDXF_REPAIR_REPLACED, 0, true},   // TagForm
    {QDXF_REPAIR_SKIPPED, 0, false},   // AfterEof
    {QDXF_REPAIR_INSERTED, 0, false},  // EofMissing
    {QDXF_REPAIR_INSERTED, 0, false},  // EndsecMissing
    {QDXF_REPAIR_INSERTED, 0, false},  // EndtabMissing
    {QDXF_REPAIR_INSERTED, 0, false},  // EndblkMissing
    {QDXF_REPAIR_INSERTED, 0, false},  // SeqendMissing
    {QDXF_REPAIR_SKIPPED, 2, false},   // OutsideSection
    {QDXF_REPAIR_SKIPPED, 0, false},   // SectionTwice
    {QDXF_REPAIR_SKIPPED, 2, false},   // UnnamedSection
    {QDXF_REPAIR_SKIPPED, 2, false},   // StrayGroups
    {QDXF_REPAIR_DROPPED, 2, false},   // Cut
    {QDXF_REPAIR_SKIPPED, 2, false},   // Undecodable
    {QDXF_REPAIR_SKIPPED, 2, false},   // BadCodeLine
    {QDXF_REPAIR_REPLACED, 1, false},  // TextBreak
    {QDXF_REPAIR_REPLACED, 1, false},  // LongText
    {QDXF_REPAIR_REPLACED, 1, false},  // DecimalComma
    {QDXF_REPAIR_REPLACED, 1, false},  // ExponentBlank
    {QDXF_REPAIR_REPLACED, 1, false},  // NanWord
    {QDXF_REPAIR_REPLACED, 1, false},  // InfinityWord
    {QDXF_REPAIR_REPLACED, 1, false},  // OutOfRange
    {QDXF_REPAIR_REPLACED, 1, false},  // TrailingJunk
    {QDXF_REPAIR_REPLACED, 1, false},  // NoNumber
    {QDXF_REPAIR_REPLACED, 1, false},  // RealForInteger
    {QDXF_REPAIR_RENAMED, 0, false},   // EmptyHandle
    {QDXF_REPAIR_RENAMED, 1, false},   // BadHandle
    {QDXF_REPAIR_RENAMED, 1, false},   // DuplicateHandle
    {QDXF_REPAIR_DROPPED, 2, false},   // Orphan
    {QDXF_REPAIR_RENAMED, 1, false},   // NamelessBlock
    {QDXF_REPAIR_RENAMED, 1, false},   // DuplicateBlock
    {QDXF_REPAIR_INSERTED, 1, false},  // UndefinedBlock
    {QDXF_REPAIR_SKIPPED, 0, false},   // StrayEnd
    {QDXF_REPAIR_DROPPED, 2, false},   // OutsideBlock
    {QDXF_REPAIR_DROPPED, 2, false},   // StrayRecord
    {QDXF_REPAIR_DROPPED, 2, false},   // BadVariable
    {QDXF_REPAIR_REPLACED, 0, false},  // NoDollar
    {QDXF_REPAIR_REPLACED, 1, false},  // DashCount
    {QDXF_REPAIR_SKIPPED, 2, false},   // Overflow
};
static_assert(std::size(kKindRules) == static_cast<std::size_t>(Kind::None));

// Records listed one by one; a file of garbage cannot make the list longer.
constexpr std::size_t kMostRecords = 1000;
constexpr std::size_t kMostFound = 80;

void FreeRepairRecord(Qdxf_Repair *repair) {
    qdxf_RepairsFree(repair);
}

}  // namespace

void Recovery::Add(Kind kind, Place place, std::string_view found, const char *format, ...) {
    const KindRule &rule = kKindRules[static_cast<int>(kind)];
    if (Qdxf_Repair *first = firstOf_[static_cast<int>(kind)]) {
        ++first->count;
        return;
    }
    if (last_ && lastKind_ == kind) {
        if (last_->offset != place.offset) ++last_->count;  // not the same one noted twice
        return;
    }
    if (records_ >= kMostRecords && kind != Kind::Overflow) {
        if (lastKind_ == Kind::Overflow) {
            ++last_->count;
        } else {
            Add(Kind::Overflow, place, {}, "further repairs are not listed one by one");
            if (lastKind_ != Kind::Overflow) return;
        }
        last_->loss = std::max(last_->loss, rule.loss);
        return;
    }
    char message[256];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(message, sizeof message, format, arguments);
    va_end(arguments);
    rt::Owned<Qdxf_Repair, FreeRepairRecord> repair(rt::New<Qdxf_Repair>());
    if (!repair) return NoteNoMemory();
    repair->line = static_cast<int>(std::min<long long>(place.line, INT32_MAX));
    repair->offset = place.offset;
    repair->action = rule.action;
    repair->loss = rule.loss;
    repair->count = 1;
    found = found.substr(0, std::min(kMostFound, found.find('\0')));
    if (!found.empty()) {
        repair->found = rt::NewArray<char>(found.size() + 1);
        if (!repair->found) return NoteNoMemory();
        std::memcpy(repair->found, found.data(), found.size());
    }
    repair->message = rt::Duplicate(message);
    if (!repair->message) return NoteNoMemory();
    rt::ListAppender<Qdxf_Repair> list(&head_, &last_);
    list.Append(repair.get());
    if (rule.once) firstOf_[static_cast<int>(kind)] = repair.get();
    repair.release();
    lastKind_ = kind;
    ++records_;
    listed_ |= std::uint64_t{1} << static_cast<int>(kind);
}

Qdxf_Repair *Recovery::Take() {
    Qdxf_Repair *list = head_;
    head_ = last_ = nullptr;
    lastKind_ = Kind::None;
    records_ = 0;
    std::fill(std::begin(firstOf_), std::end(firstOf_), nullptr);
    return list;
}

void Recovery::Release() {
    qdxf_RepairsFree(Take());
    ascendingHandles.Release();
    otherHandles.Release();
    blockNames.Release();
    renamedBlocks.Release();
    missingBlocks.Release();
    for (char *kept : ownedTexts)
        rt::Free(kept);
    ownedTexts.Release();
    currentNames.Release();
    missing.Release();
}

const char *KeepText(Recovery &recovery, std::string_view text) {
    char *copy = rt::NewArray<char>(text.size() + 1);
    if (!copy || !recovery.ownedTexts.Append(copy)) {
        rt::Free(copy);
        recovery.NoteNoMemory();
        return nullptr;
    }
    std::memcpy(copy, text.data(), text.size());
    return copy;
}

}  // namespace vexlith::recover
