#!/usr/bin/env python3
"""What the demo run shows and sounds: checks its frames and its mix (python3 and zlib only).

check-demo-media.py frames <folder>   the PNG frames the graphics stand-in wrote
check-demo-media.py sound <file.wav>  the mix the audio stand-in wrote

Each check that fails prints a line starting with FAIL; the exit status is the number of failures.
The regions are where the demo's scripts put things: the camera stands at the origin looking along
+z (about 1200 pixels per unit at one unit away), the ground is six units below it, and the menu
screen is laid out in window pixels."""
import math
import struct
import sys
import wave
import zlib

# Pixel rectangles (x0, y0, x1, y1), end exclusive.
PANEL_PIXEL = (455, 145)               # the menu screen's panel (its far corner): blue in the field, green at the outpost
BAR = (50, 60, 450, 80)                # the panel's bar, filling over two seconds
MENU_LIST = (870, 90, 1230, 340)       # the menu's list, picked and dragged
MENU_TAB = (862, 42, 1018, 74)         # the menu's "Options" tab above the list's panel
MARKERS = (380, 485, 900, 565)         # the markers circling on the ground (below the herald)
WAVER = (60, 440, 320, 665)            # the skinned waver bending
HERALD = (420, 362, 860, 410)          # the beacon the parade sequence moves (tops only)
LAMP = (100, 470, 480, 570)            # the red lamp's pool on the ground
GROUND = ((1000, 650), (1200, 600), (640, 700))  # bare ground, lit by the sun alone
WALKER = (220, 505, 1060, 645)         # the walker going round the wall (below the beacon)
BEACON = (700, 230, 740, 355)          # the outpost's beacon rising above the horizon
POST_SHADOWS = ((345, 478, 440, 493), (955, 478, 1010, 493))  # the field's two posts' shadows
LIT_GROUND = ((1030, 480), (1100, 475), (1150, 470))        # sunlit ground beside them
LIT_FLAT = (1030, 462, 1200, 496)      # flat sunlit ground right of the posts, clear of every shadow
VIDEO = (40, 170, 296, 362)            # the video element on the menu screen at the outpost
VIDEO_QUARTERS = ((104, 218), (232, 218), (104, 314), (232, 314))  # the test picture's four chroma pairs
SPARKS = (1040, 500, 1250, 710)        # the sparks flying from their particle template
BURST = (540, 540, 740, 720)           # the effect's burst of sparks in front of the markers
BLOB = (1062, 606, 1120, 640)          # the outpost marker's blob shadow on the ground right of it
BLOB_LIT = ((1200, 620), (1180, 660))  # the ground beside it, lit by the sun alone
PATHS_PAIR = (312, 698, 500, 708)      # the field's paths: the straight strip its first two nodes share
PATHS_BEND = (360, 650, 480, 666)      # and the curved connection bowing away beyond them


def glowing(p):
    """The sparks' orange and yellow: neither the grey ground, the red lamp's pool nor the menu."""
    return p[0] > 180 and p[0] > p[2] + 90 and p[1] > p[2] + 50


def ribbon(p):
    """The paths' cyan ribbon: neither the warm ground nor the sparks."""
    return p[2] > p[0] + 60 and p[1] > p[0] + 40


def read_png(path):
    data = open(path, "rb").read()
    pos, idat, width, height = 8, b"", 0, 0
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        pos += 12 + length
        if kind == b"IHDR":
            width, height, depth, colour = struct.unpack(">IIBB", body[:10])
            if depth != 8 or colour != 2:
                raise ValueError("%s: not 8-bit RGB" % path)
        elif kind == b"IDAT":
            idat += body
    raw = zlib.decompress(idat)
    stride = width * 3 + 1
    rows = []
    for y in range(height):
        if raw[y * stride] != 0:
            raise ValueError("%s: row %d is filtered" % (path, y))
        rows.append(raw[y * stride + 1:(y + 1) * stride])
    return rows


def pixel(rows, x, y):
    return tuple(rows[y][x * 3:x * 3 + 3])


def changed_rows(a, b, box):
    x0, y0, x1, y1 = box
    return sum(1 for y in range(y0, y1) if a[y][x0 * 3:x1 * 3] != b[y][x0 * 3:x1 * 3])


def moves(frames, box):
    """Whether the region differs between two of the frames (not only in a row or two). A scene's
    first frame may come before its scripts have placed everything: it is left out."""
    return any(changed_rows(frames[1], other, box) >= 3 for other in frames[2:])


