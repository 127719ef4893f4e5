// SPDX-License-Identifier: MIT
// The BLOCKS section: block definitions, each (0, "BLOCK") with its header
// groups, its entities and (0, "ENDBLK") with groups of its own, up to the
// section's (0, "ENDSEC").
#include "model/release.h"
#include "read/readers.h"

namespace vexlith {

namespace {

// Recovering: what is done with a 0 group other than BLOCK where a block
// must begin. True when the section ends there.
bool EndsBlocks(Qdxf_ReadState &read, const Qdxf_Group &group, const GroupMark &mark) {
    recover::Recovery &recovery = read.recovery;
    if (recover::IsSectionEnd(group)) {
        recover::SupplyEnd(read.source, recover::Kind::EndsecMissing, mark);
        return true;
    }
    recover::Place place = recover::PlaceOf(read.source, mark);
    if (IsTag(group, "ENDBLK")) {
        recovery.Add(recover::Kind::StrayEnd, place, "ENDBLK",
                     "an ENDBLK without its BLOCK is passed over");
    } else {
        recovery.Add(recover::Kind::OutsideBlock, place, group.value.text,
                     "a %s outside any block is left out", group.value.text);
    }
    return false;  // its groups are passed over with those of an ENDBLK
}

// The BLOCK record at the next 0 group and its groups, up to the 0 group
// after them (`group`, read from `mark`): null with *ended set at the end
// of the section; recovering, null without it for a block left out.
Qdxf_Block *ReadBlockHeader(Qdxf_ReadState &read, rt::Report **report, Qdxf_Group &group,
                            GroupMark &mark, bool *ended) {
    rt::ReportOut out(report);
    GroupSource &source = read.source;
    rt::Report *inner = nullptr;
    for (;;) {
        // Groups before the next code-0 group are skipped: after the first
        // block, these are the groups of the previous block's ENDBLK.
        do {
            mark = MarkGroup(source);
            ReadGroup(source, &inner, &group);
            if (inner) {
                VX_FAIL_AS(out, "ReadBlock", inner, "Error reading group");
                return nullptr;
            }
        } while (group.code != 0);
        if (IsTag(group, "ENDSEC")) break;
        if (IsTag(group, "BLOCK")) break;
        if (!source.recovery) {
            VX_FAIL_AS(out, "ReadBlock", nullptr, "Error reading BLOCK section");
            return nullptr;
        }
        if (EndsBlocks(read, group, mark)) break;
    }
    if (!IsTag(group, "BLOCK")) {
        *ended = true;
        return nullptr;
    }
    recover::Place place{};
    recover::RecordStart started{};
    if (source.recovery) {
        place = recover::PlaceOf(source, mark);
        started = read.recovery.Start();
    }
    GroupMark handle{};
    rt::Owned<Qdxf_Block, FreeBlock> block(rt::New<Qdxf_Block>());
    if (!block) {
        VX_FAIL_AS(out, "ReadBlock", nullptr, "Memory allocation error");
        return nullptr;
    }
    block->color = 256;
    for (;;) {
        mark = MarkGroup(source);
        ReadGroup(source, &inner, &group);
        if (inner) {
            VX_FAIL_AS(out, "ReadBlock", inner, "Error reading entity data group");
            return nullptr;
        }
        if (group.code == 0) break;
        if (group.code == 5) handle = mark;
        if (!ApplyGroup(kBlockMembers, block.get(), group)) {
            VX_FAIL_AS(out, "ReadBlock", nullptr, "Memory allocation error");
            return nullptr;
        }
    }
    // Its names in UTF-8 before its layer is looked up.
    if (!TextMembersToUtf8(read, kBlockMembers, block.get())) {
        VX_FAIL_AS(out, "ReadBlock", nullptr, "Memory allocation error");
        return nullptr;
    }
    if (source.recovery) {
        // When the bytes broke, its entities are read as outside any block.
        if (recover::RecordLost(source, started, "BLOCK", place)) {
            PushBackGroup(source, mark);
            *ended = read.recovery.ended;
            return nullptr;
        }
        recover::BlockRead(read.recovery, *block, place, recover::PlaceOf(source, handle));
    }
    return block.release();
}

}  // namespace

Qdxf_Block *ReadBlock(Qdxf_ReadState &read, rt::Report **report, Qdxf_Info *drawing) {
    rt::ReportOut out(report);
    GroupSource &source = read.source;
    rt::Report *inner = nullptr;
    Qdxf_Group group;
    GroupMark mark;
    Qdxf_Block *block = nullptr;
    bool ended = false;
    while (!block) {
        block = ReadBlockHeader(read, &inner, group, mark, &ended);
        if (inner) {
            out.Set(inner);
            return nullptr;
        }
        if (ended) return nullptr;
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
