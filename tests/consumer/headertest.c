// SPDX-License-Identifier: MIT
/* Compiled as strict C11: the public headers hold nothing but C. */
#include "corvane.h"
#include "pellund.h"
#include "vexlith.h"

/* Records are plain C structs that a host can build field by field. */
static int record_sizes_are_known(void) {
    Qdxf_Entity entity = {0};
    entity.type = QDXF_3DFACE;
    entity.data.polyline.count = 0;
    return (int)(sizeof(Qdxf_Info) + sizeof(Qdxf_ColorTable) + sizeof entity);
}

int vexlith_headertest(void);
int vexlith_headertest(void) {
    return record_sizes_are_known();
}
