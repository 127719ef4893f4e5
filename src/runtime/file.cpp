// SPDX-License-Identifier: MIT
// The files of a read or write: the toolkit's file service, or bytes in
// memory. Bytes read from memory are one view from the first byte to the
// last, so the group reader never asks for more; bytes written to memory go
// into one heap block that doubles when it is full, so that a write of any
// size copies each byte a bounded number of times.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "runtime/toolkit.h"

namespace vexlith::rt {
namespace {

void Fail(Report **report, const char *function, const char *message) {
    if (report) *report = qerr_CreateErrorReport(function, __LINE__, 1, nullptr, "%s", message);
}

}  // namespace

File *Open(File &storage, const char *name, const char *mode, Report **report) {
    storage = {};
    storage.file = qfio_Open(name, mode, report);
    storage.writing = mode[0] == 'w';
    return storage.file ? &storage : nullptr;
}

File *OpenBytes(File &storage, const void *bytes, std::size_t size) {
    storage = {};
    storage.bytes = static_cast<const char *>(bytes);
    storage.size = size;
    return &storage;
}

File *OpenBlock(File &storage) {
    storage = {};
    storage.writing = true;
    return &storage;
}

void Close(File *file, Report **report) {
    if (report) *report = nullptr;
    if (file->file) qfio_Close(file->file, report);
    file->file = nullptr;
}

void CloseQuietly(File *file) {
    if (file->file) {
        Report *report = nullptr;
        qfio_Close(file->file, &report);
        Discard(report);
    }
    Free(file->block);
    *file = {};
}

char *TakeBlock(File &file, std::size_t *size) {
    // Nothing written still hands out a block of its own.
    if (!file.block) file.block = static_cast<char *>(qmsc_HeapMalloc(0));
    char *block = file.block;
    *size = block ? file.size : 0;
    file = {};
    return block;
}

void ReadSeq(File *file, void *buffer, std::size_t count, Report **report) {
    if (file->file) return qfio_ReadSeq(file->file, buffer, count, report);
    if (report) *report = nullptr;
    if (file->size - file->cursor < count) {
        file->cursor = file->size;
        return Fail(report, __func__, "Unexpected end of file");
    }
    std::memcpy(buffer, file->bytes + file->cursor, count);
    file->cursor += count;
}

const char *ReadView(File *file, std::size_t advance, std::size_t need, std::size_t *available,
                     Report **report) {
    if (file->file) return qfio_ReadView(file->file, advance, need, available, report);
    if (report) *report = nullptr;
    file->cursor += std::min(advance, file->size - file->cursor);
    *available = file->size - file->cursor;
    // An empty view of no bytes still points somewhere: null is a failure.
    return file->bytes ? file->bytes + file->cursor : "";
}

void WriteSeq(File *file, const void *buffer, std::size_t count, Report **report) {
    if (file->file) return qfio_WriteSeq(file->file, buffer, count, report);
    if (report) *report = nullptr;
    if (count > file->capacity - file->size) {
        std::size_t capacity = std::max<std::size_t>(file->capacity, 4096);
        while (capacity - file->size < count) {
            if (capacity > SIZE_MAX / 2) return Fail(report, __func__, "Memory allocation error");
            capacity *= 2;
        }
        auto *block = static_cast<char *>(qmsc_HeapMalloc(capacity));
        if (!block) return Fail(report, __func__, "Memory allocation error");
        if (file->size) std::memcpy(block, file->block, file->size);
        Free(file->block);
        file->block = block;
        file->bytes = block;
        file->capacity = capacity;
    }
    std::memcpy(file->block + file->size, buffer, count);
    file->size += count;
}

Position Tell(File *file) {
    if (file->file) return qfio_Tell(file->file, nullptr);
    return static_cast<Position>(file->writing ? file->size : file->cursor);
}

bool SeekTo(File *file, Position position) {
    if (file->file) return qfio_CompatibleFseek(file->file, position, 0) == 0;
    if (file->writing || position < 0 || static_cast<std::size_t>(position) > file->size)
        return false;
    file->cursor = static_cast<std::size_t>(position);
    return true;
}

void Seek(File *file, Position position, Report **report) {
    if (file->file) return qfio_Seek(file->file, position, 0, report);
    if (report) *report = nullptr;
    if (!SeekTo(file, position)) Fail(report, __func__, "Invalid seek");
}

}  // namespace vexlith::rt
