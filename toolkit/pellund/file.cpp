// SPDX-License-Identifier: MIT
// Buffered files over plain descriptors.
//
// Reading keeps one large buffer per handle. Reads of a few bytes, lines,
// qfio_Tell and seeks back into the buffer are memory operations; the system
// is asked for data only when the buffer runs dry. When the buffer is refilled
// the last kHistory bytes before the position are kept, so a reader that
// pushes back the group it has just read never causes a system call either.
//
// Writing collects bytes in the same kind of buffer. The first write of a
// handle goes straight to the system, so that a target that takes no data at
// all (a full disk, /dev/full) fails at once, at the group that was written,
// instead of at qfio_Close.
#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <iterator>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>

#if defined(_WIN32)
// Windows: long is 32 bits, so offsets and sizes go through the 64-bit calls;
// every open is binary (no CR LF or ^Z translation) and not inherited by
// child processes; names are UTF-8, like every other text of the library.
#include <io.h>
#include <windows.h>
#define read _read
#define write _write
#define close _close
#define lseek _lseeki64
#define fstat _fstat64
#define stat _stat64
using ssize_t = long long;
#else
#include <unistd.h>
#endif

#include "internal.h"

namespace {

#if defined(_WIN32)
constexpr int kOpenFlags = _O_BINARY | _O_NOINHERIT;
constexpr int kCreateMode = _S_IREAD | _S_IWRITE;

// Calls `use` with the name in UTF-16; names of usual length need no heap. A
// name that is not valid UTF-8 is taken in the ANSI code page, as older hosts
// pass it.
template <typename Use>
int WithWideName(const char *name, Use use) {
    UINT codePage = CP_UTF8;
    DWORD flags = MB_ERR_INVALID_CHARS;
    int units = MultiByteToWideChar(codePage, flags, name, -1, nullptr, 0);
    if (units <= 0) {
        codePage = CP_ACP;
        flags = 0;
        units = MultiByteToWideChar(codePage, flags, name, -1, nullptr, 0);
    }
    if (units <= 0) {
        errno = EINVAL;
        return -1;
    }
    wchar_t stack[520];
    wchar_t *wide = stack;
    if (static_cast<std::size_t>(units) > std::size(stack)) {
        wide = static_cast<wchar_t *>(
            pellund::Allocate(static_cast<std::size_t>(units) * sizeof(wchar_t), false));
        if (!wide) {
            errno = ENOMEM;
            return -1;
        }
    }
    MultiByteToWideChar(codePage, flags, name, -1, wide, units);
    int result = use(wide);
    int error = errno;
    if (wide != stack) pellund::Release(wide);
    errno = error;
    return result;
}

int OpenName(const char *name, int flags) {
    return WithWideName(
        name, [&](const wchar_t *wide) { return _wopen(wide, flags | kOpenFlags, kCreateMode); });
}

// A device such as NUL has no entry to stat; the status of a descriptor
// opened on it tells what it is.
int StatName(const char *name, struct stat *status) {
    return WithWideName(name, [&](const wchar_t *wide) {
        if (_wstat64(wide, status) == 0) return 0;
        int error = errno;
        int fd = _wopen(wide, _O_RDONLY | kOpenFlags);
        int result = fd >= 0 ? _fstat64(fd, status) : -1;
        if (fd >= 0) _close(fd);
        if (result != 0) errno = error;
        return result;
    });
}
#else
int OpenName(const char *name, int flags) {
    return open(name, flags | O_CLOEXEC, 0666);
}

int StatName(const char *name, struct stat *status) {
    return stat(name, status);
}
#endif

constexpr std::size_t kCapacity = std::size_t{1} << 20;
constexpr std::size_t kHistory = std::size_t{64} << 10;

}  // namespace

struct qfio_File {
    int fd;
    bool writing;
    bool atEnd;      // reading: the descriptor has delivered its last byte
    bool failed;     // writing: a write failed, so every later one fails too
    bool wroteOnce;  // writing: the first write has gone through unbuffered
    char *buffer;
    std::size_t length;         // reading: bytes held; writing: bytes waiting
    std::size_t cursor;         // reading: index of the next byte
    qfio_Position bufferStart;  // file offset of buffer[0]
};

