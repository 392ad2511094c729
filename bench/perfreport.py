#!/usr/bin/env python3
"""Regenerates docs/PERFORMANCE.md and docs/performance.png: runs the
in-process benchmarks of both flavours (Google Benchmark, medians of
repetitions) and the in-engine benchmark (bench/enginebench.py) on
Firebird 3.0 and 4.0, then fills the report's template
(bench/PERFORMANCE.md.in) with the tables: every {{NAME}} in the template
is replaced by the table or text of that name; one section per engine run,
the chart of the first.

  python3 bench/perfreport.py [--rows N] [--runs N] [--reuse] [--engines LIST]
      [--reuse-engine | --keep-engine] [--reuse-inprocess] [--smoke]
  python3 bench/perfreport.py lengths-doc LENGTHS.json...
      the tables of docs/ENGINE-LENGTHS.md, one per engine
  python3 bench/perfreport.py readme-table RESULTS.json...
      the README's per-row table, from one run per engine

--rows, --runs and --reuse (time the database an earlier run of the same
size left) go to the engine benchmark (default 1,000,000 rows, 3 rounds; the
full run takes many minutes). --engines lists the engine runs as
engine/flavour (default "fb3/i386 fb3/x86_64 fb4/x86_64 fb4/i386" where the
machine runs 32-bit code natively, "fb3/x86_64 fb4/x86_64" where an emulator
runs it); the chart shows the first. --reuse-engine keeps the engine figures
of the last runs (build/<flavour>/enginebench-<engine>); --keep-engine runs
no engine at all and keeps the engine's tables and chart as
docs/PERFORMANCE.md has them (the in-process part alone). --reuse-inprocess
keeps the in-process figures of the last run (build/<flavour>/bench.json),
for an engine run taken on its own. --smoke runs it all on 2,000 rows, one
round, amd64 only, into build/x86_64 (the engine benchmark on both engines,
its lengths suite on 3.0 and its moved declarations on 4.0) and checks the
report made from it: seconds, so that its SQL, floors, marker, arithmetic
and tables cannot rot.

The goals (each function's plain version and its bound) come from the
benchmark binary itself: bench/main.cpp writes them into the JSON context.

The in-process figures are Google Benchmark's JSON output (medians of
repetitions, CPU time); the in-engine ones come from bench/enginebench.py.
"""
import argparse
import datetime
import json
import os
import platform
import statistics
import subprocess
import sys

# The table of the functions, read through its generator.
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "scripts"))
import functions as table_of_functions  # noqa: E402
import enginebench  # noqa: E402
from enginebench import ROOT, i386_emulated  # noqa: E402

# In-process targets of the calls without a plain version (the goal table's
# rows come from the benchmark binary).
SCALAR_NS = 10.0
PATHOLOGICAL_NS = 10e6
# The scalar group's calls measured as they are called (ALC's rows are by
# length, in its own table).
SCALAR = [f["name"] for f in table_of_functions.functions(table_of_functions.load())
          if f["group"] == "scalar" and [f["name"], 1] in f.get("bench", {}).get("in_process", [])]
# The chart's left edge: figures below it (a built-in lost in the noise of
# the scan) are drawn at it.
FLOOR_OF_SCALE = 10.0


def load_bench(path):
    """Median CPU time in ns of each benchmark, by name without the BM_ prefix."""
    with open(path, encoding="utf-8") as f:
        data = json.load(f)
    scale = {"ns": 1.0, "us": 1e3, "ms": 1e6, "s": 1e9}
    medians = {}
    for b in data["benchmarks"]:
        if b.get("run_type") == "aggregate" and b.get("aggregate_name") != "median":
            continue
        name = b.get("run_name", b["name"])
        if name.startswith("BM_"):
            name = name[3:]
        medians[name] = b["cpu_time"] * scale[b.get("time_unit", "ns")]
    return medians, data.get("context", {})


def goals_of(context):
    """The goal rows the benchmark wrote into its context, in order."""
    rows = []
    for key in sorted(k for k in context if k.startswith("goal ")):
        function, what, vantor, plain, limit, baseline = context[key].split("|")
        rows.append({"function": function, "input": what, "vantor": vantor, "plain": plain,
                     "limit": float(limit), "baseline": baseline})
    return rows


def ns(value):
    if value is None:
        return "n/a"
    if value >= 1e6:
        return f"{value / 1e6:.2f} ms"
    if value >= 1e3:
        return f"{value / 1e3:.2f} µs"
    return f"{value:.1f} ns"


