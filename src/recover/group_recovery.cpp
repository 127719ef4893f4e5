// SPDX-License-Identifier: MIT
// The group reader of a read that recovers: every group the recovering quick
// path declines. It never fails. What it cannot read as it stands it reads as
// the writer meant it (a number, a text broken over lines, a name's case) or
// passes over up to the next place where groups make sense again, always
// forward: a code line that is no number up to the next pair of lines that
// parses and fits, the bytes of a binary group that cannot be decoded up to
// the next 0 group with a name. The end of the input gives (0, "EOF").
//
// A group read again after a push back (it starts before the end of the
// furthest group read) lists no repair again.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <type_traits>

#include "codec/group_decode.h"
#include "read/read_state.h"
#include "recover/forms.h"
#include "recover/numbers.h"
#include "recover/recovery.h"

namespace vexlith {

void ReadRecoveringGroup(GroupSource &source, rt::Report **report, GroupView *group) {
    if (report) *report = nullptr;
    QuickCursor at = QuickCursor::Of(source);
    bool taken = !source.binary        ? quick::AsciiGroup<true>(at, group)
                 : source.twoByteCodes ? quick::BinaryGroupWith<true, true>(at, group)
                                       : quick::BinaryGroupWith<false, true>(at, group);
    if (!taken) return recover::ReadGroup(source, group);
    const char *start = source.cursor;
    at.Into(source);
    if (source.meter) {
        ShowGroupProgress(
            source, source.binary ? source.viewStart + (start - source.base) : source.lineNumber);
    }
}

namespace recover {
namespace {

constexpr std::size_t kLine = rt::kLineSize - 1;

void EndOfInput(GroupSource &source, GroupView *group) {
    source.recovery->ended = true;
    group->code = 0;
    group->kind = QDXF_VALUE_TEXT;
    group->text = "EOF";
    group->length = 3;
}

void ShowProgress(const GroupSource &source, rt::Position offset) {
    if (source.meter) ShowGroupProgress(source, source.binary ? offset : source.lineNumber);
}

// ---------------------------------------------------------------------------
// ASCII
// ---------------------------------------------------------------------------

// One line: its text without the line end (LF, CR LF, or a CR alone), of
// which at most kLine characters are kept; `length` is the whole line's.
struct Line {
    const char *text;
    std::size_t kept;
    std::size_t length;
    bool loneCr;
    std::string_view View() const { return {text, kept}; }
};

// The first LF or CR in [p, end), or null.
const char *LineEnd(const char *p, const char *end) {
    auto size = static_cast<std::size_t>(end - p);
    const char *newline = static_cast<const char *>(std::memchr(p, '\n', size));
    std::size_t before = newline ? static_cast<std::size_t>(newline - p) : size;
    const char *cr = static_cast<const char *>(std::memchr(p, '\r', before));
    return cr ? cr : newline;
}

bool Refill(GroupSource &source, std::size_t need) {
    rt::Report *failure = nullptr;
    bool viewed = !source.positionLost && RefillView(source, need, &failure);
    rt::Discard(failure);  // a file that fails ends here
    return viewed && source.end > source.cursor;
}

// Past the line end at `stop` (LF, or CR with or without LF): its width.
std::size_t EndWidth(const GroupSource &source, const char *stop, bool *loneCr) {
    if (*stop == '\n') return 1;
    if (stop + 1 < source.end && stop[1] == '\n') return 2;
    *loneCr = true;
    return 1;
}

// The next line; false at the end of the input. A line longer than kLine
// characters keeps its first ones in the recovery's copy.
bool TakeLine(GroupSource &source, Line *line) {
    if (!Refill(source, kLine + 2)) return false;
    const char *start = source.cursor;
    std::size_t scanned = std::min(static_cast<std::size_t>(source.end - start), kLine + 1);
    *line = {start, 0, 0, false};
    if (const char *stop = LineEnd(start, start + scanned)) {
        line->kept = line->length = static_cast<std::size_t>(stop - start);
        source.cursor = stop + EndWidth(source, stop, &line->loneCr);
        ++source.lineNumber;
        return true;
    }
    if (start + scanned == source.end && scanned <= kLine) {  // the last line, without an end
        line->kept = line->length = scanned;
        source.cursor = source.end;
        ++source.lineNumber;
        return true;
    }
    // Longer than a line read: the rest is passed over up to its end.
    char *copy = source.recovery->line;
    std::memcpy(copy, start, kLine);
    line->text = copy;
    line->kept = kLine;
    line->length = kLine;
    source.cursor = start + kLine;
    while (Refill(source, kLine + 2)) {
        const char *from = source.cursor;
        const char *stop = LineEnd(from, source.end);
        if (!stop) {
            line->length += static_cast<std::size_t>(source.end - from);
            source.cursor = source.end;
            continue;
        }
        line->length += static_cast<std::size_t>(stop - from);
        source.cursor = stop + EndWidth(source, stop, &line->loneCr);
        break;
    }
    ++source.lineNumber;
    return true;
}

enum class CodeLine { Whole, Blanks, Invalid };

// A code line: an integer of at most seven digits, a DXF code, perhaps with
// blanks (spaces before it are how codes are written).
CodeLine ReadCodeLine(std::string_view line, int *code) {
    const char *p = line.data();
    const char *end = p + line.size();
    bool blanks = false;
    for (; p < end && IsBlank(*p); ++p)
        blanks = blanks || *p != ' ';
    bool negative = p < end && *p == '-';
    if (p < end && (*p == '-' || *p == '+')) ++p;
    const char *digits = p;
    long value = 0;
    for (; p < end && IsDecimal(*p) && p - digits < 8; ++p)
        value = value * 10 + (*p - '0');
    if (p == digits || p - digits > 7) return CodeLine::Invalid;
    if (p < end) blanks = true;
    while (p < end && IsBlank(*p))
        ++p;
    if (p < end) return CodeLine::Invalid;
    if (negative) value = -value;
    if (value < -5 || value > 1071) return CodeLine::Invalid;
    *code = static_cast<int>(value);
    return blanks ? CodeLine::Blanks : CodeLine::Whole;
}

bool IsCodeLine(std::string_view line) {
    int code;
    return ReadCodeLine(line, &code) != CodeLine::Invalid;
}

Qdxf_ValueKind KindOf(const GroupSource &source, int code) {
    return source.laterKinds ? LaterGroupKind(code) : GetGroupKind(code);
}

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

// A 0 group's name, perhaps in lowercase or with blanks.
bool IsLooseTag(std::string_view text) {
    text = Trimmed(text);
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return IsTagCharacter(c) || (c >= 'a' && c <= 'z'); }) &&
           !text.empty();
}

// Whether a value line fits the code before it, for resynchronising.
bool Fits(const GroupSource &source, int code, const Line &value) {
    const char *begin = value.text;
    const char *end = begin + value.kept;
    switch (KindOf(source, code)) {
        case QDXF_VALUE_INT:
            return IsWholeInteger(begin, end);
        case QDXF_VALUE_REAL:
            return IsWholeReal(begin, end);
        case QDXF_VALUE_TEXT:
            return code != 0 || IsLooseTag(value.View());
        case QDXF_VALUE_NONE:
            break;
    }
    return true;
}

void NoteLineEnd(GroupSource &source, const Line &line, Place place, bool fresh) {
    if (line.loneCr && fresh)
        source.recovery->Add(Kind::LineEnds, place, {}, "a CR alone is read as a line end");
}

// A 0 group's name in uppercase without blanks, in the recovery's text.
void NormaliseTag(GroupSource &source, GroupView *group, Place place, bool fresh) {
    std::string_view name = Trimmed({group->text, group->length});
    if (name.empty()) return;
    char *text = source.recovery->text;
    std::transform(name.begin(), name.end(), text, [](char c) {
        return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    });
    if (fresh) {
        source.recovery->Add(Kind::TagForm, place, {group->text, group->length},
                             "the name \"%.*s\" is read as \"%.*s\"",
                             static_cast<int>(group->length), group->text,
                             static_cast<int>(name.size()), text);
    }
    group->text = text;
    group->length = name.size();
}

// After a text, the lines that cannot be codes are the rest of it: the text
// was broken over lines. They are joined to it with "^J", the line break of
// DXF texts, up to the length a text holds.
void JoinBrokenText(GroupSource &source, GroupView *group, Place place, bool fresh) {
    Recovery &recovery = *source.recovery;
    char *text = recovery.text;
    std::size_t length = group->length;
    std::memmove(text, group->text, length);
    group->text = text;
    int joined = 0;
    char found[81] = {};
    for (;;) {
        GroupMark mark = MarkGroup(source);
        Line line;
        if (!TakeLine(source, &line)) break;
        if (IsCodeLine(line.View())) {
            PushBackGroup(source, mark);
            break;
        }
        NoteLineEnd(source, line, place, fresh);
        if (joined++ == 0) std::snprintf(found, sizeof found, "%.*s", int(line.kept), line.text);
        for (char c : std::string_view("^J"))
            if (length < kGroupTextSize - 1) text[length++] = c;
        std::size_t taken = std::min(line.kept, kGroupTextSize - 1 - length);
        std::memcpy(text + length, line.text, taken);
        length += taken;
    }
    group->length = length;
    if (joined && fresh) {
        recovery.Add(Kind::TextBreak, place, found,
                     "a line break inside a text: %d line%s joined to it with ^J", joined,
                     joined == 1 ? "" : "s");
    }
}

// The value of a group from its value line.
void TakeValue(GroupSource &source, int code, const Line &line, Place place, bool fresh,
               GroupView *group) {
    Recovery &recovery = *source.recovery;
    Qdxf_ValueKind kind = KindOf(source, code);
    group->code = code;
    group->kind = kind;
    Kind repair = Kind::None;
    switch (kind) {
        case QDXF_VALUE_INT:
            repair = RepairInteger(line.View(), &group->integer);
            if (repair != Kind::None && fresh) {
                recovery.Add(repair, place, line.View(), "%s read as %d",
                             repair == Kind::RealForInteger ? "a real under an integer code"
                             : repair == Kind::TrailingJunk ? "an integer with junk after it"
                                                            : "no number",
                             group->integer);
            }
            return;
        case QDXF_VALUE_REAL: {
            repair = RepairReal(line.View(), &group->real);
            if (repair == Kind::None || !fresh) return;
            const char *what = "no number";
            switch (repair) {
                case Kind::DecimalComma:
                    what = "decimal comma";
                    break;
                case Kind::ExponentBlank:
                    what = "a blank in the exponent";
                    break;
                case Kind::NanWord:
                case Kind::InfinityWord:
                    what = "not a number in DXF's form";
                    break;
                case Kind::OutOfRange:
                    what = "a number beyond the range of a real";
                    break;
                case Kind::TrailingJunk:
                    what = "a number with junk after it";
                    break;
                default:
                    break;
            }
            recovery.Add(repair, place, line.View(), "%s read as %s", what,
                         FormatReal(group->real).text);
            return;
        }
        case QDXF_VALUE_TEXT:
            ViewText(group, line.text, line.kept);
            if (line.length > kLine && fresh) {
                recovery.Add(Kind::LongText, place, line.View(),
                             "a text of %lld characters is cut to %lld",
                             static_cast<long long>(line.length), static_cast<long long>(kLine));
            }
            if (code == 0) {
                if (!IsTagAsWritten(group->text, group->length))
                    NormaliseTag(source, group, place, fresh);
                return;
            }
            JoinBrokenText(source, group, place, fresh);
            return;
        case QDXF_VALUE_NONE:
            return;
    }
}

// A code line that is no code (`bad`, at `place`): lines are passed over up
// to the next pair that parses and fits, which is the group read.
void Resynchronise(GroupSource &source, const Line &bad, Place place, bool fresh,
                   GroupView *group) {
    Recovery &recovery = *source.recovery;
    char found[81];
    std::snprintf(found, sizeof found, "%.*s", int(bad.kept), bad.text);
    long long last = place.line;
    auto skipped = [&] {
        if (!fresh) return;
        recovery.Add(Kind::BadCodeLine, place, found,
                     last == place.line ? "line %lld holds no group and is passed over"
                                        : "lines %lld to %lld hold no group and are passed over",
                     place.line, last);
    };
    for (;;) {
        Place candidate = PlaceOf(source);
        Line line;
        // Up to the end of the input: the record it cut is listed.
        if (!TakeLine(source, &line)) return EndOfInput(source, group);
        int code = 0;
        if (ReadCodeLine(line.View(), &code) != CodeLine::Invalid) {
            GroupMark valueMark = MarkGroup(source);
            Line value;
            if (TakeLine(source, &value) && Fits(source, code, value)) {
                skipped();
                TakeValue(source, code, value, candidate, fresh, group);
                return;
            }
            PushBackGroup(source, valueMark);  // the value line may be the next code line
        }
        last = candidate.line;
    }
}

void ReadAsciiGroup(GroupSource &source, GroupView *group) {
    Recovery &recovery = *source.recovery;
    for (;;) {
        Place place = PlaceOf(source);
        bool fresh = place.offset >= recovery.furthest;
        Line line;
        if (!TakeLine(source, &line)) return EndOfInput(source, group);
        NoteLineEnd(source, line, place, fresh);
        int code = 0;
        switch (ReadCodeLine(line.View(), &code)) {
            case CodeLine::Invalid:
                Resynchronise(source, line, place, fresh, group);
                recovery.furthest = std::max(recovery.furthest, GroupPosition(source));
                return ShowProgress(source, place.offset);
            case CodeLine::Blanks:
                if (fresh) {
                    recovery.Add(Kind::CodeBlanks, place, line.View(),
                                 "blanks around a group code are passed over");
                }
                break;
            case CodeLine::Whole:
                break;
        }
        Line value;
        if (!TakeLine(source, &value)) return EndOfInput(source, group);  // cut in the group
        NoteLineEnd(source, value, place, fresh);
        if (code == 999) continue;  // a comment
        TakeValue(source, code, value, place, fresh, group);
        recovery.furthest = std::max(recovery.furthest, GroupPosition(source));
        return ShowProgress(source, place.offset);
    }
}

// ---------------------------------------------------------------------------
// Binary
// ---------------------------------------------------------------------------

// The start of a 0 group with a name (as IsBinaryTag) at `p`: a one- or
// two-byte code 0, three to 40 characters and a NUL.
bool IsTagGroup(const char *p, std::size_t available, bool twoByteCodes) {
    std::size_t at = twoByteCodes ? 2 : 1;
    if (available < at || p[0] != 0 || (twoByteCodes && p[1] != 0)) return false;
    std::size_t length = 0;
    while (at + length < available && length <= 40 && IsTagCharacter(p[at + length]))
        ++length;
    return length >= 3 && length <= 40 && at + length < available && p[at + length] == 0;
}

// From the byte after `offset` on, up to the next 0 group with a name: the
// only place where a binary file's groups can be told again. False at the
// end of the input.
bool FindTagGroup(GroupSource &source, rt::Position offset) {
    PushBackGroup(source, {offset + 1, 0});
    constexpr std::size_t kLook = 48;
    while (Refill(source, kLook)) {
        auto available = static_cast<std::size_t>(source.end - source.cursor);
        const char *zero = static_cast<const char *>(std::memchr(source.cursor, 0, available));
        if (!zero) {
            source.cursor = source.end;
            continue;
        }
        source.cursor = zero;
        if (!Refill(source, kLook)) return false;
        if (IsTagGroup(source.cursor, static_cast<std::size_t>(source.end - source.cursor),
                       source.twoByteCodes))
            return true;
        ++source.cursor;
    }
    return false;
}

// The bytes at `offset` as the hexadecimal digits of up to 26 bytes.
void FoundBytes(GroupSource &source, rt::Position offset, char (&found)[81]) {
    found[0] = '\0';
    PushBackGroup(source, {offset, 0});
    if (!Refill(source, 26)) return;
    auto count = std::min<std::size_t>(26, static_cast<std::size_t>(source.end - source.cursor));
    for (std::size_t i = 0; i < count; ++i) {
        std::snprintf(found + 3 * i, sizeof found - 3 * i, i ? " %02X" : "%02X",
                      static_cast<unsigned char>(source.cursor[i]));
    }
}

// A group at `offset` that cannot be decoded: the bytes up to the next 0
// group with a name are passed over, and the record being read broke.
// False at the end of the input.
bool PassUndecodable(GroupSource &source, rt::Position offset, bool fresh) {
    Recovery &recovery = *source.recovery;
    char found[81];
    if (fresh) FoundBytes(source, offset, found);
    bool again = FindTagGroup(source, offset);
    if (!fresh) return again;
    ++recovery.breaks;
    rt::Position next = GroupPosition(source);
    recovery.Add(Kind::Undecodable, {0, offset}, found,
                 "bytes %lld to %lld hold no group that can be decoded and are passed over",
                 static_cast<long long>(offset), static_cast<long long>(next - 1));
    return again;
}

template <typename T>
T Little(const char *p) {
    unsigned long long value = 0;
    for (std::size_t i = sizeof(T); i-- > 0;)
        value = (value << 8) | static_cast<unsigned char>(p[i]);
    T result;
    if constexpr (sizeof(T) == 8) {
        std::memcpy(&result, &value, sizeof result);
    } else {
        using Unsigned = std::make_unsigned_t<T>;
        auto narrow = static_cast<Unsigned>(value);
        std::memcpy(&result, &narrow, sizeof result);
    }
    return result;
}

int Clamped(long long value) {
    return static_cast<int>(std::clamp<long long>(value, INT32_MIN, INT32_MAX));
}

enum class Taken { Group, Undecodable, End };

// The group at the cursor, decoded: Undecodable for a code the binary form
// defines no value for, a text too long, or a 0 group without a name.
Taken TakeBinaryGroup(GroupSource &source, GroupView *group, Place place, bool fresh) {
    if (!Refill(source, 3)) return Taken::End;
    auto available = static_cast<std::size_t>(source.end - source.cursor);
    const char *p = source.cursor;
    int code;
    std::size_t width = 1;
    if (source.twoByteCodes) {
        if (available < 2) return Taken::End;
        code = Little<std::int16_t>(p);
        width = 2;
    } else {
        code = static_cast<unsigned char>(*p);
        if (code == 255) {
            if (available < 3) return Taken::End;
            code = Little<std::int16_t>(p + 1);
            width = 3;
        }
    }
    BinaryCode binary = BinaryCodeOf(code);
    if (code < 0 || code > 1071 || (binary.encoding == BinaryValue::None && code != 999))
        return Taken::Undecodable;
    if (source.laterKinds && binary.kind == QDXF_VALUE_NONE) binary.kind = LaterGroupKind(code);
    source.cursor += width;
    group->code = code;
    group->kind = binary.kind;
    std::size_t size = 0;
    switch (binary.encoding) {
        case BinaryValue::None:
            return Taken::Group;
        case BinaryValue::Text: {
            if (!Refill(source, kGroupTextSize + 1)) return Taken::End;
            available = static_cast<std::size_t>(source.end - source.cursor);
            const void *nul =
                std::memchr(source.cursor, 0, std::min<std::size_t>(available, kGroupTextSize));
            if (!nul) return available > kGroupTextSize ? Taken::Undecodable : Taken::End;
            group->text = source.cursor;
            group->length = static_cast<std::size_t>(static_cast<const char *>(nul) - group->text);
            source.cursor += group->length + 1;
            if (code == 0 && !IsBinaryTag(group->text, group->length)) {
                if (!IsLooseTag({group->text, group->length})) return Taken::Undecodable;
                NormaliseTag(source, group, place, fresh);
            }
            return Taken::Group;
        }
        case BinaryValue::Real:
            size = 8;
            break;
        case BinaryValue::Int16:
            size = 2;
            break;
        case BinaryValue::Int32:
            size = 4;
            break;
        case BinaryValue::Int64:
            size = 8;
            break;
        case BinaryValue::Byte:
            size = 1;
            break;
        case BinaryValue::Chunk: {
            if (!Refill(source, 256)) return Taken::End;
            auto length = static_cast<unsigned char>(*source.cursor);
            if (static_cast<std::size_t>(source.end - source.cursor) < 1u + length)
                return Taken::End;
            const char *data = source.cursor + 1;
            static constexpr char kHex[] = "0123456789ABCDEF";
            std::size_t shown = std::min<std::size_t>(length, (kGroupTextSize - 1) / 2);
            for (std::size_t i = 0; i < shown; ++i) {
                source.chunkText[2 * i] = kHex[static_cast<unsigned char>(data[i]) >> 4];
                source.chunkText[2 * i + 1] = kHex[data[i] & 15];
            }
            group->text = source.chunkText;
            group->length = 2 * shown;
            source.cursor += 1 + length;
            return Taken::Group;
        }
    }
    if (!Refill(source, size) || static_cast<std::size_t>(source.end - source.cursor) < size)
        return Taken::End;
    p = source.cursor;
    source.cursor += size;
    if (binary.kind == QDXF_VALUE_REAL) {
        group->real = Little<double>(p);
    } else if (binary.kind == QDXF_VALUE_INT) {
        group->integer = size == 2   ? Little<std::int16_t>(p)
                         : size == 4 ? Little<std::int32_t>(p)
                         : size == 1 ? static_cast<signed char>(*p)
                                     : Clamped(Little<std::int64_t>(p));
    }
    return Taken::Group;
}

void ReadBinaryGroup(GroupSource &source, GroupView *group) {
    Recovery &recovery = *source.recovery;
    for (;;) {
        rt::Position offset = GroupPosition(source);
        bool fresh = offset >= recovery.furthest;
        switch (TakeBinaryGroup(source, group, {0, offset}, fresh)) {
            case Taken::Group:
                recovery.furthest = std::max(recovery.furthest, GroupPosition(source));
                return ShowProgress(source, offset);
            case Taken::End:
                source.cursor = source.end;
                return EndOfInput(source, group);
            case Taken::Undecodable:
                if (!PassUndecodable(source, offset, fresh)) return EndOfInput(source, group);
                break;  // the 0 group found is read
        }
    }
}

// ---------------------------------------------------------------------------
// The ends of the input
// ---------------------------------------------------------------------------

// Whether the lines of `head` (the whole file when `whole`, else its last
// line may be cut) hold DXF groups: a pair of lines (0, "SECTION") or
// (0, "EOF"), or four groups in a row whose values fit their codes.
bool HasGroups(std::string_view head, bool whole) {
    int runs[2] = {};
    bool codeBefore = false;
    int code = 0;
    std::size_t index = 0;
    while (!head.empty()) {
        const char *stop = LineEnd(head.data(), head.data() + head.size());
        if (!stop && !whole) break;
        std::size_t length = stop ? static_cast<std::size_t>(stop - head.data()) : head.size();
        Line line{head.data(), length, length, false};
        bool crLf = stop && *stop == '\r' && length + 1 < head.size() && stop[1] == '\n';
        std::size_t width = !stop ? length : crLf ? length + 2 : length + 1;
        head.remove_prefix(width);
        if (codeBefore) {
            int &run = runs[(index - 1) & 1];
            bool fits = false;
            switch (GetGroupKind(code)) {
                case QDXF_VALUE_INT:
                    fits = IsWholeInteger(line.text, line.text + line.kept);
                    break;
                case QDXF_VALUE_REAL:
                    fits = IsWholeReal(line.text, line.text + line.kept);
                    break;
                default:
                    fits = code != 0 || IsLooseTag(line.View());
                    break;
            }
            if (fits && code == 0) {
                std::string_view name = Trimmed(line.View());
                if (name.size() == 7 || name.size() == 3) {
                    char upper[8] = {};
                    for (std::size_t i = 0; i < name.size(); ++i)
                        upper[i] = name[i] >= 'a' && name[i] <= 'z' ? char(name[i] - 32) : name[i];
                    if (std::string_view(upper) == "SECTION" || std::string_view(upper) == "EOF")
                        return true;
                }
            }
            run = fits ? run + 1 : 0;
            if (run >= 4) return true;
        }
        codeBefore = ReadCodeLine(line.View(), &code) != CodeLine::Invalid;
        ++index;
    }
    return false;
}

}  // namespace

