// SPDX-License-Identifier: MIT
// The characters of the double-byte pages from the tables of
// double_byte_pages.cpp, where the platform has no converter (WebAssembly).
// A page is unpacked into a table by lead and trail byte at its first use.
#include "translate/code_pages.h"
#include "translate/double_byte_pages.h"

namespace vexlith::translate {
namespace {

constexpr int kLeads = 0x80;   // 0x80 to 0xFF
constexpr int kTrails = 0xC0;  // 0x40 to 0xFF

struct Unpacked {
    bool done = false;
    char16_t characters[kLeads * kTrails] = {};
};

void Unpack(const DoubleBytePage &page, Unpacked &table) {
    std::size_t at = 0;
    int pending = 0;  // codes left in the current run
    bool following = false;
    char16_t previous = 0;
    for (int lead = 0x80; lead <= 0xFF; ++lead) {
        if (!IsLeadByte(page.codePage, static_cast<unsigned char>(lead))) continue;
        for (int trail = 0x40; trail <= 0xFF; ++trail) {
            if (!IsTrailByte(page.codePage, static_cast<unsigned char>(trail))) continue;
            if (pending == 0) {
                if (at == page.count) return;
                char16_t word = page.words[at++];
                if (word >= 0xD800 && word <= 0xDFFF) {
                    following = word >= 0xDC00;
                    pending = (word & 0x3FF) + 1;
                } else {
                    previous = word;
                    table.characters[(lead - 0x80) * kTrails + (trail - 0x40)] = word;
                    continue;
                }
            }
            --pending;
            if (!following) continue;
            previous = static_cast<char16_t>(previous + 1);
            table.characters[(lead - 0x80) * kTrails + (trail - 0x40)] = previous;
        }
    }
}

char32_t FromTables(int codePage, unsigned char lead, unsigned char trail) {
    // Unpacked once for the process: WebAssembly runs one thread, and the
    // tables never change after.
    static Unpacked tables[5];
    if (lead < 0x80 || trail < 0x40) return 0;
    for (std::size_t page = 0; page < kDoubleBytePageCount && page < std::size(tables); ++page) {
        if (kDoubleBytePages[page].codePage != codePage) continue;
        Unpacked &table = tables[page];
        if (!table.done) {
            Unpack(kDoubleBytePages[page], table);
            table.done = true;
        }
        return table.characters[(lead - 0x80) * kTrails + (trail - 0x40)];
    }
    return 0;
}

}  // namespace

bool DoubleByteConverters::Decode(int codePage, unsigned char lead, unsigned char trail,
                                  char32_t *character) {
    *character = FromTables(codePage, lead, trail);
    return true;
}

void DoubleByteConverters::Release() {}

}  // namespace vexlith::translate