def verdict(ok):
    return "met" if ok else "**missed**"


# Within this factor of the plain version counts as not slower: two runs of
# one function differ by about that much on a shared machine.
PLAIN_TOLERANCE = 1.05


def judge(goal, bench):
    """(vantor ns, plain ns, bound ns, met) of one goal row in one flavour's figures."""
    vantor = bench.get(goal["vantor"])
    plain = bench.get(goal["plain"]) if goal["plain"] else None
    if goal["baseline"]:
        base = bench.get(goal["baseline"])
        bound = goal["limit"] * base if base else None
    else:
        bound = goal["limit"]
    if vantor is None or bound is None:
        return vantor, plain, bound, None
    met = vantor <= bound and (plain is None or vantor <= plain * PLAIN_TOLERANCE)
    return vantor, plain, bound, met


def goal_table(goals, b32, b64):
    out = ["| function | input | i386 | plain i386 | x86-64 | plain x86-64 | goal | i386 | x86-64 |",
           "|---|---|---:|---:|---:|---:|---|---|---|"]
    for goal in goals:
        v32, p32, bound32, met32 = judge(goal, b32)
        v64, p64, bound64, met64 = judge(goal, b64)
        if v32 is None and v64 is None:
            continue
        if goal["baseline"]:
            limit = f"≤ {goal['limit']:g}× `{goal['baseline']}` ({ns(bound32)} / {ns(bound64)})"
        else:
            limit = f"≤ {ns(goal['limit'])}"
        mark = lambda met: "" if met is None else verdict(met)
        out.append(f"| {goal['function']} | {goal['input']} | {ns(v32)} | {ns(p32) if p32 else ''} | "
                   f"{ns(v64)} | {ns(p64) if p64 else ''} | {limit} | {mark(met32)} | {mark(met64)} |")
    return "\n".join(out)


def inprocess_tables(b32, b64, goals):
    out = []

    def row(label, key, limit=None):
        a, b = b32.get(key), b64.get(key)
        cells = [label, ns(a), ns(b)]
        if limit is not None:
            cells.append(f"≤ {ns(limit)}")
            cells.append(verdict(a is not None and b is not None and max(a, b) <= limit))
        else:
            cells += ["", ""]
        return "| " + " | ".join(cells) + " |"

    out += ["### Every function beside its plain version and its goal", "",
            "The plain version of each function is the straightforward implementation of the "
            "same definition (bench/plain.cpp); a goal is met when the function is within its "
            f"bound and not slower than its plain version (within {PLAIN_TOLERANCE:g}×, the noise "
            "of one run).", "",
            goal_table(goals, b32, b64), "",
            "### Floors and the other calls", "",
            "| call | i386 | x86-64 | target | |", "|---|---:|---:|---:|---|",
            row("empty call of the same shape (loop floor)", "FloorCall"),
            row("empty call returning a double (on i386: one x87 load)", "FloorCallDouble"),
            row("memcpy of 512 KiB", "Memcpy512KiB"),
            row("the count alone over 512 KiB in memory, load-time choice", "CountRecords512KiB"),
            row("the count alone, plain form", "CountRecords512KiB_Plain"),
            row("the count alone, SSE2 form", "CountRecords512KiB_Sse2"),
            row("the count alone, AVX2 form", "CountRecords512KiB_Avx2")]
    for length in (16, 256, 4096, 32768):
        out.append(row(f"ib_util_malloc + memcpy of {length} bytes (ALC's baseline)", f"MallocAndCopy/{length}/0"))
        out.append(row(f"strlen + ib_util_malloc + memcpy of {length} bytes (ALC's floor)",
                       f"LengthMallocAndCopy/{length}/0"))
    for name in ["Now"] + SCALAR:
        out.append(row(name, name, SCALAR_NS))
    out.append(row("BLOB2I (first 4 bytes of a 512 KiB BLOB; no target)", "Blob2i"))
    out += ["", "### Match on masks that make a plain backtracking matcher explode (< 10 ms)", "",
            "| mask | i386 | x86-64 | target | |", "|---|---:|---:|---:|---|"]
    # Every Match row of the benchmark that is not a typical mask of the goal table.
    typical = {goal["vantor"] for goal in goals}
    for key in sorted({k for k in list(b32) + list(b64) if k.startswith("Match/") and k not in typical}):
        out.append(row(key[len("Match/"):], key, PATHOLOGICAL_NS))
    return "\n".join(out)


