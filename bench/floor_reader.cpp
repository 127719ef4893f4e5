// SPDX-License-Identifier: MIT
// The floor for the reading benchmarks: a bare DXF group reader that converts
// every code and value with std::from_chars (ASCII) or by its binary width,
// and builds nothing. No real reader can beat it; it shows how close one gets.
//
//     floor_reader FILE     prints the number of groups and a checksum
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

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

std::vector<char> Slurp(const char *name) {
    std::vector<char> data;
    std::FILE *file = std::fopen(name, "rb");
    if (!file) return data;
    char block[1 << 16];
    std::size_t got;
    while ((got = std::fread(block, 1, sizeof block, file)) > 0)
        data.insert(data.end(), block, block + got);
    std::fclose(file);
    return data;
}

const char *SkipBlanks(const char *p, const char *end) {
    while (p < end && (*p == ' ' || *p == '\t'))
        ++p;
    return p;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: floor_reader FILE\n");
        return 2;
    }
    std::vector<char> data = Slurp(argv[1]);
    const char *p = data.data();
    const char *end = p + data.size();
    long long groups = 0;
    double checksum = 0;
    static const char kSentinel[] = "AutoCAD Binary DXF\r\n\x1a";
    if (data.size() >= 22 && std::memcmp(p, kSentinel, 22) == 0) {
        p += 22;
        bool twoByte = p + 1 < end && p[0] == 0 && p[1] == 0;
        auto take = [&](std::size_t n) {
            const char *at = p;
            p += n;
            return at;
        };
        while (p < end) {
            int code;
            if (twoByte) {
                std::int16_t c;
                std::memcpy(&c, take(2), 2);
                code = c;
            } else {
                code = static_cast<unsigned char>(*take(1));
                if (code == 255) {
                    std::int16_t c;
                    std::memcpy(&c, take(2), 2);
                    code = c;
                }
            }
            ++groups;
            switch (BinaryKind(code)) {
                case Kind::Text:
                    p += std::strlen(p) + 1;
                    break;
                case Kind::Real: {
                    double v;
                    std::memcpy(&v, take(8), 8);
                    checksum += v;
                    break;
                }
                case Kind::Int16: {
                    std::int16_t v;
                    std::memcpy(&v, take(2), 2);
                    checksum += v;
                    break;
                }
                case Kind::Int32: {
                    std::int32_t v;
                    std::memcpy(&v, take(4), 4);
                    checksum += v;
                    break;
                }
                case Kind::Int64: {
                    std::int64_t v;
                    std::memcpy(&v, take(8), 8);
                    checksum += static_cast<double>(v);
                    break;
                }
                case Kind::Byte:
                    checksum += static_cast<unsigned char>(*take(1));
                    break;
                case Kind::Chunk:
                    p += 1 + static_cast<unsigned char>(*p);
                    break;
                case Kind::None:
                    break;
            }
        }
    } else {
        while (p < end) {
            const char *line = SkipBlanks(p, end);
            const char *newline = static_cast<const char *>(std::memchr(p, '\n', end - p));
            if (!newline) break;
            int code = 0;
            std::from_chars(line, newline, code);
            const char *value = newline + 1;
            newline = static_cast<const char *>(std::memchr(value, '\n', end - value));
            if (!newline) newline = end;
            const char *start = SkipBlanks(value, newline);
            switch (AsciiKind(code)) {
                case Kind::Real: {
                    double v = 0;
                    std::from_chars(start, newline, v);
                    checksum += v;
                    break;
                }
                case Kind::Int32: {
                    int v = 0;
                    std::from_chars(start, newline, v);
                    checksum += v;
                    break;
                }
                default:
                    break;
            }
            ++groups;
            p = newline + 1;
        }
    }
    std::printf("%lld groups, checksum %g\n", groups, checksum);
    return 0;
}
