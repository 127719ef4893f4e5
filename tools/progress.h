// SPDX-License-Identifier: MIT
// A progress bar on stderr for a command that reads a drawing, fed by the
// library's meter.
#ifndef VEXLITH_TOOLS_PROGRESS_H
#define VEXLITH_TOOLS_PROGRESS_H

#include <string>

#include "vexlith.h"

namespace cli {

// Whether a bar is shown: when stderr is a terminal, or when the user asked
// for one (--progress) whatever stderr is.
bool ShowProgress(bool requested);

// The bar for one read. On a terminal it is redrawn in place and erased when
// the read ends; elsewhere it grows along one line, which it ends.
class ProgressBar {
public:
    ProgressBar(std::string label, bool shown);
    ~ProgressBar();
    ProgressBar(const ProgressBar &) = delete;
    ProgressBar &operator=(const ProgressBar &) = delete;

    // The meter to hand to qdxf_Read; null when no bar is shown, so that the
    // read does not count for it.
    qmet_Meter *Meter() { return shown_ ? &meter_ : nullptr; }
    // Ends the bar: full after a read that succeeded, where it stands after
    // one that failed. Later calls do nothing.
    void Finish(bool succeeded);

private:
    static void Show(void *context, double percent);
    void Draw(int percent);
    int Marks(int percent) const;

    std::string label_;
    bool shown_;
    bool terminal_;
    int width_ = 30;  // marks in a full bar
    bool started_ = false;
    bool finished_ = false;
    int percent_ = -1;
    std::size_t drawn_ = 0;  // marks drawn so far, off a terminal
    qmet_Meter meter_;
};

}  // namespace cli

#endif