def engine_index(data):
    return {q["key"]: q for q in data["queries"]}


def builtins_of(data, key):
    return [q for q in data["queries"] if q["kind"] == "builtin" and q["ref"] == key]


# The in-process benchmark closest to each engine query, with the factor
# that scales it to the query's input: what the function itself should add
# to the floor.
IN_PROCESS_OF_QUERY = {
    **{f["name"]: [tuple(row) for row in f["bench"]["in_process"]]
       for f in table_of_functions.functions(table_of_functions.load()) if "bench" in f},
    "DP2Year_TS2DP": [("DP2Year", 1), ("TS2DP", 1)], "Match_prefix": [("Match/invoice", 1)],
    "Match_digits": [("Match/invoice", 1)], "Match_substring": [("Match/substring64", 1)],
}
UDR = "udr:"
# A UDR function meets its goal when it costs at most this much more than
# the UDR floor of its shape, plus its own in-process cost, and no more
# than the legacy function.
UDR_FLOOR_MARGIN = 0.10


def expected_above_floor(key, bench):
    parts = IN_PROCESS_OF_QUERY.get(key)
    if not bench or not parts or any(name not in bench for name, _ in parts):
        return None
    return sum(bench[name] * factor for name, factor in parts)


def engine_flavour(data):
    return "i386" if "i386" in data.get("engine", "i386") else "x86_64"


def engine_table(data, bench=None):
    """One engine's section: both modules against their floors and the built-ins."""
    by_key = engine_index(data)
    flavour = "i386" if engine_flavour(data) == "i386" else "x86-64"
    out = [f"### {data.get('engine', 'Firebird 3.0 i386')}", "",
           f"{data['rows']:,} rows in T ({data['blobs']:,} BLOBs of 64 KiB in BLOBS, each read "
           f"{data.get('blob_repeat', 1)} times a query), "
           f"median of {data['runs']} rounds, {flavour} build. Figures are ns per row beyond the bare scan "
           f"of the table (T: {by_key['scan']['ns_per_row']:.0f} ns a row; BLOBS: "
           f"{by_key['scan_blobs']['ns_per_row']:.0f} ns a row), in user plus system CPU time of the "
           "engine's process unless marked elapsed; sys: the system share of a legacy call's time. "
           f"Own cost: the function's cost in "
           f"process ({flavour}, the call closest to the query's input), what it should add to a floor. "
           "Goal of a UDR function: at most its legacy counterpart's cost (UDR / legacy at most 1), and at "
           f"most {100 * UDR_FLOOR_MARGIN:.0f}% plus its own cost above the "
           "UDR floor of its shape, plus the spread of its rounds (the noise between alike floors) and "
           f"1 µs a query ({1e-6 / data['rows'] * 1e9:.2f} ns a row of T) for the marker's reading.", "",
           "| function | legacy | sys | legacy elapsed | legacy floor | UDR | UDR elapsed | UDR / legacy "
           "| UDR floor | UDR above its floor | spread of UDR rounds "
           "| own cost | UDR goal | built-in doing the same job | built-in |",
           "|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---|---|---:|"]
    differing = []
    for q in data["queries"]:
        if q["kind"] != "vantor":
            continue
        u = by_key.get(UDR + q["key"])
        expected = expected_above_floor(q["key"], bench)
        cells = [f"`{q['what']}`", f"{q['net_ns_per_row']:.0f}", f"{100 * q.get('sys_share', 0):.0f}%",
                 f"{q.get('net_elapsed_ns_per_row', 0):.0f}", f"{q['floor_ns_per_row']:.0f}"]
        if u:
            rows_of_query = data["rows"] if u["table"] == "t" else data["blobs"] * data.get("blob_repeat", 1)
            spread = (max(u["all_seconds"]) - min(u["all_seconds"])) / rows_of_query * 1e9
            # The marker reads the CPU time to the ns; a microsecond a query
            # covers its reading.
            tick = 1e-6 / rows_of_query * 1e9
            # Floors of alike shapes differ from query to query by about
            # what the rounds of one query spread: the floor bound is missed
            # only by more than that spread. The bound of legacy is strict.
            bound = u["floor_ns_per_row"] * (1 + UDR_FLOOR_MARGIN) + (expected or 0) + tick + spread
            met = u["net_ns_per_row"] <= bound and u["net_ns_per_row"] <= q["net_ns_per_row"]
            ratio = u["net_ns_per_row"] / q["net_ns_per_row"] if q["net_ns_per_row"] > 0 else float("nan")
            cells += [f"{u['net_ns_per_row']:.0f}", f"{u.get('net_elapsed_ns_per_row', 0):.0f}", f"{ratio:.2f}",
                      f"{u['floor_ns_per_row']:.0f}",
                      f"{u['above_floor_ns']:+.0f}", f"{spread:.0f}",
                      f"{expected:.0f}" if expected is not None else "", verdict(met)]
            if not u.get("same_count", True):
                differing.append(q["what"])
        else:
            cells += ["", "", "", "", "", "", f"{expected:.0f}" if expected is not None else "", ""]
        builtins = builtins_of(data, q["key"])
        if builtins:
            best = min(builtins, key=lambda b: b["net_ns_per_row"])
            same = "" if best.get("same_count", True) else " (**counts differ**)"
            cells += [f"`{best['what']}`{same}", f"{best['net_ns_per_row']:.0f}"]
        else:
            cells += ["", ""]
        out.append("| " + " | ".join(cells) + " |")
    out += ["", "Every UDR query counted the same rows as its legacy one, and every built-in the same "
            "rows as the function it stands beside (the cheapest built-in is shown; every one is in "
            "the raw figures at the end)." if not differing else
            "**Counts differ between the modules for: " + ", ".join(differing) + ".**"]
    out += ["", "The floors (do-nothing routines declared with the shapes of sql/vantor.sql and "
            "sql/vantor-udr.sql):", "", "| shape (legacy) | legacy | UDR |", "|---|---:|---:|"]
    for q in data["queries"]:
        if q["kind"] == "floor":
            u = by_key.get(UDR + q["key"])
            out.append(f"| {q['what']} | {q['net_ns_per_row']:.0f} | "
                       f"{u['net_ns_per_row']:.0f} |" if u else
                       f"| {q['what']} | {q['net_ns_per_row']:.0f} | |")
    return "\n".join(out)


