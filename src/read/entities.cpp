// SPDX-License-Identifier: MIT
// The ENTITIES section, and the entities of every block definition. An entity
// is read in one pass: from its type group up to the next code-0 group that
// does not belong to it (pushed back), each group goes from the file
// service's buffer straight into the member it sets, the last group of a code
// winning. A text is copied once, into the member's own heap block, which a
// later group of the same code reuses while it holds the text. Only what
// cannot be placed before the entity ends waits aside: the vertex groups of a
// POLYLINE and the corner groups of a 3DFACE, until the vertex count that
// sizes their array is known.
//
// Ten kinds are understood. An entity of any other kind is kept with its
// common members only, as type QDXF_INVALID, and its kind is reported once by
// a log message.
#include <array>
#include <climits>
#include <cstddef>
#include <cstring>

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

// The entity being read, and what its groups need besides the record.
struct EntityBuild {
    Qdxf_Entity &entity;
    Qdxf_ReadState &read;
    std::size_t capacity[kTextMembers] = {};  // the size of each text member's block
    int vertices = 0;       // POLYLINE: VERTEX records; 3DFACE: x groups (10 to 13)
    int corner = 0;         // 3DFACE: the corner the next coordinate goes to
    bool inVertex = false;  // POLYLINE: after a VERTEX, up to a SEQEND
};

