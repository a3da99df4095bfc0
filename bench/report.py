#!/usr/bin/env python3
"""Turns the benchmark's JSON and the probe-cost TSV into docs/BENCHMARKS.md's
tables (Markdown on stdout), the rewrite-per-strip plot and the per-page plot
of the multi-page operations (PNG, gnuplot).

Usage: report.py DIRECTORY_JSON PROBE_COST_TSV PLOT_PNG PAGES_PLOT_PNG
"""
import json
import subprocess
import sys
import tempfile

STRIPS = [1, 10, 1000, 100000, 1000000]
FLAVOURS = ["classic", "bigtiff"]
PAGES = [10, 100, 1000, 10000, 100000]
JUMPS = 1000
# Benchmark, what one item is, and the column heading.
PAGE_OPS = [
    ("WritePages", "page", "write"),
    ("NumberOfDirectories", "page", "count"),
    ("JumpAscending", "call", "jump, ascending"),
    ("JumpRandom", "call", "jump, random"),
    ("WalkPages", "page", "walk"),
    ("WalkFloor", "page", "walk floor (ifd_reader)"),
]


def load_benchmarks(path):
    runs = json.load(open(path))["benchmarks"]
    # With repetitions, the median stands for the run.
    medians = {r["run_name"]: r for r in runs if r.get("aggregate_name") == "median"}
    plain = {r["run_name"]: r for r in runs if r.get("run_type") == "iteration"}
    big_o = {r["run_name"]: r for r in runs if r.get("aggregate_name") == "BigO"}
    return (medians or plain), big_o


def to_ns(run):
    scale = {"ns": 1, "us": 1e3, "ms": 1e6, "s": 1e9}[run["time_unit"]]
    return run["real_time"] * scale


def per_strip(runs, kind, flavour, n):
    run = runs.get(f"BM_{kind}/{flavour}/{n}/manual_time")
    return to_ns(run) / n if run else float("nan")


def page_us(runs, op, unit, flavour, n):
    """µs per page or per call, or NaN when the run is missing."""
    name = f"BM_{op}/{flavour}/{n}/repeats:3/manual_time"
    run = runs.get(name)
    if not run:
        return float("nan")
    return to_ns(run) / 1e3 / (JUMPS if unit == "call" else n)


def page_report(runs, big_o, plot_png):
    """The multi-page table and plot; returns nothing, prints Markdown."""
    rows = {}
    for flavour in FLAVOURS:
        title = "classic TIFF" if flavour == "classic" else "BigTIFF"
        print(f"\nMulti-page files, {title}: µs per page (write, count, walk) or per "
              "call (jump), and the ratio to the walk floor:\n")
        print("| pages | " + " | ".join(h for _, _, h in PAGE_OPS) + " |")
        print("|---:|" + "---:|" * len(PAGE_OPS))
        for n in PAGES:
            values = [page_us(runs, op, unit, flavour, n) for op, unit, _ in PAGE_OPS]
            floor = values[-1]
            cells = [f"{v:.2f} ({v / floor:.1f}x)" for v in values[:-1]] + [f"{floor:.2f}"]
            print(f"| {n:,} | " + " | ".join(cells) + " |")
            rows.setdefault(flavour, []).append([n] + values)
    fits = []
    for op, _, _ in PAGE_OPS:
        fit = big_o.get(f"BM_{op}/classic/repeats:3/manual_time")
        if fit:
            fits.append(f"{op}: {fit['big_o']}")
    print("\nComplexity fit of the whole run per page count, classic (Google Benchmark): " +
          "; ".join(fits) + ".")

    with tempfile.NamedTemporaryFile("w", suffix=".dat", delete=False) as data:
        for row in rows["classic"]:
            data.write(" ".join(str(v) for v in row) + "\n")
    lines = ", \\\n     ".join(
        f'"{data.name}" using 1:{i + 2} with linespoints lw 2 title "{h}"'
        for i, (_, _, h) in enumerate(PAGE_OPS))
    script = f"""
set terminal pngcairo size 900,560 font ",11"
set output "{plot_png}"
set termoption noenhanced
set title "Multi-page classic TIFF: time per page (per call for the jumps)"
set logscale xy
set xlabel "pages in the file"
set ylabel "µs per page or call"
set key top left
set grid
plot {lines}
"""
    subprocess.run(["gnuplot"], input=script, text=True, check=True)


def main():
    bench_json, cost_tsv, plot_png, pages_png = sys.argv[1:5]
    runs, big_o = load_benchmarks(bench_json)

    print("Round trip of one field (create, set, write, close, reopen, fetch):\n")
    print("| field | µs per round trip |")
    print("|---|---:|")
    for field in ["short", "short_pair", "long", "ascii", "ink_names"]:
        run = runs[f"BM_FieldRoundTrip/{field}"]
        print(f"| {field} | {to_ns(run) / 1e3:.0f} |")

    print("\n`_TIFFRewriteField` of StripOffsets and StripByteCounts, ns per strip:\n")
    print("| strips | classic rewrite | classic pwrite floor | ratio "
          "| BigTIFF rewrite | BigTIFF pwrite floor | ratio |")
    print("|---:|---:|---:|---:|---:|---:|---:|")
    rows = []
    for n in STRIPS:
        cells = [f"{n:,}"]
        row = [n]
        for flavour in FLAVOURS:
            rewrite = per_strip(runs, "RewriteStripArrays", flavour, n)
            floor = per_strip(runs, "PwriteFloor", flavour, n)
            cells += [f"{rewrite:.2f}", f"{floor:.2f}", f"{rewrite / floor:.1f}"]
            row += [rewrite, floor]
        rows.append(row)
        print("| " + " | ".join(cells) + " |")

    fits = []
    for name in ["RewriteStripArrays/classic", "RewriteStripArrays/bigtiff",
                 "PwriteFloor/classic", "PwriteFloor/bigtiff"]:
        fit = big_o.get(f"BM_{name}/manual_time")
        if fit:
            fits.append(f"{name.replace('StripArrays', '')}: {fit['big_o']}")
    print("\nComplexity fit (Google Benchmark): " + "; ".join(fits) + ".")

    print("\nWhole probe processes against the floor program:\n")
    print("| program | median ms | ratio to floor | peak memory KiB |")
    print("|---|---:|---:|---:|")
    with open(cost_tsv) as f:
        next(f)
        for line in f:
            name, median, ratio, peak = line.rstrip("\n").split("\t")
            print(f"| {name} | {float(median) * 1e3:.2f} | {ratio} | {peak} |")

    with tempfile.NamedTemporaryFile("w", suffix=".dat", delete=False) as data:
        for row in rows:
            data.write(" ".join(str(v) for v in row) + "\n")
    script = f"""
set terminal pngcairo size 900,560 font ",11"
set output "{plot_png}"
set title "_TIFFRewriteField of StripOffsets + StripByteCounts" noenhanced
set logscale xy
set xlabel "strips"
set ylabel "ns per strip"
set key top right
set grid
plot "{data.name}" using 1:2 with linespoints lw 2 title "classic rewrite", \\
     "{data.name}" using 1:4 with linespoints lw 2 title "BigTIFF rewrite", \\
     "{data.name}" using 1:3 with lines dt 2 lw 2 title "classic pwrite floor", \\
     "{data.name}" using 1:5 with lines dt 2 lw 2 title "BigTIFF pwrite floor"
"""
    subprocess.run(["gnuplot"], input=script, text=True, check=True)

    page_report(runs, big_o, pages_png)


if __name__ == "__main__":
    main()