def engine_summary_table(data):
    """The plain table of every query, as enginebench.py prints it."""
    if data.get("suite") == "lengths":
        return lengths_table(data)
    if data.get("suite") == "moved":
        return moved_table(data)
    rows = [f"{data.get('engine', 'Firebird 3.0 i386')}: {data['rows']:,} rows ({data['blobs']:,} BLOBs "
            f"of 64 KiB), median of {data['runs']} rounds; ns per row, user plus system CPU time of the "
            "engine's process (elapsed: the elapsed time; isql user: isql's own Cpu statistic, user time "
            "only). Kind vantor is the legacy module.", "",
            "| query | kind | ns/row | beyond scan | elapsed beyond scan | isql user | system share "
            "| minor faults a row | floor | above floor | above floor % |",
            "|---|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|"]
    for q in data["queries"]:
        net = q.get("net_ns_per_row")
        floor = q.get("floor_ns_per_row")
        pct = q.get("above_floor_percent")
        elapsed = q.get("net_elapsed_ns_per_row")
        rows_of_query = data["rows"] if q["table"] == "t" else data["blobs"] * data.get("blob_repeat", 1)
        isql_user = q.get("isql_cpu_seconds")
        rows.append("| `{}` | {} | {:.0f} | {} | {} | {} | {} | {} | {} | {} | {} |".format(
            q["what"], q["kind"].replace("_", " "), q["ns_per_row"],
            "" if net is None else f"{net:.0f}",
            "" if elapsed is None else f"{elapsed:.0f}",
            f"{statistics.median(isql_user) / rows_of_query * 1e9:.0f}" if isql_user else "",
            f"{100 * q.get('sys_share', 0):.0f}%", f"{q.get('minflt_per_row', 0):.2f}",
            "" if floor is None else f"{floor:.0f}",
            "" if floor is None else f"{q['above_floor_ns']:+.0f}",
            "" if pct is None else f"{pct:+.1f}%"))
    return "\n".join(rows)


