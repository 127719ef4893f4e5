#!/usr/bin/env bash
# The generated manual page formats without a warning, and the generated bash
# completion completes what a user types.
set -euo pipefail
man_page=$1
completion=$2

if command -v groff > /dev/null; then
    warnings=$(groff -man -Tutf8 -ww -z "$man_page" 2>&1)
    [ -z "$warnings" ] || { echo "groff warns: $warnings"; exit 1; }
fi

source "$completion"
failed=0
# A command line (the last word is the one being completed) | what it offers
while IFS='|' read -r line expected; do
    read -ra COMP_WORDS <<< "$line"
    [[ $line == *' ' ]] && COMP_WORDS+=("")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    _vexlith || true  # its status is that of its last test
    got="${COMPREPLY[*]}"
    if [ "$got" != "$expected" ]; then
        echo "completing '$line': got '$got', expected '$expected'"
        failed=1
    fi
done << 'CASES'
vexlith d|dump
vexlith --v|--version
vexlith dump --q|--quick
vexlith dump --only |
vexlith convert in.dxf out.dxf --|--binary --ascii --r12 --strict --recover --force --quiet --progress --help
vexlith a|audit
vexlith render in.dxf --b|--background
vexlith info examples/|
vexlith frobnicate --|
CASES
exit $failed
