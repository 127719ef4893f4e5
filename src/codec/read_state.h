// SPDX-License-Identifier: MIT
// The state of the read in progress, shared by the group reader and every
// section reader. One per thread: reads on different threads do not meet.
#ifndef VEXLITH_CODEC_READ_STATE_H
#define VEXLITH_CODEC_READ_STATE_H

#include "codec/group.h"
#include "runtime/arena.h"
#include "runtime/name_index.h"
#include "runtime/toolkit.h"
#include "vexlith.h"

namespace vexlith {

// An entity kind already reported as ignored during this read.
struct Qdxf_IgnoredType {
    Qdxf_IgnoredType *next;
    Qdxf_IgnoredType *prev;
    char *name;
};

// The stretch of the file the group reader works from when the file's size
// is known: filled by large exact reads, so that a group costs no call into
// the file service of its own.
struct GroupWindow {
    char *bytes;  // room for `capacity` bytes and a NUL after them
    std::size_t capacity;
    std::size_t length;      // bytes held, from bytes[0]
    std::size_t cursor;      // the next byte to read
    std::size_t groupStart;  // where the group being read began: kept on refill
    rt::Position start;      // the file offset of bytes[0]
    rt::Position fileEnd;    // the file's size: how far it is read ahead
};

struct Qdxf_ReadState {
    rt::File *file;
    const char *fileName;    // the caller's text, valid during the read
    const rt::Meter *meter;  // null: no progress is shown
    int binary;
    int twoByteCodes;
    long long progressTotal;  // lines (ASCII) or bytes (binary) at 100 %
    int lineNumber;           // the next ASCII line to be read, from 1
    bool positionLost;        // a push back could not return; nothing more can be read
    long long fileSize;       // bytes; 0 when unknown (not a regular file)
    long long dashLengths;    // dash lengths of line types allocated so far
    Qdxf_IgnoredType *ignoredTypes;
    Qdxf_IgnoredType *lastIgnoredType;
    // Lookups by name that must not walk their lists record by record: the
    // kinds already reported, and the first layer and line type of each name
    // read so far (what a walk of the drawing's lists would find).
    rt::NameIndex ignoredKinds;
    rt::NameIndex layerNames;
    rt::NameIndex ltypeNames;
    // The gathered groups of the entity being read.
    rt::Arena gathered;
    // Where groups come from; unused (no bytes) for a file of unknown size.
    GroupWindow window;
    // The last record of each list of the drawing being read: records are
    // appended after it, however many sections fill the list.
    Qdxf_Ltype *lastLtype;
    Qdxf_Layer *lastLayer;
    Qdxf_Style *lastStyle;
    Qdxf_Block *lastBlock;
    Qdxf_Entity *lastEntity;
};

// The state of the read in progress on the calling thread.
Qdxf_ReadState &ThreadReadState();

// The position of the next group: where the group reader is in the file.
inline rt::Position GroupPosition(const Qdxf_ReadState &state) {
    const GroupWindow &window = state.window;
    if (!window.bytes) return rt::Tell(state.file);
    return window.start + static_cast<rt::Position>(window.cursor);
}

// The place of the next group, for a caller holding the read state.
inline GroupMark MarkGroup(const Qdxf_ReadState &state) {
    return {GroupPosition(state), state.lineNumber};
}

// Releases the ignored kinds and their index, and empties the list.
void FreeIgnoredTypes();
// Releases everything the read state holds, at the end of a read.
void ReleaseReadState();

}  // namespace vexlith

#endif
