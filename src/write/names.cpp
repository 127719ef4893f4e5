// SPDX-License-Identifier: MIT
#include "write/names.h"

#include <algorithm>
#include <charconv>
#include <cstring>

#include "runtime/toolkit.h"

namespace vexlith {
namespace {

char Upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// `name` in upper case, in `buffer` when it fits there and otherwise in a
// heap block kept in `*held` (null when the heap is exhausted).
class UpperName {
public:
    explicit UpperName(const char *name) {
        std::size_t length = std::strlen(name);
        char *text = length < sizeof buffer_ ? buffer_ : (held_ = rt::NewArray<char>(length + 1));
        if (!text) return;
        for (std::size_t i = 0; i <= length; ++i)
            text[i] = Upper(name[i]);
        text_ = text;
    }
    ~UpperName() { rt::Free(held_); }
    UpperName(const UpperName &) = delete;
    UpperName &operator=(const UpperName &) = delete;
    const char *get() const { return text_; }

private:
    char buffer_[256];
    char *held_ = nullptr;
    const char *text_ = nullptr;
};

// Anonymous blocks keep their form: "*", one of U, D, T and X, and digits.
bool IsAnonymousBlock(const char *name, std::size_t length) {
    if (length < 2 || length > kR12NameMost || name[0] != '*') return false;
    if (!std::strchr("UDTX", Upper(name[1]))) return false;
    for (std::size_t i = 2; i < length; ++i) {
        if (name[i] < '0' || name[i] > '9') return false;
    }
    return true;
}

bool IsR12Character(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '$' || c == '_' || c == '-';
}

// The bytes of one character of a UTF-8 text at `text` (1 for a byte that
// starts none), so that a character outside ASCII becomes one "_".
std::size_t CharacterLength(const unsigned char *text) {
    int length = text[0] >= 0xF0 ? 4 : text[0] >= 0xE0 ? 3 : text[0] >= 0xC0 ? 2 : 1;
    for (int i = 1; i < length; ++i) {
        if ((text[i] & 0xC0) != 0x80) return 1;
    }
    return static_cast<std::size_t>(length);
}

// `name` in the form R12 programs accept, into `legal` (NUL-terminated);
// its length.
std::size_t R12Form(const char *name, char (&legal)[kR12NameMost + 1]) {
    std::size_t length = std::strlen(name);
    std::size_t used = 0;
    if (IsAnonymousBlock(name, length)) {
        for (; used < length; ++used)
            legal[used] = Upper(name[used]);
    } else {
        const auto *text = reinterpret_cast<const unsigned char *>(name);
        for (std::size_t at = 0; at < length && used < kR12NameMost;) {
            char c = Upper(name[at]);
            if (at == 0 && c == '*') c = '$';
            legal[used++] = IsR12Character(c) ? c : '_';
            at += CharacterLength(text + at);
        }
        if (used == 0) legal[used++] = '_';  // an empty name is no name
    }
    legal[used] = '\0';
    return used;
}

}  // namespace

bool SameSymbol(const char *a, const char *b) {
    for (; *a && Upper(*a) == Upper(*b); ++a, ++b) {
    }
    return Upper(*a) == Upper(*b);
}

void *SymbolIndex::Find(const char *name) const {
    if (!name) return index_.Find(nullptr);
    UpperName key(name);
    return key.get() ? index_.Find(key.get()) : nullptr;
}

bool SymbolIndex::Add(const char *name, void *record) {
    if (!name) return index_.Add(nullptr, record);
    UpperName upper(name);
    if (!upper.get()) return false;
    if (index_.Find(upper.get())) return true;
    char *key = rt::Duplicate(upper.get());
    if (!key) return false;
    if (!keys_.Append(key)) {
        rt::Free(key);
        return false;
    }
    return index_.Add(key, record);
}

void SymbolIndex::Release() {
    for (char *key : keys_)
        rt::Free(key);
    keys_.Release();
    index_.Release();
}

char *R12Names::Keep(const char *text, std::size_t length) {
    char *copy = rt::NewArray<char>(length + 1);
    if (!copy) return nullptr;
    std::memcpy(copy, text, length);
    copy[length] = '\0';
    if (!blocks_.Append(copy)) {
        rt::Free(copy);
        return nullptr;
    }
    return copy;
}

const char *R12Names::NewName(Names &names, const char *name) {
    char legal[kR12NameMost + 1];
    std::size_t length = R12Form(name, legal);
    if (names.taken.Find(legal)) {
        // Taken: the next free suffix of this form. Each form keeps its
        // counter, so many names of one form cost no more than their number.
        auto *next = static_cast<unsigned long *>(names.suffixes.Find(legal));
        if (!next) {
            const char *key = Keep(legal, length);
            next = rt::New<unsigned long>();
            if (!next || !blocks_.Append(next)) {
                rt::Free(next);
                return nullptr;
            }
            if (!key || !names.suffixes.Add(key, next)) return nullptr;
            *next = 1;
        }
        char suffix[24] = {'_'};
        do {
            char *end = std::to_chars(suffix + 1, suffix + sizeof suffix, (*next)++).ptr;
            auto digits = static_cast<std::size_t>(end - suffix);
            std::size_t kept = std::min(length, kR12NameMost - digits);
            std::memcpy(legal + kept, suffix, digits);
            legal[kept + digits] = '\0';
        } while (names.taken.Find(legal));
        length = std::strlen(legal);
    }
    char *written = Keep(legal, length);
    if (!written || !names.taken.Add(written, written)) return nullptr;
    return written;
}

bool R12Names::AddDefinition(SymbolKind kind, const char *name) {
    if (!name) return true;
    Names &names = names_[static_cast<int>(kind)];
    if (names.byText.Find(name) || names.claimed.Find(name)) return true;
    if (!names.bySymbol.Find(name)) {
        return AddReference(kind, name) && names.claimed.Add(name, const_cast<char *>(name));
    }
    // A second entry whose name differs from an earlier one's only in the
    // case of its letters: a name of its own, found by its exact text.
    const char *written = NewName(names, name);
    return written && names.byText.Add(name, const_cast<char *>(written));
}

bool R12Names::AddReference(SymbolKind kind, const char *name) {
    if (!name) return true;
    Names &names = names_[static_cast<int>(kind)];
    if (names.bySymbol.Find(name)) return true;
    const char *written = NewName(names, name);
    return written && names.bySymbol.Add(name, const_cast<char *>(written));
}

const char *R12Names::Of(SymbolKind kind, const char *name) const {
    if (!name) return nullptr;
    const Names &names = names_[static_cast<int>(kind)];
    // Records in a row mostly name the same layer: the last answer is kept.
    if (names.lastName && std::strcmp(names.lastName, name) == 0) return names.lastWritten;
    auto *written = static_cast<const char *>(names.byText.Find(name));
    if (!written) written = static_cast<const char *>(names.bySymbol.Find(name));
    names.lastName = name;
    names.lastWritten = written;
    return written;
}

void R12Names::Release() {
    for (Names &names : names_) {
        names.bySymbol.Release();
        names.byText.Release();
        names.claimed.Release();
        names.taken.Release();
        names.suffixes.Release();
        names.lastName = names.lastWritten = nullptr;
    }
    for (void *block : blocks_)
        rt::Free(block);
    blocks_.Release();
}

}  // namespace vexlith
