// SPDX-License-Identifier: MIT
/*
 * corvane: the toolkit's message service. Messages go to a sink the host
 * sets, or to standard error.
 */
#ifndef CORVANE_H
#define CORVANE_H

#include "pellund.h"

#if defined(_WIN32)
#if defined(CORVANE_BUILDING)
#define CORVANE_API __declspec(dllexport)
#else
#define CORVANE_API __declspec(dllimport)
#endif
#else
#define CORVANE_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Posts a printf-formatted message. `level` 0 is informational. *report is
 * set to null (report may be null); posting a message does not fail. */
CORVANE_API void qsmg_LogMessage(int level, qerr_Report **report, const char *format, ...)
    PELLUND_PRINTF(3, 4);

/* Where messages go from now on, for every thread; null restores standard
 * error, where each message is printed on a line of its own. */
CORVANE_API void qsmg_SetSink(void (*sink)(void *context, const char *message), void *context);

#ifdef __cplusplus
}
#endif

#endif /* CORVANE_H */
