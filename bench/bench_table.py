#!/usr/bin/env python3
"""Turns vellmark-bench's JSON output (--benchmark_out=FILE --benchmark_out_format=json)
into Markdown tables: the whole program per family against cat, readers against the
file layer, verify mode with and without the calls per hour, readers on .gz and .zst
copies against the plain files, the probe, whole CLI runs on all six files and, when
measured, cold reads against cat.

    bench/bench_table.py results.json
    bench/bench_table.py --cli results.json     # only the table of the whole program
"""
import json
import sys

GOALS = {"CDOT": 0.8, "EWSD": 0.7, "OCB": 0.9, "E10B": 0.5, "AXE": 0.5, "5ESS": 0.5}
# The whole program against cat on one warm file: with digests (the default), without.
CLI_GOALS = {"digests": {"CDOT": 0.8, "OCB": 0.8}, "no-digests": {"CDOT": 0.9, "OCB": 0.9}}
CLI_GOAL_ELSE = {"digests": 0.6, "no-digests": 0.7}
COLD_GOAL = 1.1        # the program on a file dropped from the cache, against cat on it
SMALL_FILES_GOAL = 20000


def short_name(run_name):
    """The benchmark's own name, without the options Google Benchmark appends."""
    options = ("repeats:", "real_time", "iterations:", "min_time:", "threads:")
    return "/".join(p for p in run_name.split("/") if not p.startswith(options))


def aggregates(benchmarks):
    """{name: {"median": run, "min": run, "max": run}} from the aggregate rows."""
    out = {}
    for b in benchmarks:
        if b.get("run_type") != "aggregate":
            continue
        out.setdefault(short_name(b["run_name"]), {})[b["aggregate_name"]] = b
    # A run of one repetition has no aggregates: its single run stands for all three.
    for b in benchmarks:
        name = short_name(b["run_name"])
        if b.get("run_type") == "iteration" and name not in out:
            out[name] = {"median": b, "min": b, "max": b}
    return out


def gbps(row):
    return row.get("bytes_per_second", 0.0) / 1e9


def time_in(row, unit):
    scale = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}
    seconds = row["real_time"] * scale[row.get("time_unit", "ns")]
    return seconds / scale[unit]


def median_of(runs, name):
    r = runs.get(name)
    return r["median"] if r else None


def cli_table(runs, ctx):
    """Per family: the whole program on one warm file against cat and the file layer,
    with and without digests; both cores against one; small files per second; cold."""
    measured = {n.split("/")[1] for n in runs if n.startswith("Cli/")}
    families = [f for f in GOALS if f in measured] + sorted(measured - set(GOALS))
    if not families:
        return
    load = ctx.get("load_avg", [])
    print(f"Measured {ctx.get('date', '?')[:10]} on {ctx.get('host_name', '?')}: {ctx.get('num_cpus', '?')} cores at "
          f"{ctx.get('mhz_per_cpu', '?')} MHz, load average {', '.join(f'{x:.2f}' for x in load) or '?'} at the end; "
          f"median of {max((r['median'].get('repetitions', 1) for r in runs.values()), default=1)} runs each, "
          "every program run timed by the clock.")
    print()
    print("| family | GB/s | / cat | / file layer | without digests GB/s | / cat | 2 cores / 1 | small files / s "
          "| cold / cold cat |")
    print("|---|---|---|---|---|---|---|---|---|")

    def mark(ok):
        return "" if ok is None else (" ok" if ok else " MISSED")

    for fam in families:
        size = next(n.split("/")[2] for n in runs if n.startswith(f"Cli/{fam}/"))
        cat = median_of(runs, f"Cat/{fam}/{size}")
        base = median_of(runs, f"Baseline/{fam}/{size}")
        cells = []
        for mode in ("digests", "no-digests"):
            r = median_of(runs, f"Cli/{fam}/{size}/{mode}")
            if not r:
                cells += ["-", "-"] + (["-"] if mode == "digests" else [])
                continue
            goal = CLI_GOALS[mode].get(fam, CLI_GOAL_ELSE[mode])
            ratio = gbps(r) / gbps(cat) if cat and gbps(cat) else None
            cells.append(f"{gbps(r):.2f}")
            cells.append("-" if ratio is None else f"{ratio:.2f}{mark(ratio >= goal)}")
            if mode == "digests":
                cells.append(f"{gbps(r) / gbps(base):.2f}" if base and gbps(base) else "-")
        two, one = median_of(runs, f"Cli/{fam}/{size}/no-digests"), median_of(runs, f"Cli/{fam}/{size}/no-digests-one-core")
        cells.append(f"{time_in(one, 's') / time_in(two, 's'):.2f}" if two and one else "-")
        small = next((runs[n]["median"] for n in runs if n.startswith(f"SmallFiles/{fam}/")), None)
        rate = small.get("files_per_second") if small else None
        cells.append(f"{rate:,.0f}{mark(rate >= SMALL_FILES_GOAL)}" if rate else "-")
        cold, cold_cat = median_of(runs, f"ColdCli/{fam}/{size}"), median_of(runs, f"ColdCat/{fam}/{size}")
        if cold and cold_cat:
            ratio = time_in(cold, "s") / time_in(cold_cat, "s")
            cells.append(f"{ratio:.2f}{mark(ratio <= COLD_GOAL)}")
        else:
            cells.append("-")
        print(f"| {fam} ({size}) | " + " | ".join(cells) + " |")
    print()


