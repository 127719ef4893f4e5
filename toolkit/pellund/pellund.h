// SPDX-License-Identifier: MIT
/*
 * pellund: the toolkit runtime that vexlith relies on for files, heap, texts,
 * lists, error reports and progress. This library stands in for the host
 * toolkit's own runtime and offers the same calls.
 *
 * Ownership in short: a file handle belongs to whoever opened it; heap blocks
 * from qmsc_HeapMalloc or qstr_Duplicate are released with qmsc_HeapFree; an
 * error report handed out to a caller belongs to that caller, who releases the
 * whole chain with qerr_ReportFree.
 */
#ifndef PELLUND_H
#define PELLUND_H

#include <stddef.h>

#if defined(_WIN32)
#if defined(PELLUND_BUILDING)
#define PELLUND_API __declspec(dllexport)
#else
#define PELLUND_API __declspec(dllimport)
#endif
#else
#define PELLUND_API __attribute__((visibility("default")))
#endif

/* The toolkit formats as C99 does on every platform (%zu, %lld, two-digit
 * exponents), so MinGW checks against that, not against the Microsoft CRT. */
#if defined(__MINGW32__)
#define PELLUND_PRINTF(format_index, first_arg) \
    __attribute__((format(gnu_printf, format_index, first_arg)))
#elif defined(__GNUC__)
#define PELLUND_PRINTF(format_index, first_arg) \
    __attribute__((format(printf, format_index, first_arg)))
#else
#define PELLUND_PRINTF(format_index, first_arg)
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---------------------------------------------------------------------------
 * Error reports
 *
 * A report is one level of a failure: the function that failed, the source
 * line, a class and a formatted message, wrapping the report of the call that
 * failed beneath it (the inner report). A chain is read from the outermost
 * report inwards with qerr_ReportInner.
 * ------------------------------------------------------------------------- */

typedef struct qerr_Report qerr_Report; /* opaque */

/*
 * Creates a report. `inner` (may be null) is taken over: it is released with
 * the new report. The message is printf-formatted from `format` and the
 * arguments that follow; callers traditionally end the argument list with an
 * extra 0, which is ignored. Never returns null: when the heap is exhausted
 * a shared static report "Out of memory" comes back (and `inner` is released).
 */
PELLUND_API qerr_Report *qerr_CreateErrorReport(const char *function, int line, int errorClass,
                                                qerr_Report *inner, const char *format, ...)
    PELLUND_PRINTF(5, 6);

/* Accessors; each accepts null and then answers null, 0 or "". */
PELLUND_API const char *qerr_ReportMessage(const qerr_Report *report);
PELLUND_API const char *qerr_ReportFunction(const qerr_Report *report);
PELLUND_API int qerr_ReportLine(const qerr_Report *report);
PELLUND_API int qerr_ReportClass(const qerr_Report *report);
PELLUND_API const qerr_Report *qerr_ReportInner(const qerr_Report *report);

/* Releases a report and every report it wraps. Null is accepted. */
PELLUND_API void qerr_ReportFree(qerr_Report *report);

/* ---------------------------------------------------------------------------
 * Heap and texts
 * ------------------------------------------------------------------------- */

/* A zero-filled block, or null when the heap is exhausted. A size of 0 gives a
 * valid block of its own. */
PELLUND_API void *qmsc_HeapMalloc(size_t size);
/* Releases a block from qmsc_HeapMalloc or qstr_Duplicate; null is ignored. */
PELLUND_API void qmsc_HeapFree(void *block);
/* A heap copy of a NUL-terminated text, or null when the heap is exhausted. */
PELLUND_API char *qstr_Duplicate(const char *text);
/* 0 when the two texts are equal; neither may be null. */
PELLUND_API int qtxt_Text_strcmp(const char *a, const char *b);

/* ---------------------------------------------------------------------------
 * Lists
 *
 * A list is a pointer to its first record, null when empty. Every record
 * begins with two links, next and then previous, which these calls maintain.
 * `listType` is 3 for such doubly linked records, the only kind there is.
 * ------------------------------------------------------------------------- */

#define QLLM_DOUBLY_LINKED 3

/* Links `record` at the end of `list` and returns the list (the record itself
 * for a null list). A null record leaves the list as it was. */
PELLUND_API void *qllm_AddToList(void *list, int listType, void *record);
/* Links `record` at the end of a non-empty list. Passing the last record of a
 * list makes this a constant-time append. */
