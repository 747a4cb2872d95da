#!/usr/bin/env bash
# The game over its demo data as a separate process: a full run ends by itself and exits 0, having
# shown each subsystem's part of the demo in the log, the frames and the mix; a run whose game
# client service fails exits non-zero; a second instance leaves at once and the first closes
# cleanly on SIGTERM; with the datakit command, a damaged looping video fails once, naming its file,
# and SIGTERM still closes the game. Any error line or script error in a run that should be clean
# fails the test.
# Usage: run-demo-test.sh <tessarine> <make-demo-data> <work folder> [<datakit>]
set -uo pipefail
game=$1
maker=$2
work=$3
datakit=${4:-}
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

# 1. The whole demo. Every subsystem's part of it leaves a named line in the log, in the order the
# demo tells its story; the frames show what moves and the mix holds each sound.
start=$(date +%s)
mkdir -p "$work/frames"
NORVEX_MAX_FRAMES=600 NORVEX_FRAME_PNG="$work/frames" NORVEX_FRAME_PNG_EVERY=8 NORVEX_AUDIO_WAV="$work/mix.wav" \
    NORVEX_LOG="$work/run.log" "$game" 2>"$work/run.err"
status=$?
echo "demo run: exit $status in $(( $(date +%s) - start )) s"
[ $status -eq 0 ] || fail "the demo run exited $status"
# Each line is looked for after the one before it.
previous=0
while IFS= read -r message; do
    line=$(tail -n +$((previous + 1)) "$work/run.log" | grep -n -F -m1 "$message" | cut -d: -f1)
    if [ -z "$line" ]; then fail "the log lacks \"$message\" after line $previous"; continue; fi
    previous=$((previous + line))
done <<'STORY'
Engine successfully initialized
Demo: DemoField script runs
Demo: the menu screen shows a list of 6 entries
Demo: the waver waves: true
Demo: the sun casts shadows on the field beside a red lamp
Demo: sparks fly from their particle template
Demo: an effect bursts with a glow, sparks, a light, a mesh and a nested glow
Demo: playing tone.ogg as sound 1
Demo: the parade sequence starts
Demo: a sentry patrols, driven by its behaviour tree
Demo: the parade moves Herald
Demo: the parade sounds horn.ogg as sound 2
Execute Behaviour Tree: Scan -> Action
//===== Sequence: Parade Begin
//===== Sequence: Finale Begin
Demo tick 30 (
Demo: switching to DemoOutpost
Demo: DemoOutpost script runs
Demo: the walker sets out round the wall
Demo: a video plays on the menu screen
Scene switched in
Demo: the walker arrived at 8.0, 40.0
Demo: the demo ends
Game closed
NorvexEngine closed
STORY
no_errors "$work/run.log" "the demo run"
# The string table and the system font come from the demo data; the menu answers the pointer.
for message in "Demo: the credits' tags are <title> <name>" "Demo: the greeting's speaker is 2" \
               "Resource loaded successfully (_system.ttf~020)" "Demo: the menu tab opens the options panel" \
               "Demo: the second menu entry is selected" "Demo: the mouse is over the third menu entry"; do
    grep -q -F "$message" "$work/run.log" || fail "the log lacks \"$message\""
done
python3 "$(dirname "$0")/check-demo-media.py" frames "$work/frames" || fail "the frames do not show the demo"
python3 "$(dirname "$0")/check-demo-media.py" sound "$work/mix.wav" || fail "the mix does not hold the demo's sounds"

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

# 4. The demo's looping video replaced by text: reported once with its file, and the render thread
# goes on, so SIGTERM closes the game (a watchdog kills it otherwise).
if [ -n "$datakit" ]; then
    mkdir -p "$work/damaged" && seq 1 1000 | head -c 4096 >"$work/damaged/Demo.ogv"
    "$datakit" pack "$work/damaged" "$work/data/videos.dat" >/dev/null || fail "datakit could not pack the damaged video"
    NORVEX_MAX_FRAMES=100000 NORVEX_LOG="$work/damaged.log" "$game" 2>/dev/null &
    damaged=$!
    for _ in $(seq 1 600); do grep -q "Video file videos/Demo.ogv" "$work/damaged.log" 2>/dev/null && break; sleep 0.1; done
    kill -TERM $damaged 2>/dev/null
    (sleep 60; kill -KILL $damaged 2>/dev/null) & watchdog=$!
    wait $damaged
    status=$?
    kill $watchdog 2>/dev/null
    [ $status -eq 0 ] || fail "the game with a damaged video exited $status after SIGTERM"
    [ "$(grep -c -F "Video file videos/Demo.ogv: no Ogg page in it" "$work/damaged.log")" -eq 1 ] ||
        fail "the damaged video was not reported once with its file"
fi

if [ $failures -ne 0 ]; then
    echo "--- demo log tail"; tail -30 "$work/run.log"; echo "--- stderr tail"; tail -10 "$work/run.err"
    echo "0 passed, $failures failed"
    exit 1
fi
echo "1 passed, 0 failed"
