// SPDX-License-Identifier: MIT
// The state of one read: the group source the group reader works on and what
// the section readers keep between groups. qdxf_Read builds it on its own
// stack and hands it down, so reads on different threads, or a read started
// from inside another (from its meter callback), never meet.
#ifndef VEXLITH_READ_READ_STATE_H
#define VEXLITH_READ_READ_STATE_H

#include "codec/group.h"
#include "recover/recovery.h"
#include "runtime/name_index.h"
#include "runtime/scratch.h"
#include "runtime/toolkit.h"
#include "translate/entity_translation.h"
#include "translate/text_encoding.h"
#include "vexlith.h"

namespace vexlith {

// An entity kind already reported as ignored during this read.
struct Qdxf_IgnoredType {
    Qdxf_IgnoredType *next;
    Qdxf_IgnoredType *prev;
    char *name;
};

// A group of a POLYLINE's vertex or of a 3DFACE's corner, kept with the
// index of its vertex until the entity ends and its vertex count, which sizes
// the array, is known.
struct VertexGroup {
    std::int32_t vertex;
    std::uint32_t member;  // the byte offset of the member it sets in Qdxf_Vertex
    union {
        std::int32_t integer;  // flags
        double real;           // every other member
    } value;
};

// A block of the heap and how much it holds: bytes of a text, vertices of a
// vertex array.
struct SizedBlock {
    void *block;
    std::size_t size;
};

// qdxf_ReadEach: the record and blocks of the entity the callback has seen,
// taken again by the next one, so that a stream of entities runs in the same
// few blocks and touches no fresh memory. `issued` are the blocks the entity
// being read was given, with their sizes: a member that no longer holds its
// block (a later step replaced it) is sized by its text.
constexpr int kEntityTexts = 5;  // handle, ltypeName, layerName, two of the kind
struct EntitySpares {
    Qdxf_Entity *record;  // zero-filled
    SizedBlock texts[kEntityTexts];
    SizedBlock vertices;
    Qdxf_Coord *point;
    SizedBlock issuedTexts[kEntityTexts];
    SizedBlock issuedVertices;
};

struct Qdxf_ReadState {
    GroupSource source;
    // What the host asked for: QDXF_READ_... flags (0 for qdxf_Read), the
    // largest distance between a curve and its polyline (0: the default).
    unsigned int flags;
    double tolerance;
    // qdxf_ReadEach: each entity of the ENTITIES section goes to the callback
    // instead of the drawing; a non-zero answer sets `stopped`, which ends the
    // read early, without a report.
    Qdxf_EntityCallback entityCallback;
    void *callbackContext;
    bool stopped;
    EntitySpares spares;
    // QDXF_READ_UTF8: the encoding of the file's texts, as its header says.
    translate::TextEncoding encoding;
    long long fileSize;     // bytes; 0 when unknown (not a regular file)
    long long dashLengths;  // dash lengths of line types allocated so far
    Qdxf_IgnoredType *ignoredTypes;
    Qdxf_IgnoredType *lastIgnoredType;
    // Lookups by name that must not walk their lists record by record: the
    // kinds already reported, and the first layer and line type of each name
    // read so far (what a walk of the drawing's lists would find).
    rt::NameIndex ignoredKinds;
    rt::NameIndex layerNames;
    rt::NameIndex ltypeNames;
    // The corner groups of the 3DFACE and the vertices of the POLYLINE being
    // read, until their arrays are sized.
    rt::Scratch<VertexGroup> vertexGroups;
    rt::Scratch<Qdxf_Vertex> vertexRecords;
    // QDXF_READ_MODERN_KINDS and QDXF_READ_WORLD: what the translations keep.
    translate::Translation translation;
    // QDXF_READ_RECOVER: the repairs made and what making them needs; the
    // group source points here.
    recover::Recovery recovery;
    // The last record of each list of the drawing being read: records are
    // appended after it, however many sections fill the list.
    Qdxf_Ltype *lastLtype;
    Qdxf_Layer *lastLayer;
    Qdxf_Style *lastStyle;
    Qdxf_Block *lastBlock;
    Qdxf_Entity *lastEntity;
};

// Releases the ignored kinds and their index, and empties the list.
void FreeIgnoredTypes(Qdxf_ReadState &read);
// Returns the spare blocks to the heap.
void ReleaseSpares(EntitySpares &spares);
// Releases everything the read state holds besides the file.
void ReleaseReadState(Qdxf_ReadState &read);

}  // namespace vexlith

#endif
