// SPDX-License-Identifier: MIT
/*
 * Fault injection and counters of the test build of pellund (pellund_testing).
 * The shipped library has none of these: they exist only for test programs
 * that link pellund_testing instead of pellund.
 *
 * Counting starts at the last pellund_TestReset. A countdown of n makes the
 * n-th following call of its kind fail (1 is the next one); 0 disables it.
 * Allocations are every block the toolkit gives out or keeps for itself;
 * reads are qfio_ReadSeq and qfio_Fgets calls and the refills of qfio_ReadView; writes are
 * qfio_WriteSeq, qfio_Fprintf calls and the write-out of qfio_Close.
 */
#ifndef PELLUND_TESTING_H
#define PELLUND_TESTING_H

#include "pellund.h"

#ifdef __cplusplus
extern "C" {
#endif

PELLUND_API void pellund_TestReset(void);
PELLUND_API void pellund_TestFailAllocation(long n);
/* From the n-th following allocation on, every allocation fails until the
 * next reset: a heap that stays exhausted. */
PELLUND_API void pellund_TestExhaustHeap(long n);
PELLUND_API void pellund_TestFailRead(long n);
PELLUND_API void pellund_TestFailWrite(long n);
/* Every file read from the byte at `offset` on fails: a refill of a handle's
 * buffer ends there, and the next one fails. Negative: off. */
PELLUND_API void pellund_TestFailReadAtByte(long long offset);
/* Calls of each kind since the last reset. */
PELLUND_API long pellund_TestAllocationCount(void);
PELLUND_API long pellund_TestReadCount(void);
PELLUND_API long pellund_TestWriteCount(void);
/* Blocks allocated and not yet released, since the process started. */
PELLUND_API long pellund_TestLiveBlocks(void);
/* File handles open now. */
PELLUND_API int pellund_TestOpenHandles(void);
/* Links followed by qllm_AddToList and qllm_Add to find the end of a list,
 * since the last reset: 0 when every append is made after the last record. */
PELLUND_API long pellund_TestListSteps(void);
/* Bytes of the heap in use now (as the system allocator counts them, so a
 * little more than requested), and the most in use at once since the last
 * reset. */
PELLUND_API long long pellund_TestLiveBytes(void);
PELLUND_API long long pellund_TestPeakBytes(void);
/* qtxt_Text_strcmp calls since the last reset. */
PELLUND_API long pellund_TestTextCompares(void);

#ifdef __cplusplus
}
#endif

#endif
