#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Writes double_byte_pages.cpp: the characters of the five double-byte code
pages (932, 936, 949, 950, 1361) as glibc's iconv decodes them, for the
WebAssembly build, whose C library has no such converters. Built elsewhere,
the library asks the platform's converter (double_byte.cpp); the same tables
make the browser read a drawing as Linux does. Run on glibc when a page
changes; the output is committed.

    /usr/bin/python3 make_double_byte_pages.py > double_byte_pages.cpp

Each page is the characters of every lead byte 0x80 to 0xFF and trail byte
0x40 to 0xFF the page's byte layout admits, in that order, as 16-bit words:
a character (0xD800 to 0xDFFF never are), or 0xD800 + n for n + 1 codes
without a character, or 0xDC00 + n for n + 1 codes whose characters follow
the last one by one each.
"""
import ctypes
import sys

# Code page, glibc's name, lead bytes, trail bytes (as double_byte.cpp has them).
PAGES = [
    (932, "CP932", [(0x81, 0x9F), (0xE0, 0xFC)], [(0x40, 0x7E), (0x80, 0xFC)]),
    (936, "CP936", [(0x81, 0xFE)], [(0x40, 0x7E), (0x80, 0xFE)]),
    (949, "CP949", [(0x81, 0xFE)], [(0x41, 0x5A), (0x61, 0x7A), (0x81, 0xFE)]),
    (950, "CP950", [(0x81, 0xFE)], [(0x40, 0x7E), (0xA1, 0xFE)]),
    (1361, "JOHAB", [(0x84, 0xD3), (0xD8, 0xDE), (0xE0, 0xF9)], [(0x31, 0x7E), (0x81, 0xFE)]),
]
PER_LINE = 12

libc = ctypes.CDLL("libc.so.6", use_errno=True)
libc.iconv_open.restype = ctypes.c_void_p
libc.iconv_open.argtypes = [ctypes.c_char_p, ctypes.c_char_p]
libc.iconv.restype = ctypes.c_size_t
libc.iconv.argtypes = [ctypes.c_void_p] + [ctypes.c_void_p] * 4
libc.iconv_close.argtypes = [ctypes.c_void_p]


def within(byte, ranges):
    return any(low <= byte <= high for low, high in ranges)


def agreed(character):
    """As double_byte.cpp's Agreed: no user-defined or impossible characters."""
    if character == 0 or 0xE000 <= character <= 0xF8FF:
        return 0
    if 0xD800 <= character <= 0xDFFF or character > 0x10FFFF:
        return 0
    return character


def decode(converter, lead, trail):
    source = ctypes.create_string_buffer(bytes([lead, trail]), 2)
    target = ctypes.create_string_buffer(8)
    in_pointer = ctypes.c_char_p(ctypes.addressof(source))
    out_pointer = ctypes.c_char_p(ctypes.addressof(target))
    in_left, out_left = ctypes.c_size_t(2), ctypes.c_size_t(8)
    done = libc.iconv(converter, ctypes.byref(in_pointer), ctypes.byref(in_left),
                      ctypes.byref(out_pointer), ctypes.byref(out_left))
    if done == ctypes.c_size_t(-1).value or in_left.value != 0 or out_left.value != 4:
        libc.iconv(converter, None, None, None, None)
        return 0
    return agreed(int.from_bytes(target.raw[:4], "little"))


def characters(name, leads, trails):
    converter = libc.iconv_open(b"UTF-32LE", name.encode())
    if converter in (None, ctypes.c_void_p(-1).value):
        sys.exit("glibc has no converter for " + name)
    for lead in range(0x80, 0x100):
        if not within(lead, leads):
            continue
        for trail in range(0x40, 0x100):
            if within(trail, trails):
                yield decode(converter, lead, trail)
    libc.iconv_close(converter)


def words(values):
    """The characters as the words described above."""
    out = []
    previous = None
    run_kind, run_length = None, 0

    def flush():
        if run_length:
            out.append((0xD800 if run_kind == "gap" else 0xDC00) + run_length - 1)

    for value in values:
        assert value <= 0xFFFF, "a character beyond the 16-bit plane"
        kind = "gap" if value == 0 else "next" if previous is not None and value == previous + 1 else None
        if kind and kind == run_kind and run_length < 0x400:
            run_length += 1
        else:
            flush()
            run_kind, run_length = kind, 1 if kind else 0
            if not kind:
                out.append(value)
        if value:
            previous = value
    flush()
    return out


def main():
    print("// SPDX-License-Identifier: MIT")
    print("// Written by make_double_byte_pages.py: the double-byte code pages as glibc's")
    print("// iconv decodes them, for the WebAssembly build (see the script for the form).")
    print('#include "translate/double_byte_pages.h"')
    print()
    print("namespace vexlith::translate {")
    print()
    print("// clang-format off")
    names = []
    for number, name, leads, trails in PAGES:
        data = words(characters(name, leads, trails))
        names.append((number, "kPage%d" % number, len(data)))
        print("const char16_t kPage%d[] = {  // %s, %d words" % (number, name, len(data)))
        for at in range(0, len(data), PER_LINE):
            print("    " + ", ".join("0x%04X" % w for w in data[at:at + PER_LINE]) + ",")
        print("};")
    print("// clang-format on")
    print()
    print("const DoubleBytePage kDoubleBytePages[] = {")
    for number, array, count in names:
        print("    {%d, %s, %d}," % (number, array, count))
    print("};")
    print("const std::size_t kDoubleBytePageCount = std::size(kDoubleBytePages);")
    print()
    print("}  // namespace vexlith::translate")


if __name__ == "__main__":
    main()
