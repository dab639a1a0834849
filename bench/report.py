#!/usr/bin/env python3
"""Turns the measurements of scripts/bench.sh into docs/benchmarks.md: one
table of figure, launcher, baseline, ratio, target and whether it is met,
with the machine and the command that made it."""
import argparse
import json
import os
import re
import statistics


def samples(path):
    """key=value lines, keys prefixed with the program's name, into lists."""
    values = {}
    with open(path) as f:
        for line in f:
            key, _, value = line.strip().partition("=")
            if value:
                values.setdefault(key, []).append(float(value))
    return values


def ratio(a, b):
    return f"{a / b:.2f}" if b else "—"


def met(ok):
    return "yes" if ok else "**no**"


def artwork_bytes(definition, resources):
    """Bytes of the bitmaps the window definition embeds (one copy per
    reference) and of the icon."""
    with open(definition) as f:
        names = re.findall(r"TBitmap\('([^']+)'\)", f.read())
    total = sum(os.path.getsize(os.path.join(resources, n)) for n in names)
    icon = os.path.join(resources, "MainIcon.bmp")
    if os.path.exists(icon):
        total += os.path.getsize(icon)
    return total, len(names)


def main():
    p = argparse.ArgumentParser()
    for name in ("startup", "breakdown", "idle", "pointer", "sizes", "definition", "resources", "machine", "command", "out"):
        p.add_argument("--" + name, required=True)
    a = p.parse_args()

    start = samples(a.startup)
    idle = samples(a.idle)
    rows = []

    lf, ff = start["launcher.first_frame_ms"], start["floor.first_frame_ms"]
    l_med, f_med = statistics.median(lf), statistics.median(ff)
    rows.append((f"Start to first frame, median of {len(lf)} / {len(ff)} runs",
                 f"{l_med:.1f} ms", f"{f_med:.1f} ms (floor program)", ratio(l_med, f_med),
                 "≤ 1.15 × floor", met(l_med <= 1.15 * f_med)))

    # Where the start-up's time goes, phase by phase (medians of the runs
    # with the marks preloaded).
    marks = samples(a.breakdown)
    phases = (("libraries", None, "libraries loaded, the program's code about to run"),
              ("sdl_init", "libraries", "the program's own work before it opens the display"),
              ("sdl_up", "sdl_init", "SDL's video starting (opening the display)"),
              ("window", "sdl_up", "creating the window"),
              ("frame", "window", "from the window to its first picture handed to X"))

    def phase(name, mark, since):
        end = marks[f"{name}.mark_{mark}_ms"]
        begin = marks[f"{name}.mark_{since}_ms"] if since else [0.0] * len(end)
        return statistics.median(e - b for e, b in zip(end, begin))

    notes = []
    if l_med > 1.15 * f_med:
        own = phase("launcher", "sdl_init", "libraries") - phase("floor", "sdl_init", "libraries")
        shown = (phase("launcher", "frame", "sdl_up") - phase("floor", "frame", "sdl_up"))
        notes.append(
            f"Start-up target not met: the launcher's first frame comes {l_med - f_med:.0f} ms after the floor's. "
            f"{own:.0f} ms of that is its own work before it opens the display: reading the window definition, "
            "whose pictures are copied out of the embedded stream and then widened to 32-bit pixels. "
            f"Another {shown:.0f} ms lies between the display opening and the first picture handed to X "
            "(composing the full 640x480 frame from the pictures before it is painted). Each of those copies "
            "is fresh memory: the launcher takes {faults} minor page faults before its first frame where the "
            "floor takes {ffaults}.")
    for mark, since, title in phases:
        lp, fp = phase("launcher", mark, since), phase("floor", mark, since)
        rows.append((f"Start-up phase: {title}", f"{lp:.1f} ms", f"{fp:.1f} ms (floor program)", ratio(lp, fp),
                     "— (breakdown)", "—"))
    l_faults = statistics.median(start["launcher.minor_faults_at_first_frame"])
    f_faults = statistics.median(start["floor.minor_faults_at_first_frame"])
    notes = [n.replace("{faults}", f"{l_faults:.0f}").replace("{ffaults}", f"{f_faults:.0f}") for n in notes]
    rows.append(("Start-up: minor page faults until the first frame (median)", f"{l_faults:.0f}",
                 f"{f_faults:.0f} (floor program)", ratio(l_faults, f_faults), "— (breakdown)", "—"))

    l_cpu, f_cpu = idle["launcher.idle_cpu_ms"][0], idle["floor.idle_cpu_ms"][0]
    secs = idle["launcher.idle_seconds"][0]
    rows.append((f"Idle CPU time over {secs:.0f} s, no input",
                 f"{l_cpu:.3f} ms", f"{f_cpu:.3f} ms (floor program)", ratio(l_cpu, f_cpu),
                 "< 10 ms", met(l_cpu < 10)))
    l_wake = int(idle["launcher.idle_voluntary_switches"][0])
    f_wake = int(idle["floor.idle_voluntary_switches"][0])
    rows.append((f"Idle wake-ups over {secs:.0f} s (voluntary context switches, all threads)",
                 str(l_wake), f"{f_wake} (floor program)", "—", "0 (the event wait blocks)", met(l_wake == 0)))

    l_hwm = statistics.median(start["launcher.vm_hwm_kb"]) / 1024
    f_hwm = statistics.median(start["floor.vm_hwm_kb"]) / 1024
    rows.append(("Peak resident memory (VmHWM, median)", f"{l_hwm:.1f} MiB", f"{f_hwm:.1f} MiB (floor program)",
                 ratio(l_hwm, f_hwm), "≤ floor + 6 MiB", met(l_hwm <= f_hwm + 6)))

    with open(a.pointer) as f:
        bench = {b["run_name"]: b for b in json.load(f)["benchmarks"] if b.get("aggregate_name") == "median"}
    base = bench["BM_Baseline_MoveWithoutHandler"]

    def ns(b):
        scale = {"ns": 1, "us": 1e3, "ms": 1e6}[b["time_unit"]]
        return b["cpu_time"] * scale

    for key, title in (("BM_MoveOverLitItem", "Pointer: move over a lit item"),
                       ("BM_MoveOverBackgroundNothingLit", "Pointer: move over the background, nothing lit")):
        b = bench[key]
        ok = ns(b) < 1000 and b["pictures_copied"] == 0 and b["pixels_repainted"] == 0
        rows.append((title, f"{ns(b):.0f} ns, {b['pictures_copied']:.0f} pictures, {b['pixels_repainted']:.0f} px",
                     f"{ns(base):.0f} ns (the move with no handler)", ratio(ns(b), ns(base)),
                     "< 1 µs, no pixels copied", met(ok)))
    b = bench["BM_MoveChangingHighlight"]
    both = b["pixels_of_both_items"]
    ok = b["pictures_copied"] == 2 and b["pixels_repainted"] == both
    rows.append(("Pointer: move that changes the highlight (INSTALL ↔ EXIT)",
                 f"{ns(b):.0f} ns, {b['pictures_copied']:.0f} pictures, {b['pixels_repainted']:.0f} px",
                 f"{both:.0f} px (the two images)", ratio(b["pixels_repainted"], both),
                 "copies only the two images", met(ok)))

    art, refs = artwork_bytes(a.definition, a.resources)
    with open(a.sizes) as f:
        for line in f:
            parts = line.split()
            if parts[0] == "linux":
                exe, floor = int(parts[1]), int(parts[2])
                rows.append(("Size: Linux executable, stripped",
                             f"{exe / 1024:.0f} KiB, artwork {100 * art / exe:.0f} %",
                             f"{floor / 1024:.0f} KiB (floor program)", ratio(exe, floor), "— (reported)", "—"))
            elif parts[1] == "not-built":
                rows.append((f"Size: Windows executable ({parts[0][8:]}), stripped", "not built", "—", "—",
                             "— (reported)", "—"))
            else:
                exe = int(parts[1])
                rows.append((f"Size: Windows executable ({parts[0][8:]}), stripped",
                             f"{exe / 1024:.0f} KiB, artwork {100 * art / exe:.0f} %", "—", "—", "— (reported)", "—"))

    out = ["# Benchmarks", "",
           "Generated by `scripts/bench.sh`; do not edit by hand. Each figure is measured against its baseline "
           "in the same run and judged as a ratio, because the machines are shared and noisy; absolute figures "
           "stand beside it for information only.", "",
           "| Figure | Launcher | Baseline | Ratio | Target | Met? |",
           "|---|---|---|---|---|---|"]
    out += ["| " + " | ".join(r) + " |" for r in rows]
    out += [""] + [n + "\n" for n in notes]
    out += [f"Artwork: {art / 1024:.0f} KiB of uncompressed bitmaps ({refs} pictures of the window definition, "
            "each embedded once per image that shows or holds it, and the icon).",
            "",
            f"Machine: {a.machine}.", "",
            f"Command: `{a.command}`.", ""]
    os.makedirs(os.path.dirname(a.out), exist_ok=True)
    with open(a.out, "w") as f:
        f.write("\n".join(out))


if __name__ == "__main__":
    main()
