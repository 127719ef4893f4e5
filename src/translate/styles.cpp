// SPDX-License-Identifier: MIT
// Dimension styles, block records, multiline styles and blocks, as the drawn
// kinds look them up.
#include "translate/styles.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

#include "runtime/toolkit.h"

namespace vexlith::translate {
namespace {

// Where a number of a dimension style comes from: its group in a DIMSTYLE
// entry (and as the code of an override), its header variable, and the value
// of the DXF reference when neither gives it.
struct DimRow {
    int code;
    const char *variable;
    double fallback;
};
constexpr DimRow kDimRows[kDimNumbers] = {
    {40, "DIMSCALE", 1},   {41, "DIMASZ", 0.18},  {42, "DIMEXO", 0.0625}, {44, "DIMEXE", 0.18},
    {140, "DIMTXT", 0.18}, {147, "DIMGAP", 0.09}, {142, "DIMTSZ", 0},     {144, "DIMLFAC", 1},
    {45, "DIMRND", 0},     {271, "DIMDEC", 4},    {179, "DIMADEC", 0},    {78, "DIMZIN", 0},
    {79, "DIMAZIN", 0},    {77, "DIMTAD", 0},     {73, "DIMTIH", 1},      {74, "DIMTOH", 1},
    {75, "DIMSE1", 0},     {76, "DIMSE2", 0},     {278, "DIMDSEP", '.'},  {176, "DIMCLRD", 0},
    {177, "DIMCLRE", 0},   {178, "DIMCLRT", 0},
};
// The texts: DIMPOST, DIMBLK by name (R14 and before) and by the handle of
// its block record (2000 and later).
constexpr int kPostCode = 3;
constexpr int kArrowCode = 5;
constexpr int kArrowHandleCode = 342;

int RowOf(int code) {
    for (int row = 0; row < kDimNumbers; ++row) {
        if (kDimRows[row].code == code) return row;
    }
    return -1;
}

// The number a group holds, or NaN. The kind rule of R12 makes texts of some
// codes of the style (176 to 179): those are read as numbers.
double NumberOf(Qdxf_ValueKind kind, std::int32_t integer, double real, const char *text,
                std::size_t length) {
    if (kind == QDXF_VALUE_INT) return integer;
    if (kind == QDXF_VALUE_REAL) return real;
    std::string_view digits(kind == QDXF_VALUE_TEXT ? text : "",
                            kind == QDXF_VALUE_TEXT ? length : 0);
    while (!digits.empty() && digits.front() == ' ')
        digits.remove_prefix(1);
    double number = NAN;
    bool read = ReadReal(digits.data(), digits.data() + digits.size(), number).ec == std::errc{};
    return read ? number : NAN;
}

char *CopyOf(const char *text, std::size_t length) {
    char *copy = rt::NewArray<char>(length + 1);
    if (copy && length) std::memcpy(copy, text, length);
    return copy;
}

}  // namespace

struct Styles::Entry {
    enum Kind { kDimStyle, kBlockRecord, kMLineStyle } kind;
    char *name;
    char *handle;
    // DIMSTYLE: a bit of `set` for each number its groups give.
    double number[kDimNumbers];
    std::uint32_t set;
    char *post;
    char *arrow;
    char *arrowHandle;
    int flags;  // MLINESTYLE
};

double DimStyle::Scaled(Dim which) const {
    double scale = (*this)[Dim::kScale];
    return (*this)[which] * (scale > 0 && std::isfinite(scale) ? scale : 1.0);
}

int DimStyle::Int(Dim which) const {
    double value = (*this)[which];
    if (!std::isfinite(value)) return 0;
    return static_cast<int>(std::clamp(std::round(value), -1e6, 1e6));
}

bool Styles::Begin(std::string_view kind) {
    entry_ = nullptr;
    Entry::Kind which;
    if (kind == "DIMSTYLE") {
        which = Entry::kDimStyle;
    } else if (kind == "BLOCK_RECORD") {
        which = Entry::kBlockRecord;
    } else if (kind == "MLINESTYLE") {
        which = Entry::kMLineStyle;
    } else {
        return true;
    }
    auto *entry = rt::New<Entry>();
    if (!entry) return false;
    if (!entries_.Append(entry)) {
        rt::Free(entry);
        return false;
    }
    entry->kind = which;
    entry_ = entry;
    return true;
}

bool Styles::Keep(const GroupView &group) {
    Entry *entry = entry_;
    if (!entry) return true;
    // A text member is set by its first group only: the indexes hold it.
    auto text = [&](char *&member, rt::NameIndex *index) {
        if (member || group.kind != QDXF_VALUE_TEXT) return true;
        member = CopyOf(group.text, group.length);
        return member && (!index || index->Add(member, entry));
    };
    switch (entry->kind) {
        case Entry::kDimStyle: {
            if (group.code == 2) return text(entry->name, &dimStyles_);
            if (group.code == kPostCode) return text(entry->post, nullptr);
            if (group.code == kArrowCode) return text(entry->arrow, nullptr);
            if (group.code == kArrowHandleCode) return text(entry->arrowHandle, nullptr);
            int row = RowOf(group.code);
            double value =
                NumberOf(group.kind, group.integer, group.real, group.text, group.length);
            if (row >= 0 && std::isfinite(value)) {
                entry->number[row] = value;
                entry->set |= 1u << row;
            }
            return true;
        }
        case Entry::kBlockRecord:
            if (group.code == 2) return text(entry->name, nullptr);
            if (group.code == 5) return text(entry->handle, &blockRecords_);
            return true;
        case Entry::kMLineStyle:
            if (group.code == 2) return text(entry->name, &mlineNames_);
            if (group.code == 5) return text(entry->handle, &mlineHandles_);
            if (group.code == 70 && group.kind == QDXF_VALUE_INT) entry->flags = group.integer;
            return true;
    }
    return true;
}

bool Styles::KeepVariable(const char *name, Qdxf_ValueKind kind, std::int32_t integer, double real,
                          const char *text) {
    if (std::strncmp(name, "DIM", 3) != 0) return true;
    auto keepText = [&](char *&member) {
        if (kind != QDXF_VALUE_TEXT) return true;
        char *copy = CopyOf(text, std::strlen(text));
        if (!copy) return false;
        rt::Free(member);
        member = copy;
        return true;
    };
    if (rt::TextEqual(name, "DIMPOST")) return keepText(headerPost_);
    if (rt::TextEqual(name, "DIMBLK")) return keepText(headerArrow_);
    for (int row = 0; row < kDimNumbers; ++row) {
        if (!rt::TextEqual(name, kDimRows[row].variable)) continue;
        double value =
            NumberOf(kind, integer, real, text, kind == QDXF_VALUE_TEXT ? std::strlen(text) : 0);
        if (std::isfinite(value)) {
            header_[row] = value;
            headerSet_ |= 1u << row;
        }
        break;
    }
    return true;
}

DimStyle Styles::Resolve(const char *name, Groups groups) {
    DimStyle style{};
    for (int row = 0; row < kDimNumbers; ++row)
        style.number[row] = (headerSet_ >> row & 1) ? header_[row] : kDimRows[row].fallback;
    if (headerPost_) style.post = headerPost_;
    if (headerArrow_) style.arrow = headerArrow_;

    const Entry *entry = name ? static_cast<const Entry *>(dimStyles_.Find(name)) : nullptr;
    for (const char *standard : {"Standard", "STANDARD"}) {
        if (!entry) entry = static_cast<const Entry *>(dimStyles_.Find(standard));
    }
    if (entry) {
        for (int row = 0; row < kDimNumbers; ++row) {
            if (entry->set >> row & 1) style.number[row] = entry->number[row];
        }
        if (entry->post) style.post = entry->post;
        const char *arrow = entry->arrow         ? entry->arrow
                            : entry->arrowHandle ? BlockName(entry->arrowHandle)
                                                 : nullptr;
        if (arrow) style.arrow = arrow;
    }

    // The entity's overrides: extended data of the application "ACAD", a
    // list "DSTYLE" of pairs, the code (1070) and the value.
    bool acad = false;
    int state = 0;  // 1: after "DSTYLE", 2: in its list
    int code = -1;
    for (const EntityGroup &group : groups) {
        std::string_view text(group.text, group.length);
        if (group.code == 1001) {
            acad = text == "ACAD";
            state = 0;
            continue;
        }
        if (!acad) continue;
        if (state == 0) {
            if (group.code == 1000 && text == "DSTYLE") state = 1;
        } else if (state == 1) {
            state = group.code == 1002 && text == "{" ? 2 : 0;
        } else if (group.code == 1002) {
            state = 0;
        } else if (code < 0) {
            code = group.code == 1070 ? group.integer : -1;
        } else {
            if (code == kPostCode && group.kind == QDXF_VALUE_TEXT) style.post = text;
            if (code == kArrowCode && group.kind == QDXF_VALUE_TEXT) style.arrow = text;
            if (code == kArrowHandleCode && group.kind == QDXF_VALUE_TEXT) {
                const char *arrow = BlockName(group.text);
                style.arrow = arrow ? arrow : "";
            }
            int row = RowOf(code);
            double value =
                NumberOf(group.kind, group.integer, group.real, group.text, group.length);
            if (row >= 0 && std::isfinite(value)) style.number[row] = value;
            code = -1;
        }
    }
    return style;
}

const char *Styles::BlockName(const char *handle) const {
    const auto *entry = static_cast<const Entry *>(blockRecords_.Find(handle));
    return entry ? entry->name : nullptr;
}

bool Styles::MLineStyleFlags(const char *handle, const char *name, int *flags) const {
    const auto *entry = handle ? static_cast<const Entry *>(mlineHandles_.Find(handle)) : nullptr;
    if (!entry && name) entry = static_cast<const Entry *>(mlineNames_.Find(name));
    if (!entry) return false;
    *flags = entry->flags;
    return true;
}

bool Styles::FindBlock(const Qdxf_Info *drawing, const char *name, const Qdxf_Block **block) {
    const Qdxf_Block *next = indexedUpTo_ ? indexedUpTo_->next : drawing->blocks;
    for (; next; next = next->next) {
        if (next->name && !blocks_.Add(next->name, const_cast<Qdxf_Block *>(next))) return false;
        indexedUpTo_ = next;
    }
    *block = static_cast<const Qdxf_Block *>(blocks_.Find(name));
    return true;
}

void Styles::Release() {
    for (Entry *entry : entries_) {
        for (char *text :
             {entry->name, entry->handle, entry->post, entry->arrow, entry->arrowHandle})
            rt::Free(text);
        rt::Free(entry);
    }
    entries_.Release();
    entry_ = nullptr;
    for (rt::NameIndex *index :
         {&dimStyles_, &blockRecords_, &mlineHandles_, &mlineNames_, &blocks_})
        index->Release();
    indexedUpTo_ = nullptr;
    rt::Free(headerPost_);
    rt::Free(headerArrow_);
    headerPost_ = headerArrow_ = nullptr;
    headerSet_ = 0;
}

}  // namespace vexlith::translate
