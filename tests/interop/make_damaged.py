#!/usr/bin/python3
"""Damages sound drawings of the corpus in each way a recovering read repairs,
at seeded places, for the damaged-drawing test; and what ezdxf's recover
module keeps of each damaged file.

    make_damaged.py OUTPUT_DIRECTORY CORPUS_DIRECTORY

Writes NAME.dxf for every case and damaged.tsv, one case a line:

    name  source  line  offset  action  entities  same  ezdxf

(line, offset, action) is the repair the damage calls for (line 0 in
binary; action 0: the read must fail), `entities` the number of entities of
the ten kinds the ENTITIES section must give, `same` 1 when the drawing must
come back as the sound source reads, `ezdxf` how many of those kinds
ezdxf.recover.readfile keeps (-1: it fails, or ezdxf is not installed).
"""

import contextlib
import io
import os
import random
import struct
import sys

SKIPPED, REPLACED, INSERTED, RENAMED, DROPPED = 1, 2, 3, 4, 5
TEN = {b"LINE", b"POINT", b"CIRCLE", b"ARC", b"TRACE", b"SOLID", b"TEXT", b"INSERT",
       b"POLYLINE", b"3DFACE"}
ASCII_SOURCE = "ascii-r12/libredwg_r11_entities-2d.dxf"


class Ascii:
    """A drawing's lines (its CR LF ends taken off) and where its records are."""

    def __init__(self, data):
        self.lines = data.split(b"\r\n")[:-1]

    def tags(self, name, section=b"ENTITIES"):
        """Code-line indexes of the 0 groups called `name` (None: any) in `section`."""
        found, current = [], None
        for i in range(0, len(self.lines) - 1, 2):
            code, value = self.lines[i].strip(), self.lines[i + 1]
            if code == b"2" and self.lines[i - 1] == b"SECTION":
                current = value
            elif code == b"0" and current == section and name in (None, value):
                found.append(i)
        return found

    def group(self, start, code):
        """The code line of the first group of `code` from line `start` on."""
        return next(i for i in range(start, len(self.lines), 2) if self.lines[i].strip() == code)

    def entities(self, before=len):
        """Entities of the ten kinds in ENTITIES (those before line `before`)."""
        return sum(1 for i in self.tags(None) if self.lines[i + 1] in TEN and i < before)


