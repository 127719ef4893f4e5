// SPDX-License-Identifier: MIT
// Doubly linked lists whose records begin with the links next and previous.
#include "internal.h"

namespace {

struct Links {
    Links *next;
    Links *prev;
};

Links *LastOf(Links *record) {
    long steps = 0;
    while (record->next) {
        record = record->next;
        ++steps;
    }
    pellund::CountListSteps(steps);
    return record;
}

}  // namespace

extern "C" {

void *qllm_AddToList(void *list, int listType, void *record) {
    if (!record) return list;
    if (!list) {
        auto *links = static_cast<Links *>(record);
        links->next = nullptr;
        links->prev = nullptr;
        return record;
    }
    qllm_Add(list, listType, record);
    return list;
}

void qllm_Add(void *list, int /*listType*/, void *record) {
    if (!list || !record) return;
    Links *last = LastOf(static_cast<Links *>(list));
    auto *links = static_cast<Links *>(record);
    last->next = links;
    links->prev = last;
    links->next = nullptr;
}

int qllm_Count(const void *list) {
    int count = 0;
    for (auto *links = static_cast<const Links *>(list); links; links = links->next)
        ++count;
    return count;
}

}  // extern "C"