def slides(frames, box):
    """Whether the region's content slides up or down between two successive frames: rows with
    something drawn on them (not one flat colour) reappear at another height, and more of them than
    stay where they were. Entries that all looked alike would repeat at a shift of their height
    without moving; entries that read differently only do so when they really moved."""
    x0, y0, x1, y1 = box

    def drawn(row):
        return row[x0 * 3:x1 * 3] != row[x0 * 3:x0 * 3 + 3] * (x1 - x0)

    def matching(a, b, dy):
        return sum(1 for y in range(max(y0, y0 - dy), min(y1, y1 - dy))
                   if b[y][x0 * 3:x1 * 3] == a[y + dy][x0 * 3:x1 * 3] and drawn(b[y]))

    for a, b in zip(frames[1:], frames[2:]):
        still = matching(a, b, 0)
        if any(matching(a, b, dy) > max(still, 10) for dy in range(-(y1 - y0) // 2, (y1 - y0) // 2) if dy != 0):
            return True
    return False


def count(rows, box, test, step=2):
    x0, y0, x1, y1 = box
    return sum(1 for y in range(y0, y1, step) for x in range(x0, x1, step) if test(pixel(rows, x, y)))


def check_frames(folder):
    import os
    names = sorted(n for n in os.listdir(folder) if n.startswith("frame-") and n.endswith(".png"))
    field, outpost = [], []
    for name in names:
        rows = read_png(os.path.join(folder, name))
        r, g, b = pixel(rows, *PANEL_PIXEL)
        if b > r + 40 and b > g + 40:
            field.append(rows)
        elif g > r + 40 and g > b + 20:
            outpost.append(rows)
    print("frames: %d written, %d of the field, %d of the outpost" % (len(names), len(field), len(outpost)))
    failures = []

    def expect(ok, what):
        if not ok:
            failures.append(what)

    expect(len(field) >= 3, "fewer than three frames of the field")
    expect(len(outpost) >= 3, "fewer than three frames of the outpost")
    if len(field) >= 3:
        expect(moves(field, BAR), "the menu panel's bar does not fill")
        expect(slides(field, MENU_LIST), "the menu list's entries do not slide when it is dragged")
        # The tab's label shows above the panel: its yellow with the light text on it, the whole time.
        covered = [i for i, rows in enumerate(field[1:], 1)
                   if count(rows, MENU_TAB, lambda p: p[0] > 180 and p[1] > 140 and p[2] < 90) < 500 or
                   count(rows, MENU_TAB, lambda p: min(p) > 180) < 20]
        expect(not covered, "the menu's tab is covered in field frames %s" % covered)
        expect(moves(field, MARKERS), "the markers do not move")
        expect(moves(field, WAVER), "the waver does not move")
        expect(moves(field, HERALD), "the parade does not move the herald")
        # The parade takes the herald from the right of the field to its left and back.
        sides = {x < 640 for rows in field[1:] for x in range(HERALD[0], HERALD[2]) if sum(pixel(rows, x, 380)) > 30}
        expect(sides == {True, False}, "the herald is not seen on both sides (left of the middle: %s)" % sides)
        # The daylight's warm sun; the ground is neutral grey without it.
        cold = [p for p in GROUND if pixel(field[-1], *p)[0] < pixel(field[-1], *p)[2] + 15]
        expect(not cold, "the sun does not light the ground at %s" % cold)
        # The sun's shadow map: the ground right of each post lies darker than the sunlit ground.
        lit = max(sum(pixel(field[-1], *p)) for p in LIT_GROUND)
        for box in POST_SHADOWS:
            shaded = max(count(rows, box, lambda p: sum(p) < lit * 0.85) for rows in field[1:])
            expect(shaded >= 40, "no shadow beside the post at %s (%d darker pixels)" % (box[:2], shaded))
        # Shadow acne would stripe the lit ground with the map's own depths: it is even there.
        x0, y0, x1, y1 = LIT_FLAT
        spread = max(max(sums) - min(sums) for sums in
                     ([sum(pixel(rows, x, y)) for y in range(y0, y1, 2) for x in range(x0, x1, 2)] for rows in field[1:]))
        expect(spread <= 12, "the lit ground right of the posts is uneven (channel sums spread %d)" % spread)
        lamp = max(count(rows, LAMP, lambda p: p[0] > p[1] + 60 and p[0] > p[2] + 60) for rows in field)
        expect(lamp >= 50, "the lamp lights no ground red (%d pixels)" % lamp)
        # The particle entity and the effect's particle element each draw glowing flecks that fly.
        for name, box in (("the sparks", SPARKS), ("the effect's burst", BURST)):
            flecks = max(count(rows, box, glowing) for rows in field)
            expect(flecks >= 100, "%s show no flecks (%d pixels)" % (name, flecks))
            expect(moves(field, box), "%s do not move" % name)
        # The graph's ribbons lie on the ground in every frame once the scene is up.
        for name, box, least in (("straight strip", PATHS_PAIR, 150), ("curve", PATHS_BEND, 40)):
            shown = min(count(rows, box, ribbon) for rows in field[1:])
            expect(shown >= least, "the paths' %s is missing (%d ribbon pixels)" % (name, shown))
    if len(outpost) >= 3:
        expect(moves(outpost, WALKER), "the walker does not move")
        # The outpost draws in scene colour mode 1: its marker's blob shadow darkens the ground.
        lit = min(sum(pixel(outpost[-1], *p)) for p in BLOB_LIT)
        dark = min(count(rows, BLOB, lambda p: sum(p) < lit * 0.75) for rows in outpost[1:])
        expect(lit > 300 and dark >= 300, "no blob shadow beside the outpost's marker (%d darker pixels)" % dark)
        expect(moves(outpost, BEACON), "the beacon does not rise")
        # The video's picture: four quarters of different colours (a flat fill is no picture, flat
        # magenta a draw without a program), brightening from frame to frame.
        def picture(rows):
            quarters = [pixel(rows, *p) for p in VIDEO_QUARTERS]
            return len(set(quarters)) == 4 and max(sum(q) for q in quarters) > 150 and \
                any(q != (255, 0, 255) for q in quarters)
        shown = sum(1 for rows in outpost[1:] if picture(rows))
        expect(shown >= 2, "the video shows its picture in %d frames" % shown)
        expect(moves(outpost, VIDEO), "the video's picture does not change")
    for what in failures:
        print("FAIL: frames: " + what)
    return len(failures)


def tone_level(samples, rate, hz):
    """Goertzel: the amplitude of one frequency in a window of samples."""
    k = 2.0 * math.cos(2.0 * math.pi * hz / rate)
    s1 = s2 = 0.0
    for x in samples:
        s1, s2 = x + k * s1 - s2, s1
    power = s1 * s1 + s2 * s2 - k * s1 * s2
    return 2.0 * math.sqrt(max(power, 0.0)) / len(samples)


def check_sound(path):
    with wave.open(path) as w:
        rate, channels, width = w.getframerate(), w.getnchannels(), w.getsampwidth()
        data = w.readframes(w.getnframes())
    if width == 2:
        scale, code = 32768.0, "h"
    elif width == 4:
        scale, code = 1.0, "f"
    else:
        print("FAIL: sound: %d-byte samples" % width)
        return 1
    count_ = len(data) // width
    samples = struct.unpack("<%d%s" % (count_, code), data[:count_ * width])
    left = [s / scale for s in samples[::channels]]
    # One window of 2048 samples every quarter second: where each of the demo's pitches sounds.
    sounds = {"the tone": 440.0, "the parade's horn": 880.0, "the video's hum": 330.0}
    first = {}
    window = 2048
    for start in range(0, len(left) - window, rate // 4):
        chunk = left[start:start + window]
        if max(abs(x) for x in chunk) < 0.01:
            continue
        for name, hz in sounds.items():
            if name not in first and tone_level(chunk, rate, hz) > 0.05:
                first[name] = start / rate
    print("sound: %.1f s of mix; first heard at %s" % (len(left) / rate, ", ".join(
        "%s %.2f s" % (name, first[name]) for name in sounds if name in first)))
    failures = ["%s is never heard" % name for name in sounds if name not in first]
    order = [first[name] for name in sounds if name in first]
    if not failures and order != sorted(order):
        failures.append("the sounds play out of order")
    for what in failures:
        print("FAIL: sound: " + what)
    return len(failures)


if __name__ == "__main__":
    if len(sys.argv) != 3 or sys.argv[1] not in ("frames", "sound"):
        print(__doc__)
        sys.exit(2)
    sys.exit(check_frames(sys.argv[2]) if sys.argv[1] == "frames" else check_sound(sys.argv[2]))
