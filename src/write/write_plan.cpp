// SPDX-License-Identifier: MIT
#include "write/write_plan.h"

#include <charconv>
#include <cstring>

#include "model/kinds.h"
#include "model/release.h"

namespace vexlith {
namespace {

// Calls `visit` with the handle of every record written, while it says true.
template <typename Visit>
bool ForEachHandle(const Qdxf_Info &drawing, Visit visit) {
    auto entities = [&visit](const Qdxf_Entity *entity) {
        for (; entity; entity = entity->next) {
            int kind = EntityKind(*entity);
            if (kind >= QDXF_LINE && kind <= kKindCount && entity->handle && !visit(entity->handle))
                return false;
        }
        return true;
    };
    if (const Qdxf_Tables *tables = drawing.tables) {
        for (const Qdxf_Ltype *ltype = tables->ltypes; ltype; ltype = ltype->next) {
            if (ltype->handle && !visit(ltype->handle)) return false;
        }
        for (const Qdxf_Layer *layer = tables->layers; layer; layer = layer->next) {
            if (layer->handle && !visit(layer->handle)) return false;
        }
        for (const Qdxf_Style *style = tables->styles; style; style = style->next) {
            if (style->handle && !visit(style->handle)) return false;
        }
    }
    for (const Qdxf_Block *block = drawing.blocks; block; block = block->next) {
        if ((block->handle && !visit(block->handle)) || !entities(block->entities)) return false;
    }
    return entities(drawing.entities);
}

// Whether the `count` handles of the records written, none above `most`, are
// each unique; false when the heap is exhausted. Programs number handles from
// 1 up, so a bit for every number up to the largest takes a few bits a
// handle; handles spread wider go into a keyed hash set.
bool UniqueHandles(const Qdxf_Info &drawing, std::uint64_t most, std::size_t count, bool *unique) {
    *unique = true;
    if (most / 8 <= 2 * static_cast<std::uint64_t>(count)) {
        rt::Owned<std::uint64_t> bits(
            rt::NewArray<std::uint64_t>(static_cast<std::size_t>(most / 64 + 1)));
        if (!bits) return false;
        ForEachHandle(drawing, [&](const char *handle) {
            std::uint64_t value = 0;
            ParseHandle(handle, &value);
            std::uint64_t &word = bits.get()[value / 64], bit = std::uint64_t{1} << (value % 64);
            *unique = (word & bit) == 0;
            word |= bit;
            return *unique;
        });
        return true;
    }
    rt::NumberSet seen;
    bool heap = true;
    ForEachHandle(drawing, [&](const char *handle) {
        std::uint64_t value = 0;
        ParseHandle(handle, &value);
        heap = seen.Add(value, unique);
        return heap && *unique;
    });
    seen.Release();
    return heap;
}

// Line types that name no entry: the line type of the layer or of the block.
bool IsByLayerOrBlock(const char *ltype) {
    return SameSymbol(ltype, "BYLAYER") || SameSymbol(ltype, "BYBLOCK");
}

bool IsNameless(const char *name) {
    return !name || !*name;
}

// The number of an anonymous block's name ("*U" and digits, in any case),
// or 0. Numbers too large to be one given here are passed over.
std::uint64_t AnonymousNumber(const char *name) {
    if (name[0] != '*' || (name[1] != 'U' && name[1] != 'u') || !name[2]) return 0;
    std::uint64_t number = 0;
    const char *end = name + std::strlen(name);
    auto [at, error] = std::from_chars(name + 2, end, number);
    return error == std::errc() && at == end && number < (std::uint64_t{1} << 62) ? number : 0;
}

// One walk over the drawing: definitions first (table entries and blocks,
// which claim their names), then every record that refers to one. Texts
// and names go past the characters of the code page choice as they are met.
class Planner {
public:
    Planner(WritePlan &plan, unsigned int flags)
        : plan_(plan),
          complete_((flags & QDXF_WRITE_COMPLETE) != 0),
          renames_((flags & QDXF_WRITE_R12_NAMES) != 0) {}
    ~Planner() {
        for (SymbolIndex &index : defined_)
            index.Release();
        characters_.Release();
    }
    Planner(const Planner &) = delete;
    Planner &operator=(const Planner &) = delete;

