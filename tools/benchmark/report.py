#!/usr/bin/python3
"""Turns the benchmark's measurement lines into the printed figures: each round, the medians and
the table of goals met or missed."""

import argparse
import statistics
import sys

MIB = 1 << 20
BUFFER_SLACK = 256 * 1024  # what "a little above" the 1 MiB buffer allows
TIMER_MS = 499.0


def read_lines(path):
    """Each line: round=N KIND key=value ... ; gives [(round, kind, {key: value})]."""
    rows = []
    with open(path, encoding="utf-8") as lines:
        for line in lines:
            words = line.split()
            if len(words) < 2 or not words[0].startswith("round="):
                continue
            values = {}
            for word in words[2:]:
                key, _, value = word.partition("=")
                try:
                    values[key] = float(value)
                except ValueError:
                    values[key] = value
            rows.append((int(words[0][6:]), words[1], values))
    return rows


def pick(rows, kind, key, round_=None, **match):
    """The values of key in the lines of one kind (of one round; whose fields equal match)."""
    return [v[key] for r, k, v in rows
            if k == kind and key in v and (round_ is None or r == round_)
            and all(v.get(m) == want for m, want in match.items())]


def median(values):
    return statistics.median(values) if values else float("nan")


def spread(values):
    return "%.0f-%.0f" % (min(values), max(values)) if values else "none"


