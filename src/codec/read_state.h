// The state of the read in progress, shared by the group reader and every
// section reader. One per thread: reads on different threads do not meet.
#ifndef VEXLITH_CODEC_READ_STATE_H
#define VEXLITH_CODEC_READ_STATE_H

#include "runtime/toolkit.h"
#include "vexlith.h"

namespace vexlith {

// An entity kind already reported as ignored during this read.
struct Qdxf_IgnoredType {
    Qdxf_IgnoredType *next;
    Qdxf_IgnoredType *prev;
    char *name;
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
    // A hash index over ignoredTypes (open addressing, a power of two of
    // slots, at most half of them used), so that a file of many different
    // kinds is not searched record by record for every entity.
    Qdxf_IgnoredType **ignoredIndex;
    std::size_t ignoredSlots;
    std::size_t ignoredCount;
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

// Releases the ignored kinds and their index, and empties the list.
void FreeIgnoredTypes();

}  // namespace vexlith

#endif
