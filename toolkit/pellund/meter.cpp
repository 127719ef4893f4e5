// SPDX-License-Identifier: MIT
// Progress: forwards a percentage to the host's meter.
#include "internal.h"

extern "C" void qmet_MeterInfoPrint(const qmet_Meter *meter, double percent, qerr_Report **report) {
    if (report) *report = nullptr;
    if (!meter) {
        if (report) *report = pellund::SystemReport("qmet_MeterInfoPrint", "No meter");
        return;
    }
    if (meter->show) meter->show(meter->context, percent);
}
