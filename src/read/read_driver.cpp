// SPDX-License-Identifier: MIT
// qdxf_Read: opens the file, tells ASCII from binary, sets up the read state
// and reads section after section up to the EOF tag.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "model/release.h"
#include "read/readers.h"

namespace vexlith {
namespace {

// The lines of an ASCII file as the group reader will meet them: every piece
// of at most kPiece characters that a line read returns counts once. The text
// is taken in chunks shorter than a piece, so a line inside a chunk is always
// one piece; only a line that runs from one chunk into the next can be longer.
class LinePieces {
public:
    void Add(const char *data, std::size_t size) {
        for (std::size_t at = 0; at < size; at += kChunk) {
            const char *chunk = data + at;
            const char *end = chunk + std::min(kChunk, size - at);
            // A plain loop the compiler turns into vector compares; a byte
            // counter keeps the vectors 16 lanes wide (a chunk has fewer
            // than 256 characters).
            std::uint8_t newlines = 0;
            for (const char *c = chunk; c < end; ++c)
                newlines = static_cast<std::uint8_t>(newlines + (*c == '\n'));
            if (newlines == 0) {
                pending_ += end - chunk;
                continue;
            }
            const char *first = static_cast<const char *>(
                std::memchr(chunk, '\n', static_cast<std::size_t>(end - chunk)));
            pieces_ += PiecesOf(pending_ + (first - chunk) + 1) + newlines - 1;
            const char *afterLast = end;
            while (afterLast[-1] != '\n')
                --afterLast;
            pending_ = end - afterLast;
        }
    }
    // With the text after the last newline.
    long long Total() const { return pieces_ + PiecesOf(pending_); }

private:
    static constexpr long long kPiece = rt::kLineSize - 1;
    static constexpr std::size_t kChunk = 240;
    static_assert(kChunk < kPiece && kChunk <= UINT8_MAX);
    static long long PiecesOf(long long length) { return (length + kPiece - 1) / kPiece; }