    bool Plan(const Qdxf_Info &drawing) {
        if (!Definitions(drawing)) return false;
        // What every R12 drawing has.
        if (complete_ && !Defined(SymbolKind::Ltype).Find("CONTINUOUS") &&
            !AddNeeded(SymbolKind::Ltype, "CONTINUOUS")) {
            return false;
        }
        if (!Refer(SymbolKind::Layer, "0")) return false;
        if (const Qdxf_Header *header = drawing.header) {
            if (!Refer(SymbolKind::Layer, header->clayer) ||
                !Refer(SymbolKind::Ltype, header->celtype) ||
                !Refer(SymbolKind::Style, header->textstyle)) {
                return false;
            }
        }
        if (const Qdxf_Tables *tables = drawing.tables) {
            for (const Qdxf_Layer *layer = tables->layers; layer; layer = layer->next) {
                if (!Refer(SymbolKind::Ltype, layer->ltypeName)) return false;
            }
        }
        for (const Qdxf_Block *block = drawing.blocks; block; block = block->next) {
            if (!Refer(SymbolKind::Layer, block->layerName) ||
                !Refer(SymbolKind::Ltype, block->ltypeName) || !Entities(block->entities)) {
                return false;
            }
        }
        if (!Entities(drawing.entities)) return false;
        if (complete_ && handlesValid_ && handleCount_ > 0 && maxHandle_ < UINT64_MAX) {
            if (!UniqueHandles(drawing, maxHandle_, handleCount_, &plan_.handles)) return false;
            plan_.handleSeed = maxHandle_ + 1;
        }
        if (complete_ && !ChooseTextPage(characters_, &plan_.page)) return false;
        plan_.renames = renames_;
        return true;
    }

private:
    bool Definitions(const Qdxf_Info &drawing) {
        if (const Qdxf_Tables *tables = drawing.tables) {
            for (const Qdxf_Ltype *ltype = tables->ltypes; ltype; ltype = ltype->next) {
                if (!Define(SymbolKind::Ltype, ltype->name, ltype->handle) || !Text(ltype->text))
                    return false;
            }
            for (const Qdxf_Layer *layer = tables->layers; layer; layer = layer->next) {
                if (!Define(SymbolKind::Layer, layer->name, layer->handle)) return false;
            }
            for (const Qdxf_Style *style = tables->styles; style; style = style->next) {
                if (!Define(SymbolKind::Style, style->name, style->handle) ||
                    !Text(style->primaryFontFile) || !Text(style->bigFontFile)) {
                    return false;
                }
            }
        }
        std::uint64_t mostAnonymous = 0;
        bool nameless = false;
        for (const Qdxf_Block *block = drawing.blocks; block; block = block->next) {
            if (!Text(block->xrefPath)) return false;
            if (complete_ && IsNameless(block->name)) {
                nameless = true;
                continue;
            }
            if (!Define(SymbolKind::Block, block->name, block->handle)) return false;
            if (complete_ && block->name) {
                std::uint64_t number = AnonymousNumber(block->name);
                if (number > mostAnonymous) mostAnonymous = number;
            }
        }
        return !nameless || NameBlocks(drawing.blocks, mostAnonymous);
    }

    // Every block without a name gets "*U" and the next number above those
    // of the drawing's anonymous blocks.
    bool NameBlocks(const Qdxf_Block *blocks, std::uint64_t mostAnonymous) {
        for (const Qdxf_Block *block = blocks; block; block = block->next) {
            if (!IsNameless(block->name)) continue;
            char name[24] = {'*', 'U'};
            *std::to_chars(name + 2, name + sizeof name - 1, ++mostAnonymous).ptr = '\0';
            rt::Owned<char> given(rt::Duplicate(name));
            if (!given || !plan_.givenNames.Append(given.get())) return false;
            if (block->name && !plan_.emptyNameBlock) plan_.emptyNameBlock = given.get();
            if (!Define(SymbolKind::Block, given.release(), block->handle)) return false;
        }
        return true;
    }

    bool Define(SymbolKind kind, const char *name, const char *handle) {
        if (!Handle(handle)) return false;
        if (renames_ && !plan_.names.AddDefinition(kind, name)) return false;
        if (!name || !complete_) return true;
        if (!renames_ && !characters_.Add(name)) return false;
        if (kind == SymbolKind::Block) return true;
        return Defined(kind).Add(name, const_cast<char *>(name));
    }

