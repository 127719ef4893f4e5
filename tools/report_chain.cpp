// SPDX-License-Identifier: MIT
// What the tool shows of a failure: the report chain, and the file's form.
#include <cstring>

#include "cli.h"

namespace cli {

void PrintReportChain(qerr_Report *report) {
    for (const qerr_Report *level = report; level; level = qerr_ReportInner(level)) {
        std::fprintf(stderr, "%s: %s\n", qerr_ReportFunction(level), qerr_ReportMessage(level));
    }
    qerr_ReportFree(report);
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
