// SPDX-License-Identifier: MIT
// The floor for the reading benchmarks: a bare DXF group tokenizer that reads
// the file as the library does, through one fixed 1 MiB buffer refilled by
// plain reads, finds ASCII line ends with memchr and converts every code and
// value with std::from_chars (ASCII) or by its binary width, and builds
// nothing. It does less than any reader that keeps what it reads, so it shows
// what reading and converting the groups alone costs.
//
//     floor_reader FILE [--repeat N]
//
// prints the number of groups, a checksum and, with --repeat, the best time
// of N reads.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

enum class Kind { Text, Real, Int16, Int32, Int64, Byte, Chunk, None };

Kind BinaryKind(int code) {
    if (code < 0) return Kind::None;
    if (code <= 9) return Kind::Text;
    if (code <= 59) return Kind::Real;
    if (code <= 79) return Kind::Int16;
    if (code <= 89) return Kind::None;
    if (code <= 99) return Kind::Int32;
    if (code <= 109) return Kind::Text;
    if (code <= 149) return Kind::Real;
    if (code <= 159) return Kind::Text;
    if (code <= 169) return Kind::Int64;
    if (code <= 179) return Kind::Int16;
    if (code <= 199) return Kind::Text;
    if (code <= 209) return Kind::None;
    if (code <= 239) return Kind::Real;
    if (code <= 269) return Kind::None;
    if (code <= 289) return Kind::Int16;
    if (code <= 299) return Kind::Byte;
    if (code <= 309) return Kind::Text;
    if (code <= 319) return Kind::Chunk;
    if (code <= 369) return Kind::Text;
    if (code <= 389) return Kind::Int16;
    if (code <= 399) return Kind::Text;
    if (code <= 409) return Kind::Int16;
    if (code <= 419) return Kind::Text;
    if (code <= 429) return Kind::Int32;
    if (code <= 439) return Kind::Text;
    if (code <= 459) return Kind::Int32;
    if (code <= 469) return Kind::Real;
    if (code <= 481) return Kind::Text;
    if (code < 1000) return Kind::None;
    if (code == 1004) return Kind::Chunk;
    if (code <= 1009) return Kind::Text;
    if (code <= 1059) return Kind::Real;
    if (code <= 1070) return Kind::Int16;
    if (code == 1071) return Kind::Int32;
    return Kind::None;
}

Kind AsciiKind(int code) {
    int r = code % 1000;
    if (r < 0) return Kind::None;
    if (r <= 9) return Kind::Text;
    if (r <= 59) return Kind::Real;
    if (r <= 79 || (r >= 90 && r <= 99) || (r >= 170 && r <= 175)) return Kind::Int32;
    if (r >= 140 && r <= 147) return Kind::Real;
    if (r >= 100 && r <= 199) return Kind::Text;
    return Kind::None;
}

// The file through one fixed buffer: [cursor, end) is what is left of it;
// a refill moves that to the front and reads behind it.
class Input {
public:
    static constexpr std::size_t kSize = std::size_t{1} << 20;

    // A few bytes more than it fills: a group cut short at the end of the
    // file is decoded from them before it is found out.
    explicit Input(int fd) : fd_(fd), buffer_(new char[kSize + 16]()) {}
    const char *cursor = nullptr;
    const char *end = nullptr;

    // Reads more behind what is left; false once the file has no more.
    bool Refill() {
        std::size_t left = static_cast<std::size_t>(end - cursor);
        if (left) std::memmove(buffer_.get(), cursor, left);
        cursor = buffer_.get();
        end = cursor + left;
        if (left == kSize) return false;  // a line longer than the buffer
        ssize_t got;
        do {
            got = read(fd_, buffer_.get() + left, kSize - left);
        } while (got < 0 && errno == EINTR);
        if (got <= 0) return false;
        end += got;
        return true;
    }
    std::size_t Left() const { return static_cast<std::size_t>(end - cursor); }

private:
    int fd_;
    std::unique_ptr<char[]> buffer_;
};

const char *SkipBlanks(const char *p, const char *end) {
    while (p < end && (*p == ' ' || *p == '\t'))
        ++p;
    return p;
}

struct Totals {
    long long groups = 0;
    double checksum = 0;
};

