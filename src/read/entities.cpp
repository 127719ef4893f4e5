// SPDX-License-Identifier: MIT
// The ENTITIES section, and the entities of every block definition. An entity
// is read in two passes: its groups are gathered into a list, from its type
// group up to the next code-0 group that does not belong to it (pushed back),
// then the record is built from the list: the common members, the members of
// its kind, its layer.
//
// Ten kinds are understood. An entity of any other kind is kept with its
// common members only, as type QDXF_INVALID, and its kind is reported once by
// a log message.
#include <cstring>

#include "model/kinds.h"
#include "model/release.h"
#include "read/readers.h"

namespace vexlith {
namespace {

// The gathered groups of the entity being read, in the read state's arena:
// no heap call per group, and the arena's blocks serve entity after entity.
class GroupList {
public:
    explicit GroupList(rt::Arena &arena) : arena_(arena) { arena_.Reset(); }
    GroupList(const GroupList &) = delete;
    GroupList &operator=(const GroupList &) = delete;

    const EntityGroup *head() const { return head_; }
    // Appends a copy of `group`, its text right behind it; false when the heap
    // is exhausted. The records are the reader's own and live in the arena, so
    // they are linked here rather than by the toolkit's list service.
    bool Add(const GroupView &group, bool vertex = false) {
        std::size_t textSize = group.kind == QDXF_VALUE_TEXT ? group.length + 1 : 0;
        auto *gathered =
            static_cast<EntityGroup *>(arena_.Allocate(sizeof(EntityGroup) + textSize));
        if (!gathered) return false;
        gathered->next = nullptr;
        gathered->prev = last_;
        gathered->vertex = vertex;
        gathered->code = group.code;
        gathered->kind = group.kind;
        switch (group.kind) {
            case QDXF_VALUE_INT:
                gathered->value.integer = group.integer;
                break;
            case QDXF_VALUE_REAL:
                gathered->value.real = group.real;
                break;
            case QDXF_VALUE_TEXT: {
                char *text = reinterpret_cast<char *>(gathered + 1);
                std::memcpy(text, group.text, group.length);
                text[group.length] = '\0';
                gathered->value.text = text;
                break;
            }
            case QDXF_VALUE_NONE:
                break;
        }
        if (last_) {
            last_->next = gathered;
        } else {
            head_ = gathered;
        }
        last_ = gathered;
        return true;
    }

private:
    rt::Arena &arena_;
    EntityGroup *head_ = nullptr;
    EntityGroup *last_ = nullptr;
};

// Text members are copied once, from the last group of their code.
bool CopyText(char **member, const char *text) {
    if (!text) return true;
    *member = rt::Duplicate(text);
    return *member != nullptr;
}

// Codes 10 to 13, 20 to 23 and 30 to 33 set x, y or z of a point.
bool SetAnyCoordinate(Qdxf_Coord &point, const EntityGroup &group) {
    switch (group.code) {
        case 10:
        case 11:
        case 12:
        case 13:
            point.x = group.value.real;
            return true;
        case 20:
        case 21:
        case 22:
        case 23:
            point.y = group.value.real;
            return true;
        case 30:
        case 31:
        case 32:
        case 33:
            point.z = group.value.real;
            return true;
        default:
            return false;
    }
}

// Codes `base`, `base` + 10 and `base` + 20 set x, y and z of a point.
bool SetCoordinate(Qdxf_Coord &point, const EntityGroup &group, int base) {
    if (group.code == base) {
        point.x = group.value.real;
    } else if (group.code == base + 10) {
        point.y = group.value.real;
    } else if (group.code == base + 20) {
        point.z = group.value.real;
    } else {
        return false;
    }
    return true;
}

using TypeReader = void (*)(rt::Report **report, Qdxf_Entity *entity, const EntityGroup *list);

struct Kind {
    const char *name;
    TypeReader read;
};

#define VX_KIND_READER(name, type, dumpName, reader, writer) {name, reader},
constexpr Kind kKinds[] = {VX_ENTITY_KINDS(VX_KIND_READER)};
#undef VX_KIND_READER

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

// The type reader of a kind's name, or null for a kind the reader does not
// know.
TypeReader TypeReaderOf(const char *name) {
    for (int kind = kKindsByLetter.first[static_cast<unsigned char>(name[0])]; kind >= 0;
         kind = kKindsByLetter.next[kind]) {
        if (rt::TextEqual(name, kKinds[kind].name)) return kKinds[kind].read;
    }
    return nullptr;
}

// A code-0 group with the given text, seen in place.
template <std::size_t N>
bool IsViewTag(const GroupView &group, const char (&text)[N]) {
    return group.kind == QDXF_VALUE_TEXT && group.length == N - 1 &&
           std::memcmp(group.text, text, N - 1) == 0;
}

enum class Gathered { All, ReadFailed, NoMemory };

// Gathers the groups that follow an entity's type group into `list`, up to
// the next code-0 group that does not belong to it, which is pushed back. A
// POLYLINE gathers its VERTEX and SEQEND records too.
Gathered GatherGroups(GroupSource &source, GroupList &list, bool polyline, rt::Report **inner) {
    GroupView group{};
    for (;;) {
        GroupMark mark = MarkGroup(source);
        ReadGroup(source, inner, &group);
        if (*inner) return Gathered::ReadFailed;
        bool vertex = false;
        if (group.code == 0 &&
            !(polyline && ((vertex = IsViewTag(group, "VERTEX")) || IsViewTag(group, "SEQEND")))) {
            PushBackGroup(source, mark);
            return Gathered::All;
        }
        // A group without a value sets no member: it is not kept, or a byte of
        // the file could cost a block of the heap.
        if (group.kind == QDXF_VALUE_NONE) continue;
        if (!list.Add(group, vertex)) return Gathered::NoMemory;
    }
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

Qdxf_Entity *ReadCommon(rt::Report **report, const EntityGroup *list) {
    rt::ReportOut out(report);
    auto *entity = rt::New<Qdxf_Entity>();
    if (!entity) {
        VX_FAIL(out, nullptr, "Memory allocation error");
        return nullptr;
    }
    entity->color = 256;
    entity->type = QDXF_INVALID;
    const char *handle = nullptr;
    const char *ltypeName = nullptr;
    const char *layerName = nullptr;
    for (const EntityGroup *group = list->next; group; group = group->next) {
        switch (group->code) {
            case 5:
                handle = group->value.text;
                break;
            case 6:
                ltypeName = group->value.text;
                break;
            case 8:
                layerName = group->value.text;
                break;
            case 38:
                entity->elevation = group->value.real;
                break;
            case 39:
                entity->thickness = group->value.real;
                break;
            case 62:
                entity->color = group->value.integer;
                break;
            case 67:
                entity->space = group->value.integer;
                break;
            default:
                break;
        }
    }
    if (!CopyText(&entity->handle, handle) || !CopyText(&entity->ltypeName, ltypeName) ||
        !CopyText(&entity->layerName, layerName)) {
        FreeEntity(entity);
        VX_FAIL(out, nullptr, "Memory allocation error");
        return nullptr;
    }
    return entity;
}

void ReadLine(rt::Report **report, Qdxf_Entity *entity, const EntityGroup *list) {
    rt::ReportOut out(report);
    entity->type = QDXF_LINE;
    Qdxf_Line &line = entity->data.line;
    for (const EntityGroup *group = list->next; group; group = group->next) {
        if (!SetCoordinate(line.start, *group, 10)) {
            // 11 to 13, 21 to 23, 31 to 33: the end point.
            int code = group->code;
            if ((code >= 11 && code <= 13) || (code >= 21 && code <= 23) ||
                (code >= 31 && code <= 33)) {
                SetAnyCoordinate(line.end, *group);
            }
        }
    }
}

void ReadPoint(rt::Report **report, Qdxf_Entity *entity, const EntityGroup *list) {
    rt::ReportOut out(report);
    entity->type = QDXF_POINT;
    for (const EntityGroup *group = list->next; group; group = group->next)
        SetCoordinate(entity->data.point.location, *group, 10);
}

void ReadCircle(rt::Report **report, Qdxf_Entity *entity, const EntityGroup *list) {
    rt::ReportOut out(report);
    entity->type = QDXF_CIRCLE;
    Qdxf_Circle &circle = entity->data.circle;
    for (const EntityGroup *group = list->next; group; group = group->next) {
        if (group->code == 40) {
            circle.radius = group->value.real;
        } else {
            SetCoordinate(circle.center, *group, 10);
        }
    }
}

void ReadArc(rt::Report **report, Qdxf_Entity *entity, const EntityGroup *list) {
    rt::ReportOut out(report);
    entity->type = QDXF_ARC;
    Qdxf_Arc &arc = entity->data.arc;
    for (const EntityGroup *group = list->next; group; group = group->next) {
        switch (group->code) {
            case 40:
                arc.radius = group->value.real;
                break;
            case 50:
                arc.startAngle = Radians(group->value.real);
                break;
            case 51:
                arc.endAngle = Radians(group->value.real);
                break;
            default:
                SetCoordinate(arc.center, *group, 10);
                break;
        }
    }
}

namespace {

// TRACE and SOLID: the last digit of the code chooses the corner.
void ReadCorners(Qdxf_Trace &trace, const EntityGroup *list) {
    for (const EntityGroup *group = list->next; group; group = group->next) {
        int code = group->code;
        if ((code >= 10 && code <= 13) || (code >= 20 && code <= 23) ||
            (code >= 30 && code <= 33)) {
            SetAnyCoordinate(trace.corner[code % 10], *group);
        }
    }
}

}  // namespace

void ReadTrace(rt::Report **report, Qdxf_Entity *entity, const EntityGroup *list) {
    rt::ReportOut out(report);
    entity->type = QDXF_TRACE;
    ReadCorners(entity->data.trace, list);
}

void ReadSolid(rt::Report **report, Qdxf_Entity *entity, const EntityGroup *list) {
    rt::ReportOut out(report);
    entity->type = QDXF_SOLID;
    ReadCorners(entity->data.solid, list);
}

void ReadText(rt::Report **report, Qdxf_Entity *entity, const EntityGroup *list) {
    rt::ReportOut out(report);
    entity->type = QDXF_TEXT;
    Qdxf_Text &text = entity->data.text;
    const char *string = nullptr;
    const char *style = nullptr;
    for (const EntityGroup *group = list->next; group; group = group->next) {
        switch (group->code) {
            case 1:
                string = group->value.text;
                break;
            case 7:
                style = group->value.text;
                break;
            case 11:
            case 21:
            case 31:
                // The first of these groups brings the point into being.
                if (!text.alignmentPoint && !(text.alignmentPoint = rt::New<Qdxf_Coord>())) {
                    return VX_FAIL(out, nullptr, "Memory allocation error");
                }
                SetCoordinate(*text.alignmentPoint, *group, 11);
                break;
            case 40:
                text.height = group->value.real;
                break;
            case 41:
                text.xScale = group->value.real;
                break;
            case 50:
                text.angle = Radians(group->value.real);
                break;
            case 51:
                text.obliqueAngle = Radians(group->value.real);
                break;
            case 71:
                text.flags = group->value.integer;
                break;
            case 72:
                text.horizJust = group->value.integer;
                break;
            case 73:
                text.vertJust = group->value.integer;
                break;
            default:
                SetCoordinate(text.insertionPoint, *group, 10);
                break;
        }
    }
    if (!CopyText(&text.text, string) || !CopyText(&text.style, style)) {
        VX_FAIL(out, nullptr, "Memory allocation error");
    }
}

void ReadInsert(rt::Report **report, Qdxf_Entity *entity, const EntityGroup *list) {
    rt::ReportOut out(report);
    entity->type = QDXF_INSERT;
    Qdxf_Insert &insert = entity->data.insert;
    insert.xScale = insert.yScale = insert.zScale = 1.0;
    insert.columnCount = insert.rowCount = 1;
    const char *blockName = nullptr;
    for (const EntityGroup *group = list->next; group; group = group->next) {
        switch (group->code) {
            case 2:
                blockName = group->value.text;
                break;
            case 41:
                insert.xScale = group->value.real;
                break;
            case 42:
                insert.yScale = group->value.real;
                break;
            case 43:
                insert.zScale = group->value.real;
                break;
            case 44:
                insert.columnSpacing = group->value.real;
                break;
            case 45:
                insert.rowSpacing = group->value.real;
                break;
            case 50:
                insert.rotationAngle = Radians(group->value.real);
                break;
            case 70:
                insert.columnCount = group->value.integer;
                break;
            case 71:
                insert.rowCount = group->value.integer;
                break;
            default:
                SetCoordinate(insert.insertionPoint, *group, 10);
                break;
        }
    }
    if (!CopyText(&insert.blockName, blockName)) VX_FAIL(out, nullptr, "Memory allocation error");
}

const EntityGroup *ReadVertex(rt::Report **report, Qdxf_Entity *entity, int index,
                              const EntityGroup *vertex) {
    rt::ReportOut out(report);
    Qdxf_Vertex &target = entity->data.polyline.vertices[index];
    for (const EntityGroup *group = vertex->next; group; group = group->next) {
        switch (group->code) {
            case 0:
                return group->prev;
            case 40:
                target.startingWidth = group->value.real;
                break;
            case 41:
                target.endingWidth = group->value.real;
                break;
            case 42:
                target.bulge = group->value.real;
                break;
            case 50:
                target.tangentDir = group->value.real;  // as read, in degrees
                break;
            case 70:
                target.flags = group->value.integer;
                break;
            default:
                SetAnyCoordinate(target.location, *group);
                break;
        }
    }
    return nullptr;
}

void ReadPolyline(rt::Report **report, Qdxf_Entity *entity, const EntityGroup *list) {
    rt::ReportOut out(report);
    entity->type = QDXF_POLYLINE;
    Qdxf_Polyline &polyline = entity->data.polyline;
    int count = 0;
    for (const EntityGroup *group = list->next; group; group = group->next)
        count += group->vertex;
    polyline.vertices = rt::NewArray<Qdxf_Vertex>(static_cast<std::size_t>(count));
    if (!polyline.vertices) return VX_FAIL(out, nullptr, "Error allocating vertex list");
    polyline.count = count;

    rt::Report *inner = nullptr;
    int index = 0;
    for (const EntityGroup *group = list->next; group;) {
        if (group->vertex) {
            const EntityGroup *last = ReadVertex(&inner, entity, index++, group);
            if (inner) return VX_FAIL(out, inner, "Error reading vertex data");
            if (!last) break;
            group = last->next;
            continue;
        }
        // The polyline's own groups, and those of its SEQEND.
        switch (group->code) {
            case 30:
                polyline.elevation = group->value.real;
                break;
            case 40:
                polyline.defaultStartingWidth = group->value.real;
                break;
            case 41:
                polyline.defaultEndingWidth = group->value.real;
                break;
            case 70:
                polyline.flag = group->value.integer;
                break;
            case 71:
            case 72:
                polyline.meshVertexCount[group->code - 71] = group->value.integer;
                break;
            case 73:
            case 74:
                polyline.smoothSurfaceDensity[group->code - 73] = group->value.integer;
                break;
            case 75:
                polyline.type = group->value.integer;
                break;
            default:
                break;
        }
        group = group->next;
    }
}

void Read3DFACE(rt::Report **report, Qdxf_Entity *entity, const EntityGroup *list) {
    rt::ReportOut out(report);
    entity->type = QDXF_3DFACE;
    Qdxf_Polyline &face = entity->data.polyline;
    int count = 0;
    for (const EntityGroup *group = list->next; group; group = group->next)
        count += group->code >= 10 && group->code <= 13;
    face.vertices = rt::NewArray<Qdxf_Vertex>(static_cast<std::size_t>(count));
    if (!face.vertices) return VX_FAIL(out, nullptr, "Error allocating vertex list");
    face.count = count;
    // Corners are filled in the order their groups come, each z group
    // closing one; the code's last digit does not choose the corner. Groups
    // past the last corner (more z groups than x groups) are ignored.
    int index = 0;
    for (const EntityGroup *group = list->next; group && index < count; group = group->next) {
        if (SetAnyCoordinate(face.vertices[index].location, *group) && group->code >= 30) {
            ++index;
        }
    }
}

Qdxf_Entity *ReadEntity(Qdxf_ReadState &read, rt::Report **report, Qdxf_Info *drawing,
                        Qdxf_Block *block) {
    rt::ReportOut out(report);
    GroupSource &source = read.source;
    rt::Report *inner = nullptr;
    Qdxf_Group type;
    ReadKnownGroup(source, &inner, &type, 0);
    if (inner) {
        VX_FAIL(out, inner, "Error reading entity type group");
        return nullptr;
    }
    // Either end group ends the list, in a block or in the ENTITIES section.
    if (IsTag(type, "ENDSEC") || IsTag(type, "ENDBLK")) return nullptr;

    GroupList list(read.gathered);
    GroupView group{};
    group.code = type.code;
    group.kind = type.kind;
    group.text = type.value.text;
    group.length = std::strlen(type.value.text);
    if (!list.Add(group)) {
        VX_FAIL(out, nullptr, "Memory allocation error");
        return nullptr;
    }
    const char *name = list.head()->value.text;
    // A POLYLINE gathers its VERTEX records and its SEQEND record too.
    bool polyline = rt::TextEqual(name, "POLYLINE");
    switch (GatherGroups(source, list, polyline, &inner)) {
        case Gathered::All:
            break;
        case Gathered::ReadFailed:
            VX_FAIL(out, inner, "Error reading entity data group");
            return nullptr;
        case Gathered::NoMemory:
            VX_FAIL(out, nullptr, "Memory allocation error");
            return nullptr;
    }

    rt::Owned<Qdxf_Entity, FreeEntity> entity(ReadCommon(&inner, list.head()));
    if (inner) {
        VX_FAIL(out, inner, "Error reading common groups");
        return nullptr;
    }
    if (TypeReader readType = TypeReaderOf(name)) {
        readType(&inner, entity.get(), list.head());
    } else {
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
        entities.Append(entity);
    }
    FreeIgnoredTypes(read);
}

}  // namespace vexlith
