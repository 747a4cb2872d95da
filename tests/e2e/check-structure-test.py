#!/usr/bin/env python3
"""The layer rules of scripts/check-structure, on a small map of their own: which includes pass,
which fail, and that a kept back edge that has gone, or that goes down, is reported."""
import importlib.machinery
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
check = importlib.machinery.SourceFileLoader(
    "check_structure", os.path.join(HERE, "..", "..", "scripts", "check-structure")).load_module()

MAP = """
| rank | layer | paths |
|---|---|---|
| 1 | platform | `platform/` |
| 2 | core | `core/` |
| 3 | engine services | `engine/` |
| 4 | renderer | `renderer/` |
| 7 | scene | `scene/` |
| 8 | effects | `effects/` |
| 8 | online | `online/` |
| 9 | scene kinds | `scene/kinds/` |
| 10 | frame | `engine/Game`, `engine/platform/` |

| file | may also include | why |
|---|---|---|
| `scene/entities/Entity.cpp` | `engine/Game.h`, `online/Player.h` | the Game's lists |
| `renderer/Gone.cpp` | `scene/Entity.h` | no longer included |
| `scene/Down.cpp` | `core/Thing.h` | goes down anyway |
"""

CASES = [
    # (including file, included header, allowed)
    ("core/strings/Text.cpp", "platform/os/Thread.h", True),
    ("platform/os/Thread.cpp", "core/strings/Text.h", False),
    ("core/strings/Text.cpp", "engine/EngineClock.h", False),
    ("scene/entities/Entity.cpp", "renderer/NorvexRenderer.h", True),
    ("renderer/NorvexRenderer.cpp", "scene/entities/Entity.h", False),
    ("scene/entities/Entity.cpp", "engine/Game.h", True),  # a listed back edge
    ("scene/entities/EntityManager.cpp", "engine/Game.h", False),  # the same header, another file
    ("scene/entities/Entity.cpp", "engine/NorvexEngine.h", True),  # engine services, lower
    ("scene/entities/Entity.cpp", "engine/GameFrame.h", False),  # longest prefix: the frame
    ("effects/SFXEntity.cpp", "online/Player.h", False),  # equal rank, another layer
    ("effects/SFXEntity.cpp", "effects/SFXContext.h", True),
    ("scene/kinds/MeshEntity.cpp", "effects/MeshAnimator.h", True),
    ("scene/entities/Entity.cpp", "scene/kinds/MeshEntity.h", False),
    ("engine/Game.cpp", "scene/kinds/MeshEntity.h", True),
    ("engine/platform/GameWindow.cpp", "engine/GameFrame.h", True),  # one layer, two prefixes
]


def main():
    problems = []
    layers = check.LayerMap(MAP, problems)
    failures = [f"map read with problems: {problems}"] if problems else []
    for path, name, allowed in CASES:
        if layers.allows(path, name) != allowed:
            failures.append(f"{path} -> {name}: expected {'allowed' if allowed else 'refused'}")

    reported = []
    check.check_layers("renderer/Device.cpp", [(3, "scene/Entity.h"), (4, "tests/support/X.h")], layers, reported)
    if len(reported) != 2 or "renderer/Device.cpp:3:" not in reported[0] or "tests/" not in reported[1]:
        failures.append(f"check_layers reported {reported}")

    stale = []
    includes = {"scene/entities/Entity.cpp": {"engine/Game.h", "online/Player.h"}, "scene/Down.cpp": {"core/Thing.h"}}
    check.check_back_edges_used(layers, includes, stale)
    if len(stale) != 2 or not any("renderer/Gone.cpp" in p for p in stale) or \
            not any("scene/Down.cpp" in p and "goes down" in p for p in stale):
        failures.append(f"stale back edges reported as {stale}")

    bad = []
    check.LayerMap(MAP.replace("| 3 | engine", "| x | engine").replace("| the Game's lists |", "| |"), bad)
    if len(bad) != 2:
        failures.append(f"a malformed map gave {bad}")

    calls = 'gProfiler.SetValue(63, 1.0f, 0); gProfiler.StartTimer(PROFILER_LOS, 0); gProfiler->AddValue(f(1, 2), 3);'
    channels = [channel for _, channel in check.channel_arguments(calls, check.PROFILER_CALL, lambda name: 1)]
    if channels != ["63", "PROFILER_LOS", "f(1, 2)"]:
        failures.append(f"profiler channel arguments read as {channels}")

    live = []
    check.LayerMap(check.read(check.MAP_DOC), live)
    if live:
        failures.append(f"the real map: {live}")

    for failure in failures:
        print(failure)
    print(f"check-structure-test: {len(CASES)} cases, {len(failures)} failure(s)")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
