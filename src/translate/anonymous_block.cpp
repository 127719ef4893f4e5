// SPDX-License-Identifier: MIT
// Anonymous blocks made by the translations, and their numbers.
#include "translate/anonymous_block.h"

#include <algorithm>
#include <charconv>
#include <cstdint>

#include "codec/group.h"
#include "model/release.h"
#include "read/readers.h"

namespace vexlith::translate {
namespace {

// A made block's name and its INSERT's block name have room for "*U" and any
// 64-bit number, so that renumbering never takes the heap.
constexpr std::size_t kNameSize = 24;

// Numbers of the file's *U blocks beyond this are not counted for the next
// number, so the numbers made always fit.
constexpr std::uint64_t kLargestCounted = 1'000'000'000'000'000'000ULL;

// The number of an anonymous block name "*U<digits>" (either case of U), or
// false for any other name.
bool NumberOf(const char *name, std::uint64_t *number) {
    if (!name || name[0] != '*' || (name[1] != 'U' && name[1] != 'u')) return false;
    const char *digits = name + 2;
    const char *end = digits + std::strlen(digits);
    if (digits == end) return false;
    auto [stop, error] = std::from_chars(digits, end, *number);
    return error == std::errc{} && stop == end;
}

void Count(Translation &translation, const char *name) {
    std::uint64_t number;
    if (NumberOf(name, &number) && number <= kLargestCounted)
        translation.largestNumber = std::max(translation.largestNumber, number);
}

// The next number, above those of the blocks read so far (the last ones of
// the list looked at once each) and of the block being read.
std::uint64_t NextNumber(Translation &translation, const Qdxf_Info *drawing,
                         const Qdxf_Block *parent) {
    const Qdxf_Block *block =
        translation.numberedUpTo ? translation.numberedUpTo->next : drawing->blocks;
    for (; block; block = block->next) {
        Count(translation, block->name);
        translation.numberedUpTo = block;
    }
    if (parent) Count(translation, parent->name);
    return ++translation.largestNumber;
}

void WriteName(char *name, std::uint64_t number) {
    name[0] = '*';
    name[1] = 'U';
    char *end = std::to_chars(name + 2, name + kNameSize - 1, number).ptr;
    *end = '\0';
}

// The heap's own share of each block, as the budget counts it.
constexpr std::uint64_t kBlockShare = 16;
constexpr std::uint64_t kLeastPieceBytes = sizeof(Qdxf_Entity) + kBlockShare + 2 + kBlockShare;

std::uint64_t TextBytes(const char *text) {
    return text ? std::strlen(text) + 1 + kBlockShare : 0;
}

// What a piece holds on the heap.
std::uint64_t PieceBytes(const Qdxf_Entity &piece) {
    std::uint64_t bytes = sizeof(Qdxf_Entity) + kBlockShare + TextBytes(piece.layerName) +
                          TextBytes(piece.handle) + TextBytes(piece.ltypeName);
    switch (piece.type) {
        case QDXF_POLYLINE:
        case QDXF_3DFACE:
            if (piece.data.polyline.vertices && piece.data.polyline.count > 0) {
                bytes +=
                    static_cast<std::uint64_t>(piece.data.polyline.count) * sizeof(Qdxf_Vertex) +
                    kBlockShare;
            }
            break;
        case QDXF_TEXT:
            bytes += TextBytes(piece.data.text.text) + TextBytes(piece.data.text.style);
            if (piece.data.text.alignmentPoint) bytes += sizeof(Qdxf_Coord) + kBlockShare;
            break;
        case QDXF_INSERT:
            bytes += TextBytes(piece.data.insert.blockName);
            break;
        default:
            break;
    }
    return bytes;
}

struct Budget {
    std::uint64_t pieces;
    std::uint64_t bytes;
};

// The read's budget, from the file's size or, where that is unknown (a
// pipe), from the bytes read so far.
Budget BudgetOf(const Qdxf_ReadState &read) {
    std::uint64_t size = static_cast<std::uint64_t>(std::max<long long>(read.fileSize, 0));
    size = std::max<std::uint64_t>(size, static_cast<std::uint64_t>(GroupPosition(read.source)));
    std::uint64_t pieces = size / 1024 * kBudgetPiecesPerKiB;
    std::uint64_t bytes = std::min(size, kBudgetMostBytes) * kBudgetBytesPerByte;
    return {std::clamp(pieces, kBudgetLeastPieces, kBudgetMostPieces),
            std::clamp(bytes, kBudgetLeastBytes, kBudgetMostBytes)};
}

}  // namespace

PieceBlock::~PieceBlock() {
    FreeBlock(block_);
}

bool PieceBlock::Begin() {
    if (block_) return true;
    block_ = rt::New<Qdxf_Block>();
    if (!block_) return false;
    block_->color = 256;
    block_->typeFlag = 1;
    block_->layerName = rt::Duplicate("0");
    block_->name = rt::NewArray<char>(kNameSize);
    return block_->layerName && block_->name;
}

bool PieceBlock::Account() {
    if (last_) bytes_ += PieceBytes(*last_);
    const Translation &translation = read_.translation;
    Budget budget = BudgetOf(read_);
    if (translation.budgetPieces + pieces_ <= budget.pieces &&
        translation.budgetBytes + bytes_ <= budget.bytes)
        return true;
    read_.translation.overBudget = true;
    return false;
}

std::uint64_t PieceBlock::Room() const {
    const Translation &translation = read_.translation;
    Budget budget = BudgetOf(read_);
    std::uint64_t pieces = translation.budgetPieces + pieces_;
    std::uint64_t bytes = translation.budgetBytes + bytes_;
    if (pieces >= budget.pieces || bytes >= budget.bytes) return 0;
    return std::min(budget.pieces - pieces, (budget.bytes - bytes) / kLeastPieceBytes);
}

bool SpendBudget(Qdxf_ReadState &read, const Qdxf_Entity &piece) {
    Translation &translation = read.translation;
    Budget budget = BudgetOf(read);
    std::uint64_t bytes = PieceBytes(piece);
    if (translation.budgetPieces + 1 > budget.pieces ||
        translation.budgetBytes + bytes > budget.bytes) {
        translation.overBudget = true;
        return false;
    }
    ++translation.budgetPieces;
    translation.budgetBytes += bytes;
    return true;
}

Qdxf_Entity *PieceBlock::Add(Qdxf_EntityType type) {
    // The last piece is complete: it is counted with what it owns, and the
    // new one with the least a piece takes.
    ++pieces_;
    bytes_ += kLeastPieceBytes;
    bool allowed = Account();
    bytes_ -= kLeastPieceBytes;
    if (!allowed || !Begin()) return nullptr;
    auto *piece = rt::New<Qdxf_Entity>();
    if (!piece) return nullptr;
    piece->layerName = rt::Duplicate("0");
    if (!piece->layerName) {
        rt::Free(piece);
        return nullptr;
    }
    piece->color = 0;  // BYBLOCK
    piece->type = type;
    piece->block = block_;
    if (type == QDXF_INSERT) {
        Qdxf_Insert &insert = piece->data.insert;
        insert.xScale = insert.yScale = insert.zScale = 1.0;
        insert.columnCount = insert.rowCount = 1;
    }
    rt::ListAppender<Qdxf_Entity> pieces(&block_->entities, &last_);
    pieces.Append(piece);
    return piece;
}

bool PieceBlock::Place(Qdxf_Entity &entity, Qdxf_Block *parent) {
    Translation &translation = read_.translation;
    if (!Account()) return false;
    char *blockName = rt::NewArray<char>(kNameSize);
    if (!Begin() || !blockName || !translation.made.Append({block_, nullptr})) {
        rt::Free(blockName);
        return false;
    }
    // An entity of the ENTITIES section read for a callback is released
    // before the read ends: its block keeps its number.
    bool kept = parent || !read_.entityCallback;
    if (kept) translation.made[translation.made.size() - 1].insert = &entity;

    WriteName(block_->name, NextNumber(translation, drawing_, parent));
    std::memcpy(blockName, block_->name, kNameSize);
    Qdxf_Layer *layer = FindLayer(read_, drawing_, "0");
    for (Qdxf_Entity *piece = block_->entities; piece; piece = piece->next)
        piece->layer = layer;
    block_->layer = block_->entities ? layer : nullptr;
    rt::ListAppender<Qdxf_Block> blocks(&drawing_->blocks, &read_.lastBlock);
    blocks.Append(block_);
    block_ = nullptr;
    last_ = nullptr;
    translation.budgetPieces += pieces_;
    translation.budgetBytes += bytes_;
    pieces_ = bytes_ = 0;

    ReleaseKindMembers(entity);
    entity.type = QDXF_INSERT;
    Qdxf_Insert &insert = entity.data.insert;
    insert.blockName = blockName;
    insert.xScale = insert.yScale = insert.zScale = 1.0;
    insert.columnCount = insert.rowCount = 1;
    return true;
}

bool FinishRead(Qdxf_ReadState &read, Qdxf_Info *drawing) {
    Translation &translation = read.translation;
    if (translation.made.empty()) return true;
    // The numbers of the file's own blocks, sorted.
    rt::Scratch<const Qdxf_Block *> made;
    rt::Scratch<std::uint64_t> taken;
    auto release = [&] {
        made.Release();
        taken.Release();
    };
    for (const MadeBlock &block : translation.made) {
        if (!made.Append(block.block)) return release(), false;
    }
    std::sort(made.data(), made.data() + made.size());
    std::uint64_t next = translation.largestNumber;
    for (const Qdxf_Block *block = drawing->blocks; block; block = block->next) {
        std::uint64_t number;
        if (std::binary_search(made.begin(), made.end(), block) ||
            !NumberOf(block->name, &number)) {
            continue;
        }
        if (!taken.Append(number)) return release(), false;
        if (number <= kLargestCounted) next = std::max(next, number);
    }
    std::sort(taken.data(), taken.data() + taken.size());
    for (const MadeBlock &block : translation.made) {
        std::uint64_t number;
        NumberOf(block.block->name, &number);
        if (!std::binary_search(taken.begin(), taken.end(), number)) continue;
        do {
            number = ++next;
        } while (std::binary_search(taken.begin(), taken.end(), number));
        WriteName(block.block->name, number);
        if (block.insert) WriteName(block.insert->data.insert.blockName, number);
    }
    release();
    return true;
}

}  // namespace vexlith::translate