    long long pieces_ = 0;
    long long pending_ = 0;  // characters of the line not yet ended
};

// Counted in the file service's own buffer, up to the size the file had when
// the read began. A file whose size is unknown (a device, a pipe) is not
// counted, and gives 0 like an empty one: it may never end (a device such as
// /dev/zero gives bytes for ever), and counting it would keep the read from
// ever starting. A failed read fails the count.
long long CountLines(rt::File *file, long long size, rt::Report **failure) {
    if (size == 0) return 0;
    LinePieces pieces;
    std::size_t available = 0;
    for (long long done = 0; done < size; done += static_cast<long long>(available)) {
        const char *view = rt::ReadView(file, available, 1, &available, failure);
        if (!view) return 0;
        if (available == 0) break;  // shorter than it was: the read will say so
        available = static_cast<std::size_t>(std::min<long long>(size - done, available));
        pieces.Add(view, available);
    }
    return pieces.Total();
}

}  // namespace

void FreeIgnoredTypes(Qdxf_ReadState &read) {
    Qdxf_IgnoredType *type = read.ignoredTypes;
    while (type) {
        Qdxf_IgnoredType *next = type->next;
        rt::Free(type->name);
        rt::Free(type);
        type = next;
    }
    read.ignoredTypes = nullptr;
    read.lastIgnoredType = nullptr;
    read.ignoredKinds.Release();
}

void ReleaseReadState(Qdxf_ReadState &read) {
    FreeIgnoredTypes(read);
    read.layerNames.Release();
    read.ltypeNames.Release();
    read.vertexGroups.Release();
    read.translation.Release();
    read.vertexRecords.Release();
    read.encoding.converters.Release();
    read.recovery.Release();
    ReleaseSpares(read.spares);
}

void SkipPast(GroupSource &source, rt::Report **report, const char *tag, const char *function) {
    rt::ReportOut out(report);
    Qdxf_Group group{};
    do {
        rt::Report *inner = nullptr;
        GroupMark mark = MarkGroup(source);
        ReadGroup(source, &inner, &group);
        if (inner) return VX_FAIL_AS(out, function, inner, "Error reading group values");
        // Recovering, a table also ends where the next one or the section
        // ends, and a section where the next one begins.
        if (source.recovery) {
            bool table = rt::TextEqual(tag, "ENDTAB");
            if (recover::IsSectionEnd(group) ||
                (table && (IsTag(group, "TABLE") || IsTag(group, "ENDSEC")))) {
                return recover::SupplyEnd(
                    source, table ? recover::Kind::EndtabMissing : recover::Kind::EndsecMissing,
                    mark);
            }
        }
    } while (!IsTag(group, tag));
}

void SkipSection(GroupSource &source, rt::Report **report) {
    SkipPast(source, report, "ENDSEC", __func__);
}

int ReadSection(Qdxf_ReadState &read, rt::Report **report, Qdxf_Info *drawing) {
    rt::ReportOut out(report);
    GroupSource &source = read.source;
    rt::Report *inner = nullptr;
    Qdxf_Group group{};
    if (source.recovery) {
        if (recover::SkipToSection(read)) return 1;
    } else {
        ReadKnownGroup(source, &inner, &group, 0);
        if (inner) {
            VX_FAIL(out, inner, "Error reading group values");
            return 0;
        }
        if (IsTag(group, "EOF")) return 1;
        if (!IsTag(group, "SECTION")) {
            VX_FAIL(out, nullptr, "Expected SECTION or EOF tag");
            return 0;
        }
    }
    if (source.recovery) {
        GroupMark mark = MarkGroup(source);
        ReadGroup(source, nullptr, &group);
        if (!recover::TakeSectionName(read, group, mark)) {
            SkipSection(source, nullptr);
            return 0;
        }
    } else {
        ReadKnownGroup(source, &inner, &group, 2);
    }
    if (inner) {
        VX_FAIL(out, inner, "Error reading group values");
        return 0;
    }
    const char *name = group.kind == QDXF_VALUE_TEXT ? group.value.text : "";
    if (rt::TextEqual(name, "HEADER")) {
        ReadHeader(read, &inner, drawing);
        if (inner) VX_FAIL(out, inner, "Error reading HEADER section");
    } else if (rt::TextEqual(name, "TABLES")) {
        ReadTables(read, &inner, drawing);
        if (inner) VX_FAIL(out, inner, "Error reading TABLES section");
    } else if (rt::TextEqual(name, "BLOCKS")) {
        ReadBlockList(read, &inner, drawing);
        if (inner) VX_FAIL(out, inner, "Error reading BLOCKS section");
    } else if (rt::TextEqual(name, "ENTITIES")) {
        ReadEntityList(read, &inner, drawing, nullptr);
        if (inner) VX_FAIL(out, inner, "Error reading ENTITIES section");
        // A callback that stopped the read ends it here, as EOF would.
        if (read.stopped) return 1;
    } else if ((read.flags & QDXF_READ_MODERN_KINDS) && rt::TextEqual(name, "OBJECTS")) {
        KeepStyleEntries(read, &inner, "ENDSEC");
        if (inner) VX_FAIL(out, inner, "Error reading OBJECTS section");
    } else {
        SkipSection(source, &inner);
        if (inner) VX_FAIL(out, inner, "Error skipping section");
    }
    return 0;
}

}  // namespace vexlith

using namespace vexlith;

namespace {

// The state of one read, on qdxf_Read's stack, and everything a failure must
// give back: the drawing being built, the open file and the state's own
// records.
class ReadScope {
public:
    ReadScope() = default;
    ReadScope(const ReadScope &) = delete;
    ReadScope &operator=(const ReadScope &) = delete;
    ~ReadScope() {
        ReleaseReadState(read);
        if (read.source.file) rt::CloseQuietly(read.source.file);
        qdxf_InfoFree(drawing);
    }
    // Hands the drawing over; the scope no longer releases it.
    Qdxf_Info *Release() {
        Qdxf_Info *result = drawing;
        drawing = nullptr;
        return result;
    }