def moved_table(data):
    """A moved run: each function per row through its fresh UDR declaration
    and through the declaration a move from the legacy module leaves (the
    legacy NULL rules), in one run, and the ratio."""
    out = [f"{data['engine']}, {data['rows']} rows, median of {data['runs']} rounds, user+system ns per row "
           "beyond the bare scan", "", "| function | fresh | moved | moved / fresh |", "|---|---:|---:|---:|"]
    for q in data["queries"]:
        if q["kind"] != "moved":
            continue
        if not q["same_count"]:
            raise SystemExit(f"perfreport: {q['key']} counts {q['count']} rows, the fresh declaration another number")
        fresh, moved = q["fresh_ns_per_row"], q["net_ns_per_row"]
        ratio = f"{moved / fresh:.2f}" if fresh > 0 else "-"
        out.append(f"| `{q['ref']}` | {fresh:.1f} | {moved:.1f} | {ratio} |")
    return "\n".join(out)


def lengths_table(data):
    """Cost by declared length: one row a text (argument or result) of
    each function, one column a length, ns a row beyond the scan, user plus
    system time (elapsed in brackets); the legacy call and the all-short
    declaration beside. Then each function's whole declaration: as
    shipped, and every text at each of the long lengths."""
    variants = [q for q in data["queries"] if q["kind"] == "length"]
    split = [(q, *q["what"].split()) for q in variants]
    lengths = sorted({int(n) for _q, _f, position, n in split if position not in ("all", "shipped")})
    shorts = sorted({int(n) for _q, _f, position, n in split if position == "all"})
    short = shorts[0] if shorts else None
    by_what = {q["what"]: q for q in variants}
    legacy = {q["key"].split(":", 1)[1]: q for q in data["queries"] if q["key"].startswith("legacy:")}

    def cell(q):
        if not q:
            return ""
        return f"{q['net_ns_per_row']:,.0f} ({q['net_elapsed_ns_per_row']:,.0f})"

    def ratio(q, function):
        base = legacy.get(function)
        if not q or not base or base["net_ns_per_row"] <= 0:
            return ""
        return f"{q['net_ns_per_row'] / base['net_ns_per_row']:.2f}"
    functions = []
    for _q, f, _p, _n in split:
        if f not in functions:
            functions.append(f)
    out = [f"{data.get('engine', 'Firebird 3.0 i386')}: {data['rows']:,} rows, median of {data['runs']} rounds; "
           "ns per row beyond the bare scan, user plus system CPU time of the engine's process "
           f"(elapsed in brackets). One text declared at each length, the others VARCHAR({short}).", "",
           f"| function | text | legacy | all {short} | " + " | ".join(str(n) for n in lengths) + " |",
           "|---|---|---:|---:|" + "---:|" * len(lengths)]
    for function in functions:
        positions = []
        for _q, f, position, _n in split:
            if f == function and position not in ("all", "shipped") and position not in positions:
                positions.append(position)
        base = by_what.get(f"{function} all {short}")
        for i, position in enumerate(positions):
            out.append(f"| `{function}` | {position} | {cell(legacy.get(function)) if i == 0 else ''} | "
                       f"{cell(base) if i == 0 else ''} | "
                       + " | ".join(cell(by_what.get(f"{function} {position} {n}")) for n in lengths) + " |")
    longs = sorted({int(n) for _q, _f, position, n in split if position == "all" and int(n) != short})
    shipped = {f: q for q, f, position, _n in split if position == "shipped"}
    out += ["", "Whole declarations: as sql/vantor-udr.sql ships them, and every text and mask declared "
            "at one length; ns per row as above, UDR / legacy in square brackets.", "",
            "| function | legacy | as shipped | " + " | ".join(f"all {n}" for n in longs) + " |",
            "|---|---:|---:|" + "---:|" * len(longs)]
    for function in functions:
        cells = [cell(legacy.get(function)),
                 f"{cell(shipped.get(function))} [{ratio(shipped.get(function), function)}]"]
        for n in longs:
            q = by_what.get(f"{function} all {n}")
            cells.append(f"{cell(q)} [{ratio(q, function)}]")
        out.append(f"| `{function}` | " + " | ".join(cells) + " |")
    return "\n".join(out)


# The README's rows: typical calls of each kind.
README_ROWS = ["Match_prefix", "Match_substring", "ALC", "IIF_S", "DPDOW", "D2DP", "DP2Year", "IIF_I", "DivDP",
               "BLOB2I", "BLOB2SO"]


