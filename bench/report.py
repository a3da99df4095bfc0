#!/usr/bin/env python3
"""Turns the benchmark's JSON and the probe-cost TSV into the README's
tables (Markdown on stdout) and the rewrite-per-strip plot (PNG, gnuplot).

Usage: report.py DIRECTORY_JSON PROBE_COST_TSV PLOT_PNG
"""
import json
import subprocess
import sys
import tempfile

STRIPS = [1, 10, 1000, 100000, 1000000]
FLAVOURS = ["classic", "bigtiff"]


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


def main():
    bench_json, cost_tsv, plot_png = sys.argv[1:4]
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


if __name__ == "__main__":
    main()
