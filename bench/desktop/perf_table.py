#!/usr/bin/env python3
"""Turns the figure lines of scripts/perf.sh into one Markdown table (on standard output).

Input lines: "PROGRAM WINDOWS FIGURE VALUE" (values in microseconds unless the figure's name
says otherwise; "timeout" when nothing happened in time). Arguments: results file, the X11
benchmark output, machine, date, load before, load after, mode, switches, idle seconds.
"""
import re
import statistics
import sys

DISPLAY_DELAY_MS = 200.0


def percentile(values, p):
    ordered = sorted(values)
    if not ordered:
        return None
    k = max(0, min(len(ordered) - 1, int(round(p / 100.0 * len(ordered) + 0.5)) - 1))
    return ordered[k]


def load(path):
    figures = {}
    timeouts = {}
    for line in open(path):
        parts = line.split()
        if len(parts) < 4:
            continue
        prog, windows, figure, value = parts[0], int(parts[1]), parts[2], parts[3]
        key = (prog, windows, figure)
        if value == "timeout":
            timeouts[key] = timeouts.get(key, 0) + 1
            continue
        try:
            figures.setdefault(key, []).append(float(value))
        except ValueError:
            pass
    return figures, timeouts


def fmt(value, unit):
    if value is None:
        return "–"
    if unit == "%":
        return "%.3f %%" % value
    if unit == "MB":
        return "%.1f MB" % value
    return "%.1f ms" % value if value >= 10 else "%.2f ms" % value


def ratio(v, a):
    if v is None or a is None or a == 0:
        return "–"
    return "%.2f" % (v / a)


def main():
    (results, x11_bench, machine, stamp, load_before, load_after, mode, switches, idle) = sys.argv[1:10]
    figures, timeouts = load(results)

    def values(prog, windows, figure):
        return figures.get((prog, windows, figure), [])

    def med(prog, windows, figure, scale=1e-3):
        v = values(prog, windows, figure)
        return statistics.median(v) * scale if v else None

    def p95(prog, windows, figure, scale=1e-3):
        v = values(prog, windows, figure)
        return percentile(v, 95) * scale if v else None

    def count(prog, windows, figure):
        n = len(values(prog, windows, figure))
        t = timeouts.get((prog, windows, figure), 0)
        return "%d" % n + (" (+%d timed out)" % t if t else "")

    rows = []
    floors = {}  # row label -> the floor's figure (quick switches only)
    for n in (10, 50, 200):
        label = ("Quick switch, %d windows, median (release to new active window; %s / %s / %s switches)"
                 % (n, count("velora", n, "quick"), count("alttab", n, "quick"), count("floor", n, "quick")))
        rows.append((label, med("velora", n, "quick"), med("alttab", n, "quick"), "ms"))
        floors[label] = med("floor", n, "quick")
        label = "Quick switch, %d windows, 95th percentile" % n
        rows.append((label, p95("velora", n, "quick"), p95("alttab", n, "quick"), "ms"))
        floors[label] = p95("floor", n, "quick")
    for n in (10, 50, 200):
        v = med("velora", n, "panel")
        rows.append(("Panel on screen, %d windows, median (velora: press to map minus the 0.2 s delay; "
                     "alttab: press to popup)" % n,
                     v - DISPLAY_DELAY_MS if v is not None else None, med("alttab", n, "panel"), "ms"))
    v = med("velora", 50, "pictures")
    rows.append(("Pictures, 50 windows, median (velora: press to every picture in its cell with the panel up, "
                 "minus the 0.2 s delay; alttab: press to popup, drawn with its pictures)",
                 v - DISPLAY_DELAY_MS if v is not None else None, med("alttab", 50, "panel"), "ms"))
    for n in (10, 50, 200):
        label = "CPU per switch, %d windows, median of batches" % n
        rows.append((label, med("velora", n, "cpu_per_switch"), med("alttab", n, "cpu_per_switch"), "ms"))
        floors[label] = med("floor", n, "cpu_per_switch")
    rows.append(("Start to hot keys live, 50 windows (velora: start to its hot keys registered)",
                 med("velora", 50, "startup"), None, "ms"))
    rows.append(("Idle CPU over %s s, 50 windows (share of one core)" % idle,
                 med("velora", 50, "idle_cpu_percent", 1), med("alttab", 50, "idle_cpu_percent", 1), "%"))
    def mb(prog, figure):
        return med(prog, 50, figure, 1 / 1024)

    growth = lambda a, b: (b - a) if a is not None and b is not None else None
    kinds = (("rss", "resident"), ("pss", "proportional: shared pages divided among their users"),
             ("anon", "own: anonymous, without mapped files"))
    for kind, label in kinds:
        at = {m: (mb("velora", "%s_%s_kb" % (kind, m)), mb("alttab", "%s_%s_kb" % (kind, m)))
              for m in ("start", "rest", "after")}
        if kind == "rss":
            rows.append(("Memory just after start (resident), 50 windows", at["start"][0], at["start"][1], "MB"))
        rows.append(("Memory at rest after first use (%s), 50 windows" % label, at["rest"][0], at["rest"][1], "MB"))
        if kind == "anon":
            cache = mb("velora", "picture_cache_kb")
            rows.append(("Picture cache (kept window pictures, part of the own memory above), 50 windows",
                         cache, None, "MB"))
            own = at["rest"][0] - cache if at["rest"][0] is not None and cache is not None else None
            rows.append(("Memory at rest after first use (own, without the picture cache), 50 windows",
                         own, at["rest"][1], "MB"))
        if kind != "pss":
            rows.append(("Memory (%s) growth over %s switches" % (kind.upper(), switches),
                         growth(at["rest"][0], at["after"][0]), growth(at["rest"][1], at["after"][1]), "MB"))

    out = []
    out.append("Run of %s (%s form), on %s." % (stamp, mode, machine))
    out.append("Load average (1, 5, 15 min) before: %s; after: %s." % (load_before, load_after))
    out.append("")
    out.append("| Figure | velora | alttab | velora / alttab | floor | velora − floor |")
    out.append("|---|---:|---:|---:|---:|---:|")
    for label, v, a, unit in rows:
        f = floors.get(label)
        over = fmt(v - f, unit) if v is not None and f is not None else "–"
        out.append("| %s | %s | %s | %s | %s | %s |" % (label, fmt(v, unit), fmt(a, unit), ratio(v, a),
                                                       fmt(f, unit), over))
    out.append("")
    try:
        bench = [l.rstrip() for l in open(x11_bench) if re.match(r"^(\w+)(/\S*)?\s+\d", l)]
    except FileNotFoundError:
        bench = []
    if bench:
        out.append("In-process X11 benchmarks (velora_x11_bench, 200 windows on the display):")
        out.append("")
        out.append("```")
        out.extend(bench)
        out.append("```")
        out.append("")
    print("\n".join(out))


if __name__ == "__main__":
    main()