def readme_table(runs):
    """One row a function and engine: legacy, UDR and the UDR floor in user
    plus system time, the legacy call's elapsed time, and UDR / legacy."""
    out = ["| Function (typical input) | engine | legacy µs/row | legacy elapsed | UDR floor | UDR µs/row "
           "| UDR / legacy |", "|---|---|---:|---:|---:|---:|---:|"]
    for key in README_ROWS:
        for data in runs:
            by_key = engine_index(data)
            q, u = by_key.get(key), by_key.get(UDR + key)
            if not q or not u:
                continue
            engine = data.get("engine", "").replace("Firebird ", "")
            out.append(f"| `{q['what']}` | {engine} | {q['net_ns_per_row'] / 1e3:.1f} | "
                       f"{q['net_elapsed_ns_per_row'] / 1e3:.1f} | {u['floor_ns_per_row'] / 1e3:.1f} | "
                       f"{u['net_ns_per_row'] / 1e3:.1f} | {u['net_ns_per_row'] / q['net_ns_per_row']:.2f} |")
    return "\n".join(out)


def chart(data, path):
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    by_key = engine_index(data)
    functions = [q for q in data["queries"] if q["kind"] == "vantor"]
    labels, series = [], {"legacy floor": [], "legacy": [], "UDR floor": [], "UDR": [], "built-in": []}
    builtin_names = []
    for q in functions:
        u = by_key.get(UDR + q["key"], {})
        labels.append(q["what"])
        series["legacy floor"].append(max(q["floor_ns_per_row"], FLOOR_OF_SCALE))
        series["legacy"].append(max(q["net_ns_per_row"], FLOOR_OF_SCALE))
        series["UDR floor"].append(max(u.get("floor_ns_per_row", 0), FLOOR_OF_SCALE))
        series["UDR"].append(max(u.get("net_ns_per_row", 0), FLOOR_OF_SCALE))
        builtins = builtins_of(data, q["key"])
        if builtins:
            best = min(builtins, key=lambda b: b["net_ns_per_row"])
            series["built-in"].append(max(best["net_ns_per_row"], FLOOR_OF_SCALE))
            builtin_names.append(best["what"])
        else:
            series["built-in"].append(None)
            builtin_names.append("")
    n = len(labels)
    height = 0.17
    colours = {"legacy floor": "#c8c8c8", "legacy": "#6b8fb8", "UDR floor": "#909090", "UDR": "#1c4e8a",
               "built-in": "#dd8833"}
    fig, ax = plt.subplots(figsize=(12, 0.7 * n + 1.8))
    for position, (name, values) in enumerate(series.items()):
        offset = (position - 2) * height
        ys = [i + offset for i in range(n) if values[i]]
        ax.barh(ys, [v for v in values if v], height, label=name, color=colours[name])
    for i in range(n):
        if series["built-in"][i]:
            ax.text(series["built-in"][i] * 1.08, i + 2 * height, builtin_names[i], va="center", fontsize=7,
                    color="#8a4b10")
    ax.set_yticks(range(n))
    ax.set_yticklabels(labels, fontsize=8)
    ax.invert_yaxis()
    ax.set_xscale("log")
    ax.set_xlim(left=FLOOR_OF_SCALE)
    ax.set_xlabel("cost per row beyond the bare scan, ns (log scale)")
    ax.set_title(f"vantor in the embedded {data.get('engine', 'Firebird 3.0 i386')} engine: "
                 f"{data['rows']:,} rows, median of {data['runs']} rounds", fontsize=10)
    ax.grid(axis="x", which="both", alpha=0.3)
    ax.legend(loc="lower right", fontsize=8)
    fig.tight_layout()
    fig.savefig(path, dpi=110)


# The i386 paragraph of "Targets missed": where the i386 benchmark ran, on
# a processor or under an emulator.
I386_NATIVE = """- **The i386 flavour.** This machine runs 32-bit code natively, so the
  i386 figures are a processor's. Its floors are higher than x86-64's
  before any work is done: an empty call passes its arguments on the stack,
  and an empty call that returns a double returns it in the x87 register
  (one x87 load), so the bounds in ns that x86-64 meets are out of reach
  for the i386 rows that do little work; compare each row with its plain
  version in the same flavour instead."""