    // A name a record refers to: its R12 name, and for a layer, a line type
    // or a text style that no entry defines, an entry of its own.
    bool Refer(SymbolKind kind, const char *name) {
        if (!name) return true;
        Last &last = last_[static_cast<int>(kind)];
        if (last.name && std::strcmp(last.name, name) == 0) return true;
        last.name = name;
        if (renames_ && !plan_.names.AddReference(kind, name)) return false;
        if (!complete_) return true;
        if (!renames_ && !characters_.Add(name)) return false;
        if (kind == SymbolKind::Block || Defined(kind).Find(name)) return true;
        if (kind == SymbolKind::Ltype && IsByLayerOrBlock(name)) return true;
        return AddNeeded(kind, name);
    }

    bool AddNeeded(SymbolKind kind, const char *name) {
        if (renames_ && !plan_.names.AddReference(kind, name)) return false;
        rt::Scratch<const char *> &added = kind == SymbolKind::Layer   ? plan_.addedLayers
                                           : kind == SymbolKind::Ltype ? plan_.addedLtypes
                                                                       : plan_.addedStyles;
        return Defined(kind).Add(name, const_cast<char *>(name)) && added.Append(name);
    }

    // A text that is no name, for the choice of the code page.
    bool Text(const char *text) { return !complete_ || characters_.Add(text); }

    // Every handle must be a number; whether each is unique is asked once
    // their count and the largest are known.
    bool Handle(const char *handle) {
        if (!complete_ || !handlesValid_ || !handle) return true;
        std::uint64_t value = 0;
        handlesValid_ = ParseHandle(handle, &value);
        if (value > maxHandle_) maxHandle_ = value;
        ++handleCount_;
        return true;
    }

    bool Entities(const Qdxf_Entity *list) {
        for (const Qdxf_Entity *entity = list; entity; entity = entity->next) {
            int kind = EntityKind(*entity);
            // Records of kinds that are not written refer to nothing.
            if (kind < QDXF_LINE || kind > kKindCount) continue;
            if (!Handle(entity->handle) || !Refer(SymbolKind::Layer, entity->layerName) ||
                !Refer(SymbolKind::Ltype, entity->ltypeName)) {
                return false;
            }
            if (kind == QDXF_TEXT && (!Refer(SymbolKind::Style, entity->data.text.style) ||
                                      !Text(entity->data.text.text))) {
                return false;
            }
            if (kind == QDXF_INSERT && !Refer(SymbolKind::Block, InsertedBlock(*entity)))
                return false;
        }
        return true;
    }

    const char *InsertedBlock(const Qdxf_Entity &insert) {
        const char *name = insert.data.insert.blockName;
        return name && !*name && plan_.emptyNameBlock ? plan_.emptyNameBlock : name;
    }

    // The entries of layers, line types and text styles, or to be added.
    SymbolIndex &Defined(SymbolKind kind) { return defined_[static_cast<int>(kind)]; }

    struct Last {
        const char *name = nullptr;
    };

    WritePlan &plan_;
    bool complete_;
    bool renames_;
    bool handlesValid_ = true;
    std::uint64_t maxHandle_ = 0;
    std::size_t handleCount_ = 0;
    SymbolIndex defined_[static_cast<int>(SymbolKind::Block)];
    TextCharacters characters_;
    Last last_[static_cast<int>(SymbolKind::Count)];  // the name looked at last, per kind
};

}  // namespace

bool ParseHandle(const char *text, std::uint64_t *value) {
    std::uint64_t number = 0;
    std::size_t digits = 0;
    for (const char *c = text; *c; ++c, ++digits) {
        int digit = *c >= '0' && *c <= '9'   ? *c - '0'
                    : *c >= 'A' && *c <= 'F' ? *c - 'A' + 10
                    : *c >= 'a' && *c <= 'f' ? *c - 'a' + 10
                                             : -1;
        if (digit < 0 || digits == 16) return false;
        number = number << 4 | static_cast<std::uint64_t>(digit);
    }
    *value = number;
    return digits > 0 && number != 0;
}

bool MakeWritePlan(WritePlan &plan, const Qdxf_Info &drawing, unsigned int flags) {
    Planner planner(plan, flags);
    return planner.Plan(drawing);
}

void ReleaseWritePlan(WritePlan &plan) {
    plan.names.Release();
    plan.addedLayers.Release();
    plan.addedLtypes.Release();
    plan.addedStyles.Release();
    for (char *name : plan.givenNames)
        rt::Free(name);
    plan.givenNames.Release();
    ReleaseTextPage(plan.page);
}

}  // namespace vexlith
