// SPDX-License-Identifier: MIT
// The ENTITIES section, and the entities of every block definition. An entity
// is read in one pass: from its type group up to the next code-0 group that
// does not belong to it (pushed back), each group goes from the file
// service's buffer straight into the member it sets, the last group of a code
// winning. A text is copied once, into the member's own heap block, which a
// later group of the same code reuses while it holds the text. A POLYLINE's
// vertices are read into a scratch array of vertex records, and a 3DFACE's
// corner groups wait aside, until the count that sizes their array is known.
// qdxf_ReadEach hands each entity of the ENTITIES section to its callback,
// and the next entity reuses its record and blocks.
//
// Ten kinds are understood. An entity of any other kind is kept with its
// common members only, as type QDXF_INVALID, and its kind is reported once by
// a log message.
#include <algorithm>
#include <array>
#include <climits>
#include <cstddef>
#include <cstring>
#include <string_view>
#include <utility>

#include "codec/group_decode.h"
#include "model/kinds.h"
#include "model/release.h"
#include "read/readers.h"
#include "translate/entity_translation.h"

namespace vexlith {
namespace {

// The text members an entity can hold: the common ones, then the first and
// second of its kind (a TEXT's text and style, an INSERT's block name).
enum TextMember { kHandle, kLtypeName, kLayerName, kKindText, kKindStyle, kTextMembers };
static_assert(kTextMembers == kEntityTexts);

// The entity being read, and what its groups need besides the record.
struct EntityBuild {
    Qdxf_Entity &entity;
    Qdxf_ReadState &read;
    rt::Scratch<VertexGroup> &vertexGroups;   // 3DFACE
    rt::Scratch<Qdxf_Vertex> &vertexRecords;  // POLYLINE
    std::size_t capacity[kTextMembers] = {};  // the size of each text member's block
    int vertices = 0;                // POLYLINE: VERTEX records; 3DFACE: x groups (10 to 13)
    int corner = 0;                  // 3DFACE: the corner the next coordinate goes to
    Qdxf_Vertex *vertex = nullptr;   // POLYLINE: the vertex being read, up to a SEQEND
    EntitySpares *spares = nullptr;  // qdxf_ReadEach's ENTITIES section: blocks to take first
    // Recovering: where its handle group is, and an INSERT's group 66.
    GroupMark handle{};
    bool attributesFollow = false;
};

// `length` bytes, in a few moves for the short texts of names and handles
// (overlapping ones, so that no byte outside either range is touched); a
// call costs more than the copy.
inline void CopyText(char *to, const char *from, std::size_t length) {
    auto move = [to, from]<typename Word>(Word, std::size_t at) {
        Word word;
        std::memcpy(&word, from + at, sizeof word);
        std::memcpy(to + at, &word, sizeof word);
    };
    if (length >= 8 && length <= 16) {
        move(std::uint64_t{}, 0);
        move(std::uint64_t{}, length - 8);
    } else if (length >= 4 && length < 8) {
        move(std::uint32_t{}, 0);
        move(std::uint32_t{}, length - 4);
    } else if (length > 0 && length < 4) {
        to[0] = from[0];
        to[length / 2] = from[length / 2];
        to[length - 1] = from[length - 1];
    } else if (length > 16) {
        std::memcpy(to, from, length);
    }
}

// A new block for a text member, sized with room to spare for the texts of
// later groups; false when the heap is exhausted, the member unchanged.
bool NewText(char *&member, std::size_t &capacity, std::size_t length) {
    std::size_t size = (length + 8) & ~std::size_t{7};
    char *block = rt::NewArray<char>(size);
    if (!block) return false;
    rt::Free(member);
    member = block;
    capacity = size;
    return true;
}

// The same for qdxf_ReadEach: the spare block when it holds the text. Out of
// line, as the reader of qdxf_Read does not need it.
[[gnu::noinline]] bool NewSpareText(EntitySpares &spares, TextMember which, char *&member,
                                    std::size_t &capacity, std::size_t length) {
    SizedBlock &spare = spares.texts[which];
    if (spare.size > length) {
        rt::Free(member);
        member = static_cast<char *>(spare.block);
        capacity = spare.size;
        spare = {};
    } else if (!NewText(member, capacity, length)) {
        return false;
    }
    spares.issuedTexts[which] = {member, capacity};
    return true;
}

// The group's text into a text member: into the member's block when that
// holds it, else into another block. False when the heap is exhausted.
[[gnu::always_inline]] inline bool KeepText(EntityBuild &build, TextMember which, char *&member,
                                            const GroupView &group) {
    std::size_t &capacity = build.capacity[which];
    if (group.length >= capacity &&
        !(build.spares ? NewSpareText(*build.spares, which, member, capacity, group.length)
                       : NewText(member, capacity, group.length)))
        return false;
    CopyText(member, group.text, group.length);
    member[group.length] = '\0';
    return true;
}

Qdxf_Coord *NewPoint(EntityBuild &build) {
    if (!build.spares || !build.spares->point) return rt::New<Qdxf_Coord>();
    Qdxf_Coord *point = std::exchange(build.spares->point, nullptr);
    *point = {};
    return point;
}

// An array of `count` vertices: the spare one when it holds them, zero-filled
// when asked (a new one always is).
Qdxf_Vertex *NewVertices(EntityBuild &build, std::size_t count, bool zeroFilled) {
    if (!build.spares) return rt::NewArray<Qdxf_Vertex>(count);
    SizedBlock &spare = build.spares->vertices;
    SizedBlock block{};
    if (spare.block && spare.size >= count) {
        block = std::exchange(spare, {});
        if (zeroFilled) std::memset(block.block, 0, count * sizeof(Qdxf_Vertex));
    } else {
        block = {rt::NewArray<Qdxf_Vertex>(count), count};
    }
    build.spares->issuedVertices = block;
    return static_cast<Qdxf_Vertex *>(block.block);
}

double &Axis(Qdxf_Coord &point, int axis) {
    switch (axis) {
        case 0:
            return point.x;
        case 1:
            return point.y;
        default:
            return point.z;
    }
}

// Codes 10 to 13, 20 to 23 and 30 to 33: a coordinate of a point.
bool IsAnyCoordinate(int code) {
    return code >= 10 && code <= 33 && code % 10 <= 3;
}

// Codes `base`, `base` + 10 and `base` + 20 set x, y and z of a point.
void SetCoordinate(Qdxf_Coord &point, const GroupView &group, int base) {
    // Compared before subtracting: a clamped code may be INT_MIN.
    if (group.code < base || group.code > base + 20) return;
    int axis = group.code - base;
    if (axis % 10 == 0) Axis(point, axis / 10) = group.real;
}

// The type readers: one group (not code 0, not a common member) into the
// members of their kind; false when the heap is exhausted. Each is inlined
// into the loops that read its kind, without and with the read options; the
// larger ones are told so.
using TypeReader = bool (*)(EntityBuild &build, const GroupView &group);

bool ReadNoMembers(EntityBuild &, const GroupView &) {
    return true;
}

bool ReadLine(EntityBuild &build, const GroupView &group) {
    Qdxf_Line &line = build.entity.data.line;
    if (IsAnyCoordinate(group.code)) {
        // 10, 20, 30: the start point; 11 to 13, 21 to 23, 31 to 33: the end.
        Axis(group.code % 10 == 0 ? line.start : line.end, group.code / 10 - 1) = group.real;
    }
    return true;
}

bool ReadPoint(EntityBuild &build, const GroupView &group) {
    SetCoordinate(build.entity.data.point.location, group, 10);
    return true;
}

bool ReadCircle(EntityBuild &build, const GroupView &group) {
    Qdxf_Circle &circle = build.entity.data.circle;
    if (group.code == 40) {
        circle.radius = group.real;
    } else {
        SetCoordinate(circle.center, group, 10);
    }
    return true;
}

bool ReadArc(EntityBuild &build, const GroupView &group) {
    Qdxf_Arc &arc = build.entity.data.arc;
    switch (group.code) {
        case 40:
            arc.radius = group.real;
            break;
        case 50:
            arc.startAngle = Radians(group.real);
            break;
        case 51:
            arc.endAngle = Radians(group.real);
            break;
        default:
            SetCoordinate(arc.center, group, 10);
            break;
    }
    return true;
}

// TRACE and SOLID: the last digit of the code chooses the corner.
bool ReadCorners(Qdxf_Trace &trace, const GroupView &group) {
    if (IsAnyCoordinate(group.code))
        Axis(trace.corner[group.code % 10], group.code / 10 - 1) = group.real;
    return true;
}

bool ReadTrace(EntityBuild &build, const GroupView &group) {
    return ReadCorners(build.entity.data.trace, group);
}

bool ReadSolid(EntityBuild &build, const GroupView &group) {
    return ReadCorners(build.entity.data.solid, group);
}

[[gnu::always_inline]] inline bool ReadText(EntityBuild &build, const GroupView &group) {
    Qdxf_Text &text = build.entity.data.text;
    switch (group.code) {
        case 1:
            return KeepText(build, kKindText, text.text, group);
        case 7:
            return KeepText(build, kKindStyle, text.style, group);
        case 11:
        case 21:
        case 31:
            // The first of these groups brings the point into being.
            if (!text.alignmentPoint && !(text.alignmentPoint = NewPoint(build))) return false;
            SetCoordinate(*text.alignmentPoint, group, 11);
            break;
        case 40:
            text.height = group.real;
            break;
        case 41:
            text.xScale = group.real;
            break;
        case 50:
            text.angle = Radians(group.real);
            break;
        case 51:
            text.obliqueAngle = Radians(group.real);
            break;
        case 71:
            text.flags = group.integer;
            break;
        case 72:
            text.horizJust = group.integer;
            break;
        case 73:
            text.vertJust = group.integer;
            break;
        default:
            SetCoordinate(text.insertionPoint, group, 10);
            break;
    }
    return true;
}

bool ReadInsert(EntityBuild &build, const GroupView &group) {
    Qdxf_Insert &insert = build.entity.data.insert;
    switch (group.code) {
        case 2:
            return KeepText(build, kKindText, insert.blockName, group);
        case 41:
            insert.xScale = group.real;
            break;
        case 42:
            insert.yScale = group.real;
            break;
        case 43:
            insert.zScale = group.real;
            break;
        case 44:
            insert.columnSpacing = group.real;
            break;
        case 45:
            insert.rowSpacing = group.real;
            break;
        case 50:
            insert.rotationAngle = Radians(group.real);
            break;
        case 70:
            insert.columnCount = group.integer;
            break;
        case 71:
            insert.rowCount = group.integer;
            break;
        default:
            SetCoordinate(insert.insertionPoint, group, 10);
            break;
    }
    return true;
}

// The member of a Qdxf_Vertex each code up to 70 sets, as a byte offset:
// codes 10 to 13, 20 to 23 and 30 to 33 the location's x, y or z, 40 to 42
// the widths and the bulge, 50 the tangent direction, 70 the flags.
constexpr int kVertexCodes = 71;
constexpr std::uint8_t kNoMember = 0xFF;
constexpr std::uint8_t kFlags = offsetof(Qdxf_Vertex, flags);
constexpr auto kVertexMembers = [] {
    std::array<std::uint8_t, kVertexCodes> members{};
    for (std::uint8_t &member : members)
        member = kNoMember;
    constexpr std::size_t kAxes[] = {offsetof(Qdxf_Coord, x), offsetof(Qdxf_Coord, y),
                                     offsetof(Qdxf_Coord, z)};
    for (int axis = 0; axis < 3; ++axis) {
        for (int code = 10 * (axis + 1); code <= 10 * (axis + 1) + 3; ++code)
            members[code] =
                static_cast<std::uint8_t>(offsetof(Qdxf_Vertex, location) + kAxes[axis]);
    }
    members[40] = offsetof(Qdxf_Vertex, startingWidth);
    members[41] = offsetof(Qdxf_Vertex, endingWidth);
    members[42] = offsetof(Qdxf_Vertex, bulge);
    members[50] = offsetof(Qdxf_Vertex, tangentDir);  // as read, in degrees
    members[70] = kFlags;
    return members;
}();

// A POLYLINE's own groups (those before its first VERTEX, and those of its
// SEQEND) set its members; a vertex's groups go into the vertex being read.
// With the read options it keeps what the translations need besides: a
// polyface mesh's face indices (a vertex's 71 to 74) and its extrusion
// direction. Inlined into both of its readers: the loop of a polyline's
// vertices is the hottest of a read.
template <bool withOptions>
[[gnu::always_inline]] inline bool ReadPolylineGroup(EntityBuild &build, const GroupView &group) {
    Qdxf_Polyline &polyline = build.entity.data.polyline;
    int code = group.code;
    if (build.vertex) {
        // Binary codes are signed 16-bit: a negative one sets nothing either.
        std::uint8_t member = code >= 0 && code < kVertexCodes ? kVertexMembers[code] : kNoMember;
        if (member == kNoMember) {
            if constexpr (withOptions) {
                if (code >= 71 && code <= 74 && (polyline.flag & 64)) {
                    return build.read.translation.faces.Append(
                        {build.vertices - 1, code - 71, group.integer});
                }
            }
            return true;
        }
        // The vertex's bytes take the value's at its member's offset.
        auto *bytes = reinterpret_cast<unsigned char *>(build.vertex) + member;
        if (member == kFlags) {
            std::memcpy(bytes, &group.integer, sizeof group.integer);
        } else {
            std::memcpy(bytes, &group.real, sizeof group.real);
        }
        return true;
    }
    if constexpr (withOptions) {
        if (code == 210 || code == 220 || code == 230) {
            Axis(build.read.translation.extrusion, code / 10 - 21) = group.real;
            return true;
        }
    }
    switch (code) {
        case 30:
            polyline.elevation = group.real;
            break;
        case 40:
            polyline.defaultStartingWidth = group.real;
            break;
        case 41:
            polyline.defaultEndingWidth = group.real;
            break;
        case 70:
            polyline.flag = group.integer;
            break;
        case 71:
        case 72:
            polyline.meshVertexCount[code - 71] = group.integer;
            break;
        case 73:
        case 74:
            polyline.smoothSurfaceDensity[code - 73] = group.integer;
            break;
        case 75:
            polyline.type = group.integer;
            break;
        default:
            break;
    }
    return true;
}

[[gnu::always_inline]] inline bool ReadPolyline(EntityBuild &build, const GroupView &group) {
    return ReadPolylineGroup<false>(build, group);
}

enum class Tag { Taken, Other, NoMemory };

// A POLYLINE takes its VERTEX and SEQEND records; any other tag ends it. A
// VERTEX starts a zero-filled vertex, which the groups after it fill; there
// is no room for one more than the array could ever hold. The tag's text is
// passed, not its group, which can then stay in registers.
[[gnu::always_inline]] inline Tag TakeVertexTag(EntityBuild &build, std::string_view tag) {
    if (tag == "VERTEX") {
        if (build.vertices == INT_MAX || !(build.vertex = build.vertexRecords.AppendZeroed()))
            return Tag::NoMemory;
        ++build.vertices;
        return Tag::Taken;
    }
    if (tag == "SEQEND") {
        build.vertex = nullptr;
        return Tag::Taken;
    }
    return Tag::Other;
}

// A 3DFACE's corners are filled in the order their groups come, each z group
// closing one; its vertex count is the number of x groups, known at its end.
[[gnu::always_inline]] inline bool Read3DFACE(EntityBuild &build, const GroupView &group) {
    int code = group.code;
    if (!IsAnyCoordinate(code)) return true;
    if (code < 20) {
        if (build.vertices == INT_MAX) return false;  // more corners than the array could hold
        ++build.vertices;
    }
    VertexGroup kept{build.corner, kVertexMembers[code], {}};
    kept.value.real = group.real;
    if (code >= 30 && build.corner < INT_MAX) ++build.corner;
    return build.read.vertexGroups.Append(kept);
}

// The vertex array of a POLYLINE, from the vertices read. Those of an entity
// a callback sees stay where they were read: the scratch block becomes the
// array, and the spare array the scratch.
void PlacePolylineVertices(rt::Report **report, EntityBuild &build) {
    rt::ReportOut out(report);
    Qdxf_Polyline &polyline = build.entity.data.polyline;
    auto count = static_cast<std::size_t>(build.vertices);
    if (build.spares && build.vertexRecords.data()) {
        SizedBlock &spare = build.spares->vertices;
        std::size_t capacity = 0;
        polyline.vertices = build.vertexRecords.Exchange(static_cast<Qdxf_Vertex *>(spare.block),
                                                         spare.size, &capacity);
        spare = {};
        build.spares->issuedVertices = {polyline.vertices, capacity};
        polyline.count = build.vertices;
        return;
    }
    polyline.vertices = NewVertices(build, count, false);
    if (!polyline.vertices) {
        return VX_FAIL_AS(out, "ReadPolyline", nullptr, "Error allocating vertex list");
    }
    polyline.count = build.vertices;
    if (count)
        std::memcpy(polyline.vertices, build.vertexRecords.data(), count * sizeof(Qdxf_Vertex));
}

// The corner array of a 3DFACE, filled from the groups kept aside; groups
// past its last corner are dropped.
void Place3DFaceCorners(rt::Report **report, EntityBuild &build) {
    rt::ReportOut out(report);
    Qdxf_Polyline &polyline = build.entity.data.polyline;
    polyline.vertices = NewVertices(build, static_cast<std::size_t>(build.vertices), true);
    if (!polyline.vertices) {
        return VX_FAIL_AS(out, "Read3DFACE", nullptr, "Error allocating vertex list");
    }
    polyline.count = build.vertices;
    for (const VertexGroup &group : build.read.vertexGroups) {
        if (group.vertex >= polyline.count) continue;
        // The vertex's bytes take the value's at its member's offset.
        auto *member =
            reinterpret_cast<unsigned char *>(&polyline.vertices[group.vertex]) + group.member;
        if (group.member == kFlags) {
            std::memcpy(member, &group.value.integer, sizeof group.value.integer);
        } else {
            std::memcpy(member, &group.value.real, sizeof group.value.real);
        }
    }
}

// One group into the common members, or else into those of the kind.
template <TypeReader readType>
[[gnu::always_inline]] inline bool ReadMember(EntityBuild &build, const GroupView &group) {
    // Coordinates, most of a drawing's groups, are no common member: they
    // skip the switch, and so do the layer and the handle, which every entity and vertex has.
    if (group.code >= 10 && group.code < 38) return readType(build, group);
    Qdxf_Entity &entity = build.entity;
    if (group.code == 8) return KeepText(build, kLayerName, entity.layerName, group);
    if (group.code == 5) return KeepText(build, kHandle, entity.handle, group);
    switch (group.code) {
        case 6:
            return KeepText(build, kLtypeName, entity.ltypeName, group);
        case 38:
            entity.elevation = group.real;
            return true;
        case 39:
            entity.thickness = group.real;
            return true;
        case 62:
            entity.color = group.integer;
            return true;
        case 67:
            entity.space = group.integer;
            return true;
        default:
            return readType(build, group);
    }
}

// With QDXF_READ_MODERN_KINDS or QDXF_READ_WORLD, a kind of the ten keeps
// what its translation needs besides its members: its extrusion direction
// and a polyface mesh's face indices.
template <TypeReader readType>
[[gnu::always_inline]] inline bool ReadWithOptions(EntityBuild &build, const GroupView &group) {
    int code = group.code;
    if (code == 210 || code == 220 || code == 230) {
        Axis(build.read.translation.extrusion, code / 10 - 21) = group.real;
        return true;
    }
    return readType(build, group);
}
template <>
[[gnu::always_inline]] inline bool ReadWithOptions<ReadPolyline>(EntityBuild &build,
                                                                 const GroupView &group) {
    return ReadPolylineGroup<true>(build, group);
}
// A 3DFACE's hidden edges (group 70), where a translated polyface mesh's
// faces keep theirs too.
template <>
[[gnu::always_inline]] inline bool ReadWithOptions<Read3DFACE>(EntityBuild &build,
                                                               const GroupView &group) {
    if (group.code != 70) return Read3DFACE(build, group);
    build.entity.data.polyline.flag = group.integer;
    return true;
}

enum class Read { All, ReadFailed, NoMemory };

// A group the kind rule gives no value, read again with the value later
// versions give its code, for the read options: false when that read fails.
bool ReadLaterKind(GroupSource &source, const GroupMark &mark, GroupView &group,
                   rt::Report **inner) {
    ReadGroupWithLaterKind(source, mark, inner, &group);
    return !*inner;
}

// The groups after an entity's type group, up to the next code-0 group that
// does not belong to it, which is pushed back. A group without a value
// reaches no member: no code of a kind without a value has one. With the read
// options, those of later versions' codes are read with their values. One
// loop for each kind, form and the options: most of a read's time is spent
// here.
template <TypeReader readType, Form form, bool withOptions = false>
Read ReadMembers(GroupSource &source, EntityBuild &build, rt::Report **inner) {
    GroupView group{};
    const rt::Meter *meter = source.meter;
    QuickCursor at = QuickCursor::Of(source);
    for (;;) {
        const char *start = at.cursor;
        GroupMark mark;
        bool quick = QuickGroup<form>(at, &group);
        if (quick) {
            if (meter) ShowQuickProgress<form>(source, at.lineNumber, start);
        } else {
            at.Into(source);
            mark = MarkGroup(source);
            // Into a group of its own, so that `group` never has its address
            // taken and can live in registers.
            GroupView full = group;
            if constexpr (form == Form::RecoveringAny) {
                ReadRecoveringGroup(source, inner, &full);
            } else {
                ReadGroupInFull(source, inner, &full);
            }
            if (*inner) return Read::ReadFailed;
            group = full;
            at = QuickCursor::Of(source);
        }
        if constexpr (IsRecovering(form)) {
            if (group.code == 5) {
                build.handle = quick ? QuickGroupMark<form>(source, at.lineNumber, start) : mark;
            } else if (group.code == 66) {
                build.attributesFollow = group.integer != 0;
            }
        }
        if (group.code == 0) {
            if constexpr (readType == ReadPolyline || readType == ReadWithOptions<ReadPolyline>) {
                Tag tag = TakeVertexTag(build, {group.text, group.length});
                if (tag == Tag::Taken) continue;
                if (tag == Tag::NoMemory) return Read::NoMemory;
            }
            at.Into(source);
            PushBackGroup(source,
                          quick ? QuickGroupMark<form>(source, at.lineNumber, start) : mark);
            return Read::All;
        }
        // A code-0 group is never of kind none: a group of a code R12 has no
        // value for is read again here, off the plain path's way. The binary
        // quick path has decoded its value already, by the code's width, and
        // the options' readers look at the code alone.
        if constexpr (withOptions) {
            if ((!IsBinary(form) || !quick) && group.kind == QDXF_VALUE_NONE) {
                at.Into(source);
                if (quick) mark = QuickGroupMark<form>(source, at.lineNumber, start);
                GroupView later = group;  // `group` stays in registers, as above
                if (!ReadLaterKind(source, mark, later, inner)) return Read::ReadFailed;
                group = later;
                at = QuickCursor::Of(source);
                if (group.kind == QDXF_VALUE_NONE) continue;
            }
        }
        if (!ReadMember<readType>(build, group)) return Read::NoMemory;
    }
}

// QDXF_READ_MODERN_KINDS: every group of an entity a translation builds the
// record from, kept whole; the common ones set their members as well.
Read GatherMembers(GroupSource &source, EntityBuild &build, rt::Report **inner) {
    translate::Translation &translation = build.read.translation;
    translation.BeginGathering();
    rt::Position start = GroupPosition(source);
    GroupView group{};
    for (;;) {
        GroupMark mark = MarkGroup(source);
        if (source.recovery) {
            ReadRecoveringGroup(source, inner, &group);
        } else {
            NextGroup(source, inner, &group);
        }
        if (*inner) return Read::ReadFailed;
        if (group.kind == QDXF_VALUE_NONE && !ReadLaterKind(source, mark, group, inner))
            return Read::ReadFailed;
        if (group.code == 0) {
            PushBackGroup(source, mark);
            translation.gatheredBytes = static_cast<std::uint64_t>(mark.position - start);
            translation.EndGathering();
            return Read::All;
        }
        if (group.kind == QDXF_VALUE_NONE) continue;
        if (translation.blanksKept && (group.code == 1 || group.code == 3) &&
            group.kind == QDXF_VALUE_TEXT)
            group.length += TrimmedBlanks(source, group);
        if (!translation.Keep(group) || !ReadMember<ReadNoMembers>(build, group))
            return Read::NoMemory;
    }
}

using MembersReader = Read (*)(GroupSource &source, EntityBuild &build, rt::Report **inner);

struct Kind {
    const char *name;
    Qdxf_EntityType type;
    MembersReader read[kForms];  // by Form
};

// The loops of a reader in every form, and with the read options.
#define VX_FORM_READERS(reader, ...)                                                \
    {                                                                               \
        ReadMembers<reader, Form::Ascii, ##__VA_ARGS__>,                            \
            ReadMembers<reader, Form::BinaryOneByteCodes, ##__VA_ARGS__>,           \
            ReadMembers<reader, Form::BinaryTwoByteCodes, ##__VA_ARGS__>,           \
            ReadMembers<reader, Form::RecoveringAscii, ##__VA_ARGS__>,              \
            ReadMembers<reader, Form::RecoveringBinaryOneByteCodes, ##__VA_ARGS__>, \
            ReadMembers<reader, Form::RecoveringBinaryTwoByteCodes, ##__VA_ARGS__>  \
    }
#define VX_KIND_READER(name, type, dumpName, reader, writer) {name, type, VX_FORM_READERS(reader)},
constexpr Kind kKinds[] = {VX_ENTITY_KINDS(VX_KIND_READER)};
#undef VX_KIND_READER
// With the read options, a recovering read takes one loop for every form.
#define VX_KIND_READER(name, type, dumpName, reader, writer)               \
    {ReadMembers<ReadWithOptions<reader>, Form::Ascii, true>,              \
     ReadMembers<ReadWithOptions<reader>, Form::BinaryOneByteCodes, true>, \
     ReadMembers<ReadWithOptions<reader>, Form::BinaryTwoByteCodes, true>, \
     ReadMembers<ReadWithOptions<reader>, Form::RecoveringAny, true>},
constexpr MembersReader kOptionReaders[][4] = {VX_ENTITY_KINDS(VX_KIND_READER)};
#undef VX_KIND_READER
constexpr MembersReader kUnknownKindReaders[] = VX_FORM_READERS(ReadNoMembers);
#undef VX_FORM_READERS

// How an entity of a kind (null: unknown) is read in a form.
MembersReader PlainReader(const Kind *kind, std::size_t form) {
    return (kind ? kind->read : kUnknownKindReaders)[form];
}

// How an entity of a kind (null: unknown) is read when the read has options.
MembersReader OptionsReader(Qdxf_ReadState &read, const Kind *kind, const char *name,
                            std::size_t form) {
    if (!(read.flags & (QDXF_READ_MODERN_KINDS | QDXF_READ_WORLD))) return PlainReader(kind, form);
    read.translation.extrusion = {0, 0, 1};
    read.translation.faces.Clear();
    if (kind) return kOptionReaders[kind - kKinds][std::min<std::size_t>(form, 3)];
    if ((read.flags & QDXF_READ_MODERN_KINDS) && translate::GathersGroups(name)) {
        read.translation.blanksKept = translate::KeepsBlanks(name);
        return GatherMembers;
    }
    return PlainReader(nullptr, form);
}

// The kinds by the first letter of their names, built from kKinds: the first
// kind of each letter, and after each kind the next one of its letter; -1
// ends a chain. A name is compared with the kinds of its letter only, one or
// two of them.
struct KindsByLetter {
    signed char first[256];
    signed char next[kKindCount];
};

constexpr KindsByLetter MakeKindsByLetter() {
    KindsByLetter index{};
    for (signed char &first : index.first)
        first = -1;
    for (int kind = kKindCount - 1; kind >= 0; --kind) {
        auto letter = static_cast<unsigned char>(kKinds[kind].name[0]);
        index.next[kind] = index.first[letter];
        index.first[letter] = static_cast<signed char>(kind);
    }
    return index;
}
constexpr KindsByLetter kKindsByLetter = MakeKindsByLetter();

// The kind of a name, or null for a kind the reader does not know.
const Kind *KindOf(const char *name) {
    for (int kind = kKindsByLetter.first[static_cast<unsigned char>(name[0])]; kind >= 0;
         kind = kKindsByLetter.next[kind]) {
        if (rt::TextEqual(name, kKinds[kind].name)) return &kKinds[kind];
    }
    return nullptr;
}

// A new entity of a kind (null: unknown) with the members its groups do not
// set, in the spare record when there is one; null when the heap is
// exhausted.
Qdxf_Entity *NewEntity(const Kind *kind, EntitySpares *spares) {
    auto *entity =
        spares && spares->record ? std::exchange(spares->record, nullptr) : rt::New<Qdxf_Entity>();
    if (!entity) return nullptr;
    entity->color = 256;
    entity->type = kind ? kind->type : QDXF_INVALID;
    if (entity->type == QDXF_INSERT) {
        Qdxf_Insert &insert = entity->data.insert;
        insert.xScale = insert.yScale = insert.zScale = 1.0;
        insert.columnCount = insert.rowCount = 1;
    }
    return entity;
}

// QDXF_READ_UTF8: whether a text the entity's groups set may need
// converting, looked at in the whole blocks KeepText sized for them (a
// multiple of 8 bytes; a member no group set has none).
bool MayNeedConverting(const EntityBuild &build) {
    const Qdxf_Entity &entity = build.entity;
    translate::ConversionSieve sieve;
    sieve.Add(entity.handle, build.capacity[kHandle]);
    sieve.Add(entity.ltypeName, build.capacity[kLtypeName]);
    sieve.Add(entity.layerName, build.capacity[kLayerName]);
    if (entity.type == QDXF_TEXT) {
        sieve.Add(entity.data.text.text, build.capacity[kKindText]);
        sieve.Add(entity.data.text.style, build.capacity[kKindStyle]);
    } else if (entity.type == QDXF_INSERT) {
        sieve.Add(entity.data.insert.blockName, build.capacity[kKindText]);
    }
    return sieve.MayNeedConverting();
}

enum class Noted { Already, Now, NoMemory };

// Records an unknown kind in the read state, unless it is there already.
// The records keep the order in which the kinds were met.
Noted NoteIgnoredType(Qdxf_ReadState &state, const char *name) {
    if (state.ignoredKinds.Find(name)) return Noted::Already;
    auto *type = rt::New<Qdxf_IgnoredType>();
    if (type) type->name = rt::Duplicate(name);
    if (!type || !type->name || !state.ignoredKinds.Add(type->name, type)) {
        if (type) rt::Free(type->name);
        rt::Free(type);
        return Noted::NoMemory;
    }
    rt::ListAppender<Qdxf_IgnoredType> types(&state.ignoredTypes, &state.lastIgnoredType);
    types.Append(type);
    return Noted::Now;
}

// The larger of the spare and `offered` stays; the other is freed.
void Offer(SizedBlock &spare, SizedBlock offered) {
    if (offered.size < spare.size) return rt::Free(offered.block);
    rt::Free(spare.block);
    spare = offered;
}

// The size of a block an entity holds: as it was issued, or (a block a later
// step put in its place) what its contents show. A text block's size stays a
// multiple of 8, as the blocks KeepText sizes are, which are read whole.
std::size_t SizeOf(const void *block, const SizedBlock &issued, std::size_t contents) {
    return block == issued.block ? issued.size : contents;
}

// An entity the callback has seen: its record and blocks become the spares,
// and whatever else it holds is freed.
void KeepForReuse(EntitySpares &spares, Qdxf_Entity *entity) {
    char **texts[kTextMembers] = {&entity->handle, &entity->ltypeName, &entity->layerName};
    switch (EntityKind(*entity)) {
        case QDXF_TEXT: {
            Qdxf_Text &text = entity->data.text;
            texts[kKindText] = &text.text;
            texts[kKindStyle] = &text.style;
            if (text.alignmentPoint) {
                rt::Free(spares.point);
                spares.point = std::exchange(text.alignmentPoint, nullptr);
            }
            break;
        }
        case QDXF_INSERT:
            texts[kKindText] = &entity->data.insert.blockName;
            break;
        case QDXF_POLYLINE:
        case QDXF_3DFACE: {
            Qdxf_Polyline &polyline = entity->data.polyline;
            if (!polyline.vertices) break;
            for (int i = 0; i < polyline.count; ++i)
                rt::Free(polyline.vertices[i].ltypeName);
            std::size_t count = polyline.count > 0 ? static_cast<std::size_t>(polyline.count) : 0;
            Offer(spares.vertices,
                  {polyline.vertices, SizeOf(polyline.vertices, spares.issuedVertices, count)});
            polyline.vertices = nullptr;
            break;
        }
        default:
            break;
    }
    for (int which = 0; which < kTextMembers; ++which) {
        if (!texts[which] || !*texts[which]) continue;
        char *text = std::exchange(*texts[which], nullptr);
        Offer(spares.texts[which], {text, SizeOf(text, spares.issuedTexts[which],
                                                 (std::strlen(text) + 1) & ~std::size_t{7})});
    }
    for (SizedBlock &issued : spares.issuedTexts)
        issued = {};
    spares.issuedVertices = {};
    FreeEntityMembers(entity);
    std::memset(static_cast<void *>(entity), 0, sizeof *entity);
    rt::Free(spares.record);
    spares.record = entity;
}

}  // namespace

void ReleaseSpares(EntitySpares &spares) {
    rt::Free(spares.record);
    for (SizedBlock &text : spares.texts)
        rt::Free(text.block);
    rt::Free(spares.vertices.block);
    rt::Free(spares.point);
    spares = {};
}

Qdxf_Layer *FindLayer(const Qdxf_ReadState &read, const Qdxf_Info *drawing, const char *name) {
    if (!drawing->tables) return nullptr;
    return static_cast<Qdxf_Layer *>(read.layerNames.Find(name));
}

namespace {

// Recovering: the name of the next entity of the list (in a block when
// `block` is set) into `name`, and its place; false at the end of the list,
// its end read or what follows it pushed back. A record that has no place
// in the list is passed over.
bool ReadRecoveringType(Qdxf_ReadState &read, const Qdxf_Block *block, char (&name)[kGroupTextSize],
                        recover::Place *place) {
    GroupSource &source = read.source;
    for (;;) {
        GroupView type{};
        GroupMark mark{};
        *place = recover::ReadRecordStart(source, &type, &mark);
        std::memcpy(name, type.text, type.length);
        name[type.length] = '\0';
        bool endBlock = IsTag(type, "ENDBLK");
        if (endBlock && !block) {
            read.recovery.Add(recover::Kind::StrayEnd, *place, name,
                              "an ENDBLK without its BLOCK is passed over");
            recover::SkipRecord(source);
            continue;
        }
        if (endBlock || IsTag(type, "ENDSEC") || recover::IsSectionEnd(type) ||
            (block && IsTag(type, "BLOCK"))) {
            recover::EndEntityList(read.recovery, *place);
            if (block && !endBlock) {
                recover::SupplyEnd(source, recover::Kind::EndblkMissing, mark);
            } else if (!block && !IsTag(type, "ENDSEC")) {
                recover::SupplyEnd(source, recover::Kind::EndsecMissing, mark);
            }
            return false;
        }
        if (recover::AdmitEntity(read.recovery, name, *place) == recover::Admit::Read) return true;
        recover::SkipRecord(source);
    }
}

// ReadEntity's work, apart for a recovering read (`recovering`), which
// sets *dropped (and gives null) for an entity it leaves out, after which
// the list goes on.
template <bool recovering>
Qdxf_Entity *ReadOneEntity(Qdxf_ReadState &read, rt::Report **report, Qdxf_Info *drawing,
                           Qdxf_Block *block, bool *dropped) {
    rt::ReportOut out(report);
    GroupSource &source = read.source;
    rt::Report *inner = nullptr;
    // The name outlives the view it was read from.
    char name[kGroupTextSize];
    [[maybe_unused]] recover::Place place;
    [[maybe_unused]] recover::RecordStart started;
    if constexpr (recovering) {
        if (!ReadRecoveringType(read, block, name, &place)) return nullptr;
        started = read.recovery.Start();
    } else {
        GroupView type{};
        ReadKnownGroup(source, &inner, &type, 0);
        if (inner) {
            VX_FAIL_AS(out, "ReadEntity", inner, "Error reading entity type group");
            return nullptr;
        }
        // Either end group ends the list, in a block or in the ENTITIES section.
        if (IsTag(type, "ENDSEC") || IsTag(type, "ENDBLK")) return nullptr;
        std::memcpy(name, type.text, type.length);
        name[type.length] = '\0';
    }
    const Kind *kind = KindOf(name);
    // The entities a callback sees one at a time take the spare blocks.
    EntitySpares *spares = read.entityCallback && !block ? &read.spares : nullptr;
    rt::Owned<Qdxf_Entity, FreeEntity> entity(NewEntity(kind, spares));
    if (!entity) {
        VX_FAIL_AS(out, "ReadEntity", nullptr, "Memory allocation error");
        return nullptr;
    }
    read.vertexGroups.Clear();
    read.vertexRecords.Clear();
    EntityBuild build{*entity, read, read.vertexGroups, read.vertexRecords};
    build.spares = spares;
    auto form = static_cast<std::size_t>(FormOf(source));
    MembersReader readMembers =
        read.flags ? OptionsReader(read, kind, name, form) : PlainReader(kind, form);
    switch (readMembers(source, build, &inner)) {
        case Read::All:
            break;
        case Read::ReadFailed:
            VX_FAIL_AS(out, "ReadEntity", inner, "Error reading entity data group");
            return nullptr;
        case Read::NoMemory:
            VX_FAIL_AS(out, "ReadEntity", nullptr, "Memory allocation error");
            return nullptr;
    }
    [[maybe_unused]] recover::Place next;
    if constexpr (recovering) {
        if (recover::RecordLost(source, started, name, place)) {
            *dropped = true;
            return nullptr;
        }
        next = recover::PlaceOf(source);
    }

    if (entity->type == QDXF_POLYLINE) {
        PlacePolylineVertices(&inner, build);
    } else if (entity->type == QDXF_3DFACE) {
        Place3DFaceCorners(&inner, build);
    } else if (!kind && readMembers != GatherMembers) {
        switch (NoteIgnoredType(read, name)) {
            case Noted::Already:
                break;
            case Noted::Now:
                VX_LOG_MESSAGE(&inner, "%s entity ignored", name);
                break;
            case Noted::NoMemory:
                VX_FAIL_AS(out, "ReadEntity", nullptr, "Memory allocation error");
                return nullptr;
        }
    }
    if (inner) {
        VX_FAIL_AS(out, "ReadEntity", inner, "Error reading entity");
        return nullptr;
    }
    // QDXF_READ_UTF8: its texts in UTF-8 before its layer is looked up, as
    // the layers' names were before they were indexed.
    bool converted = false;
    if ((read.flags & QDXF_READ_UTF8) && MayNeedConverting(build)) {
        converted = true;
        if (!translate::EntityTextsToUtf8(read.encoding, *entity)) {
            VX_FAIL_AS(out, "ReadEntity", nullptr, "Memory allocation error");
            return nullptr;
        }
    }
    // The options' translations, through their one seam; after the texts
    // read are in UTF-8, for the texts a translation makes are already.
    if (read.flags && (readMembers == GatherMembers ||
                       (kind && translate::HasWork(read.flags, read.translation, *entity)))) {
        converted = true;
        translate::FinishEntity(read, &inner, drawing, block, name, *entity);
        if (inner) {
            VX_FAIL_AS(out, "ReadEntity", inner, "Error reading entity");
            return nullptr;
        }
    }
    // A conversion may have freed an issued block and been given the same
    // address, smaller: the blocks of a converted entity are offered back at
    // their contents' size.
    if (spares && converted) {
        for (SizedBlock &issued : spares->issuedTexts)
            issued = {};
        spares->issuedVertices = {};
    }
    if constexpr (recovering) {
        bool sequenceOpen = entity->type == QDXF_POLYLINE && build.vertex;
        recover::EntityRead(read.recovery, *entity, place, recover::PlaceOf(source, build.handle),
                            sequenceOpen, build.attributesFollow, next);
    }
    entity->layer = FindLayer(read, drawing, entity->layerName);
    entity->block = block;
    // The extents RAY and XLINE entities are clipped to, counted before a
    // callback takes the entity (a whole read counts them at its end).
    if (read.entityCallback && (read.flags & QDXF_READ_MODERN_KINDS) && !block &&
        !read.translation.deferred.extents.Add(read, drawing, *entity)) {
        VX_FAIL(out, nullptr, "Memory allocation error");
        return nullptr;
    }
    return entity.release();
}

}  // namespace

Qdxf_Entity *ReadEntity(Qdxf_ReadState &read, rt::Report **report, Qdxf_Info *drawing,
                        Qdxf_Block *block) {
    if (!read.source.recovery) return ReadOneEntity<false>(read, report, drawing, block, nullptr);
    for (;;) {
        bool dropped = false;
        Qdxf_Entity *entity = ReadOneEntity<true>(read, report, drawing, block, &dropped);
        if (!dropped) return entity;
    }
}

void ReadEntityList(Qdxf_ReadState &read, rt::Report **report, Qdxf_Info *drawing,
                    Qdxf_Block *block) {
    rt::ReportOut out(report);
    rt::Report *inner = nullptr;
    rt::ListAppender<Qdxf_Entity> entities(&drawing->entities, &read.lastEntity);
    for (;;) {
        Qdxf_Entity *entity = ReadEntity(read, &inner, drawing, block);
        if (inner) return VX_FAIL(out, inner, "Error reading entity");
        if (!entity) break;
        if (!read.entityCallback) {
            entities.Append(entity);
            continue;
        }
        int stop = read.entityCallback(read.callbackContext, drawing, entity);
        KeepForReuse(read.spares, entity);
        if (stop) {
            read.stopped = true;
            return;
        }
    }
    FreeIgnoredTypes(read);
}

}  // namespace vexlith
