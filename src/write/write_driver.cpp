// SPDX-License-Identifier: MIT
// qdxf_Write: opens the file, writes the binary sentinel when the binary form
// is asked for, then the HEADER section with the few variables the writer
// knows, an empty TABLES section, the BLOCKS and ENTITIES sections and EOF.
// qdxf_WriteWithOptions: the same, or with QDXF_WRITE_COMPLETE the sections
// of complete_writer.cpp, after a plan of the whole drawing (write_plan.h).
#include <cstddef>

#include "codec/group.h"
#include "write/writers.h"

namespace vexlith {

void WriteEmptySection(const Qdxf_WriteState &state, rt::Report **report, const char *name) {
    rt::ReportOut out(report);
    GroupRun run(state);
    run.Section(name);
    run.Text(0, "ENDSEC");
    if (run.Failed()) VX_FAIL(out, run.TakeFailure(), "Error writing group");
}

void WriteEmptySectionFor(const Qdxf_WriteState &state, rt::ReportOut &out, const char *function,
                          const char *name) {
    rt::Report *inner = nullptr;
    WriteEmptySection(state, &inner, name);
    if (inner) VX_FAIL_AS(out, function, inner, "Error writing section");
}

void WriteHeader(const Qdxf_WriteState &state, rt::Report **report, const Qdxf_Header *header) {
    rt::ReportOut out(report);
    if (!header) return WriteEmptySectionFor(state, out, __func__, "HEADER");
    GroupRun run(state);
    run.Section("HEADER");
    // Angles in a DXF file are measured from east whatever $ANGBASE says (it
    // only changes how programs show them); the writer always gives it 0.
    run.Text(9, "$ANGBASE");
    run.Float(50, 0.0);
    // The extents go together or not at all.
    if (header->extmin && header->extmax) {
        run.Text(9, "$EXTMIN");
        run.Point(*header->extmin, 0);
        run.Text(9, "$EXTMAX");
        run.Point(*header->extmax, 0);
    }
    run.Text(0, "ENDSEC");
    if (run.Failed()) VX_FAIL(out, run.TakeFailure(), "Error writing group");
}

void WriteTables(const Qdxf_WriteState &state, rt::Report **report) {
    rt::ReportOut out(report);
    WriteEmptySectionFor(state, out, __func__, "TABLES");
}

}  // namespace vexlith

using namespace vexlith;

namespace {

// The state of one write, on qdxf_Write's stack, and everything it holds: the
// open file and the copy of its name, given back when the write ends, whether
// it succeeded or not. A write started from inside another (from a meter
// callback) or on another thread has a state of its own.
class WriteScope {
public:
    WriteScope() = default;
    ~WriteScope() {
        // The file the write opened, or what its close left: a memory write's
        // block not handed out.
        rt::CloseQuietly(&file);
        rt::Free(state.fileName);
        ReleaseWritePlan(plan);
    }
    WriteScope(const WriteScope &) = delete;
    WriteScope &operator=(const WriteScope &) = delete;