void ReadAscii(Input &in, Totals &totals) {
    for (;;) {
        const char *p = in.cursor;
        auto *codeEnd = static_cast<const char *>(std::memchr(p, '\n', in.Left()));
        auto *valueEnd =
            codeEnd ? static_cast<const char *>(std::memchr(
                          codeEnd + 1, '\n', static_cast<std::size_t>(in.end - codeEnd - 1)))
                    : nullptr;
        if (!valueEnd) {
            if (!in.Refill()) return;
            continue;
        }
        int code = 0;
        std::from_chars(SkipBlanks(p, codeEnd), codeEnd, code);
        const char *value = SkipBlanks(codeEnd + 1, valueEnd);
        switch (AsciiKind(code)) {
            case Kind::Real: {
                double v = 0;
                std::from_chars(value, valueEnd, v);
                totals.checksum += v;
                break;
            }
            case Kind::Int32: {
                int v = 0;
                std::from_chars(value, valueEnd, v);
                totals.checksum += v;
                break;
            }
            default:
                break;
        }
        ++totals.groups;
        in.cursor = valueEnd + 1;
    }
}

template <typename T>
T Take(const char *&p) {
    T value;
    std::memcpy(&value, p, sizeof value);
    p += sizeof value;
    return value;
}

void ReadBinary(Input &in, Totals &totals, bool twoByteCodes) {
    // A group is at most a code, a chunk's 256 bytes or a text; a text of the
    // format's 2049 characters fits in the room kept.
    constexpr std::size_t kRoom = 4096;
    bool more = true;
    for (;;) {
        if (in.Left() < kRoom && more) more = in.Refill();
        if (in.Left() == 0) return;
        const char *p = in.cursor;
        int code;
        if (twoByteCodes) {
            code = Take<std::int16_t>(p);
        } else {
            code = static_cast<unsigned char>(*p++);
            if (code == 255) code = Take<std::int16_t>(p);
        }
        ++totals.groups;
        switch (BinaryKind(code)) {
            case Kind::Text: {
                auto *nul = static_cast<const char *>(
                    std::memchr(p, '\0', static_cast<std::size_t>(in.end - p)));
                if (!nul) return;
                p = nul + 1;
                break;
            }
            case Kind::Real:
                totals.checksum += Take<double>(p);
                break;
            case Kind::Int16:
                totals.checksum += Take<std::int16_t>(p);
                break;
            case Kind::Int32:
                totals.checksum += Take<std::int32_t>(p);
                break;
            case Kind::Int64:
                totals.checksum += static_cast<double>(Take<std::int64_t>(p));
                break;
            case Kind::Byte:
                totals.checksum += static_cast<unsigned char>(*p++);
                break;
            case Kind::Chunk:
                p += 1 + static_cast<unsigned char>(*p);
                break;
            case Kind::None:
                break;
        }
        if (p > in.end) return;  // cut short
        in.cursor = p;
    }
}

// One read of the file; false when it cannot be opened.
bool ReadFile(const char *name, Totals &totals) {
    int fd = open(name, O_RDONLY);
    if (fd < 0) return false;
    Input in(fd);
    in.Refill();
    static const char kSentinel[] = "AutoCAD Binary DXF\r\n\x1a";
    if (in.Left() >= 22 && std::memcmp(in.cursor, kSentinel, 22) == 0) {
        in.cursor += 22;
        bool twoByteCodes = in.Left() >= 2 && in.cursor[0] == 0 && in.cursor[1] == 0;
        ReadBinary(in, totals, twoByteCodes);
    } else {
        ReadAscii(in, totals);
    }
    close(fd);
    return true;
}

}  // namespace

int main(int argc, char **argv) {
    int repeat = argc == 4 && std::strcmp(argv[2], "--repeat") == 0 ? std::atoi(argv[3]) : 1;
    if ((argc != 2 && argc != 4) || repeat < 1) {
        std::fprintf(stderr, "usage: floor_reader FILE [--repeat N]\n");
        return 2;
    }
    Totals totals;
    double best = 1e300;
    for (int run = 0; run < repeat; ++run) {
        totals = {};
        auto start = std::chrono::steady_clock::now();
        if (!ReadFile(argv[1], totals)) {
            std::perror(argv[1]);
            return 1;
        }
        best = std::min(
            best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    std::printf("%lld groups, checksum %g", totals.groups, totals.checksum);
    if (repeat > 1) std::printf(", best %.3f s", best);
    std::printf("\n");
    return 0;
}
