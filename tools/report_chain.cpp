// SPDX-License-Identifier: MIT
// What the tool shows of a failure: the report chain.
#include "cli.h"

namespace cli {

void PrintReportChain(qerr_Report *report, const std::string &written, const std::string &shown) {
    for (const qerr_Report *level = report; level; level = qerr_ReportInner(level)) {
        std::string message = qerr_ReportMessage(level);
        if (!written.empty()) {
            for (std::size_t at = message.find(written); at != std::string::npos;
                 at = message.find(written, at + shown.size()))
                message.replace(at, written.size(), shown);
        }
        std::fprintf(stderr, "%s: %s\n", qerr_ReportFunction(level), message.c_str());
    }
    qerr_ReportFree(report);
}

}  // namespace cli
