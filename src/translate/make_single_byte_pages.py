#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Writes single_byte_pages.cpp: the characters of bytes 0x80 to 0xFF of every
single-byte code page a drawing's $DWGCODEPAGE can name, from Python's codecs
(the vendors' published mapping tables). A byte a page leaves undefined maps to
U+FFFD. Run once when a page is added; the output is committed.

    /usr/bin/python3 make_single_byte_pages.py > single_byte_pages.cpp
"""

# Windows code page number, Python codec, what the page is for.
PAGES = [
    (874, "cp874", "Thai"),
    (1250, "cp1250", "Central European"),
    (1251, "cp1251", "Cyrillic"),
    (1252, "cp1252", "Western European"),
    (1253, "cp1253", "Greek"),
    (1254, "cp1254", "Turkish"),
    (1255, "cp1255", "Hebrew"),
    (1256, "cp1256", "Arabic"),
    (1257, "cp1257", "Baltic"),
    (1258, "cp1258", "Vietnamese"),
    (437, "cp437", "DOS United States"),
    (850, "cp850", "DOS Western European"),
    (852, "cp852", "DOS Central European"),
    (855, "cp855", "DOS Cyrillic"),
    (857, "cp857", "DOS Turkish"),
    (860, "cp860", "DOS Portuguese"),
    (861, "cp861", "DOS Icelandic"),
    (863, "cp863", "DOS Canadian French"),
    (864, "cp864", "DOS Arabic"),
    (865, "cp865", "DOS Nordic"),
    (866, "cp866", "DOS Russian"),
    (869, "cp869", "DOS Greek"),
    (10000, "mac_roman", "Mac Roman"),
] + [(28590 + n, "iso8859_%d" % n, "ISO 8859-%d" % n) for n in range(1, 10)]

PER_LINE = 8


def characters(codec):
    for byte in range(0x80, 0x100):
        try:
            text = bytes([byte]).decode(codec)
        except UnicodeDecodeError:
            text = "\ufffd"
        assert len(text) == 1 and ord(text) <= 0xFFFF
        yield ord(text)


def main():
    print("// SPDX-License-Identifier: MIT")
    print("// Written by make_single_byte_pages.py: the characters of bytes 0x80 to 0xFF")
    print("// of each single-byte code page, U+FFFD where the page defines none.")
    print('#include "translate/code_pages.h"')
    print()
    print("namespace vexlith::translate {")
    print()
    print("// clang-format off")
    print("const SingleBytePage kSingleBytePages[] = {")
    for number, codec, name in PAGES:
        values = ["0x%04X" % c for c in characters(codec)]
        print("    {%d, {  // %s" % (number, name))
        for at in range(0, len(values), PER_LINE):
            print("        " + ", ".join(values[at:at + PER_LINE]) + ",")
        print("    }},")
    print("};")
    print("// clang-format on")
    print("const std::size_t kSingleBytePageCount = std::size(kSingleBytePages);")
    print()
    print("}  // namespace vexlith::translate")


if __name__ == "__main__":
    main()
