#!/bin/sh
# SPDX-License-Identifier: MIT
# The example as GeoJSON, read by GDAL's ogrinfo, a reader of its own: the
# features, their kinds and blocks, and a few coordinates. Then the example
# converted with --r12, read by ogrinfo's DXF reader: every entity, with its
# layer and its layer's line type and colour.
# Usage: check_geojson.sh TOOL OUTDIR
tool=$1 out=$2
if ! command -v ogrinfo >/dev/null; then
    echo "skipped: ogrinfo (Debian package gdal-bin) is not installed"
    exit 0
fi
fail() { echo "$1"; exit 1; }
"$tool" render examples/house.dxf "$out/house.geojson" >/dev/null || fail "render failed"
summary=$(ogrinfo -ro -al -so "$out/house.geojson") || fail "ogrinfo cannot read it"
echo "$summary" | grep -q '^Feature Count: 17$' || fail "$summary"
features=$(ogrinfo -ro -al -q "$out/house.geojson")
for expected in \
    'POLYGON ((128 0,132 0,132 18,128 18,128 0))' \
    'POLYGON ((5 25,15 25,15 35,5 35,5 25))' \
    'text (String) = A house, by vexlith' \
    'POINT (0 -15)' \
    'rgb (String) = #0000ff'; do
    echo "$features" | grep -qF "$expected" || fail "no '$expected' in: $features"
done
[ "$(echo "$features" | grep -c 'block (String) = WINDOW')" = 6 ] || fail "not 6 in WINDOW"
# The arc of the door, a quarter of radius 12: its chords keep within the
# tolerance asked for, so a coarse one gives fewer points.
fine=$(echo "$features" | grep -A6 'kind (String) = ARC' | grep LINESTRING | grep -o ',' | wc -l)
"$tool" render examples/house.dxf "$out/coarse.geojson" --chord-tolerance 1 >/dev/null
coarse=$(ogrinfo -ro -al -q "$out/coarse.geojson" | grep -A6 'kind (String) = ARC' | grep LINESTRING | grep -o ',' | wc -l)
[ "$coarse" -lt "$fine" ] && [ "$coarse" -ge 2 ] || fail "arc points: $fine fine, $coarse coarse"
"$tool" convert examples/house.dxf "$out/house-r12.dxf" --r12 || fail "convert --r12 failed"
features=$(ogrinfo -ro -al -q "$out/house-r12.dxf" 2>/dev/null) || fail "ogrinfo cannot read it"
layers=$(echo "$features" | sed -n 's/^ *Layer (String) = //p' | sort -u | tr '\n' ' ')
[ "$layers" = "0 DOORS GARDEN ROOF WALLS " ] || fail "layers: $layers"
[ "$(echo "$features" | grep -c '^OGRFeature')" = 11 ] || fail "not 11 features: $features"
for expected in 'PEN(c:#00ff00,p:"2g 1g")' 'POLYGON ((128 0,132 0,132 18,128 18,128 0))'; do
    echo "$features" | grep -qF "$expected" || fail "no '$expected' in: $features"
done