def ratio(numerator, denominator):
    return numerator / denominator if denominator else float("nan")


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("results")
    parser.add_argument("--machine", required=True)
    parser.add_argument("--command", required=True)
    parser.add_argument("--disc", required=True)
    parser.add_argument("--leveling", required=True, help="how the memory was put into one state")
    args = parser.parse_args()
    rows = read_lines(args.results)
    rounds = sorted({r for r, _, _ in rows})
    if not rounds:
        sys.exit("bench: no measurements were taken")

    print("Velvet Tinkers installer benchmark")
    print("machine: %s" % args.machine)
    print("command: %s" % args.command)
    print("disc:    %s" % args.disc)
    print("memory:  %s" % args.leveling)
    print()
    print("round | Setup MiB/s | bare MiB/s | dd MiB/s | Setup/bare | cancel ms | removal ms |"
          " frames / ticks | copy extra KiB | start Setup ms | start dialog ms")
    bare_ratios, dd_ratios = [], []
    for r in rounds:
        setup = median(pick(rows, "install", "mibps", r))
        bare = median(pick(rows, "bare", "mibps", r))
        dd = median(pick(rows, "dd", "mibps", r))
        bare_ratios.append(ratio(setup, bare))
        dd_ratios.append(ratio(setup, dd))
        extra = [c - i for c, i in zip(pick(rows, "install", "copy_private", r), pick(rows, "install", "idle_private", r))]
        print("%5d | %11.1f | %10.1f | %8.1f | %10.3f | %9.1f | %10.1f | %6d / %5.2f | %14.0f | %14.0f | %15.0f" % (
            r, setup, bare, dd, bare_ratios[-1],
            median(pick(rows, "cancel", "latency", r)) * 1000, median(pick(rows, "cancel", "removal", r)) * 1000,
            sum(pick(rows, "install", "frames", r)), sum(pick(rows, "install", "ticks", r)), median(extra) / 1024,
            median(pick(rows, "startup", "seconds", r, program="setup")) * 1000,
            median(pick(rows, "startup", "seconds", r, program="dialog")) * 1000))
    print()

    setup_rate = median(pick(rows, "install", "mibps"))
    block_ms = ratio(1000.0, setup_rate)
    def ms(key):
        return [v * 1000 for v in pick(rows, "cancel", key)]
    latency, removal = ms("latency"), ms("removal")
    besides = [a - b for a, b in zip(latency, removal)]
    frames, ticks = pick(rows, "install", "frames"), pick(rows, "install", "ticks")
    animation = ratio(sum(frames), sum(ticks))
    spans = pick(rows, "install", "frame_span")
    steady = ratio(sum(f - 1 for f, s in zip(frames, spans) if f > 1), sum(s for s in spans) / (TIMER_MS / 1000.0))
    extras = [c - i for c, i in zip(pick(rows, "install", "copy_private"), pick(rows, "install", "idle_private"))]
    ws_extras = [c - i for c, i in zip(pick(rows, "install", "copy_ws"), pick(rows, "install", "idle_ws"))]
    start_setup = [v * 1000 for v in pick(rows, "startup", "seconds", program="setup")]
    start_dialog = [v * 1000 for v in pick(rows, "startup", "seconds", program="dialog")]
    start_ratio = ratio(median(start_setup), median(start_dialog))

    print("medians over %d rounds:" % len(rounds))
    print("  copy, first block to last: Setup.exe %.1f MiB/s, bare loop %.1f MiB/s (by its own clock %.1f),"
          " dd %.1f MiB/s" % (setup_rate, median(pick(rows, "bare", "mibps")),
                               median(pick(rows, "bare", "self_mibps")), median(pick(rows, "dd", "mibps"))))
    print("  single copies, slowest to fastest: Setup.exe %s, bare loop %s, dd %s MiB/s"
          % tuple(spread(pick(rows, kind, "mibps")) for kind in ("install", "bare", "dd")))
    cpu_ratios = [ratio(median(pick(rows, "install", "cpu_mibps", r)), median(pick(rows, "bare", "cpu_mibps", r)))
                  for r in rounds]
    print("  per CPU second of the copying process: Setup.exe %.1f MiB, bare loop %.1f MiB (ratio %.3f);"
          " the copy used %.0f %% of a core" % (
              median(pick(rows, "install", "cpu_mibps")), median(pick(rows, "bare", "cpu_mibps")),
              median(cpu_ratios), 100 * median([c / w for c, w in zip(pick(rows, "install", "cpu_seconds"),
                                                                       pick(rows, "install", "seconds")) if w > 0])))
    print("  Setup.exe / bare loop %.3f, Setup.exe / dd %.3f (medians of the rounds' ratios);"
          " one 1 MiB block takes %.2f ms" % (median(bare_ratios), median(dd_ratios), block_ms))
    print("  press of 実行 to the first block %.1f ms; last block to the main menu (registration) %.1f ms"
          % (median(pick(rows, "install", "click_to_first")) * 1000, median(pick(rows, "install", "last_to_menu")) * 1000))
    print("  cancel: %.1f ms from the posted press of 中止 to the main menu answering; the copy stopped after"
          " %.1f ms, the first file went at %.1f ms, removing the files took %.1f ms, the rest after the folder"
          " went %.1f ms" % (median(latency), median(ms("copy_stopped")), median(ms("to_removal")),
                               median(removal), median(ms("after_removal"))))
    print("  animation: %d frames reached the screen in %.1f ticks of the %d ms timer (%.1f %%);"
          " from first to last frame %.1f %% of the ticks, median interval %.0f ms"
          % (sum(frames), sum(ticks), TIMER_MS, animation * 100, steady * 100,
             median([v * 1000 for v in pick(rows, "install", "frame_interval") if v > 0])))
    print("  memory: idle %.0f KiB private, %.0f KiB working set; during the copy +%.0f KiB private,"
          " +%.0f KiB working set" % (median(pick(rows, "install", "idle_private")) / 1024,
                                       median(pick(rows, "install", "idle_ws")) / 1024,
                                       median(extras) / 1024, median(ws_extras) / 1024))
    print("  start-up to the main menu: Setup.exe %.0f ms, minimal dialog %.0f ms (%d starts each)"
          % (median(start_setup), median(start_dialog), len(start_setup)))
    print()

    goals = [
        ("copy rate, Setup.exe / bare loop", "%.3f" % median(bare_ratios), ">= 0.90", median(bare_ratios) >= 0.9),
        ("copy rate, Setup.exe / dd", "%.3f" % median(dd_ratios), "none: Wine's own cost", None),
        ("cancel latency less the removal", "%.1f ms" % median(besides), "< %.1f ms (3 blocks)" % (3 * block_ms),
         median(besides) < 3 * block_ms),
        ("  the removal of the files", "%.1f ms" % median(removal), "shown apart", None),
        ("animation frames / timer ticks", "%.1f %%" % (animation * 100), ">= 90 %", animation >= 0.9),
        ("memory during the copy above idle", "%.0f KiB" % (median(extras) / 1024),
         "<= %.0f KiB" % ((MIB + BUFFER_SLACK) / 1024), median(extras) <= MIB + BUFFER_SLACK),
        ("start-up, Setup.exe / minimal dialog", "%.3f" % start_ratio, "< 1.20", start_ratio < 1.2),
    ]
    width = max(len(g[0]) for g in goals)
    print("%-*s | %-10s | %-22s | %s" % (width, "goal", "measured", "target", "result"))
    print("-" * (width + 48))
    for name, measured, target, met in goals:
        result = "" if met is None else ("met" if met else "MISSED")
        print("%-*s | %-10s | %-22s | %s" % (width, name, measured, target, result))


if __name__ == "__main__":
    main()
