#!/usr/bin/env bash
# The game over its demo data as a separate process: a full run ends by itself and exits 0 with
# its frames presented, its scripts ticking and its sound mixed; a run whose game client service
# fails exits non-zero; a second instance leaves at once and the first closes cleanly on SIGTERM.
# Any error line or script error in a run that should be clean fails the test.
# Usage: run-demo-test.sh <tessarine> <make-demo-data> <work folder>
set -uo pipefail
game=$1
maker=$2
work=$3
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
# A run that logs an error or a script error is broken, however cleanly it exits.
no_errors() {
    local found
    found=$(grep -E '^error: |LUA: error|attempt to (index|call)' "$1" | head -3)
    [ -z "$found" ] || fail "$2 logged errors: $found"
}

rm -rf "$work"
mkdir -p "$work/run"
"$maker" "$work" >/dev/null || { echo "FAIL: make-demo-data"; exit 1; }

export NORVEX_APPDATA="$work/user" NORVEX_RUNTIME_DIR="$work/run"

# 1. The whole demo.
start=$(date +%s)
NORVEX_MAX_FRAMES=300 NORVEX_AUDIO_WAV="$work/mix.wav" NORVEX_LOG="$work/run.log" "$game" 2>"$work/run.err"
status=$?
echo "demo run: exit $status in $(( $(date +%s) - start )) s"
[ $status -eq 0 ] || fail "the demo run exited $status"
previous=0
for message in "Engine successfully initialized" "Demo: DemoField script runs" "Demo: a UI screen shows over the scene" \
               "Demo: sparks fly from their particle template" \
               "Demo: the scene's fanfare sequence starts" "Scene switched in" "//===== Sequence: Finale Begin" \
               "Demo tick 15" \
               "Demo: the walker sets out round the wall" "Demo: the walker arrived at 8" \
               "Demo: the demo ends" "Game closed" "NorvexEngine closed"; do
    line=$(grep -n -F -m1 "$message" "$work/run.log" | cut -d: -f1)
    if [ -z "$line" ]; then fail "the log lacks \"$message\""; continue; fi
    [ "$line" -gt "$previous" ] || fail "\"$message\" is out of order"
    previous=$line
done
no_errors "$work/run.log" "the demo run"
# The string table and the system font come from the demo data.
grep -q -F "Demo: the credits' tags are <title> <name>" "$work/run.log" || fail "the credits were not read"
grep -q -F "Demo: the greeting's speaker is 2" "$work/run.log" || fail "the greeting was not found"
grep -q -F "Resource loaded successfully (_system.ttf~020)" "$work/run.log" || fail "the system font did not load"
# The menu page answers the pointer events the script posts to its screen.
grep -q -F "Demo: the menu tab opens the options panel" "$work/run.log" || fail "the menu tab did not open its panel"
grep -q -F "Demo: the second menu entry is selected" "$work/run.log" || fail "the menu list did not select the pressed entry"
# The sentry's behaviour tree runs once it is spawned.
sentry=$(grep -n -F -m1 "Demo: a sentry patrols, driven by its behaviour tree" "$work/run.log" | cut -d: -f1)
scan=$(grep -n -F -m1 "Execute Behaviour Tree: Scan -> Action" "$work/run.log" | cut -d: -f1)
[ -n "$sentry" ] || fail "the sentry was not spawned"
[ -n "$scan" ] && [ "$scan" -gt "${sentry:-0}" ] || fail "the sentry's behaviour tree did not run"
presents=$(sed -n 's/.*Main loop ran \([0-9]*\) frames, \([0-9]*\) presents.*/\2/p' "$work/run.log" | tail -1)
[ -n "$presents" ] && [ "$presents" -gt 0 ] || fail "no frame was presented (${presents:-none})"
python3 - "$work/mix.wav" <<'PY' || fail "the mix is silent or missing"
import math, struct, sys, wave
with wave.open(sys.argv[1]) as w:
    frames = w.readframes(w.getnframes())
    width = w.getsampwidth()
if width == 2:
    samples = struct.unpack("<%dh" % (len(frames) // 2), frames)
    peak = max((abs(s) for s in samples), default=0) / 32768.0
elif width == 4:
    samples = struct.unpack("<%df" % (len(frames) // 4), frames)
    peak = max((abs(s) for s in samples), default=0.0)
else:
    sys.exit(1)
print("mix peak %.3f over %d bytes" % (peak, len(frames)))
sys.exit(0 if peak > 0.01 else 1)
PY

# 2. The game client service fails: the reason, a non-zero exit and no engine.
NORVEX_STEAM_FAIL=1 NORVEX_MAX_FRAMES=30 NORVEX_LOG="$work/steam.log" "$game" 2>"$work/steam.err"
status=$?
[ $status -ne 0 ] || fail "a failed start-up exited 0"
grep -q "start-up failed" "$work/steam.err" || fail "standard error does not say why start-up failed"
grep -q "Engine successfully initialized" "$work/steam.log" && fail "the engine claims to have started"

# 3. A second instance while the first runs; then the first is asked to stop.
NORVEX_MAX_FRAMES=100000 NORVEX_LOG="$work/first.log" "$game" 2>/dev/null &
first=$!
for _ in $(seq 1 200); do
    grep -q "Engine successfully initialized" "$work/first.log" 2>/dev/null && break
    sleep 0.1
done
second_start=$(date +%s)
NORVEX_LOG="$work/second.log" timeout 20 "$game" 2>"$work/second.err"
status=$?
[ $status -eq 0 ] || fail "the second instance exited $status"
[ $(( $(date +%s) - second_start )) -le 5 ] || fail "the second instance did not leave at once"
grep -q "runs already" "$work/second.err" || fail "the second instance did not find the first"
grep -q "Engine successfully initialized" "$work/second.log" 2>/dev/null && fail "the second instance started an engine"
kill -TERM $first
wait $first
status=$?
[ $status -eq 0 ] || fail "the first instance exited $status after SIGTERM"
grep -q "NorvexEngine closed" "$work/first.log" || fail "the first instance did not close its engine"
no_errors "$work/first.log" "the first instance"

if [ $failures -ne 0 ]; then
    echo "--- demo log tail"; tail -30 "$work/run.log"; echo "--- stderr tail"; tail -10 "$work/run.err"
    echo "0 passed, $failures failed"
    exit 1
fi
echo "1 passed, 0 failed"
