#!/bin/sh
# SPDX-License-Identifier: MIT
# The example converted with --r12, read by GDAL's ogrinfo, a DXF reader of its
# own: every entity, with its layer and its layer's line type and colour.
# Usage: check_r12.sh FILE
if ! command -v ogrinfo >/dev/null; then
    echo "skipped: ogrinfo (Debian package gdal-bin) is not installed"
    exit 0
fi
fail() { echo "$1"; exit 1; }
features=$(ogrinfo -ro -al -q "$1" 2>/dev/null) || fail "ogrinfo cannot read $1"
layers=$(echo "$features" | sed -n 's/^ *Layer (String) = //p' | sort -u | tr '\n' ' ')
[ "$layers" = "0 DOORS GARDEN ROOF WALLS " ] || fail "layers: $layers"
[ "$(echo "$features" | grep -c '^OGRFeature')" = 11 ] || fail "not 11 features: $features"
for expected in 'PEN(c:#00ff00,p:"2g 1g")' 'Text (String) = A house, by vexlith' \
    'POLYGON ((128 0,132 0,132 18,128 18,128 0))'; do
    echo "$features" | grep -qF "$expected" || fail "no '$expected' in: $features"
done