bool BeginRead(Qdxf_ReadState &read, const char *fileName, rt::Report **report) {
    rt::ReportOut out(report);
    GroupSource &source = read.source;
    source.recovery = &read.recovery;
    if (source.binary) return true;
    // The first kilobytes, looked at where the file stands: at its start.
    constexpr std::size_t kLook = 4096;
    rt::Report *inner = nullptr;
    std::size_t available = 0;
    const char *view = rt::ReadView(source.file, 0, kLook, &available, &inner);
    if (!view) {
        VX_FAIL(out, inner, "Error reading file %s", fileName);
        return false;
    }
    std::string_view head(view, available);
    bool whole = available < kLook;
    rt::Position start = 0;
    if (head.starts_with("\xEF\xBB\xBF")) {
        head.remove_prefix(3);
        start = 3;
        read.recovery.Add(Kind::ByteOrderMark, {1, 0}, "\xEF\xBB\xBF",
                          "a UTF-8 byte order mark is passed over");
    }
    if (!HasGroups(head, whole)) {
        VX_FAIL(out, nullptr, "This is not a DXF file: no DXF group in its first %zu bytes", kLook);
        return false;
    }
    rt::Seek(source.file, start, &inner);
    if (inner) {
        VX_FAIL(out, inner, "Error reading file %s", fileName);
        return false;
    }
    return true;
}

void EndRead(Qdxf_ReadState &read) {
    GroupSource &source = read.source;
    if (read.recovery.ended || !Refill(source, kLine)) return;
    Place place = PlaceOf(source);
    std::string_view first(
        source.cursor,
        std::min<std::size_t>(80, static_cast<std::size_t>(source.end - source.cursor)));
    char found[81];
    std::snprintf(found, sizeof found, "%.*s", static_cast<int>(first.size()), first.data());
    long long count = 0;
    do {
        count += source.end - source.cursor;
        source.cursor = source.end;
    } while (Refill(source, kLine));
    read.recovery.Add(Kind::AfterEof, place, found, "%lld byte%s after EOF %s passed over", count,
                      count == 1 ? "" : "s", count == 1 ? "is" : "are");
}

void ReadGroup(GroupSource &source, GroupView *group) {
    if (source.binary) return ReadBinaryGroup(source, group);
    ReadAsciiGroup(source, group);
}

}  // namespace recover
}  // namespace vexlith