PELLUND_API void qllm_Add(void *list, int listType, void *record);
/* The number of records; 0 for null. */
PELLUND_API int qllm_Count(const void *list);

/* ---------------------------------------------------------------------------
 * Files and formatted output
 *
 * A handle opened with "r" can be read both as text lines and as raw bytes;
 * nothing is translated (no newline or end-of-file character handling), and
 * positions are exact byte offsets from the start of the file. A handle
 * opened with "w" creates or truncates the file.
 * ------------------------------------------------------------------------- */

typedef struct qfio_File qfio_File; /* opaque */
typedef long long qfio_Position;    /* a byte offset from the start of the file */

/* Opens `name` for reading ("r") or writing ("w"). On failure returns null
 * and sets *report (report may be null). Directories cannot be opened. */
PELLUND_API qfio_File *qfio_Open(const char *name, const char *mode, qerr_Report **report);
/* Closes the handle, writing out anything still buffered; a failed write-out
 * sets *report. The handle is released in every case. Null is accepted. */
PELLUND_API void qfio_Close(qfio_File *file, qerr_Report **report);
/* Reads exactly `count` bytes; a short read or an error sets *report. */
PELLUND_API void qfio_ReadSeq(qfio_File *file, void *buffer, size_t count, qerr_Report **report);
/* Moves the reading position on by `advance` bytes (of the last view), then
 * returns the bytes from there straight from the handle's buffer, refilled
 * as needed: at least `need` of them (at most 256 KiB) unless the file ends
 * sooner, then all it has left. *available gets their count. The bytes stay
 * valid until the next call on the handle. Null with a report on a read
 * error. */
PELLUND_API const char *qfio_ReadView(qfio_File *file, size_t advance, size_t need,
                                      size_t *available, qerr_Report **report);
/* Writes `count` bytes; an error sets *report. */
PELLUND_API void qfio_WriteSeq(qfio_File *file, const void *buffer, size_t count,
                               qerr_Report **report);
/* Reads one line, newline included, of at most size - 1 bytes, and ends it with
 * NUL. Returns `buffer`, or null at end of file or on error (then *report is
 * set when report is not null). A longer line is returned in pieces. */
PELLUND_API char *qfio_Fgets(char *buffer, int size, qfio_File *file, qerr_Report **report);
/* Formatted write; non-zero on success, zero on failure. */
PELLUND_API int qfio_Fprintf(qfio_File *file, const char *format, ...) PELLUND_PRINTF(2, 3);
/* Formatted write to the print sink (standard output unless a sink is set). */
PELLUND_API void qfio_Printf(const char *format, ...) PELLUND_PRINTF(1, 2);
/* Where qfio_Printf goes from now on, for every thread; null restores standard output. */
PELLUND_API void qfio_SetPrintSink(void (*sink)(void *context, const char *text, size_t length),
                                   void *context);
/* The current byte position; -1 with *report set for a null handle. */
PELLUND_API qfio_Position qfio_Tell(qfio_File *file, qerr_Report **report);
/* Returns to a position taken with qfio_Tell. `origin` must be 0 (from the
 * start). Returns 0 on success, -1 on failure. */
PELLUND_API int qfio_CompatibleFseek(qfio_File *file, qfio_Position position, int origin);
/* Moves to `offset` from the start (origin 0), the current position (1) or the
 * end (2); a failure sets *report. */
PELLUND_API void qfio_Seek(qfio_File *file, qfio_Position offset, int origin, qerr_Report **report);
/* The size in bytes of the named file, or 0 when it has none (not a regular
 * file) or cannot be examined; the latter also sets *report. */
PELLUND_API qfio_Position qfio_FileSizeGet(const char *name, qerr_Report **report);

/* ---------------------------------------------------------------------------
 * Progress
 * ------------------------------------------------------------------------- */

/* The host's progress meter: `show` receives the percentage done. */
typedef struct qmet_Meter {
    void (*show)(void *context, double percent);
    void *context;
} qmet_Meter;

/* Shows `percent` on the meter. Never fails for a valid meter; a null meter
 * sets *report. */
PELLUND_API void qmet_MeterInfoPrint(const qmet_Meter *meter, double percent, qerr_Report **report);

#ifdef __cplusplus
}
#endif

#endif /* PELLUND_H */
