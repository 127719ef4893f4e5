// SPDX-License-Identifier: MIT
// The progress bar: the library reports the share of the file read after
// every group; the bar is drawn again only when the whole percentage changes.
#include "progress.h"

#include "terminal.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <utility>

namespace cli {
namespace {

constexpr int kWidth = 30;     // marks in a full bar
constexpr int kMinWidth = 10;  // marks kept before the label is shortened
constexpr int kFrame = 8;      // " [", "] " and "100%"

// The end of `label` in at most `room` bytes, "..." standing for the rest;
// the cut falls between characters.
std::string Shortened(const std::string &label, int room) {
    if (static_cast<int>(label.size()) <= room) return label;
    if (room < 4) return {};
    std::size_t start = label.size() - static_cast<std::size_t>(room - 3);
    while (start < label.size() && (static_cast<unsigned char>(label[start]) & 0xC0) == 0x80)
        ++start;
    return "..." + label.substr(start);
}

}  // namespace

bool ShowProgress(bool requested) {
    return requested || IsTerminal(stderr);
}

ProgressBar::ProgressBar(std::string label, bool shown)
    : label_(std::move(label)),
      shown_(shown),
      terminal_(IsTerminal(stderr)),
      meter_{&ProgressBar::Show, this} {
    if (!terminal_) return;
    // The bar is redrawn with a carriage return, which only works while it
    // stays on one line: it keeps off the last column, shortening the label
    // and then itself.
    int room = std::max(TerminalColumns(stderr) - 1 - kFrame, 0);
    width_ = std::min(kWidth, std::max(room - static_cast<int>(label_.size()), kMinWidth));
    width_ = std::min(width_, room);
    label_ = Shortened(label_, room - width_);
}

int ProgressBar::Marks(int percent) const {
    return percent * width_ / 100;
}

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
        std::fprintf(stderr, "\r%s [%-*s] %3d%%", label_.c_str(), width_, marks.c_str(), percent);
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
        int length = static_cast<int>(label_.size()) + width_ + kFrame;
        std::fprintf(stderr, "\r%*s\r", length, "");
    } else {
        std::fprintf(stderr, "%*s] %d%%\n", width_ - static_cast<int>(drawn_), "", percent_);
    }
    std::fflush(stderr);
}

}  // namespace cli
