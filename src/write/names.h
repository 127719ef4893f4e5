// SPDX-License-Identifier: MIT
// Symbol names as programs of DXF R12 take them. DXF compares the names of
// layers, line types, styles and blocks without regard to the case of their
// letters; R12 programs accept at most 31 characters of A-Z, 0-9, "$", "_"
// and "-". QDXF_WRITE_R12_NAMES writes every name in that form, the same
// form for a table entry and for every reference to it.
#ifndef VEXLITH_WRITE_NAMES_H
#define VEXLITH_WRITE_NAMES_H

#include <cstddef>

#include "runtime/name_index.h"
#include "runtime/scratch.h"

namespace vexlith {

// True when two names are the same symbol for DXF: equal but for the case of
// ASCII letters.
bool SameSymbol(const char *a, const char *b);

// Records by name, names compared as SameSymbol compares them; the first
// record added under a name stays. The index keeps its own copies of the
// names.
class SymbolIndex {
public:
    void *Find(const char *name) const;
    // False when the heap is exhausted.
    bool Add(const char *name, void *record);
    void Release();

private:
    rt::NameIndex index_;  // by the name in upper case
    rt::Scratch<char *> keys_;
};

// The four kinds of symbol names, each with names of its own.
enum class SymbolKind { Layer, Ltype, Style, Block, Count };

// The longest name R12 programs accept.
constexpr std::size_t kR12NameMost = 31;

// The names written for the names of one drawing with QDXF_WRITE_R12_NAMES:
// every table entry and block definition gets a name of its own, a reference
// the name of the entry it names (compared as DXF compares names), and a name
// that nothing defines a name of its own as well. Each name is `name` in
// upper case with every other character than A-Z, 0-9, "$", "_" and "-"
// replaced by "_" (a leading "*" by "$"), cut to 31 characters; a name that
// is then taken gets a suffix "_N". Anonymous blocks (*U, *D, *T and *X with
// digits) keep their form.
class R12Names {
public:
    // A table entry or block definition, added before any reference. The
    // name must live as long as this object. False when the heap is
    // exhausted.
    bool AddDefinition(SymbolKind kind, const char *name);
    // A name a record refers to. False when the heap is exhausted.
    bool AddReference(SymbolKind kind, const char *name);
    // The name to write for `name`, added before; null for null. The name
    // asked for last must live until the next call.
    const char *Of(SymbolKind kind, const char *name) const;
    void Release();

private:
    struct Names {
        SymbolIndex bySymbol;    // a name as DXF compares it -> its written name
        rt::NameIndex claimed;   // the exact names of the definitions in bySymbol
        rt::NameIndex byText;    // definitions that differ from an earlier one only in case
        rt::NameIndex taken;     // written names -> themselves
        rt::NameIndex suffixes;  // a written name taken -> the next suffix to try
        mutable const char *lastName = nullptr;  // the last name asked for, and its answer
        mutable const char *lastWritten = nullptr;
    };
    // A written name for `name` that no other name has yet; null when the
    // heap is exhausted.
    const char *NewName(Names &names, const char *name);
    char *Keep(const char *text, std::size_t length);

    Names names_[static_cast<int>(SymbolKind::Count)];
    rt::Scratch<void *> blocks_;  // every text and counter made, released together
};

}  // namespace vexlith

#endif
