#!/usr/bin/env bash
# The demo data set, byte for byte, against the digests stored with the tests: every file the maker
# writes but the two that hold GUIDs drawn at random (the scene container and the user configuration).
# Any change to what the maker or the writers it calls produce shows here; NORVEX_UPDATE_GOLDEN=1
# rewrites the stored digests instead.
# Usage: demo-data-digest-test.sh <make-demo-data> <work folder> <stored digests>
set -euo pipefail
maker=$1
work=$2
stored=$3
rm -rf "$work"
"$maker" "$work" >"$work.log" 2>&1 || { cat "$work.log"; echo "FAIL: make-demo-data"; exit 1; }
digests=$(cd "$work" && find . -type f ! -path ./data/scenes.dat ! -path './user/*' | LC_ALL=C sort | xargs md5sum)
if [ -n "${NORVEX_UPDATE_GOLDEN:-}" ]; then
    echo "$digests" >"$stored"
fi
if ! diff "$stored" <(echo "$digests"); then
    echo "FAIL: the demo data differs from the stored digests"
    exit 1
fi