    Qdxf_ReadState read{};
    Qdxf_Info *drawing = nullptr;
    rt::File file{};
    // Qdxf_ReadOptions.data: the bytes read instead of a file.
    const void *bytes = nullptr;
    std::size_t byteCount = 0;
    // Qdxf_ReadOptions.repairs: where the list of repairs goes.
    Qdxf_Repair **repairs = nullptr;
};

enum class FormFailure { None, File, Probe };

// Tells the form of the file from its first bytes and leaves it at its first
// group. A file too short to hold the sentinel cannot be binary: it is read
// as ASCII from its first byte (the smallest drawing, "0" and "EOF", has
// six). In binary, two zero bytes after the sentinel are the first code 0
// written in two bytes; otherwise a one-byte code 0 is followed by "SECTION".
FormFailure DetectForm(Qdxf_ReadState &read, rt::Report **inner) {
    GroupSource &state = read.source;
    unsigned char head[kBinarySentinelSize];
    rt::ReadSeq(state.file, head, kBinarySentinelSize, inner);
    bool tooShort = *inner != nullptr;
    if (tooShort && read.fileSize >= static_cast<rt::Position>(kBinarySentinelSize)) {
        return FormFailure::File;
    }
    rt::Discard(*inner);
    *inner = nullptr;
    state.binary = !tooShort && std::memcmp(head, kBinarySentinel, kBinarySentinelSize) == 0;
    if (!state.binary) {
        rt::Rewind(state.file, inner);
        return *inner ? FormFailure::File : FormFailure::None;
    }
    unsigned char probe[2];
    rt::ReadSeq(state.file, probe, 2, inner);
    if (*inner) return FormFailure::Probe;
    state.twoByteCodes = probe[0] == 0 && probe[1] == 0;
    rt::Seek(state.file, kBinarySentinelSize, inner);
    return *inner ? FormFailure::File : FormFailure::None;
}

// What the meter counts to: bytes in binary, lines in ASCII (counted in a
// pass of their own, after which the file is back at its start); a
// stand-in where the file holds none or its size is unknown. False when the
// file fails.
bool CountProgressTotal(Qdxf_ReadState &read, rt::Report **inner) {
    GroupSource &state = read.source;
    if (state.binary) {
        state.progressTotal = read.fileSize;
        if (state.progressTotal == 0) state.progressTotal = 50000;
        return true;
    }
    state.progressTotal = CountLines(state.file, read.fileSize, inner);
    if (!*inner) rt::Rewind(state.file, inner);
    if (*inner) return false;
    if (state.progressTotal == 0) state.progressTotal = 5000;
    return true;
}

// The whole read behind the three reading exports, with the options and the
// entity callback already in `read`. Its reports are those of qdxf_Read: the
// three exports give one chain for one file.
Qdxf_Info *ReadDrawing(ReadScope &scope, const char *fileName, qmet_Meter *meter,
                       rt::ReportOut &out) {
    static constexpr const char *kFunction = "qdxf_Read";
    rt::Report *inner = nullptr;
    Qdxf_ReadState &read = scope.read;
    GroupSource &state = read.source;
    scope.drawing = rt::New<Qdxf_Info>();
    if (!scope.drawing) {
        VX_FAIL_AS(out, kFunction, nullptr, "Memory allocation error");
        return nullptr;
    }
    rt::File *file = nullptr;
    if (scope.bytes) {
        if (!fileName) fileName = "(memory)";
        file = rt::OpenBytes(scope.file, scope.bytes, scope.byteCount);
        read.fileSize = static_cast<long long>(scope.byteCount);
    } else {
        file = rt::Open(scope.file, fileName, "r", &inner);
        if (!file || inner) {
            if (file) rt::CloseQuietly(file);
            // A null name opens nothing; it is shown as the writer shows it.
            VX_FAIL_AS(out, kFunction, inner, "Error opening file %s",
                       fileName ? fileName : "(null)");
            return nullptr;
        }
        read.fileSize = rt::FileSize(fileName);
    }
    state.file = file;
    state.fileName = fileName;
    state.meter = meter;
    state.lineNumber = 1;

    switch (DetectForm(read, &inner)) {
        case FormFailure::None:
            break;
        case FormFailure::File:
            VX_FAIL_AS(out, kFunction, inner, "Error reading file %s", fileName);
            return nullptr;
        case FormFailure::Probe:
            VX_FAIL_AS(out, kFunction, inner, "Error reading binary group code");
            return nullptr;
    }
    if (meter && !CountProgressTotal(read, &inner)) {
        VX_FAIL_AS(out, kFunction, inner, "Error reading file %s", fileName);
        return nullptr;
    }
    if ((read.flags & QDXF_READ_RECOVER) && !recover::BeginRead(read, fileName, &inner)) {
        VX_FAIL_AS(out, kFunction, inner, "Error reading file %s", fileName);
        return nullptr;
    }

    OpenGroupSource(state);
    while (!ReadSection(read, &inner, scope.drawing)) {
        if (inner) {
            VX_FAIL_AS(out, kFunction, inner, "Error reading section");
            return nullptr;
        }
    }
    if (state.recovery && !read.stopped) recover::EndRead(read);

    if (!translate::FinishRead(read, scope.drawing) ||
        (state.recovery && !recover::FinishRead(read, scope.drawing)) ||
        !translate::FinishDeferred(read, scope.drawing)) {
        VX_FAIL_AS(out, kFunction, nullptr, "Memory allocation error");
        return nullptr;
    }
    rt::Close(file, &inner);
    state.file = nullptr;
    rt::Discard(inner);
    scope.drawing->colorTable = qdxf_ColorTableCreate(&inner);
    if (!scope.drawing->colorTable) {
        VX_FAIL_AS(out, kFunction, inner, "Error creating colour table");
        return nullptr;
    }
    if (scope.repairs) *scope.repairs = read.recovery.Take();
    return scope.Release();
}

// Takes the host's options into the read state; false, with a report on
// behalf of the export, for options the library cannot honour. Members past
// the options' size are not read: a host built against an older record
// leaves them at their defaults.
bool TakeOptions(ReadScope &scope, const Qdxf_ReadOptions *options, rt::ReportOut &out,
                 const char *function) {
    Qdxf_ReadState &read = scope.read;
    if (!options) return true;
    constexpr unsigned int kFirstTwo = offsetof(Qdxf_ReadOptions, flags) + sizeof options->flags;
    if (options->size < kFirstTwo) {
        VX_FAIL_AS(out, function, nullptr, "Read options of %u bytes: at least %u expected",
                   options->size, kFirstTwo);
        return false;
    }
    constexpr unsigned int kKnown = QDXF_READ_ALL | QDXF_READ_RECOVER;
    if (options->flags & ~kKnown) {
        VX_FAIL_AS(out, function, nullptr, "Unknown read option flags 0x%x",
                   options->flags & ~kKnown);
        return false;
    }
    read.flags = options->flags;
    if (options->size >= offsetof(Qdxf_ReadOptions, tolerance) + sizeof options->tolerance &&
        options->tolerance > 0) {
        read.tolerance = options->tolerance;
    }
    if (options->size >= offsetof(Qdxf_ReadOptions, dataSize) + sizeof options->dataSize &&
        options->data) {
        scope.bytes = options->data;
        scope.byteCount = options->dataSize;
    }
    if (options->size >= offsetof(Qdxf_ReadOptions, repairs) + sizeof options->repairs &&
        options->repairs) {
        scope.repairs = options->repairs;
        *scope.repairs = nullptr;  // also when the read fails
    }
    return true;
}

}  // namespace

