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
#include <climits>
#include <cstring>
#include <iterator>

#include "codec/group.h"
#include "codec/read_state.h"

namespace vexlith {

namespace {

thread_local Qdxf_ReadState readState{};

// How a binary file encodes the value of a code.
enum class BinaryValue : std::uint8_t {
    None,   // no value follows the code
    Text,   // characters up to a NUL byte
    Real,   // 8-byte IEEE double
    Int16,  // 2-byte signed integer
    Int32,  // 4-byte signed integer
    Int64,  // 8-byte signed integer
    Byte,   // 1-byte flag
    Chunk,  // a length byte and that many bytes of binary data
};

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

// What a binary group holds: nothing for a code without kind; otherwise the
// kind of the value actually read, which differs from the kind rule only
// where the rule says text and the file has a number (110-139, 148-149,
// 160-169, 176-179).
constexpr Qdxf_ValueKind BinaryKind(int code, BinaryValue encoding) {
    if (KindRule(code) == QDXF_VALUE_NONE) return QDXF_VALUE_NONE;
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

constexpr int kTabledCodes = 1100;

struct BinaryCode {
    BinaryValue encoding;
    Qdxf_ValueKind kind;
};

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

BinaryCode BinaryCodeOf(int code) {
    if (code >= 0 && code < kTabledCodes) return kBinaryTable[static_cast<std::size_t>(code)];
    BinaryValue encoding = EncodingOf(code);
    return {encoding, BinaryKind(code, encoding)};
}

bool IsSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// A value line as text: trailing white space removed, leading kept.
void TrimTrailingSpace(char *text) {
    std::size_t length = std::strlen(text);
    while (length > 0 && IsSpace(text[length - 1]))
        --length;
    text[length] = '\0';
}

// A NUL-terminated text of a binary file into `text` (room for 500 bytes).
// A NUL at count 499 or earlier ends it; reading the byte at count 500 without
// one fails with *tooLong. Where the file's size is known the bytes are read
// in blocks, never past the end of the file, and the position is then set
// just after the NUL: the same bytes are consumed and the same failures met
// as when reading byte by byte, without a call per byte.
bool ReadBinaryText(Qdxf_ReadState &state, rt::File *file, char *text, rt::Report **inner,
                    bool *tooLong) {
    constexpr std::size_t kMost = kGroupTextSize + 1;  // counts 0 to 500
    rt::Position start = rt::Tell(file);
    long long left = state.fileSize - start;
    if (state.fileSize <= 0 || left <= 0) {
        for (std::size_t count = 0;; ++count) {
            char byte;
            rt::ReadSeq(file, &byte, 1, inner);
            if (*inner) return false;
            if (count == kGroupTextSize) break;
            text[count] = byte;
            if (byte == '\0') return true;
        }
        *tooLong = true;
        return false;
    }
    char block[kMost];
    std::size_t have = 0;
    std::size_t want = 32;
    for (;;) {
        want = static_cast<std::size_t>(
            std::min({static_cast<long long>(want), static_cast<long long>(kMost), left}));
        rt::ReadSeq(file, block + have, want - have, inner);
        if (*inner) return false;
        std::size_t searched = std::min(want, static_cast<std::size_t>(kGroupTextSize));
        if (const void *nul = std::memchr(block + have, '\0', searched - have)) {
            std::size_t length = static_cast<std::size_t>(static_cast<const char *>(nul) - block);
            std::memcpy(text, block, length + 1);
            if (!rt::SeekTo(file, start + static_cast<rt::Position>(length) + 1)) {
                state.positionLost = true;
            }
            return true;
        }
        have = want;
        if (have == kMost) {
            *tooLong = true;
            return false;
        }
        if (static_cast<long long>(have) == left) {
            // The file ends inside the text: the next byte is the one missing.
            char byte;
            rt::ReadSeq(file, &byte, 1, inner);
            if (*inner) return false;
            state.positionLost = true;  // the file grew while it was read
            return false;
        }
        want = kMost;
    }
}

void ShowProgress(const Qdxf_ReadState &state, long long position) {
    rt::ShowProgress(state.meter, static_cast<double>(position) * 100.0 /
                                      static_cast<double>(state.progressTotal));
}

// Little-endian integers, whatever the host's byte order.
long long LittleEndian(const unsigned char *bytes, int count) {
    unsigned long long value = 0;
    for (int i = count - 1; i >= 0; --i)
        value = (value << 8) | bytes[i];
    int unused = 64 - 8 * count;
    return static_cast<long long>(value << unused) >> unused;  // sign-extend
}

int ClampToInt(long long value) {
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

}  // namespace

Qdxf_ReadState &ThreadReadState() {
    return readState;
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

GroupMark MarkGroup(const Qdxf_ReadState &state, rt::File *file) {
    return {rt::Tell(file), state.lineNumber};
}

GroupMark MarkGroup(rt::File *file) {
    return MarkGroup(readState, file);
}

void PushBackGroup(Qdxf_ReadState &state, rt::File *file, const GroupMark &mark) {
    if (!rt::SeekTo(file, mark.position)) state.positionLost = true;
    state.lineNumber = mark.lineNumber;
}

void PushBackGroup(rt::File *file, const GroupMark &mark) {
    PushBackGroup(readState, file, mark);
}

void ReadAsciiGroup(Qdxf_ReadState &state, rt::Report **report, rt::File *file, Qdxf_Group *group) {
    rt::ReportOut out(report);
    char line[rt::kLineSize];
    auto readLine = [&](char(&buffer)[rt::kLineSize]) {
        if (state.positionLost || !rt::ReadLine(buffer, file)) return false;
        ++state.lineNumber;
        return true;
    };
    if (!readLine(line)) {
        return VX_FAIL(out, nullptr, "Error reading file %s, line %d", state.fileName,
                       state.lineNumber);
    }
    int code = ParseInteger(line, std::end(line));
    while (code == 999) {
        if (!readLine(line) || !readLine(line)) {
            return VX_FAIL(out, nullptr, "Error reading file %s, line %d", state.fileName,
                           state.lineNumber);
        }
        code = ParseInteger(line, std::end(line));
    }
    Qdxf_ValueKind kind = GetGroupKind(code);
    group->code = code;
    group->kind = kind;
    // A text value is read straight into the record, which has room for a line.
    static_assert(sizeof group->value.text == rt::kLineSize);
    char(&value)[rt::kLineSize] = kind == QDXF_VALUE_TEXT ? group->value.text : line;
    if (!readLine(value)) {
        return VX_FAIL(out, nullptr, "Error reading file %s, line %d", state.fileName,
                       state.lineNumber);
    }
    switch (kind) {
        case QDXF_VALUE_INT:
            group->value.integer = ParseInteger(line, std::end(line));
            break;
        case QDXF_VALUE_REAL:
            group->value.real = ParseReal(line, std::end(line));
            break;
        case QDXF_VALUE_TEXT:
            TrimTrailingSpace(group->value.text);
            break;
        case QDXF_VALUE_NONE:
            break;
    }
    if (state.meter) ShowProgress(state, state.lineNumber);
}

void ReadBinaryGroup(Qdxf_ReadState &state, rt::Report **report, rt::File *file,
                     Qdxf_Group *group) {
    rt::ReportOut out(report);
    rt::Position offset = rt::Tell(file);
    rt::Report *inner = nullptr;
    unsigned char bytes[8];
    if (state.positionLost) {
        return VX_FAIL(out, nullptr, "Byte offset %lld: Error reading binary group code", offset);
    }
    int code;
    if (state.twoByteCodes) {
        rt::ReadSeq(file, bytes, 2, &inner);
        if (inner) return VX_FAIL(out, inner, "Byte offset %lld: Error binary group code", offset);
        code = static_cast<int>(LittleEndian(bytes, 2));
    } else {
        rt::ReadSeq(file, bytes, 1, &inner);
        if (!inner && bytes[0] == 255) {
            // Extended data in a file of one-byte codes: 255, then a 2-byte code.
            rt::ReadSeq(file, bytes, 2, &inner);
            code = static_cast<int>(LittleEndian(bytes, 2));
        } else {
            code = bytes[0];
        }
        if (inner) {
            return VX_FAIL(out, inner, "Byte offset %lld: Error reading binary group code", offset);
        }
    }
    BinaryCode binary = BinaryCodeOf(code);
    group->code = code;
    group->kind = binary.kind;

    auto readValue = [&](void *target, std::size_t count) {
        rt::ReadSeq(file, target, count, &inner);
        return inner == nullptr;
    };
    auto valueFailed = [&] {
        VX_FAIL(out, inner, "Byte offset %lld: Error reading binary group value", offset);
    };
    switch (binary.encoding) {
        case BinaryValue::None:
            break;
        case BinaryValue::Text: {
            char scratch[kGroupTextSize];
            char *text = binary.kind == QDXF_VALUE_TEXT ? group->value.text : scratch;
            bool tooLong = false;
            if (ReadBinaryText(state, file, text, &inner, &tooLong)) break;
            if (tooLong) return VX_FAIL(out, nullptr, "Reached string length limit");
            return valueFailed();
        }
        case BinaryValue::Real:
            if (!readValue(bytes, 8)) return valueFailed();
            if (binary.kind == QDXF_VALUE_REAL) {
                unsigned long long raw = static_cast<unsigned long long>(LittleEndian(bytes, 8));
                std::memcpy(&group->value.real, &raw, sizeof raw);
            }
            break;
        case BinaryValue::Int16:
        case BinaryValue::Int32:
        case BinaryValue::Int64:
        case BinaryValue::Byte: {
            int width = binary.encoding == BinaryValue::Int16   ? 2
                        : binary.encoding == BinaryValue::Int32 ? 4
                        : binary.encoding == BinaryValue::Int64 ? 8
                                                                : 1;
            if (!readValue(bytes, static_cast<std::size_t>(width))) return valueFailed();
            if (binary.kind == QDXF_VALUE_INT) {
                group->value.integer = ClampToInt(LittleEndian(bytes, width));
            }
            break;
        }
        case BinaryValue::Chunk: {
            unsigned char length;
            unsigned char data[255];
            if (!readValue(&length, 1) || !readValue(data, length)) return valueFailed();
            if (binary.kind == QDXF_VALUE_TEXT) {
                // Kept as the hexadecimal text the ASCII form writes.
                static constexpr char kHex[] = "0123456789ABCDEF";
                int shown = length < (kGroupTextSize - 1) / 2 ? length : (kGroupTextSize - 1) / 2;
                for (int i = 0; i < shown; ++i) {
                    group->value.text[2 * i] = kHex[data[i] >> 4];
                    group->value.text[2 * i + 1] = kHex[data[i] & 15];
                }
                group->value.text[2 * shown] = '\0';
            }
            break;
        }
    }
    if (state.meter) ShowProgress(state, offset);
}

void ReadGroup(Qdxf_ReadState &state, rt::Report **report, rt::File *file, Qdxf_Group *group) {
    rt::ReportOut out(report);
    rt::Report *inner = nullptr;
    if (state.binary) {
        ReadBinaryGroup(state, &inner, file, group);
    } else {
        ReadAsciiGroup(state, &inner, file, group);
    }
    if (inner) return VX_FAIL(out, inner, "Error reading group");
}

void ReadAsciiGroup(rt::Report **report, rt::File *file, Qdxf_Group *group) {
    ReadAsciiGroup(readState, report, file, group);
}

void ReadBinaryGroup(rt::Report **report, rt::File *file, Qdxf_Group *group) {
    ReadBinaryGroup(readState, report, file, group);
}

void ReadGroup(rt::Report **report, rt::File *file, Qdxf_Group *group) {
    ReadGroup(readState, report, file, group);
}

bool ReadKnownGroup(Qdxf_ReadState &state, rt::Report **report, rt::File *file, Qdxf_Group *group,
                    int expectedCode, const char *acceptedTag) {
    rt::ReportOut out(report);
    rt::Report *inner = nullptr;
    ReadGroup(state, &inner, file, group);
    if (inner) {
        VX_FAIL(out, inner, "Error reading group values");
        return false;
    }
    if (group->code == expectedCode) return false;
    if (acceptedTag && IsTag(*group, acceptedTag)) return true;
    if (state.binary) {
        VX_FAIL(out, nullptr,
                "Byte offset %lld: Expected group code of %d, group code %d encountered",
                rt::Tell(file), expectedCode, group->code);
    } else {
        VX_FAIL(out, nullptr, "Line %d: Expected group code of %d, group code %d encountered",
                state.lineNumber - 1, expectedCode, group->code);
    }
    return false;
}

bool ReadKnownGroup(rt::Report **report, rt::File *file, Qdxf_Group *group, int expectedCode,
                    const char *acceptedTag) {
    return ReadKnownGroup(readState, report, file, group, expectedCode, acceptedTag);
}

void ReadKnownGroup(rt::Report **report, rt::File *file, Qdxf_Group *group, int expectedCode) {
    ReadKnownGroup(readState, report, file, group, expectedCode, nullptr);
}

void FreeIgnoredTypes() {
    Qdxf_IgnoredType *type = readState.ignoredTypes;
    while (type) {
        Qdxf_IgnoredType *next = type->next;
        rt::Free(type->name);
        rt::Free(type);
        type = next;
    }
    readState.ignoredTypes = nullptr;
    readState.lastIgnoredType = nullptr;
    readState.ignoredKinds.Release();
}

void ReleaseReadState() {
    FreeIgnoredTypes();
    readState.layerNames.Release();
    readState.ltypeNames.Release();
    readState.gathered.Release();
}

}  // namespace vexlith
