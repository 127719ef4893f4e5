// SPDX-License-Identifier: MIT
// The BLOCKS section: block definitions, each (0, "BLOCK") with its header
// groups, its entities and (0, "ENDBLK") with groups of its own, up to the
// section's (0, "ENDSEC").
#include "model/release.h"
#include "read/readers.h"

namespace vexlith {

Qdxf_Block *ReadBlock(Qdxf_ReadState &read, rt::Report **report, Qdxf_Info *drawing) {
    rt::ReportOut out(report);
    GroupSource &source = read.source;
    rt::Report *inner = nullptr;
    Qdxf_Group group;
    // Groups before the next code-0 group are skipped: after the first block,
    // these are the groups of the previous block's ENDBLK.
    do {
        ReadGroup(source, &inner, &group);
        if (inner) {
            VX_FAIL(out, inner, "Error reading group");
            return nullptr;
        }
    } while (group.code != 0);
    if (IsTag(group, "ENDSEC")) return nullptr;
    if (!IsTag(group, "BLOCK")) {
        VX_FAIL(out, nullptr, "Error reading BLOCK section");
        return nullptr;
    }

    auto *block = rt::New<Qdxf_Block>();
    if (!block) {
        VX_FAIL(out, nullptr, "Memory allocation error");
        return nullptr;
    }
    block->color = 256;
    GroupMark mark;
    for (;;) {
        mark = MarkGroup(source);
        ReadGroup(source, &inner, &group);
        if (inner) {
            FreeBlock(block);
            VX_FAIL(out, inner, "Error reading entity data group");
            return nullptr;
        }
        if (group.code == 0) break;
        if (!ApplyGroup(kBlockMembers, block, group)) {
            FreeBlock(block);
            VX_FAIL(out, nullptr, "Memory allocation error");
            return nullptr;
        }
    }
    // Its names in UTF-8 before its layer is looked up.
    if (!TextMembersToUtf8(read, kBlockMembers, block)) {
        FreeBlock(block);
        VX_FAIL(out, nullptr, "Memory allocation error");
        return nullptr;
    }
    // A block without entities keeps a null layer: it is not looked up.
    if (IsTag(group, "ENDBLK")) return block;
    PushBackGroup(source, mark);

    rt::ListAppender<Qdxf_Entity> entities(&block->entities);
    for (;;) {
        Qdxf_Entity *entity = ReadEntity(read, &inner, drawing, block);
        if (inner) {
            FreeBlock(block);
            VX_FAIL(out, inner, "Error reading entity");
            return nullptr;
        }
        if (!entity) break;
        entities.Append(entity);
    }
    block->layer = FindLayer(read, drawing, block->layerName);
    return block;
}

void ReadBlockList(Qdxf_ReadState &read, rt::Report **report, Qdxf_Info *drawing) {
    rt::ReportOut out(report);
    rt::Report *inner = nullptr;
    rt::ListAppender<Qdxf_Block> blocks(&drawing->blocks, &read.lastBlock);
    for (;;) {
        Qdxf_Block *block = ReadBlock(read, &inner, drawing);
        if (inner) return VX_FAIL(out, inner, "Error reading entity");
        if (!block) return;
        blocks.Append(block);
    }
}

}  // namespace vexlith
