// Release of drawing records. Each operation accepts null and frees every
// owned member without testing it; lists are walked forward and freed whole.
#ifndef VEXLITH_MODEL_RELEASE_H
#define VEXLITH_MODEL_RELEASE_H

#include "vexlith.h"

namespace vexlith {

void FreeHeader(Qdxf_Header *header);
void FreeTables(Qdxf_Tables *tables);
void FreeLtype(Qdxf_Ltype *ltype);
void FreeLayer(Qdxf_Layer *layer);
void FreeStyle(Qdxf_Style *style);
void FreeEntity(Qdxf_Entity *entity);
void FreeEntityList(Qdxf_Entity *list);
void FreeBlock(Qdxf_Block *block);
void FreeBlockList(Qdxf_Block *list);

}  // namespace vexlith

#endif
