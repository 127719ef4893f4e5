// SPDX-License-Identifier: MIT
// The group reader: one group at a time from an ASCII or a binary DXF file,
// with progress reported to the host's meter after every group.
//
// ASCII groups are two lines, code and value; comment groups (999) are
// dropped here. Binary groups are a code of one or two bytes followed by a
// value whose width depends on the code. The value kind a group reports is
// the kind rule of its code, so the ASCII and the binary form of one drawing
// give the same groups; in the binary form every value is consumed with the
// width the encoding gives its code, even where the kind rule has no use for
// it, or the reader would lose its place in the byte stream.
#include <algorithm>
#include <array>
#include <bit>
#include <climits>
#include <cstdio>
#include <cstring>
#include <iterator>

#include "codec/group_decode.h"
#include "recover/recovery.h"

namespace vexlith {

namespace {

constexpr Qdxf_ValueKind KindRule(int code) {
    int r = code % 1000;
    if (r < 0) return QDXF_VALUE_NONE;
    if (r <= 9) return QDXF_VALUE_TEXT;
    if (r <= 59) return QDXF_VALUE_REAL;
    if (r <= 79) return QDXF_VALUE_INT;
    if (r >= 90 && r <= 99) return QDXF_VALUE_INT;
    if (r >= 140 && r <= 147) return QDXF_VALUE_REAL;
    if (r >= 170 && r <= 175) return QDXF_VALUE_INT;
    if (r >= 100 && r <= 199) return QDXF_VALUE_TEXT;
    return QDXF_VALUE_NONE;
}

// Widths of the DXF binary encoding for the codes it defines.
constexpr BinaryValue EncodingOf(int code) {
    struct Range {
        int first, last;
        BinaryValue value;
    };
    constexpr Range ranges[] = {
        {0, 9, BinaryValue::Text},        {10, 59, BinaryValue::Real},
        {60, 79, BinaryValue::Int16},     {90, 99, BinaryValue::Int32},
        {100, 109, BinaryValue::Text},    {110, 149, BinaryValue::Real},
        {160, 169, BinaryValue::Int64},   {170, 179, BinaryValue::Int16},
        {210, 239, BinaryValue::Real},    {270, 289, BinaryValue::Int16},
        {290, 299, BinaryValue::Byte},    {300, 309, BinaryValue::Text},
        {310, 319, BinaryValue::Chunk},   {320, 369, BinaryValue::Text},
        {370, 389, BinaryValue::Int16},   {390, 399, BinaryValue::Text},
        {400, 409, BinaryValue::Int16},   {410, 419, BinaryValue::Text},
        {420, 429, BinaryValue::Int32},   {430, 439, BinaryValue::Text},
        {440, 459, BinaryValue::Int32},   {460, 469, BinaryValue::Real},
        {470, 481, BinaryValue::Text},    {999, 999, BinaryValue::None},
        {1000, 1003, BinaryValue::Text},  {1004, 1004, BinaryValue::Chunk},
        {1005, 1009, BinaryValue::Text},  {1010, 1059, BinaryValue::Real},
        {1060, 1070, BinaryValue::Int16}, {1071, 1071, BinaryValue::Int32},
    };
    for (const Range &range : ranges) {
        if (code >= range.first && code <= range.last) return range.value;
    }
    // Codes the encoding does not define keep the width of their kind.
    switch (KindRule(code)) {
        case QDXF_VALUE_TEXT:
            return BinaryValue::Text;
        case QDXF_VALUE_REAL:
            return BinaryValue::Real;
        case QDXF_VALUE_INT:
            return BinaryValue::Int16;
        case QDXF_VALUE_NONE:
            break;
    }
    return BinaryValue::None;
}

// The kind of a value stored in `encoding`.
constexpr Qdxf_ValueKind KindOfEncoding(BinaryValue encoding) {
    switch (encoding) {
        case BinaryValue::Text:
        case BinaryValue::Chunk:
            return QDXF_VALUE_TEXT;
        case BinaryValue::Real:
            return QDXF_VALUE_REAL;
        case BinaryValue::Int16:
        case BinaryValue::Int32:
        case BinaryValue::Int64:
        case BinaryValue::Byte:
            return QDXF_VALUE_INT;
        case BinaryValue::None:
            break;
    }
    return QDXF_VALUE_NONE;
}

// What a binary group holds: nothing for a code without kind; otherwise the
// kind of the value actually read, which differs from the kind rule only
// where the rule says text and the file has a number (110-139, 148-149,
// 160-169, 176-179).
constexpr Qdxf_ValueKind BinaryKind(int code, BinaryValue encoding) {
    return KindRule(code) == QDXF_VALUE_NONE ? QDXF_VALUE_NONE : KindOfEncoding(encoding);
}

constexpr auto kKindTable = [] {
    std::array<Qdxf_ValueKind, 1000> table{};
    for (int r = 0; r < 1000; ++r)
        table[static_cast<std::size_t>(r)] = KindRule(r);
    return table;
}();

constexpr auto kBinaryTable = [] {
    std::array<BinaryCode, kTabledCodes> table{};
    for (int code = 0; code < kTabledCodes; ++code) {
        BinaryValue encoding = EncodingOf(code);
        table[static_cast<std::size_t>(code)] = {encoding, BinaryKind(code, encoding)};
    }
    return table;
}();

// ---------------------------------------------------------------------------
// Where the bytes of groups come from: a view of the file service's own
// buffer, [base, end), read from the cursor on. Groups are decoded in place;
// the file service is called only when the view runs short, and then it
// refills its buffer, keeping the bytes behind the position for push back.
// A file of unknown size (a pipe, a device) takes the same path.
// ---------------------------------------------------------------------------

std::size_t Available(const GroupSource &state) {
    return static_cast<std::size_t>(state.end - state.cursor);
}

// Hands the bytes consumed back to the file service and takes a new view of
// at least `need` bytes, or all the file has left.
bool NewView(GroupSource &state, std::size_t need, rt::Report **failure) {
    auto consumed = static_cast<std::size_t>(state.cursor - state.base);
    std::size_t available = 0;
    const char *view = rt::ReadView(state.file, consumed, need, &available, failure);
    state.viewStart += static_cast<rt::Position>(consumed);
    state.base = state.cursor = view;
    state.end = view ? view + available : nullptr;
    return view != nullptr;
}

// Makes `need` bytes available after the cursor, or all the file has left.
// The bytes taken before stay valid until the next refill.
inline bool Refill(GroupSource &state, std::size_t need, rt::Report **failure) {
    return Available(state) >= need || NewView(state, need, failure);
}

// The file ends before the bytes a group needs: the report is the file
// service's own, from reading on at the end.
void MissingBytes(GroupSource &state, rt::Report **failure) {
    state.cursor = state.end;
    if (!NewView(state, 0, failure)) return;
    char byte;
    rt::ReadSeq(state.file, &byte, 1, failure);
    if (!*failure) state.positionLost = true;  // the file grew while it was read
}

// Exactly `count` bytes.
inline bool TakeBytes(GroupSource &state, void *target, std::size_t count, rt::Report **failure) {
    if (Available(state) < count) {
        if (!Refill(state, count, failure)) return false;
        if (Available(state) < count) {
            MissingBytes(state, failure);
            return false;
        }
    }
    std::memcpy(target, state.cursor, count);
    state.cursor += count;
    return true;
}

// A NUL-terminated text, left in the buffer: at most 499 characters. A NUL at
// count 499 or earlier ends it; reading the byte at count 500 without one
// fails with *tooLong, the 501 bytes consumed.
bool TakeText(GroupSource &state, GroupView *group, rt::Report **failure, bool *tooLong) {
    constexpr std::size_t kMost = kGroupTextSize + 1;
    if (!Refill(state, kMost, failure)) return false;
    const char *start = state.cursor;
    std::size_t available = Available(state);
    std::size_t searched = std::min(available, static_cast<std::size_t>(kGroupTextSize));
    if (const void *nul = std::memchr(start, '\0', searched)) {
        group->text = start;
        group->length = static_cast<std::size_t>(static_cast<const char *>(nul) - start);
        state.cursor += group->length + 1;
        return true;
    }
    if (available >= kMost) {
        state.cursor += kMost;
        *tooLong = true;
        return false;
    }
    MissingBytes(state, failure);
    return false;
}

// One line of at most kLineSize - 1 characters, newline included, as a line
// read of the file service gives it; the text stays valid until the next
// take. False at the end of the file or when it cannot be read.
struct Line {
    const char *text;
    std::size_t length;
};

bool TakeLine(GroupSource &state, Line *line) {
    if (state.positionLost) return false;
    rt::Report *failure = nullptr;
    if (!Refill(state, rt::kLineSize - 1, &failure)) {
        rt::Discard(failure);  // ASCII failures name the line, not the cause
        return false;
    }
    std::size_t available = Available(state);
    if (available == 0) return false;
    const char *start = state.cursor;
    std::size_t length = std::min(available, static_cast<std::size_t>(rt::kLineSize - 1));
    if (const void *newline = std::memchr(start, '\n', length)) {
        length = static_cast<std::size_t>(static_cast<const char *>(newline) - start) + 1;
    }
    *line = {start, length};
    state.cursor += length;
    return true;
}

// The code line of a group when it is a short run of digits, perhaps after
// spaces, right before the line's end: nearly every code line. Anything else
// (a sign, other white space, a long run that may clamp, a view too short to
// hold a whole line) is left to the general path, a line and ParseInteger,
// which gives the same code.
bool TakeShortCode(GroupSource &state, int *code) {
    if (!quick::kWordScans || Available(state) < rt::kLineSize - 1 || state.positionLost) {
        return false;
    }
    const char *next = quick::ShortCode(state.cursor, code);
    if (!next) return false;
    state.cursor = next;
    return true;
}

// A little-endian integer of 1, 2, 4 or 8 bytes, sign-extended, whatever the
// host's byte order.
long long LittleEndian(const unsigned char *bytes, int count) {
    if constexpr (std::endian::native == std::endian::little) {
        switch (count) {
            case 1:
                return static_cast<signed char>(bytes[0]);
            case 2: {
                std::int16_t value;
                std::memcpy(&value, bytes, sizeof value);
                return value;
            }
            case 4: {
                std::int32_t value;
                std::memcpy(&value, bytes, sizeof value);
                return value;
            }
            default: {
                std::int64_t value;
                std::memcpy(&value, bytes, sizeof value);
                return value;
            }
        }
    }
    unsigned long long value = 0;
    for (int i = count - 1; i >= 0; --i)
        value = (value << 8) | bytes[i];
    int unused = 64 - 8 * count;
    return static_cast<long long>(value << unused) >> unused;
}

int ClampToInt(long long value) {
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

}  // namespace

const std::array<BinaryCode, kTabledCodes> kBinaryCodes = kBinaryTable;
const std::array<Qdxf_ValueKind, 1000> kGroupKinds = kKindTable;

BinaryCode BinaryCodeOf(int code) {
    if (code >= 0 && code < kTabledCodes) return kBinaryCodes[static_cast<std::size_t>(code)];
    BinaryValue encoding = EncodingOf(code);
    return {encoding, BinaryKind(code, encoding)};
}

Qdxf_ValueKind LaterGroupKind(int code) {
    Qdxf_ValueKind kind = GetGroupKind(code);
    if (kind != QDXF_VALUE_NONE || code == 999) return kind;
    return KindOfEncoding(EncodingOf(code));
}

Qdxf_ValueKind GetGroupKind(int code) {
    int r = code % 1000;
    return r < 0 ? QDXF_VALUE_NONE : kKindTable[static_cast<std::size_t>(r)];
}

Qdxf_Group *NewGroup() {
    return rt::New<Qdxf_Group>();
}

void FreeGroupList(Qdxf_Group *list) {
    while (list) {
        Qdxf_Group *next = list->next;
        rt::Free(list);
        list = next;
    }
}

bool IsTag(const Qdxf_Group &group, const char *text) {
    return group.code == 0 && group.kind == QDXF_VALUE_TEXT &&
           rt::TextEqual(group.value.text, text);
}

bool RefillView(GroupSource &state, std::size_t need, rt::Report **failure) {
    return Refill(state, need, failure);
}

void OpenGroupSource(GroupSource &state) {
    state.viewStart = rt::Tell(state.file);
    state.base = state.cursor = state.end = nullptr;
}

void PushBackGroup(GroupSource &state, const GroupMark &mark) {
    state.lineNumber = mark.lineNumber;
    if (mark.position >= state.viewStart &&
        mark.position <= state.viewStart + (state.end - state.base)) {
        state.cursor = state.base + (mark.position - state.viewStart);
        return;
    }
    // Before the view: the file service returns there (from its buffer when
    // it still holds the place), and the view starts again.
    if (!rt::SeekTo(state.file, mark.position)) state.positionLost = true;
    state.viewStart = mark.position;
    state.base = state.cursor = state.end = nullptr;
}

void ReadAsciiGroup(GroupSource &state, rt::Report **report, GroupView *group) {
    rt::ReportOut out(report);
    Line line;
    auto takeLine = [&] {
        if (!TakeLine(state, &line)) return false;
        ++state.lineNumber;
        return true;
    };
    auto takeCode = [&](int *code) {
        if (TakeShortCode(state, code)) {
            ++state.lineNumber;
            return true;
        }
        if (!takeLine()) return false;
        *code = ParseInteger(line.text, line.text + line.length);
        return true;
    };
    // Reports are made here, not in a lambda: they carry the function's name.
    int code = 0;
    bool read = takeCode(&code);
    while (read && code == 999)
        read = takeLine() && takeCode(&code);
    Qdxf_ValueKind kind = state.laterKinds ? LaterGroupKind(code) : GetGroupKind(code);
    group->code = code;
    group->kind = kind;
    if (!read || !takeLine()) {
        return VX_FAIL(out, nullptr, "Error reading file %s, line %lld", state.fileName,
                       state.lineNumber);
    }
    switch (kind) {
        case QDXF_VALUE_INT:
            group->integer = ParseInteger(line.text, line.text + line.length);
            break;
        case QDXF_VALUE_REAL:
            group->real = ParseReal(line.text, line.text + line.length);
            break;
        case QDXF_VALUE_TEXT:
            ViewText(group, line.text, line.length);
            break;
        case QDXF_VALUE_NONE:
            break;
    }
    if (state.meter) ShowGroupProgress(state, state.lineNumber);
}

namespace {

// The code of the next binary group: two bytes, or one where the file has
// one-byte codes (255 then leads a two-byte code of extended data).
bool TakeBinaryCode(GroupSource &state, int *code, rt::Report **inner) {
    unsigned char bytes[2];
    if (state.twoByteCodes) {
        if (!TakeBytes(state, bytes, 2, inner)) return false;
        *code = static_cast<int>(LittleEndian(bytes, 2));
        return true;
    }
    if (!TakeBytes(state, bytes, 1, inner)) return false;
    *code = bytes[0];
    if (*code != 255) return true;
    if (!TakeBytes(state, bytes, 2, inner)) return false;
    *code = static_cast<int>(LittleEndian(bytes, 2));
    return true;
}

// The value of a binary group of the given encoding, into `group` where its
// kind keeps one; a chunk is kept as the hexadecimal text the ASCII form
// writes. False when the file ends or fails first, or (with *tooLong) when a
// text is longer than a group holds.
bool TakeBinaryValue(GroupSource &state, BinaryCode binary, GroupView *group, rt::Report **inner,
                     bool *tooLong) {
    unsigned char bytes[8];
    switch (binary.encoding) {
        case BinaryValue::None:
            return true;
        case BinaryValue::Text:
            return TakeText(state, group, inner, tooLong);
        case BinaryValue::Real:
            if (!TakeBytes(state, bytes, 8, inner)) return false;
            if (binary.kind == QDXF_VALUE_REAL) {
                unsigned long long raw = static_cast<unsigned long long>(LittleEndian(bytes, 8));
                std::memcpy(&group->real, &raw, sizeof raw);
            }
            return true;
        case BinaryValue::Int16:
        case BinaryValue::Int32:
        case BinaryValue::Int64:
        case BinaryValue::Byte: {
            int width = binary.encoding == BinaryValue::Int16   ? 2
                        : binary.encoding == BinaryValue::Int32 ? 4
                        : binary.encoding == BinaryValue::Int64 ? 8
                                                                : 1;
            if (!TakeBytes(state, bytes, static_cast<std::size_t>(width), inner)) return false;
            if (binary.kind == QDXF_VALUE_INT)
                group->integer = ClampToInt(LittleEndian(bytes, width));
            return true;
        }
        case BinaryValue::Chunk: {
            unsigned char length = 0;
            unsigned char data[255];
            if (!TakeBytes(state, &length, 1, inner) || !TakeBytes(state, data, length, inner))
                return false;
            if (binary.kind == QDXF_VALUE_TEXT) {
                static constexpr char kHex[] = "0123456789ABCDEF";
                int shown = length < (kGroupTextSize - 1) / 2 ? length : (kGroupTextSize - 1) / 2;
                for (int i = 0; i < shown; ++i) {
                    state.chunkText[2 * i] = kHex[data[i] >> 4];
                    state.chunkText[2 * i + 1] = kHex[data[i] & 15];
                }
                group->text = state.chunkText;
                group->length = static_cast<std::size_t>(2 * shown);
            }
            return true;
        }
    }
    return true;
}

}  // namespace

void ReadBinaryGroup(GroupSource &state, rt::Report **report, GroupView *group) {
    rt::ReportOut out(report);
    rt::Position offset = GroupPosition(state);
    rt::Report *inner = nullptr;
    if (state.positionLost) {
        return VX_FAIL(out, nullptr, "Byte offset %lld: Error reading binary group code", offset);
    }
    int code = 0;
    if (!TakeBinaryCode(state, &code, &inner)) {
        if (state.twoByteCodes) {
            return VX_FAIL(out, inner, "Byte offset %lld: Error binary group code", offset);
        }
        return VX_FAIL(out, inner, "Byte offset %lld: Error reading binary group code", offset);
    }
    BinaryCode binary = BinaryCodeOf(code);
    if (state.laterKinds && binary.kind == QDXF_VALUE_NONE) binary.kind = LaterGroupKind(code);
    group->code = code;
    group->kind = binary.kind;
    bool tooLong = false;
    if (!TakeBinaryValue(state, binary, group, &inner, &tooLong)) {
        if (tooLong) return VX_FAIL(out, nullptr, "Reached string length limit");
        return VX_FAIL(out, inner, "Byte offset %lld: Error reading binary group value", offset);
    }
    if (state.meter) ShowGroupProgress(state, offset);
}

void ReadGroupInFull(GroupSource &state, rt::Report **report, GroupView *group) {
    rt::ReportOut out(report);
    if (state.recovery) return recover::ReadGroup(state, group);
    rt::Report *inner = nullptr;
    if (state.binary) {
        ReadBinaryGroup(state, &inner, group);
    } else {
        ReadAsciiGroup(state, &inner, group);
    }
    // Reported as the reader it completes.
    if (inner) return VX_FAIL_AS(out, "ReadGroup", inner, "Error reading group");
}

void ReadGroupWithLaterKind(GroupSource &state, const GroupMark &mark, rt::Report **report,
                            GroupView *group) {
    PushBackGroup(state, mark);
    state.laterKinds = true;
    ReadGroupInFull(state, report, group);
    state.laterKinds = false;
}

void ReadGroup(GroupSource &state, rt::Report **report, GroupView *group) {
    rt::Report *local = nullptr;
    if (state.recovery) {
        ReadRecoveringGroup(state, report ? report : &local, group);
    } else {
        NextGroup(state, report ? report : &local, group);
    }
    rt::Discard(local);
}

void ReadGroup(GroupSource &state, rt::Report **report, Qdxf_Group *group) {
    // What the reader does not reach keeps the record's values.
    GroupView view{};
    view.code = group->code;
    view.kind = group->kind;
    rt::Report *local = nullptr;
    rt::Report **failure = report ? report : &local;
    ReadGroup(state, failure, &view);
    bool failed = *failure != nullptr;
    rt::Discard(local);
    group->code = view.code;
    group->kind = view.kind;
    if (failed) return;
    switch (view.kind) {
        case QDXF_VALUE_INT:
            group->value.integer = view.integer;
            break;
        case QDXF_VALUE_REAL:
            group->value.real = view.real;
            break;
        case QDXF_VALUE_TEXT:
            std::memcpy(group->value.text, view.text, view.length);
            group->value.text[view.length] = '\0';
            break;
        case QDXF_VALUE_NONE:
            break;
    }
}

namespace {

void FailUnexpectedCode(rt::ReportOut &out, const GroupSource &state, int expectedCode, int code) {
    VX_FAIL_AS(out, "ReadKnownGroup", nullptr,
               "%s: Expected group code of %d, group code %d encountered",
               LastGroupPlace(state).text, expectedCode, code);
}

}  // namespace

bool ReadKnownGroup(GroupSource &state, rt::Report **report, Qdxf_Group *group, int expectedCode,
                    const char *acceptedTag) {
    rt::ReportOut out(report);
    rt::Report *inner = nullptr;
    ReadGroup(state, &inner, group);
    if (inner) {
        VX_FAIL(out, inner, "Error reading group values");
        return false;
    }
    if (group->code == expectedCode) return false;
    if (acceptedTag && IsTag(*group, acceptedTag)) return true;
    FailUnexpectedCode(out, state, expectedCode, group->code);
    return false;
}

// The plain read's (a recovering read reads a record's 0 group with
// recover::ReadRecordStart).
void ReadKnownGroup(GroupSource &state, rt::Report **report, GroupView *group, int expectedCode) {
    rt::ReportOut out(report);
    rt::Report *inner = nullptr;
    NextGroup(state, &inner, group);
    if (inner) return VX_FAIL(out, inner, "Error reading group values");
    if (group->code != expectedCode) FailUnexpectedCode(out, state, expectedCode, group->code);
}

PlaceText LastGroupPlace(const GroupSource &source) {
    PlaceText place;
    if (source.binary) {
        std::snprintf(place.text, sizeof place.text, "Byte offset %lld",
                      static_cast<long long>(GroupPosition(source)));
    } else {
        std::snprintf(place.text, sizeof place.text, "Line %lld", source.lineNumber - 1);
    }
    return place;
}

void ReadKnownGroup(GroupSource &state, rt::Report **report, Qdxf_Group *group, int expectedCode) {
    ReadKnownGroup(state, report, group, expectedCode, nullptr);
}

}  // namespace vexlith
