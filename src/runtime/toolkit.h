// SPDX-License-Identifier: MIT
// The library's one way to the toolkit runtime (pellund, corvane). Every
// other subsystem reaches files, heap, texts, lists, reports, messages and
// the progress meter through these wrappers, so the toolkit's calling
// conventions live in this one place.
#ifndef VEXLITH_RUNTIME_TOOLKIT_H
#define VEXLITH_RUNTIME_TOOLKIT_H

#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>

#include "corvane.h"
#include "pellund.h"

namespace vexlith::rt {

using Position = qfio_Position;
using Report = qerr_Report;
using Meter = qmet_Meter;

// ---------------------------------------------------------------------------
// Reports
// ---------------------------------------------------------------------------

// The report out-parameter of a fallible operation. It is set to null on
// entry; when the caller passed null, a local report takes its place and is
// released when the operation returns, so failures inside are still seen.
class ReportOut {
public:
    explicit ReportOut(Report **out) : out_(out ? out : &local_) { *out_ = nullptr; }
    ~ReportOut() {
        if (local_) qerr_ReportFree(local_);
    }
    ReportOut(const ReportOut &) = delete;
    ReportOut &operator=(const ReportOut &) = delete;

    void Set(Report *report) { *out_ = report; }
    bool Failed() const { return *out_ != nullptr; }

private:
    Report **out_;
    Report *local_ = nullptr;
};

// Fails the calling operation: a report named after the function it is
// written in, class 2, wrapping `inner` (may be null), printf-formatted. Not
// for use inside a lambda, whose __func__ is "operator()".
#define VX_FAIL(out, inner, ...) \
    (out).Set(::qerr_CreateErrorReport(__func__, __LINE__, 2, (inner), __VA_ARGS__))
// The same, named after `function`: for a helper that reports on behalf of
// the operation that calls it.
#define VX_FAIL_AS(out, function, inner, ...) \
    (out).Set(::qerr_CreateErrorReport((function), __LINE__, 2, (inner), __VA_ARGS__))

// Releases a report the library has looked at and decided to drop.
inline void Discard(Report *report) {
    qerr_ReportFree(report);
}

// ---------------------------------------------------------------------------
// Heap and texts
// ---------------------------------------------------------------------------

// A zero-filled record of type T, or null when the heap is exhausted.
template <typename T>
T *New() {
    return static_cast<T *>(qmsc_HeapMalloc(sizeof(T)));
}

// A zero-filled array of `count` T, or null when the heap is exhausted or the
// size cannot be expressed. A count of 0 gives a valid block.
template <typename T>
T *NewArray(std::size_t count) {
    if (count > std::numeric_limits<std::size_t>::max() / sizeof(T)) return nullptr;
    return static_cast<T *>(qmsc_HeapMalloc(count * sizeof(T)));
}

// A null block is not handed to the toolkit: most members released are null.
inline void Free(void *block) {
    if (block) qmsc_HeapFree(block);
}

// A block or record owned until it is handed on with release(): released
// with `release` on every path that does not hand it on.
template <auto release>
struct ReleaseWith {
    template <typename T>
    void operator()(T *block) const {
        release(block);
    }
};
template <typename T, auto release = Free>
using Owned = std::unique_ptr<T, ReleaseWith<release>>;

// A heap copy of `text`, or null when the heap is exhausted.
inline char *Duplicate(const char *text) {
    return qstr_Duplicate(text);
}

// Two non-null texts are equal.
inline bool TextEqual(const char *a, const char *b) {
    return qtxt_Text_strcmp(a, b) == 0;
}

// Names match when they are the same pointer (both null included) or equal texts.
inline bool SameName(const char *a, const char *b) {
    return a == b || (a && b && TextEqual(a, b));
}

// ---------------------------------------------------------------------------
// Lists
// ---------------------------------------------------------------------------

// Appends `record` to `list` and returns the list (the record for a null list).
template <typename T>
T *AddToList(T *list, T *record) {
    return static_cast<T *>(qllm_AddToList(list, QLLM_DOUBLY_LINKED, record));
}

// Appends `record` after `last`, which must be the last record of its list.
inline void AppendAfter(void *last, void *record) {
    qllm_Add(last, QLLM_DOUBLY_LINKED, record);
}

inline int Count(const void *list) {
    return qllm_Count(list);
}

// A list built in file order without walking it: the head that the drawing
// stores and the last record, after which the next one is linked. The last
// record is found once, or kept by the caller in `*last` so that several
// appenders in turn (one per section of a file) never walk the list again.
template <typename T>
class ListAppender {
public:
    explicit ListAppender(T **head) : head_(head), last_(&ownLast_), ownLast_(LastOf(*head)) {}
    ListAppender(T **head, T **last) : head_(head), last_(last) {
        if (!*last_) *last_ = LastOf(*head);
    }
    ListAppender(const ListAppender &) = delete;
    ListAppender &operator=(const ListAppender &) = delete;