namespace {

// Not an errno value: the test build's injected failure of a read.
constexpr int kInjectedFailure = -1;

qerr_Report *ErrnoReport(const char *function, int error) {
    if (error == kInjectedFailure) return pellund::SystemReport(function, "Injected read failure");
    return pellund::SystemReport(function, "%s", std::strerror(error));
}

void SetReport(qerr_Report **report, qerr_Report *value) {
    if (report) {
        *report = value;
    } else {
        qerr_ReportFree(value);
    }
}

// Appends more data behind what the buffer holds, keeping kHistory bytes
// before the cursor for push back. Returns false on a read error.
bool Refill(qfio_File *file, int *error) {
    if (file->atEnd) return true;
    std::size_t keepFrom = file->cursor > kHistory ? file->cursor - kHistory : 0;
    if (keepFrom > 0) {
        std::memmove(file->buffer, file->buffer + keepFrom, file->length - keepFrom);
        file->bufferStart += static_cast<qfio_Position>(keepFrom);
        file->length -= keepFrom;
        file->cursor -= keepFrom;
    }
    std::size_t room = kCapacity - file->length;
    // The test build can make the file unreadable from a chosen byte on.
    long long failAt = pellund::FailReadAtByte();
    if (failAt >= 0) {
        long long end = file->bufferStart + static_cast<qfio_Position>(file->length);
        if (end >= failAt) {
            *error = kInjectedFailure;
            return false;
        }
        room = std::min(room, static_cast<std::size_t>(failAt - end));
    }
    while (file->length < kCapacity) {
        ssize_t got = read(file->fd, file->buffer + file->length, static_cast<unsigned>(room));
        if (got < 0) {
            if (errno == EINTR) continue;
            *error = errno;
            return false;
        }
        if (got == 0) file->atEnd = true;
        file->length += static_cast<std::size_t>(got);
        break;
    }
    return true;
}

bool WriteAll(qfio_File *file, const char *data, std::size_t count, int *error) {
    while (count > 0) {
        ssize_t put = write(file->fd, data, static_cast<unsigned>(std::min(count, kCapacity)));
        if (put < 0) {
            if (errno == EINTR) continue;
            *error = errno;
            file->failed = true;
            return false;
        }
        data += put;
        count -= static_cast<std::size_t>(put);
    }
    return true;
}

bool Flush(qfio_File *file, int *error) {
    if (file->length == 0) return true;
    std::size_t count = file->length;
    file->length = 0;
    file->bufferStart += static_cast<qfio_Position>(count);
    return WriteAll(file, file->buffer, count, error);
}

// The write behind qfio_WriteSeq and qfio_Fprintf; counted once by them.
qerr_Report *WriteBytes(qfio_File *file, const char *data, std::size_t count) {
    if (!file || !file->writing)
        return pellund::SystemReport("qfio_WriteSeq", "Not open for writing");
    if (file->failed) return pellund::SystemReport("qfio_WriteSeq", "An earlier write failed");
    int error = 0;
    if (!file->wroteOnce) {
        file->wroteOnce = true;
        if (!WriteAll(file, data, count, &error)) return ErrnoReport("qfio_WriteSeq", error);
        file->bufferStart += static_cast<qfio_Position>(count);
        return nullptr;
    }
    if (count > kCapacity - file->length && !Flush(file, &error)) {
        return ErrnoReport("qfio_WriteSeq", error);
    }
    if (count >= kCapacity) {
        if (!WriteAll(file, data, count, &error)) return ErrnoReport("qfio_WriteSeq", error);
        file->bufferStart += static_cast<qfio_Position>(count);
        return nullptr;
    }
    std::memcpy(file->buffer + file->length, data, count);
    file->length += count;
    return nullptr;
}

// Moves a reading handle to `position`: inside the buffer by moving the
// cursor, elsewhere by discarding the buffer.
bool SeekRead(qfio_File *file, qfio_Position position, int *error) {
    if (position >= file->bufferStart &&
        position <= file->bufferStart + static_cast<qfio_Position>(file->length)) {
        file->cursor = static_cast<std::size_t>(position - file->bufferStart);
        return true;
    }
    if (position < 0 || lseek(file->fd, position, SEEK_SET) < 0) {
        *error = position < 0 ? EINVAL : errno;
        return false;
    }
    file->bufferStart = position;
    file->length = 0;
    file->cursor = 0;
    file->atEnd = false;
    return true;
}

bool SeekWrite(qfio_File *file, qfio_Position position, int *error) {
    if (!Flush(file, error)) return false;
    if (position < 0 || lseek(file->fd, position, SEEK_SET) < 0) {
        *error = position < 0 ? EINVAL : errno;
        return false;
    }
    file->bufferStart = position;
    return true;
}

}  // namespace

