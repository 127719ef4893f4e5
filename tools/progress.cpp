// SPDX-License-Identifier: MIT
// The progress bar: the library reports the share of the file read after
// every group; the bar is drawn again only when the whole percentage changes.
#include "progress.h"

#include <cmath>
#include <cstdio>
#include <string>
#include <utility>

#if defined(_WIN32)
#include <io.h>
#define VEXLITH_ISATTY(fd) _isatty(fd)
#define VEXLITH_FILENO(stream) _fileno(stream)
#else
#include <unistd.h>
#define VEXLITH_ISATTY(fd) isatty(fd)
#define VEXLITH_FILENO(stream) fileno(stream)
#endif

namespace cli {
namespace {

constexpr int kWidth = 30;  // marks in a full bar

int Marks(int percent) {
    return percent * kWidth / 100;
}

}  // namespace

bool ShowProgress(bool requested) {
    return requested || VEXLITH_ISATTY(VEXLITH_FILENO(stderr));
}

ProgressBar::ProgressBar(std::string label, bool shown)
    : label_(std::move(label)),
      shown_(shown),
      terminal_(VEXLITH_ISATTY(VEXLITH_FILENO(stderr)) != 0),
      meter_{&ProgressBar::Show, this} {}

ProgressBar::~ProgressBar() {
    Finish(false);
}

void ProgressBar::Show(void *context, double percent) {
    auto *bar = static_cast<ProgressBar *>(context);
    if (bar->finished_ || std::isnan(percent)) return;
    // The library's total is an estimate for some files: keep within 0 to 100.
    int whole = percent <= 0.0 ? 0 : percent >= 100.0 ? 100 : static_cast<int>(percent);
    if (whole != bar->percent_) bar->Draw(whole);
}

void ProgressBar::Draw(int percent) {
    percent_ = percent;
    if (terminal_) {
        std::string marks(static_cast<std::size_t>(Marks(percent)), '#');
        std::fprintf(stderr, "\r%s [%-*s] %3d%%", label_.c_str(), kWidth, marks.c_str(), percent);
    } else {
        if (!started_) std::fprintf(stderr, "%s [", label_.c_str());
        for (; drawn_ < static_cast<std::size_t>(Marks(percent)); ++drawn_)
            std::fputc('#', stderr);
    }
    started_ = true;
    std::fflush(stderr);
}

void ProgressBar::Finish(bool succeeded) {
    if (!shown_ || finished_) return;
    if (succeeded) Draw(100);
    finished_ = true;
    if (!started_) return;
    if (terminal_) {
        // Erase the bar: what follows starts on a clean line.
        int length = static_cast<int>(label_.size()) + kWidth + 8;
        std::fprintf(stderr, "\r%*s\r", length, "");
    } else {
        std::fprintf(stderr, "%*s] %d%%\n", kWidth - static_cast<int>(drawn_), "", percent_);
    }
    std::fflush(stderr);
}

}  // namespace cli