I386_EMULATED = """- **The i386 flavour on this machine.** This machine's kernel runs no
  32-bit code itself: 32-bit programs, the i386 benchmark among them, run
  under the QEMU user-mode emulator (`binfmt_misc` hands every i386 ELF to
  `qemu-i386-static`). The i386 figures are therefore an emulator's, not a
  processor's: integer instructions are translated to a few host
  instructions each, SSE instructions to several, and every x87 instruction
  to a call into a software floating-point library. So no i386 row can meet
  a bound in ns here; only the ratios between integer-only functions say
  something of a processor. (The emulator's x87 also rounds loads and
  stores of doubles to the precision set in the control word, which a
  processor does not; the floating-point environment test detects that and
  leaves out the reduced-precision control words there.)"""


def describe_context(context, flavour):
    return (f"{flavour}: {context.get('num_cpus', '?')} CPUs at {context.get('mhz_per_cpu', '?')} MHz, "
            f"load average {', '.join(f'{x:.1f}' for x in context.get('load_avg', []))} at the start")


def kept_section(template, old_text, name):
    """The text that stood for {{name}} in a report made from this template:
    what lies in old_text between the template's text just before and just
    after the placeholder."""
    at = template.index("{{" + name + "}}")
    before = template[max(0, at - 60):at]
    after = template[at + len(name) + 4:at + len(name) + 64]
    for marker in ("{{", "}}"):
        before = before.rsplit(marker, 1)[-1]
        after = after.split(marker, 1)[0]
    start = old_text.index(before) + len(before)
    if not after.strip():
        return old_text[start:]
    return old_text[start:old_text.index(after, start)]


def search_table(paths):
    """The random search for slow masks (bench/match_search_bench.cpp): the
    slowest call it found on each flavour, against the 10 ms goal of a
    pathological call."""
    rows = ["| flavour | search | slowest call found | goal | verdict |", "|---|---|---:|---:|---|"]
    for flavour, path in paths:
        with open(path, encoding="utf-8") as f:
            data = json.load(f)
        for b in data["benchmarks"]:
            if "slowest_ns" not in b or b.get("aggregate_name", "median") != "median":
                continue
            pairs, seed = b.get("run_name", b["name"]).split("/")[1:3]
            slowest, goal = b["slowest_ns"], b.get("goal_ns", 1e7)
            rows.append(f"| {flavour} | {int(pairs):,} random hostile pairs, seed {seed} | "
                        f"{slowest / 1e6:.2f} ms | {goal / 1e6:.0f} ms | "
                        f"{'met' if slowest <= goal else '**missed**'} |")
    return "\n".join(rows) if len(rows) > 2 else "(the search did not run)"


def report(template, b32_path, b64_path, engine_paths, out_path, chart_path, keep_from=None):
    b32, c32 = load_bench(b32_path)
    b64, c64 = load_bench(b64_path)
    with open(template, encoding="utf-8") as f:
        text = f.read()
    goals = goals_of(c32) or goals_of(c64)
    values = {
        "DATE": datetime.date.today().isoformat(),
        "MACHINE": f"{platform.machine()}, {describe_context(c32, 'i386 run')}; {describe_context(c64, 'x86-64 run')}",
        "INPROCESS": inprocess_tables(b32, b64, goals),
        "SEARCH": search_table([("i386", b32_path), ("x86-64", b64_path)]),
        "CHART": "performance.png" if keep_from else chart_path.rsplit("/", 1)[-1],
        "I386_FLAVOUR": I386_EMULATED if i386_emulated() else I386_NATIVE,
    }
    if keep_from:
        with open(keep_from, encoding="utf-8") as f:
            old = f.read()
        values["ENGINE"] = kept_section(text, old, "ENGINE").strip()
        values["ENGINE_ALL"] = kept_section(text, old, "ENGINE_ALL").strip()
    else:
        engines = []
        for path in engine_paths:
            with open(path, encoding="utf-8") as f:
                engines.append(json.load(f))
        chart(engines[0], chart_path)
        values["ENGINE"] = "\n\n".join(
            engine_table(e, b32 if engine_flavour(e) == "i386" else b64) for e in engines)
        values["ENGINE_ALL"] = "\n\n".join(engine_summary_table(e) for e in engines)
    for name, value in values.items():
        text = text.replace("{{" + name + "}}", value)
    with open(out_path, "w", encoding="utf-8") as f:
        f.write(text)


def in_process(flavour, out, *options):
    subprocess.run([os.path.join(ROOT, "build", flavour, "bench", "vantor_bench"), f"--benchmark_out={out}",
                    "--benchmark_out_format=json", *options], stdout=subprocess.DEVNULL, check=True)