extern "C" {

qfio_File *qfio_Open(const char *name, const char *mode, qerr_Report **report) {
    if (report) *report = nullptr;
    if (!name || !mode || (mode[0] != 'r' && mode[0] != 'w')) {
        SetReport(report, pellund::SystemReport("qfio_Open", "Invalid file name or mode"));
        return nullptr;
    }
    bool writing = mode[0] == 'w';
    int flags = writing ? O_WRONLY | O_CREAT | O_TRUNC : O_RDONLY;
    int fd = OpenName(name, flags);
    if (fd < 0) {
        // Windows refuses to open a directory with "Permission denied".
        int error = errno;
        struct stat status;
        if (error == EACCES && StatName(name, &status) == 0 && S_ISDIR(status.st_mode))
            error = EISDIR;
        SetReport(report, ErrnoReport("qfio_Open", error));
        return nullptr;
    }
    struct stat status;
    if (!writing && fstat(fd, &status) == 0 && S_ISDIR(status.st_mode)) {
        close(fd);
        SetReport(report, ErrnoReport("qfio_Open", EISDIR));
        return nullptr;
    }
    auto *file = static_cast<qfio_File *>(pellund::Allocate(sizeof(qfio_File), true));
    char *buffer = file ? static_cast<char *>(pellund::Allocate(kCapacity, false)) : nullptr;
    if (!buffer) {
        pellund::Release(file);
        close(fd);
        SetReport(report, pellund::SystemReport("qfio_Open", "Out of memory"));
        return nullptr;
    }
    file->fd = fd;
    file->writing = writing;
    file->buffer = buffer;
    pellund::CountHandle(1);
    return file;
}

void qfio_Close(qfio_File *file, qerr_Report **report) {
    if (report) *report = nullptr;
    if (!file) return;
    qerr_Report *failure = nullptr;
    int error = 0;
    if (file->writing && !file->failed) {
        if (pellund::FailThisWrite()) {
            failure = pellund::SystemReport("qfio_Close", "Injected write failure");
        } else if (!Flush(file, &error)) {
            failure = ErrnoReport("qfio_Close", error);
        }
    }
    if (close(file->fd) != 0 && !failure && file->writing)
        failure = ErrnoReport("qfio_Close", errno);
    pellund::Release(file->buffer);
    pellund::Release(file);
    pellund::CountHandle(-1);
    SetReport(report, failure);
}

void qfio_ReadSeq(qfio_File *file, void *buffer, size_t count, qerr_Report **report) {
    if (report) *report = nullptr;
    if (pellund::FailThisRead()) {
        SetReport(report, pellund::SystemReport("qfio_ReadSeq", "Injected read failure"));
        return;
    }
    if (!file || file->writing) {
        SetReport(report, pellund::SystemReport("qfio_ReadSeq", "Not open for reading"));
        return;
    }
    auto *target = static_cast<char *>(buffer);
    while (count > 0) {
        std::size_t available = file->length - file->cursor;
        if (available == 0) {
            int error = 0;
            if (!Refill(file, &error)) {
                SetReport(report, ErrnoReport("qfio_ReadSeq", error));
                return;
            }
            available = file->length - file->cursor;
            if (available == 0) {
                SetReport(report, pellund::SystemReport("qfio_ReadSeq", "Unexpected end of file"));
                return;
            }
        }
        std::size_t take = std::min(available, count);
        std::memcpy(target, file->buffer + file->cursor, take);
        file->cursor += take;
        target += take;
        count -= take;
    }
}

const char *qfio_ReadView(qfio_File *file, size_t advance, size_t need, size_t *available,
                          qerr_Report **report) {
    if (report) *report = nullptr;
    *available = 0;
    if (!file || file->writing || need > kCapacity - kHistory) {
        SetReport(report, pellund::SystemReport("qfio_ReadView", "Not open for reading"));
        return nullptr;
    }
    file->cursor += std::min(advance, file->length - file->cursor);
    while (file->length - file->cursor < need && !file->atEnd) {
        if (pellund::FailThisRead()) {
            SetReport(report, pellund::SystemReport("qfio_ReadView", "Injected read failure"));
            return nullptr;
        }
        int error = 0;
        if (!Refill(file, &error)) {
            SetReport(report, ErrnoReport("qfio_ReadView", error));
            return nullptr;
        }
    }
    *available = file->length - file->cursor;
    return file->buffer + file->cursor;
}

void qfio_WriteSeq(qfio_File *file, const void *buffer, size_t count, qerr_Report **report) {
    if (report) *report = nullptr;
    if (pellund::FailThisWrite()) {
        SetReport(report, pellund::SystemReport("qfio_WriteSeq", "Injected write failure"));
        return;
    }
    // Most writes are a few bytes that join the buffer.
    if (file && file->wroteOnce && !file->failed && count <= kCapacity - file->length) {
        std::memcpy(file->buffer + file->length, buffer, count);
        file->length += count;
        return;
    }
    SetReport(report, WriteBytes(file, static_cast<const char *>(buffer), count));
}

char *qfio_Fgets(char *buffer, int size, qfio_File *file, qerr_Report **report) {
    if (report) *report = nullptr;
    if (pellund::FailThisRead()) {
        SetReport(report, pellund::SystemReport("qfio_Fgets", "Injected read failure"));
        return nullptr;
    }
    if (!file || file->writing || !buffer || size < 2) {
        SetReport(report, pellund::SystemReport("qfio_Fgets", "Not open for reading"));
        return nullptr;
    }
    std::size_t limit = static_cast<std::size_t>(size) - 1;
    std::size_t copied = 0;
    for (;;) {
        const char *start = file->buffer + file->cursor;
        std::size_t take = std::min(file->length - file->cursor, limit - copied);
        if (const void *newline = std::memchr(start, '\n', take)) {
            take = static_cast<std::size_t>(static_cast<const char *>(newline) - start) + 1;
            std::memcpy(buffer + copied, start, take);
            file->cursor += take;
            copied += take;
            break;
        }
        std::memcpy(buffer + copied, start, take);
        file->cursor += take;
        copied += take;
        if (copied == limit || file->atEnd) break;
        int error = 0;
        if (!Refill(file, &error)) {
            SetReport(report, ErrnoReport("qfio_Fgets", error));
            return nullptr;
        }
        if (file->cursor == file->length && file->atEnd) break;
    }
    if (copied == 0) return nullptr;
    buffer[copied] = '\0';
    return buffer;
}

int qfio_Fprintf(qfio_File *file, const char *format, ...) {
    if (pellund::FailThisWrite()) return 0;
    va_list arguments;
    va_start(arguments, format);
    pellund::FormattedText text(format, arguments);
    va_end(arguments);
    if (!text.data()) return 0;
    qerr_Report *failure = WriteBytes(file, text.data(), text.size());
    qerr_ReportFree(failure);
    return failure ? 0 : 1;
}

qfio_Position qfio_Tell(qfio_File *file, qerr_Report **report) {
    if (report) *report = nullptr;
    if (!file) {
        SetReport(report, pellund::SystemReport("qfio_Tell", "No file"));
        return -1;
    }
    return file->bufferStart +
           static_cast<qfio_Position>(file->writing ? file->length : file->cursor);
}

int qfio_CompatibleFseek(qfio_File *file, qfio_Position position, int origin) {
    if (!file || origin != 0) return -1;
    int error = 0;
    bool moved =
        file->writing ? SeekWrite(file, position, &error) : SeekRead(file, position, &error);
    return moved ? 0 : -1;
}

void qfio_Seek(qfio_File *file, qfio_Position offset, int origin, qerr_Report **report) {
    if (report) *report = nullptr;
    if (!file || origin < 0 || origin > 2) {
        SetReport(report, pellund::SystemReport("qfio_Seek", "Invalid seek"));
        return;
    }
    qfio_Position base = 0;
    if (origin == 1) base = qfio_Tell(file, nullptr);
    if (origin == 2) {
        struct stat status;
        if (fstat(file->fd, &status) != 0) {
            SetReport(report, ErrnoReport("qfio_Seek", errno));
            return;
        }
        base = static_cast<qfio_Position>(status.st_size);
    }
    int error = 0;
    bool moved = file->writing ? SeekWrite(file, base + offset, &error)
                               : SeekRead(file, base + offset, &error);
    if (!moved) SetReport(report, ErrnoReport("qfio_Seek", error));
}

qfio_Position qfio_FileSizeGet(const char *name, qerr_Report **report) {
    if (report) *report = nullptr;
    struct stat status;
    if (!name || StatName(name, &status) != 0) {
        SetReport(report, ErrnoReport("qfio_FileSizeGet", name ? errno : EINVAL));
        return 0;
    }
    return S_ISREG(status.st_mode) ? static_cast<qfio_Position>(status.st_size) : 0;
}

}  // extern "C"