def ascii_cases(sound, rng):
    """Each case: name, splices (line, lines taken out, lines put in), the code
    line of the repair in the damaged file, action, entities, same."""
    total = sound.entities(before=1 << 30)
    first = lambda name, section=b"ENTITIES": sound.tags(name, section)[0]
    line, text, seqend = first(b"LINE"), first(b"TEXT"), sound.tags(b"SEQEND")
    entities = first(None)  # the ENTITIES section's first record
    block = sound.tags(b"BLOCK", b"BLOCKS")[1]
    endblk = max(i for i in sound.tags(b"ENDBLK", b"BLOCKS") if i < block)
    name = lambda at: sound.group(at, b"2") + 1
    number = rng.choice([sound.group(line, b"10"), sound.group(first(b"CIRCLE"), b"10"),
                         sound.group(first(b"ARC"), b"40")])
    real = sound.lines[number + 1]
    value = lambda text: [(number + 1, 1, [text])]
    string = sound.group(text, b"1")
    record = lambda at, tag: [(at, 0, [b"  0", tag, b"  8", b"0"])]
    return [
        ("code_blanks", [(line + 2, 1, [b"8\t "])], line + 2, SKIPPED, total, 1),
        ("lowercase_name", [(line + 1, 1, [b"line"])], line, REPLACED, total, 1),
        ("after_eof", [(len(sound.lines), 0, [b"", b"\x1a junk"])], len(sound.lines), SKIPPED,
         total, 1),
        ("no_eof", [(len(sound.lines) - 2, 2, [])], len(sound.lines) - 2, INSERTED, total, 1),
        ("no_endsec", [(entities - 6, 2, [])], entities - 6, INSERTED, total, 1),
        ("outside_section", [(entities - 4, 0, [b"  0", b"LINE", b"  8", b"0"])], entities - 4,
         SKIPPED, total, 1),
        ("section_twice", [(text, 0, [b"  0", b"ENDSEC", b"  0", b"SECTION", b"  2",
                                      b"ENTITIES"])], text + 4, SKIPPED, total, 1),
        ("decimal_comma", value(real.replace(b".", b",")), number, REPLACED, total, 1),
        ("exponent_blank", value(real + b"E 00"), number, REPLACED, total, 1),
        ("junk_after_number", value(real + b"xyz"), number, REPLACED, total, 1),
        ("real_under_integer", [(sound.group(text, b"72") + 1, 1, [b"3.0"])],
         sound.group(text, b"72"), REPLACED, total, 1),
        ("qnan", value(b"1.#QNAN"), number, REPLACED, total, 0),
        ("indefinite", value(b"-1.#IND"), number, REPLACED, total, 0),
        ("infinity", value(b"1.#INF"), number, REPLACED, total, 0),
        ("nan_word", value(b"nan.0"), number, REPLACED, total, 0),
        ("out_of_range", value(b"1e+400"), number, REPLACED, total, 0),
        ("empty_number", value(b""), number, REPLACED, total, 0),
        ("bad_code_line", [(number + 2, 1, [b"2x0"])], number + 2, SKIPPED, total, 0),
        ("text_broken", [(string + 1, 1, [sound.lines[string + 1][:1],
                                          sound.lines[string + 1][1:]])], string, REPLACED,
         total, 0),
        ("empty_handle", [(line + 2, 0, [b"  5", b""])], line + 2, RENAMED, total, 0),
        ("bad_handle", [(line + 2, 0, [b"  5", b"XYZ"])], line + 2, RENAMED, total, 0),
        ("duplicate_handle", [(text + 2, 0, [b"  5", b"2A"]), (line + 2, 0, [b"  5", b"2A"])],
         text + 4, RENAMED, total, 0),
        ("polyline_without_seqend", [(seqend[1], 4, [])], seqend[1], INSERTED, total, 0),
        ("attributes_without_seqend", [(seqend[0], 4, [])], seqend[0], INSERTED, total, 0),
        ("orphan_vertex", record(line, b"VERTEX"), line, DROPPED, total, 1),
        ("orphan_attrib", record(line, b"ATTRIB"), line, DROPPED, total, 1),
        ("orphan_seqend", record(line, b"SEQEND"), line, DROPPED, total, 1),
        ("endblk_without_block", [(line, 0, [b"  0", b"ENDBLK"])], line, SKIPPED, total, 1),
        ("no_endblk", [(endblk, block - endblk, [])], endblk, INSERTED, total, 1),
        ("block_without_name", [(name(block), 1, [b""])], block, RENAMED, total, 0),
        ("undefined_block", [(name(first(b"INSERT")), 1, [b"NO_SUCH_BLOCK"])], first(b"INSERT"),
         INSERTED, total, 0),
        ("duplicate_block", [(name(block), 1, [sound.lines[name(first(b"BLOCK", b"BLOCKS"))]])],
         block, RENAMED, total, 0),
    ]


# Binary sources: the widths of the values of the codes they hold.
def width(code, data, at):
    if 0 <= code <= 9 or 100 <= code <= 109 or 300 <= code <= 309 or 330 <= code <= 369 \
            or 390 <= code <= 399 or 410 <= code <= 419 or 430 <= code <= 439 \
            or 470 <= code <= 481 or 1000 <= code <= 1009 and code != 1004:
        return data.index(b"\0", at) - at + 1
    if 10 <= code <= 59 or 110 <= code <= 149 or 210 <= code <= 239 or 460 <= code <= 469 \
            or 1010 <= code <= 1059:
        return 8
    if 90 <= code <= 99 or 420 <= code <= 429 or 440 <= code <= 459 or code == 1071:
        return 4
    if 160 <= code <= 169:
        return 8
    if 290 <= code <= 299:
        return 1
    if 310 <= code <= 319 or code == 1004:
        return data[at] + 1
    return 2


def binary_groups(data, two):
    """(offset, code, text of a 0 or 2 group) of each group after the sentinel."""
    at, groups = 22, []
    while at < len(data):
        start = at
        if two:
            code, at = struct.unpack_from("<h", data, at)[0], at + 2
        else:
            code, at = data[at], at + 1
            if code == 255:
                code, at = struct.unpack_from("<h", data, at)[0], at + 2
        size = width(code, data, at)
        groups.append((start, code, data[at:at + size - 1] if code in (0, 2) else None))
        at += size
    return groups


