#!/bin/sh
# SPDX-License-Identifier: MIT
# The tool at a terminal of 40 columns (a pseudo-terminal made by script(1)):
# the progress bar stays on one line, and control characters from the file
# are shown escaped in info and dump. Usage: check_terminal.sh TOOL DRAWING
tool=$1 drawing=$2
if ! command -v script >/dev/null; then
    echo "skipped: script(1) is not installed"
    exit 0
fi
run() { script -qec "stty cols 40 2>/dev/null; $1" /dev/null </dev/null; }
fail() { echo "$1"; exit 1; }

long=$(dirname "$drawing")/../ascii/../ascii/../ascii/$(basename "$drawing")
bar=$(run "$tool info --progress $long >/dev/null")
[ -n "$bar" ] || fail "no progress bar"
printf '%s' "$bar" | tr '\r' '\n' | awk 'length($0) > 39 { bad = 1 } END { exit bad }' ||
    fail "the bar does not fit 40 columns: $bar"

shown=$(run "$tool info $drawing; $tool dump --only entities $drawing")
escape=$(printf '\033')
case $shown in *"$escape"*) fail "an escape character reached the terminal" ;; esac
printf '%s' "$shown" | grep -q '^  \\x1b\[2J\\x1b\[31mRED 1 entity' || fail "info: $shown"
printf '%s' "$shown" | grep -q 'text = bell\\x07 \\x1b]0;title\\x07done' || fail "dump: $shown"