def main(path, only_cli=False):
    with open(path) as f:
        data = json.load(f)
    runs = aggregates(data.get("benchmarks", []))
    ctx = data.get("context", {})
    cli_table(runs, ctx)
    if only_cli:
        return 0
    timed = "the clock" if any(
        r["median"].get("run_name", "").endswith("/real_time") for n, r in runs.items() if n.startswith("Reader/")
    ) else "the thread's CPU time (reads included)"
    print(f"Readers, file layer and probe timed by {timed}; CLI runs and cold reads by the clock.")
    print(f"Measured {ctx.get('date', '?')} on {ctx.get('host_name', '?')}, "
          f"{ctx.get('num_cpus', '?')} CPUs at {ctx.get('mhz_per_cpu', '?')} MHz; "
          f"median of {max((r['median'].get('repetitions', 1) for r in runs.values()), default=1)} "
          "repetitions, (min to max).")
    print()

    measured = {n.split("/")[1] for n in runs if n.startswith("Reader/")}
    families = [f for f in GOALS if f in measured] + sorted(measured - set(GOALS))
    if families:
        print("| family | reader GB/s | file layer GB/s | ratio | goal |")
        print("|---|---|---|---|---|")
        for fam in families:
            size = next(n.split("/")[2] for n in runs if n.startswith(f"Reader/{fam}/"))
            r, b = runs[f"Reader/{fam}/{size}"], runs.get(f"Baseline/{fam}/{size}")
            ratio = gbps(r["median"]) / gbps(b["median"]) if b and gbps(b["median"]) else 0.0
            base = (f"{gbps(b['median']):.2f} ({gbps(b['min']):.2f} to {gbps(b['max']):.2f})" if b else "-")
            goal = GOALS.get(fam)
            mark = "" if goal is None else (f">= {goal}" + (" ok" if ratio >= goal else " MISSED"))
            print(f"| {fam} ({size}) | {gbps(r['median']):.2f} ({gbps(r['min']):.2f} to {gbps(r['max']):.2f}) "
                  f"| {base} | {ratio:.2f} | {mark} |")
        print()

    trust = [f for f in families if any(n.startswith(f"Digest/{f}/") for n in runs)]
    if trust:
        print("| family | reader GB/s | with XXH3 GB/s | digest cost | verify GB/s | verify, no hours GB/s "
              "| cat GB/s | verify / cat |")
        print("|---|---|---|---|---|---|---|---|")
        for fam in trust:
            size = next(n.split("/")[2] for n in runs if n.startswith(f"Reader/{fam}/"))
            speed = {k: gbps(runs[f"{k}/{fam}/{size}"]["median"]) if f"{k}/{fam}/{size}" in runs else 0.0
                     for k in ("Reader", "Digest", "Verify", "VerifyNoHours", "Cat")}
            cost = f"{100 * (speed['Reader'] / speed['Digest'] - 1):.0f}%" if speed["Digest"] else "-"
            ratio = f"{speed['Verify'] / speed['Cat']:.2f}" if speed["Cat"] else "-"
            print(f"| {fam} ({size}) | {speed['Reader']:.2f} | {speed['Digest']:.2f} | {cost} | "
                  f"{speed['Verify']:.2f} | {speed['VerifyNoHours']:.2f} | {speed['Cat']:.2f} | {ratio} |")
        print()

    packed = {n.split("/")[1] for n in runs if n.startswith("Packed/")}
    packed_families = [f for f in GOALS if f in packed] + sorted(packed - set(GOALS))
    if packed_families:
        print("| family | plain GB/s | .gz GB/s | .gz / plain | .zst GB/s | .zst / plain |")
        print("|---|---|---|---|---|---|")
        for fam in packed_families:
            size = next(n.split("/")[2] for n in runs if n.startswith(f"Packed/{fam}/"))
            plain = runs.get(f"Reader/{fam}/{size}")
            cells = [f"{gbps(plain['median']):.2f}" if plain else "-"]
            for suffix in ("gz", "zst"):
                r = runs.get(f"Packed/{fam}/{size}/{suffix}")
                cells.append(f"{gbps(r['median']):.2f} ({gbps(r['min']):.2f} to {gbps(r['max']):.2f})" if r else "-")
                cells.append(f"{gbps(r['median']) / gbps(plain['median']):.2f}" if r and plain and gbps(plain['median'])
                             else "-")
            print(f"| {fam} ({size}) | " + " | ".join(cells) + " |")
        print()

    probes = [n for n in runs if n.startswith("Probe/")]
    if probes:
        sizes = sorted({n.split("/")[2] for n in probes}, key=len)
        print("| family | " + " | ".join(f"probe {s} µs" for s in sizes) + " |")
        print("|---|" + "---|" * len(sizes))
        measured = {n.split("/")[1] for n in probes}
        for fam in [f for f in GOALS if f in measured] + sorted(measured - set(GOALS)):
            cells = []
            for s in sizes:
                r = runs.get(f"Probe/{fam}/{s}")
                cells.append(f"{time_in(r['median'], 'us'):.1f} ({time_in(r['min'], 'us'):.1f} to "
                             f"{time_in(r['max'], 'us'):.1f})" if r else "-")
            print(f"| {fam} | " + " | ".join(cells) + " |")
        print()

    cli = sorted(n for n in runs if n.startswith("CliAnalyse/"))
    if cli:
        print("| vellmark-cli analyse, one file per family | seconds | GB/s | peak RSS MiB |")
        print("|---|---|---|---|")
        for n in cli:
            r = runs[n]
            peak = max(x.get("peak_rss_MiB", 0.0) for x in r.values())
            print(f"| {n.split('/', 2)[2]} | {time_in(r['median'], 's'):.2f} ({time_in(r['min'], 's'):.2f} to "
                  f"{time_in(r['max'], 's'):.2f}) | {gbps(r['median']):.2f} | {peak:.1f} |")
        print()

    measured = {n.split("/")[1] for n in runs if n.startswith("ColdCli/")}
    cold = [f for f in GOALS if f in measured] + sorted(measured - set(GOALS))
    if cold:
        print("| family, cold cache | vellmark-cli s | cat s | vellmark-cli / cat |")
        print("|---|---|---|---|")
        for fam in cold:
            size = next(n.split("/")[2] for n in runs if n.startswith(f"ColdCli/{fam}/"))
            r, c = runs[f"ColdCli/{fam}/{size}"], runs.get(f"ColdCat/{fam}/{size}")
            rs = time_in(r["median"], "s")
            cs = time_in(c["median"], "s") if c else 0.0
            print(f"| {fam} ({size}) | {rs:.2f} | {cs:.2f} | {rs / cs if cs else 0:.2f} |")
        print()
    return 0


if __name__ == "__main__":
    args = sys.argv[1:]
    only_cli = args[:1] == ["--cli"]
    if only_cli:
        args = args[1:]
    if len(args) != 1:
        print(__doc__, file=sys.stderr)
        sys.exit(2)
    sys.exit(main(args[0], only_cli))
