#!/usr/bin/env bash
# The demo's figures from an optimised build: frames per second headless, with presents unpaced,
# and the peak memory (maximum resident set) of the whole program, over the demo's full run (it
# quits by itself) or NORVEX_MAX_FRAMES frames.
# Usage: bench/demo-figures.sh [build folder]   (default build/rel; configured here as a Release
# build when it does not exist yet, otherwise built as it is configured)
set -euo pipefail
cd "$(dirname "$0")/.."

BUILD_DIR=${1:-build/rel}
JOBS=${NORVEX_JOBS:-4}
if [ ! -f "$BUILD_DIR/CMakeCache.txt" ]; then
  GENERATOR=()
  if command -v ninja >/dev/null 2>&1; then
    GENERATOR=(-G Ninja)
  fi
  cmake -S . -B "$BUILD_DIR" "${GENERATOR[@]}" -DCMAKE_BUILD_TYPE=Release -DNORVEX_BUILD_BENCH=OFF >/dev/null
fi
cmake --build "$BUILD_DIR" --parallel "$JOBS" --target tessarine make-demo-data >/dev/null

DEMO_DIR="$(cd "$BUILD_DIR" && pwd)/demo-figures"
rm -rf "$DEMO_DIR"
"$BUILD_DIR/tools/make-demo-data" "$DEMO_DIR" >/dev/null
mkdir -p "$DEMO_DIR/run"
export NORVEX_APPDATA="$DEMO_DIR/user" NORVEX_RUNTIME_DIR="$DEMO_DIR/run" NORVEX_LOG="$DEMO_DIR/demo.log"
export NORVEX_PRESENT_PACING=0 NORVEX_MAX_FRAMES=${NORVEX_MAX_FRAMES:-1000000}

# The game's frame count comes from its log; the wall time and the peak resident set from here.
python3 - "$BUILD_DIR/tessarine" "$DEMO_DIR/demo.log" <<'PY'
import re, resource, subprocess, sys, time
start = time.monotonic()
status = subprocess.call([sys.argv[1]], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
seconds = time.monotonic() - start
peak_kib = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss
found = re.findall(r"Main loop ran (\d+) frames, (\d+) presents", open(sys.argv[2], errors="replace").read())
if status != 0 or not found:
    sys.exit("demo-figures: the demo exited %d%s" % (status, "" if found else " without its frame count"))
frames, presents = map(int, found[-1])
print("demo: %d frames (%d presents) in %.2f s = %.1f frames per second unpaced; peak memory %.1f MiB"
      % (frames, presents, seconds, frames / seconds, peak_kib / 1024.0))
PY