// The group's text into a text member: into the member's block when that
// holds it, else into a new block (sized with room to spare for the texts
// of later groups). False when the heap is exhausted.
bool KeepText(EntityBuild &build, TextMember which, char *&member, const GroupView &group) {
    std::size_t &capacity = build.capacity[which];
    if (group.length >= capacity) {
        std::size_t size = (group.length + 8) & ~std::size_t{7};
        char *block = rt::NewArray<char>(size);
        if (!block) return false;
        rt::Free(member);
        member = block;
        capacity = size;
    }
    std::memcpy(member, group.text, group.length);
    member[group.length] = '\0';
    return true;
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
    int axis = group.code - base;
    if (axis >= 0 && axis <= 20 && axis % 10 == 0) Axis(point, axis / 10) = group.real;
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
            if (!text.alignmentPoint && !(text.alignmentPoint = rt::New<Qdxf_Coord>()))
                return false;
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
// SEQEND) set its members; a vertex's groups wait for the vertex array. With
// the read options it keeps what the translations need besides: a polyface
// mesh's face indices (a vertex's 71 to 74) and its extrusion direction.
// Inlined into both of its readers: the loop of a polyline's vertices is the
// hottest of a read.
template <bool withOptions>
[[gnu::always_inline]] inline bool ReadPolylineGroup(EntityBuild &build, const GroupView &group) {
    Qdxf_Polyline &polyline = build.entity.data.polyline;
    int code = group.code;
    if (build.inVertex) {
        // Binary codes are signed 16-bit: a negative one sets nothing either.
        std::uint8_t member = code >= 0 && code < kVertexCodes ? kVertexMembers[code] : kNoMember;
        if (member == kNoMember) {
            if constexpr (withOptions) {
                if (static_cast<unsigned>(code - 71) < 4 && (polyline.flag & 64)) {
                    return build.read.translation.faces.Append(
                        {build.vertices - 1, code - 71, group.integer});
                }
            }
            return true;
        }
        VertexGroup kept{build.vertices - 1, member, {}};
        if (member == kFlags) {
            kept.value.integer = group.integer;
        } else {
            kept.value.real = group.real;
        }
        return build.read.vertexGroups.Append(kept);
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

// A POLYLINE takes its VERTEX and SEQEND records: true for either tag, false
// for any other (which ends the entity), through *heapExhausted false for a
// vertex more than the array could ever hold.
bool TakeVertexTag(EntityBuild &build, const GroupView &group, bool *heapExhausted) {
    if (IsTag(group, "VERTEX")) {
        if (build.vertices == INT_MAX) {
            *heapExhausted = true;
            return false;
        }
        ++build.vertices;
        build.inVertex = true;
        return true;
    }
    if (IsTag(group, "SEQEND")) {
        build.inVertex = false;
        return true;
    }
    return false;
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

// The vertex array of a POLYLINE or a 3DFACE, filled from the groups kept
// aside; a 3DFACE's groups past its last corner are dropped.
void PlaceVertices(rt::Report **report, EntityBuild &build, const char *typeReader) {
    rt::ReportOut out(report);
    Qdxf_Polyline &polyline = build.entity.data.polyline;
    polyline.vertices = rt::NewArray<Qdxf_Vertex>(static_cast<std::size_t>(build.vertices));
    if (!polyline.vertices) {
        return VX_FAIL_AS(out, typeReader, nullptr, "Error allocating vertex list");
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
bool ReadMember(EntityBuild &build, const GroupView &group) {
    Qdxf_Entity &entity = build.entity;
    switch (group.code) {
        case 5:
            return KeepText(build, kHandle, entity.handle, group);
        case 6:
            return KeepText(build, kLtypeName, entity.ltypeName, group);
        case 8:
            return KeepText(build, kLayerName, entity.layerName, group);
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
bool ReadWithOptions(EntityBuild &build, const GroupView &group) {
    int code = group.code;
    if (code == 210 || code == 220 || code == 230) {
        Axis(build.read.translation.extrusion, code / 10 - 21) = group.real;
        return true;
    }
    return readType(build, group);
}
template <>
bool ReadWithOptions<ReadPolyline>(EntityBuild &build, const GroupView &group) {
    return ReadPolylineGroup<true>(build, group);
}
// A 3DFACE's hidden edges (group 70), where a translated polyface mesh's
// faces keep theirs too.
template <>
bool ReadWithOptions<Read3DFACE>(EntityBuild &build, const GroupView &group) {
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
// does not belong to it, which is pushed back. A group without a value sets
// no member (no code of the tables has one); with the read options, those of
// later versions' codes are read with their values.
template <TypeReader readType, bool withOptions = false>
Read ReadMembers(GroupSource &source, EntityBuild &build, rt::Report **inner) {
    GroupView group{};
    for (;;) {
        GroupMark mark = MarkGroup(source);
        NextGroup(source, inner, &group);
        if (*inner) return Read::ReadFailed;
        if (group.code == 0) {
            if constexpr (readType == ReadPolyline || readType == ReadWithOptions<ReadPolyline>) {
                bool heapExhausted = false;
                if (TakeVertexTag(build, group, &heapExhausted)) continue;
                if (heapExhausted) return Read::NoMemory;
            }
            PushBackGroup(source, mark);
            return Read::All;
        }
        // A code-0 group is never of kind none: a group of a code R12 has no
        // value for is read again here, off the plain path's way.
        if (group.kind == QDXF_VALUE_NONE) {
            if constexpr (!withOptions) continue;
            if (!ReadLaterKind(source, mark, group, inner)) return Read::ReadFailed;
            if (group.kind == QDXF_VALUE_NONE) continue;
        }
        if (!ReadMember<readType>(build, group)) return Read::NoMemory;
    }
}

// QDXF_READ_MODERN_KINDS: every group of an entity a translation builds the
// record from, kept whole; the common ones set their members as well.
Read GatherMembers(GroupSource &source, EntityBuild &build, rt::Report **inner) {
    translate::Translation &translation = build.read.translation;
    translation.BeginGathering();
    GroupView group{};
    for (;;) {
        GroupMark mark = MarkGroup(source);
        NextGroup(source, inner, &group);
        if (*inner) return Read::ReadFailed;
        if (group.kind == QDXF_VALUE_NONE && !ReadLaterKind(source, mark, group, inner))
            return Read::ReadFailed;
        if (group.code == 0) {
            PushBackGroup(source, mark);
            translation.EndGathering();
            return Read::All;
        }
        if (group.kind == QDXF_VALUE_NONE) continue;
        if (!translation.Keep(group) || !ReadMember<ReadNoMembers>(build, group))
            return Read::NoMemory;
    }
}

using MembersReader = Read (*)(GroupSource &source, EntityBuild &build, rt::Report **inner);

struct Kind {
    const char *name;
    Qdxf_EntityType type;
    MembersReader read;
};

#define VX_KIND_READER(name, type, dumpName, reader, writer) {name, type, ReadMembers<reader>},
constexpr Kind kKinds[] = {VX_ENTITY_KINDS(VX_KIND_READER)};
#undef VX_KIND_READER
#define VX_KIND_READER(name, type, dumpName, reader, writer) \
    ReadMembers<ReadWithOptions<reader>, true>,
constexpr MembersReader kOptionReaders[] = {VX_ENTITY_KINDS(VX_KIND_READER)};
#undef VX_KIND_READER

// How an entity of a kind (null: unknown) is read when the read has options.
MembersReader OptionsReader(Qdxf_ReadState &read, const Kind *kind, const char *name) {
    if (!(read.flags & (QDXF_READ_MODERN_KINDS | QDXF_READ_WORLD)))
        return kind ? kind->read : ReadMembers<ReadNoMembers>;
    read.translation.extrusion = {0, 0, 1};
    read.translation.faces.Clear();
    if (kind) return kOptionReaders[kind - kKinds];
    if ((read.flags & QDXF_READ_MODERN_KINDS) && translate::GathersGroups(name))
        return GatherMembers;
    return ReadMembers<ReadNoMembers>;
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
// set; null when the heap is exhausted.
Qdxf_Entity *NewEntity(const Kind *kind) {
    auto *entity = rt::New<Qdxf_Entity>();
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

}  // namespace

Qdxf_Layer *FindLayer(const Qdxf_ReadState &read, const Qdxf_Info *drawing, const char *name) {
    if (!drawing->tables) return nullptr;
    return static_cast<Qdxf_Layer *>(read.layerNames.Find(name));
}

Qdxf_Entity *ReadEntity(Qdxf_ReadState &read, rt::Report **report, Qdxf_Info *drawing,
                        Qdxf_Block *block) {
    rt::ReportOut out(report);
    GroupSource &source = read.source;
    rt::Report *inner = nullptr;
    GroupView type{};
    ReadKnownGroup(source, &inner, &type, 0);
    if (inner) {
        VX_FAIL(out, inner, "Error reading entity type group");
        return nullptr;
    }
    // Either end group ends the list, in a block or in the ENTITIES section.
    if (IsTag(type, "ENDSEC") || IsTag(type, "ENDBLK")) return nullptr;

    // The name outlives the view it was read from.
    char name[kGroupTextSize];
    std::memcpy(name, type.text, type.length);
    name[type.length] = '\0';
    const Kind *kind = KindOf(name);
    rt::Owned<Qdxf_Entity, FreeEntity> entity(NewEntity(kind));
    if (!entity) {
        VX_FAIL(out, nullptr, "Memory allocation error");
        return nullptr;
    }
    read.vertexGroups.Clear();
    EntityBuild build{*entity, read};
    MembersReader readMembers = kind ? kind->read : ReadMembers<ReadNoMembers>;
    if (read.flags) readMembers = OptionsReader(read, kind, name);
    switch (readMembers(source, build, &inner)) {
        case Read::All:
            break;
        case Read::ReadFailed:
            VX_FAIL(out, inner, "Error reading entity data group");
            return nullptr;
        case Read::NoMemory:
            VX_FAIL(out, nullptr, "Memory allocation error");
            return nullptr;
    }

    if (entity->type == QDXF_POLYLINE) {
        PlaceVertices(&inner, build, "ReadPolyline");
    } else if (entity->type == QDXF_3DFACE) {
        PlaceVertices(&inner, build, "Read3DFACE");
    } else if (!kind && readMembers != GatherMembers) {
        switch (NoteIgnoredType(read, name)) {
            case Noted::Already:
                break;
            case Noted::Now:
                VX_LOG_MESSAGE(&inner, "%s entity ignored", name);
                break;
            case Noted::NoMemory:
                VX_FAIL(out, nullptr, "Memory allocation error");
                return nullptr;
        }
    }
    if (inner) {
        VX_FAIL(out, inner, "Error reading entity");
        return nullptr;
    }
    // QDXF_READ_UTF8: its texts in UTF-8 before its layer is looked up, as
    // the layers' names were before they were indexed.
    if ((read.flags & QDXF_READ_UTF8) && MayNeedConverting(build) &&
        !translate::EntityTextsToUtf8(read.encoding, *entity)) {
        VX_FAIL(out, nullptr, "Memory allocation error");
        return nullptr;
    }
    // The options' translations, through their one seam; after the texts
    // read are in UTF-8, for the texts a translation makes are already.
    if (read.flags && (readMembers == GatherMembers ||
                       (kind && translate::HasWork(read.flags, read.translation, *entity)))) {
        translate::FinishEntity(read, &inner, drawing, block, name, *entity);
        if (inner) {
            VX_FAIL(out, inner, "Error reading entity");
            return nullptr;
        }
    }
    entity->layer = FindLayer(read, drawing, entity->layerName);
    entity->block = block;
    return entity.release();
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
        FreeEntity(entity);
        if (stop) {
            read.stopped = true;
            return;
        }
    }
    FreeIgnoredTypes(read);
}

}  // namespace vexlith
