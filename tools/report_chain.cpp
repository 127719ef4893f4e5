// SPDX-License-Identifier: MIT
// What the tool shows of a failure: the report chain.
#include "cli.h"

namespace cli {

void PrintReportChain(qerr_Report *report) {
    for (const qerr_Report *level = report; level; level = qerr_ReportInner(level)) {
        std::fprintf(stderr, "%s: %s\n", qerr_ReportFunction(level), qerr_ReportMessage(level));
    }
    qerr_ReportFree(report);
}

}  // namespace cli