def binary_cases(data, two, rng):
    """A cut inside an entity and an undecodable code in one: the entity is left out."""
    groups = binary_groups(data, two)
    records, section = [], None
    for i, (_, code, text) in enumerate(groups):
        if code == 2 and groups[i - 1][2] == b"SECTION":
            section = text
        elif code == 0 and section == b"ENTITIES" and text not in (b"ENDSEC", b"EOF"):
            records.append((i, text))
    victim = rng.randrange(1, len(records) - 1)
    index, kind = records[victim]
    kept = sum(1 for _, name in records[:victim] if name in TEN)
    total = sum(1 for _, name in records if name in TEN)
    within = groups[index + 2][0]  # the entity's second group after its type
    broken = bytearray(data)
    broken[within:within + (2 if two else 1)] = b"\xc8\x00"[:2 if two else 1]  # code 200
    return [("cut", data[:within + 3], groups[index][0], DROPPED, kept),
            ("undecodable", bytes(broken), within, SKIPPED, total - (kind in TEN))]


def ezdxf_count(path):
    try:
        import ezdxf.recover
        with contextlib.redirect_stdout(io.StringIO()):  # what it recovered, line by line
            doc, _ = ezdxf.recover.readfile(path)
    except Exception:
        return -1
    return sum(1 for layout in doc.layouts for e in layout if e.dxftype().encode() in TEN)


def main(output, corpus):
    os.makedirs(output, exist_ok=True)
    rng = random.Random(20260412)
    rows = []

    def write(name, source, data, line, offset, action, entities, same):
        path = os.path.join(output, name + ".dxf")
        with open(path, "wb") as out:
            out.write(data)
        rows.append([name, source, line, offset, action, entities, same,
                     ezdxf_count(path) if action else -1])

    with open(os.path.join(corpus, ASCII_SOURCE), "rb") as file:
        original = file.read()
    sound = Ascii(original)
    offset = lambda lines, index: sum(len(line) + 2 for line in lines[:index])
    for name, splices, place, action, entities, same in ascii_cases(sound, rng):
        lines = list(sound.lines)
        for at, taken, put in sorted(splices, reverse=True):
            lines[at:at + taken] = put
        write(name, ASCII_SOURCE, b"".join(line + b"\r\n" for line in lines), place + 1,
              offset(lines, place), action, entities, same)
    # The whole file: its line ends, a byte order mark; cut in an entity, a block.
    write("cr_line_ends", ASCII_SOURCE, original.replace(b"\r\n", b"\r"), 1, 0, REPLACED,
          sound.entities(1 << 30), 1)
    write("byte_order_mark", ASCII_SOURCE, b"\xef\xbb\xbf" + original, 1, 0, SKIPPED,
          sound.entities(1 << 30), 1)
    for name, at in (("cut_in_entity", sound.tags(b"TEXT")[0]),
                     ("cut_in_block", sound.tags(b"BLOCK", b"BLOCKS")[1])):
        cut = offset(sound.lines, at + 2) + rng.randrange(1, 20)
        write(name, ASCII_SOURCE, original[:cut], at + 1, offset(sound.lines, at), DROPPED,
              sound.entities(before=at), 0)
    for source, two in (("binary/ezdxf_bin_dxf_r12.dxf", False),
                        ("binary/libredwg_example_2018.dxfb", True)):
        with open(os.path.join(corpus, source), "rb") as file:
            original = file.read()
        for name, data, offset, action, entities in binary_cases(original, two, rng):
            write(("binary2_" if two else "binary_") + name, source, data, 0, offset, action,
                  entities, 0)
    write("not_dxf", ASCII_SOURCE, b"\x89PNG\r\n\x1a\n" + bytes(rng.randrange(256)
                                                                 for _ in range(3000)),
          0, 0, 0, 0, 0)
    with open(os.path.join(output, "damaged.tsv"), "w") as table:
        for row in rows:
            table.write("\t".join(str(cell) for cell in row) + "\n")


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