extern "C" VEXLITH_API Qdxf_Info *qdxf_Read(const char *fileName, qmet_Meter *meter,
                                            qerr_Report **report) {
    rt::ReportOut out(report);
    ReadScope scope;
    return ReadDrawing(scope, fileName, meter, out);
}

extern "C" VEXLITH_API Qdxf_Info *qdxf_ReadWithOptions(const char *fileName, qmet_Meter *meter,
                                                       const Qdxf_ReadOptions *options,
                                                       qerr_Report **report) {
    rt::ReportOut out(report);
    ReadScope scope;
    if (!TakeOptions(scope, options, out, __func__)) return nullptr;
    return ReadDrawing(scope, fileName, meter, out);
}

extern "C" VEXLITH_API Qdxf_Info *qdxf_ReadEach(const char *fileName, qmet_Meter *meter,
                                                const Qdxf_ReadOptions *options,
                                                Qdxf_EntityCallback callback, void *context,
                                                qerr_Report **report) {
    rt::ReportOut out(report);
    if (!callback) {
        VX_FAIL(out, nullptr, "Null entity callback");
        return nullptr;
    }
    ReadScope scope;
    if (!TakeOptions(scope, options, out, __func__)) return nullptr;
    scope.read.entityCallback = callback;
    scope.read.callbackContext = context;
    return ReadDrawing(scope, fileName, meter, out);
}
