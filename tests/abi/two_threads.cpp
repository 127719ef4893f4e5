// SPDX-License-Identifier: MIT
// Reads on two threads at once through the shipped library (on Windows the
// DLL, whose entry switched thread notifications off): every read on either
// thread gives what the same read gave alone. Usage: two_threads GOOD BAD
#include <atomic>
#include <cstdio>
#include <string>
#include <thread>

#include "vexlith.h"

namespace {

// The version and entity count of a drawing, or the messages of its failure.
std::string Outcome(const char *path) {
    qerr_Report *report = nullptr;
    Qdxf_Info *drawing = qdxf_Read(path, nullptr, &report);
    std::string text;
    if (drawing) {
        text = drawing->header && drawing->header->acadver ? drawing->header->acadver : "-";
        int entities = 0;
        for (const Qdxf_Entity *entity = drawing->entities; entity; entity = entity->next)
            ++entities;
        text.append(" ").append(std::to_string(entities));
    }
    for (const qerr_Report *level = report; level; level = qerr_ReportInner(level))
        text.append("|").append(qerr_ReportMessage(level));
    qerr_ReportFree(report);
    qdxf_InfoFree(drawing);
    return text;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: two_threads GOOD BAD\n");
        return 2;
    }
    const std::string alone[2] = {Outcome(argv[1]), Outcome(argv[2])};
    std::atomic<int> differing{0};
    auto readMany = [&](int which) {
        for (int i = 0; i < 100; ++i)
            differing += Outcome(argv[1 + which]) != alone[which];
    };
    std::thread good(readMany, 0), bad(readMany, 1);
    good.join();
    bad.join();
    std::printf("%s / %s: %d reads differ\n", alone[0].c_str(), alone[1].c_str(), differing.load());
    return differing == 0 && alone[0].find('|') == std::string::npos &&
                   alone[1].find('|') != std::string::npos
               ? 0
               : 1;
}
