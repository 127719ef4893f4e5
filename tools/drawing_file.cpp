// SPDX-License-Identifier: MIT
// Reading a drawing for a command, and telling a file's form.
#include "drawing_file.h"

#include <cstdio>
#include <cstring>
#include <string_view>

#include "cli.h"
#include "corvane.h"
#include "progress.h"

namespace cli {
namespace {

// Where the log messages of one read go.
struct ReadLog {
    IgnoredKinds *ignored;
    IgnoredKinds *translated;
    std::set<std::string> shown;  // "NAME entity not translated: reason" told once each
};

// The kind a message "KIND<suffix>..." names, or empty.
std::string_view KindBefore(std::string_view message, std::string_view suffix) {
    std::size_t at = message.find(suffix);
    return at == std::string_view::npos || at == 0 ? std::string_view{} : message.substr(0, at);
}

void CollectKinds(void *context, const char *message) {
    auto &log = *static_cast<ReadLog *>(context);
    std::string_view text = message;
    if (std::string_view kind = KindBefore(text, " entity ignored");
        !kind.empty() && text.ends_with(" entity ignored") && log.ignored) {
        log.ignored->emplace(kind);
        return;
    }
    if (std::string_view kind = KindBefore(text, " entity translated"); !kind.empty()) {
        if (log.translated) log.translated->emplace(kind);
        return;
    }
    if (std::string_view kind = KindBefore(text, " entity not translated: "); !kind.empty()) {
        if (log.ignored) log.ignored->emplace(kind);
        // The same reason for another entity of the kind is not told again.
        if (!log.shown.emplace(text.substr(0, text.rfind(" (handle "))).second) return;
    }
    std::fprintf(stderr, "%s\n", message);
}

}  // namespace

const Qdxf_ReadOptions *CommandReadOptions(bool strict) {
    static const Qdxf_ReadOptions kAll{sizeof(Qdxf_ReadOptions), QDXF_READ_ALL, 0.0};
    return strict ? nullptr : &kAll;
}

Qdxf_Info *ReadDrawing(const std::string &fileName, bool progressRequested, IgnoredKinds *ignored,
                       const Qdxf_ReadOptions *options, IgnoredKinds *translated) {
    ReadLog log{ignored, translated, {}};
    qsmg_SetSink(CollectKinds, &log);
    ProgressBar bar("reading " + fileName, ShowProgress(progressRequested));
    qerr_Report *report = nullptr;
    Qdxf_Info *drawing = options
                             ? qdxf_ReadWithOptions(fileName.c_str(), bar.Meter(), options, &report)
                             : qdxf_Read(fileName.c_str(), bar.Meter(), &report);
    bar.Finish(drawing != nullptr);
    qsmg_SetSink(nullptr, nullptr);
    if (!drawing) {
        // What was printed so far reaches the terminal before the report.
        std::fflush(stdout);
        PrintReportChain(report);
    }
    return drawing;
}

FileForm DetectForm(const char *fileName) {
    // The binary sentinel, then the first group code: two zero bytes for codes
    // two bytes wide, a zero and the 'S' of SECTION for one-byte codes.
    static const char kSentinel[] = "AutoCAD Binary DXF\r\n\x1a";
    unsigned char head[24] = {};
    std::FILE *file = std::fopen(fileName, "rb");
    if (!file) return FileForm::Unreadable;
    std::size_t got = std::fread(head, 1, sizeof head, file);
    std::fclose(file);
    if (got < sizeof kSentinel || std::memcmp(head, kSentinel, sizeof kSentinel) != 0) {
        return FileForm::Ascii;
    }
    return got == sizeof head && head[22] == 0 && head[23] == 0 ? FileForm::BinaryTwoByte
                                                                : FileForm::BinaryOneByte;
}

const char *FormName(FileForm form) {
    switch (form) {
        case FileForm::Ascii:
            return "ASCII";
        case FileForm::BinaryOneByte:
            return "binary, one-byte group codes";
        case FileForm::BinaryTwoByte:
            return "binary, two-byte group codes";
        case FileForm::Unreadable:
            break;
    }
    return "unreadable";
}

}  // namespace cli