    void Append(T *record) {
        if (!record) return;
        if (*last_) {
            AppendAfter(*last_, record);
        } else {
            *head_ = AddToList<T>(nullptr, record);
        }
        *last_ = record;
    }

private:
    static T *LastOf(T *record) {
        if (record) {
            while (record->next)
                record = record->next;
        }
        return record;
    }

    T **head_;
    T **last_;
    T *ownLast_ = nullptr;
};

// ---------------------------------------------------------------------------
// Files and output
// ---------------------------------------------------------------------------

// Where a read takes its bytes and a write puts them: a file of the
// toolkit's file service, or bytes in memory (the caller's bytes read, or a
// heap block written). It lives in the state of its read or write; the
// operations below take either and give the same reports, so that a drawing
// in memory reads and fails as the same bytes in a file do.
struct File {
    qfio_File *file;       // the toolkit's file; null for bytes in memory
    const char *bytes;     // memory: the bytes read, or `block`
    char *block;           // memory written: the heap block, owned until TakeBlock
    std::size_t size;      // memory: the bytes there are
    std::size_t capacity;  // memory written: the block's size
    std::size_t cursor;    // memory read: the next byte
    bool writing;
};

// Opens a file of the toolkit into `storage`: `storage`, or null with the
// toolkit's report.
File *Open(File &storage, const char *name, const char *mode, Report **report);
// `size` bytes of the caller's to read; they stay valid until the read ends.
File *OpenBytes(File &storage, const void *bytes, std::size_t size);
// An empty heap block to write into.
File *OpenBlock(File &storage);
// Ends a file, reporting a failed flush. The block of a memory write stays
// for TakeBlock.
void Close(File *file, Report **report);
// Ends a file whose work failed: a memory write's block is released.
void CloseQuietly(File *file);
// The block a memory write filled, handed to the caller (a valid block when
// nothing was written), with its size; null when the heap gives out.
char *TakeBlock(File &file, std::size_t *size);

void ReadSeq(File *file, void *buffer, std::size_t count, Report **report);
// The bytes after the position moved on by `advance`, straight from the file
// service's buffer: at least `need` unless the file ends sooner. Valid until
// the next call on the file; null with a report on a read error.
const char *ReadView(File *file, std::size_t advance, std::size_t need, std::size_t *available,
                     Report **report);
void WriteSeq(File *file, const void *buffer, std::size_t count, Report **report);
// True for bytes in memory: a failure to write there is the heap's, and says so.
inline bool InMemory(const File *file) {
    return file->file == nullptr;
}

// The longest line a group reader takes at once, newline and NUL included.
constexpr int kLineSize = 500;

Position Tell(File *file);
bool SeekTo(File *file, Position position);
void Seek(File *file, Position position, Report **report);
inline void Rewind(File *file, Report **report) {
    Seek(file, 0, report);
}
inline Position FileSize(const char *name) {
    Report *report = nullptr;
    Position size = qfio_FileSizeGet(name, &report);
    Discard(report);
    return size;
}

// printf-style output to the toolkit's standard output.
#define VX_PRINT(...) ::qfio_Printf(__VA_ARGS__)

// ---------------------------------------------------------------------------
// Messages and progress
// ---------------------------------------------------------------------------

#define VX_LOG_MESSAGE(report, ...) ::qsmg_LogMessage(0, (report), __VA_ARGS__)

// Shows progress on the host's meter; the meter's own report is not needed
// (a null out-parameter asks for none).
inline void ShowProgress(const Meter *meter, double percent) {
    qmet_MeterInfoPrint(meter, percent, nullptr);
}

}  // namespace vexlith::rt

#endif