    Qdxf_WriteState state{};
    WritePlan plan;
    rt::File file{};
    // Qdxf_WriteOptions.data: where the block written into goes, and its size.
    void **block = nullptr;
    std::size_t *blockSize = nullptr;
};

// The whole write behind both writing exports, with the options already in
// the state; its reports are those of qdxf_Write.
void WriteDrawing(WriteScope &scope, const Qdxf_Info *info, const char *fileName, int binary,
                  rt::ReportOut &out) {
    static constexpr const char *kFunction = "qdxf_Write";
    rt::Report *inner = nullptr;
    // Nothing to write: no file is created.
    if (!info) return VX_FAIL_AS(out, kFunction, nullptr, "Null drawing");
    const bool inMemory = scope.block != nullptr;
    if (inMemory && !fileName) fileName = "(memory)";
    const char *shownName = fileName ? fileName : "(null)";

    Qdxf_WriteState &state = scope.state;
    // With options, the whole drawing is looked at once before the file is
    // made: a heap that gives out leaves no file behind.
    if (state.flags) {
        if (!MakeWritePlan(scope.plan, *info, state.flags))
            return VX_FAIL_AS(out, kFunction, nullptr, "Memory allocation error");
        state.plan = &scope.plan;
        state.pageCodes = scope.plan.page.codes;
    }
    if (fileName) {
        state.fileName = rt::Duplicate(fileName);
        if (!state.fileName) return VX_FAIL_AS(out, kFunction, nullptr, "Memory allocation error");
    }
    rt::File *file =
        inMemory ? rt::OpenBlock(scope.file) : rt::Open(scope.file, fileName, "w", &inner);
    if (!file || inner) {
        if (file) rt::CloseQuietly(file);
        return VX_FAIL_AS(out, kFunction, inner, "Error opening file %s", shownName);
    }
    state.file = file;
    state.binary = binary == 1 ? 1 : 0;
    if (state.binary) {
        rt::WriteSeq(file, kBinarySentinel, kBinarySentinelSize, &inner);
        if (inner) return VX_FAIL_AS(out, kFunction, inner, "Error writing to file %s", shownName);
    }

    const bool complete = (state.flags & QDXF_WRITE_COMPLETE) != 0;
    if (complete) {
        WriteCompleteHeader(state, &inner, info->header);
    } else {
        WriteHeader(state, &inner, info->header);
    }
    if (inner) return VX_FAIL_AS(out, kFunction, inner, "Error writing HEADER section");
    if (complete) {
        WriteCompleteTables(state, &inner, info);
    } else {
        WriteTables(state, &inner);
    }
    if (inner) return VX_FAIL_AS(out, kFunction, inner, "Error writing TABLES section");
    if (complete) {
        WriteCompleteBlocks(state, &inner, info->blocks);
    } else {
        WriteBlockList(state, &inner, info->blocks);
    }
    if (inner) return VX_FAIL_AS(out, kFunction, inner, "Error writing BLOCKS section");
    if (complete) {
        WriteCompleteEntities(state, &inner, info->entities);
    } else {
        WriteEntitySection(state, &inner, info->entities);
    }
    if (inner) return VX_FAIL_AS(out, kFunction, inner, "Error writing ENTITIES section");
    WriteStringGroup(state, 0, &inner, "EOF");
    if (inner) return VX_FAIL_AS(out, kFunction, inner, "Error writing group");

    // The handle is released by the close, failed or not.
    state.file = nullptr;
    rt::Close(file, &inner);
    if (inner) return VX_FAIL_AS(out, kFunction, inner, "Error closing file %s", shownName);
    if (inMemory) {
        std::size_t size = 0;
        *scope.block = rt::TakeBlock(scope.file, &size);
        if (!*scope.block) return VX_FAIL_AS(out, kFunction, nullptr, "Memory allocation error");
        if (scope.blockSize) *scope.blockSize = size;
    }
}

}  // namespace

extern "C" VEXLITH_API void qdxf_Write(const Qdxf_Info *info, const char *fileName, int binary,
                                       int reserved, qerr_Report **report) {
    (void)reserved;
    rt::ReportOut out(report);
    WriteScope scope;
    WriteDrawing(scope, info, fileName, binary, out);
}

extern "C" VEXLITH_API void qdxf_WriteWithOptions(const Qdxf_Info *info, const char *fileName,
                                                  int binary, const Qdxf_WriteOptions *options,
                                                  qerr_Report **report) {
    rt::ReportOut out(report);
    WriteScope scope;
    if (options) {
        constexpr unsigned int kFirstTwo =
            offsetof(Qdxf_WriteOptions, flags) + sizeof options->flags;
        if (options->size < kFirstTwo) {
            return VX_FAIL(out, nullptr, "Write options of %u bytes: at least %u expected",
                           options->size, kFirstTwo);
        }
        constexpr unsigned int kKnown =
            QDXF_WRITE_COMPLETE | QDXF_WRITE_R12_NAMES | QDXF_WRITE_FIT_TEXTS;
        if (options->flags & ~kKnown) {
            return VX_FAIL(out, nullptr, "Unknown write option flags 0x%x",
                           options->flags & ~kKnown);
        }
        scope.state.flags = options->flags;
        if (options->size >= offsetof(Qdxf_WriteOptions, dataSize) + sizeof options->dataSize &&
            options->data) {
            scope.block = options->data;
            scope.blockSize = options->dataSize;
            *scope.block = nullptr;
            if (scope.blockSize) *scope.blockSize = 0;
        }
    }
    WriteDrawing(scope, info, fileName, binary, out);
}
