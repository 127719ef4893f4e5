// SPDX-License-Identifier: MIT
// The work translations leave for the end of the read.
#include "translate/deferred.h"

#include "read/read_state.h"

namespace vexlith::translate {

std::size_t DeferredWork::Text(const char *text, std::size_t length, bool *failed) {
    if (!text) return kNoText;
    std::size_t at = texts.size();
    if (!texts.Append(text, length) || !texts.Append('\0')) {
        *failed = true;
        return kNoText;
    }
    return at;
}

bool FinishDeferred(Qdxf_ReadState &read, Qdxf_Info *drawing) {
    DeferredWork &work = read.translation.deferred;
    std::span<const Deferred> items(work.items.data(), work.items.size());
    if (items.empty()) return true;
    if (!FinishInfiniteLines(read, drawing, items)) return false;
    for (const Deferred &item : items) {
        if (item.kind == Deferred::kMLineCaps &&
            !FinishMLineCaps(read, drawing, item, work.texts.data()))
            return false;
    }
    return true;
}

}  // namespace vexlith::translate
