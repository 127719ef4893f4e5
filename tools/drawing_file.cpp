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

void CollectIgnored(void *context, const char *message) {
    static constexpr std::string_view kSuffix = " entity ignored";
    std::string_view text = message;
    if (text.size() > kSuffix.size() && text.ends_with(kSuffix)) {
        static_cast<IgnoredKinds *>(context)->emplace(text.substr(0, text.size() - kSuffix.size()));
    } else {
        std::fprintf(stderr, "%s\n", message);
    }
}

}  // namespace

Qdxf_Info *ReadDrawing(const std::string &fileName, bool progressRequested, IgnoredKinds *ignored,
                       const Qdxf_ReadOptions *options) {
    if (ignored) qsmg_SetSink(CollectIgnored, ignored);
    ProgressBar bar("reading " + fileName, ShowProgress(progressRequested));
    qerr_Report *report = nullptr;
    Qdxf_Info *drawing = options
                             ? qdxf_ReadWithOptions(fileName.c_str(), bar.Meter(), options, &report)
                             : qdxf_Read(fileName.c_str(), bar.Meter(), &report);
    bar.Finish(drawing != nullptr);
    if (ignored) qsmg_SetSink(nullptr, nullptr);
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