def smoke():
    out = os.path.join(ROOT, "build", "x86_64")
    small = dict(flavour="x86_64", rows=2000, blobs=5, runs=1)
    work = {engine: os.path.join(out, f"enginebench-smoke-{engine}") for engine in ("fb3", "fb4")}
    for engine in work:
        enginebench.run(engine, work=work[engine], **small)
    for engine, suite, row in (("fb3", "lengths", "IIF_S"), ("fb4", "moved", "DivDP")):
        table = engine_summary_table(enginebench.run(engine, reuse=True, suite=suite, work=work[engine], **small))
        if f"\n| `{row}` | " not in table:
            raise SystemExit(f"perfreport: the {suite} table has no {row} row")
    bench = os.path.join(out, "bench-smoke.json")
    in_process("x86_64", bench, "--benchmark_min_time=0.001")
    report(os.path.join(ROOT, "bench", "PERFORMANCE.md.in"), bench, bench,
           [os.path.join(work[engine], "results.json") for engine in work],
           os.path.join(out, "PERFORMANCE-smoke.md"), os.path.join(out, "performance-smoke.png"))
    with open(os.path.join(out, "PERFORMANCE-smoke.md"), encoding="utf-8") as f:
        if "\n### Firebird 4" not in f.read():
            raise SystemExit("perfreport: the smoke's report has no Firebird 4 section")


def main(argv):
    if len(argv) >= 2 and argv[0] in ("lengths-doc", "readme-table"):
        runs = []
        for path in argv[1:]:
            with open(path, encoding="utf-8") as f:
                runs.append(json.load(f))
        print(readme_table(runs) if argv[0] == "readme-table" else "\n\n".join(lengths_table(r) for r in runs))
        return
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--rows", type=int, default=1000000)
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--reuse", action="store_true")
    parser.add_argument("--engines", default="fb3/x86_64 fb4/x86_64" if i386_emulated()
                        else "fb3/i386 fb3/x86_64 fb4/x86_64 fb4/i386")
    for option in ("--reuse-engine", "--keep-engine", "--reuse-inprocess", "--smoke"):
        parser.add_argument(option, action="store_true")
    args = parser.parse_args(argv)
    # The chart needs matplotlib, which scripts/setup.sh installs for the
    # system's Python.
    try:
        import matplotlib  # noqa: F401
    except ImportError:
        if sys.executable != "/usr/bin/python3" and os.path.exists("/usr/bin/python3"):
            os.execv("/usr/bin/python3", ["/usr/bin/python3", os.path.abspath(__file__), *argv])
        subprocess.run(["bash", os.path.join(ROOT, "scripts", "setup.sh")], check=True)
    if args.smoke:
        return smoke()
    template, docs = os.path.join(ROOT, "bench", "PERFORMANCE.md.in"), os.path.join(ROOT, "docs")
    bench = {flavour: os.path.join(ROOT, "build", flavour, "bench.json") for flavour in ("i386", "x86_64")}
    for flavour in bench:
        subprocess.run(["bash", os.path.join(ROOT, "scripts", "build.sh"), flavour, "-DVANTOR_BENCH=ON"], check=True)
        if args.reuse_inprocess and os.path.isfile(bench[flavour]):
            continue
        print(f"perfreport: in-process benchmarks, {flavour}", file=sys.stderr)
        in_process(flavour, bench[flavour], "--benchmark_repetitions=5", "--benchmark_report_aggregates_only=true",
                   "--benchmark_min_time=0.2")
    if args.keep_engine:
        report(template, bench["i386"], bench["x86_64"], [], os.path.join(docs, "PERFORMANCE.md"), None,
               keep_from=os.path.join(docs, "PERFORMANCE.md"))
        print("perfreport: wrote docs/PERFORMANCE.md (engine part kept)", file=sys.stderr)
        return
    results = []
    for engine, flavour in (run.split("/") for run in args.engines.split()):
        if not args.reuse_engine:
            enginebench.run(engine, flavour, rows=args.rows, runs=args.runs, reuse=args.reuse)
        results.append(os.path.join(ROOT, "build", flavour, f"enginebench-{engine}", "results.json"))
    report(template, bench["i386"], bench["x86_64"], results, os.path.join(docs, "PERFORMANCE.md"),
           os.path.join(docs, "performance.png"))
    print("perfreport: wrote docs/PERFORMANCE.md and docs/performance.png", file=sys.stderr)


if __name__ == "__main__":
    main(sys.argv[1:])
