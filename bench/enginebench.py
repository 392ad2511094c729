#!/usr/bin/env python3
"""The in-engine benchmark: builds a table of ROWS rows (default 1,000,000)
and a table of BLOBS BLOBs of 64 KiB of records (default 1,000) in an
embedded engine that has both modules declared, warms the cache, then times
the bare scan, the floors, each vantor function through each module and the
built-ins that do the same job, RUNS rounds (default 3), each in an engine
process of its own. Writes results.json in its work folder (default
build/<flavour>/enginebench-<engine>) and prints it as a table
(bench/perfreport.py turns it into the report).

  python3 bench/enginebench.py [--engine fb3|fb4] [--flavour i386|x86_64] [--rows N]
      [--blobs N] [--runs N] [--reuse] [--work DIR] [--suite functions|lengths|moved]

--suite lengths times, instead of the functions, Match, ALC and IIF_S with
one text declared at each of 4095 to 32765 bytes, beside the legacy call
(lengths.json; the table of docs/ENGINE-LENGTHS.md). --suite moved times
each function through its fresh UDR declaration and through the declaration
a move from the legacy module leaves (its legacy NULL rules), side by side
(moved.json).

The engine is Firebird 3.0 (default) or 4.0; the flavour picks the build
and the engine's architecture. The default flavour is i386 for 3.0 where
the machine runs 32-bit code natively, and x86_64 otherwise (under an
emulator the i386 engine's figures would be the emulator's). --reuse times
the database left by an earlier run of the same size instead of building it
anew. The full run takes many minutes (a legacy UDF call costs the engine
several microseconds a row); --rows 20000 is a smoke run.

Every query is SELECT COUNT(*) FROM <table> WHERE <predicate>, so what a
query costs beyond the bare scan of its table is what its predicate costs.
Both modules are declared in the database: the UDR module under the
functions' names (sql/vantor-udr.sql), the legacy one as LEGACY_<name>, and
every vantor query runs through each. The floors are do-nothing routines
declared with exactly the argument and result shapes of the vantor function
they stand beside: UDFs of libvantor_floor.so (F_...) and the UDR routines
of libvantor_floor_udr.so (UF_...), declared from the table of the
functions (src/frame/functions.toml, its [[floor]] entries) as the
declaration scripts declare the function of each floor's shape. Each round runs
every query once, in a fixed order, so a slow spell of the machine touches
at most one round of a query, and each figure is the median of the rounds.
Each built-in also gives the count of the vantor query it stands beside,
which checks that the two do the same job.

What a query costs is what the user waits for: the user plus system CPU
time of the process that runs the engine (isql, the engine embedded in it),
and the elapsed time. isql's own Cpu statistic is its user time alone, and
a legacy UDF call spends about as much again in the kernel: the engine
changes the thread's signal mask and handlers around every call. So before
each query isql runs the marker (SHELL), which records the engine process's
CPU time, summed over its threads from /proc (ns), its user and system
ticks, its minor page faults and the clock; a query's figures are the
differences between its mark and the next. The judgement is on user plus
system time, which other work on a shared machine disturbs far less than
the elapsed time; the elapsed time (isql's statistics) stands beside it.

The lengths suite times the UDR functions whose texts have a declared
length (Match, ALC, IIF_S) with one text, argument or result, declared at
each of LENGTHS bytes and the others at SHORT, beside the legacy function:
what the engine's per-call handling of a declared VARCHAR costs.
"""
import argparse
import json
import os
import re
import shlex
import statistics
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
# The table of the functions, read through its generator.
sys.path.insert(0, os.path.join(ROOT, "scripts"))
import functions as table_of_functions  # noqa: E402

TABLE = table_of_functions.load()
# The floors: (floor SQL name, the vantor function whose shape it takes,
# the entry point in libvantor_floor.so, the routine of libvantor_floor_udr.so).
FLOORS = [(f["name"], f["shape"], f["legacy"], f["udr"]) for f in TABLE["floor"]]

# The queries: (key, kind, table, predicate, floor key, what it is). Kinds:
# scan, floor, vantor, builtin. A vantor query names the floor of its shape;
# a built-in names the vantor query it stands beside.
NEVER_DATE = "date '1800-01-01'"
NEVER_TS = "timestamp '1800-01-01 00:00'"
# Beside a function's own query: compositions and masks worth seeing.
EXTRA_QUERIES = {
    "DP2Year": [("DP2Year_TS2DP", "t", "DP2Year(TS2DP(ts)) = 2000", "floor_dp2si_ts2dp")],
    "Match": [("Match_prefix", "t", "Match(code, 'INV-2024-*') = 1", "floor_match"),
              ("Match_digits", "t", "Match(code, 'INV-####-######') = 1", "floor_match"),
              ("Match_substring", "t", "Match(code, '*2024*') = 1", "floor_match")],
}


def vantor_queries(function):
    """The benchmark's queries of FUNCTION: its own, as the table gives it,
    then the extra ones."""
    own = []
    if "bench" in function:
        bench = function["bench"]
        own.append((function["name"], bench["on"],
                    bench["query"].format(NEVER_DATE=NEVER_DATE, NEVER_TS=NEVER_TS), bench["floor"]))
    return [(key, "vantor", on, predicate, floor, predicate.rsplit(" = ", 1)[0])
            for key, on, predicate, floor in own + EXTRA_QUERIES.get(function["name"], [])]



# The floor queries, made from the table: each [[floor]] entry's query is
# the first query of the function of its shape with that function's name
# replaced by the floor's, keyed floor_<name without F_, in lower case>
# (the key that the functions' bench.floor names); a query of the functions
# that calls more than one (DP2Year_TS2DP) has its own floor query, each
# function replaced by its own floor (the one its bench.floor names, else the
# one of its shape). What each is: its shape as the legacy declaration
# gives it, and the entry's note.
LEGACY_TYPES = {"TEXT": "CSTRING", "DOUBLE PRECISION": "DOUBLE"}


def floor_key(floor):
    return "floor_" + floor["name"].removeprefix("F_").lower()


def legacy_shape(function):
    args = ", ".join(LEGACY_TYPES.get(a["type"], a["type"]) for a in function["args"]) or "()"
    result = LEGACY_TYPES.get(function["returns"], function["returns"])
    return f"{args} -> {'FREE_IT ' if function['passing'] == 'FREE_IT' else ''}{result}"


def make_floor_queries():
    floors = {floor_key(f): f for f in TABLE["floor"]}
    functions = table_of_functions.functions(TABLE)
    names = {f["name"]: f for f in functions}

    def floor_of(function):
        key = function.get("bench", {}).get("floor")
        if key in floors:
            return floors[key]
        return next(f for f in TABLE["floor"] if f["shape"] == function["name"])

    calls = re.compile(r"\b(" + "|".join(re.escape(n) for n in names) + r")\(")
    queries = [q for f in functions for q in vantor_queries(f)]
    out = []
    for key, floor in floors.items():
        shape = names[floor["shape"]]
        _, _, on, predicate, _, _ = next(q for q in queries if calls.match(q[3]).group(1) == shape["name"])
        what = legacy_shape(shape) + (f", {floor['note']}" if "note" in floor else "")
        out.append((key, "floor", on, calls.sub(floor["name"] + "(", predicate, count=1), None, what))
        # The floor queries of the compositions whose outer function's floor this is.
        for _, _, on, predicate, composed, _ in queries:
            if composed in floors or composed in (q[0] for q in out):
                continue
            called = [names[n] for n in calls.findall(predicate)]
            if len(called) < 2 or floor_of(called[0]) is not floor:
                continue
            out.append((composed, "floor", on, calls.sub(lambda m: floor_of(names[m.group(1)])["name"] + "(", predicate),
                        None, " of ".join(legacy_shape(f) for f in called)))
    return out


FLOOR_QUERIES = make_floor_queries()

QUERIES = [
    ("scan", "scan", "t", None, None, "bare scan of T"),
    ("scan_blobs", "scan", "blobs", None, None, "bare scan of BLOBS"),
    # Floors, one per shape (from the table's [[floor]] entries).
    *FLOOR_QUERIES,
    # The functions (their queries are in the table), and the compositions
    # and masks worth seeing.
    *(q for f in table_of_functions.functions(TABLE) for q in vantor_queries(f)),
    # The built-ins that do the same job.
    ("like_prefix", "builtin", "t", "code LIKE 'INV-2024-%'", "Match_prefix", "code LIKE 'INV-2024-%'"),
    ("starting_prefix", "builtin", "t", "code STARTING WITH 'INV-2024-'", "Match_prefix",
     "code STARTING WITH 'INV-2024-'"),
    ("similar_prefix", "builtin", "t", "code SIMILAR TO 'INV\\-2024\\-%' ESCAPE '\\'", "Match_prefix",
     "code SIMILAR TO 'INV\\-2024\\-%' ESCAPE '\\'"),
    ("similar_digits", "builtin", "t", "code SIMILAR TO 'INV\\-[0-9]{4}\\-[0-9]{6}' ESCAPE '\\'", "Match_digits",
     "code SIMILAR TO 'INV\\-[0-9]{4}\\-[0-9]{6}' ESCAPE '\\'"),
    ("like_substring", "builtin", "t", "code LIKE '%2024%'", "Match_substring", "code LIKE '%2024%'"),
    ("similar_substring", "builtin", "t", "code SIMILAR TO '%2024%'", "Match_substring",
     "code SIMILAR TO '%2024%'"),
    ("lower", "builtin", "t", "LOWER(word) = 'x'", "ALC", "LOWER(word)"),
    ("extract_day", "builtin", "t", "EXTRACT(DAY FROM ts) = 31", "DP2Day", "EXTRACT(DAY FROM ts)"),
    ("extract_month", "builtin", "t", "EXTRACT(MONTH FROM ts) = 2", "DP2Month", "EXTRACT(MONTH FROM ts)"),
    ("extract_year", "builtin", "t", "EXTRACT(YEAR FROM ts) = 2000", "DP2Year_TS2DP", "EXTRACT(YEAR FROM ts)"),
    ("extract_weekday", "builtin", "t", "EXTRACT(WEEKDAY FROM ts) = 0", "DP2DOW", "EXTRACT(WEEKDAY FROM ts)"),
    ("date_minus", "builtin", "t", "d - date '1899-12-30' = -1", "D2DP", "d - date '1899-12-30'"),
    ("iif", "builtin", "t", "IIF(flag > 0, n, m) = -1", "IIF_I", "IIF(flag > 0, n, m)"),
    ("divide", "builtin", "t", "x / y = -1", "DivDP", "x / y"),
]

# The 23 functions, whose legacy declarations carry the prefix LEGACY_.
FUNCTIONS = [f["name"] for f in table_of_functions.functions(TABLE)]
UDR = "udr:"

# The lengths suite: each function with a text of declared length, its
# texts (argument or result) by position, its shape with {name} for each
# position's length, its query, and its legacy query.
SHORT = 255
# The lengths just under a multiple of 4096 bytes, and round ones beside
# them (the i386 engine copies the former far slower: docs/ENGINE-LENGTHS.md).
LENGTHS = [4095, 8000, 8191, 12287, 16000, 16383, 24575, 32000, 32765]
LENGTH_FUNCTIONS = [
    ("Match", ["T", "MASK"], "(T VARCHAR({T}), MASK VARCHAR({MASK})) RETURNS SMALLINT",
     "{f}(code, 'INV-####*') = 1"),
    ("ALC", ["T", "result"],
     "(T VARCHAR({T}) CHARACTER SET WIN1250) RETURNS VARCHAR({result}) CHARACTER SET WIN1250",
     "{f}(word) = 'x'"),
    ("IIF_S", ["A", "B", "result"], "(C SMALLINT, A VARCHAR({A}), B VARCHAR({B})) RETURNS VARCHAR({result})",
     "{f}(flag, code, word) = 'x'"),
]


# The choices of a whole declaration: every text at one length (masks
# included), and the lengths sql/vantor-udr.sql ships (texts SHIPPED_TEXT,
# masks SHIPPED_MASK).
ALL_LENGTHS = [32000, 32765]
SHIPPED_TEXT, SHIPPED_MASK = TABLE["lengths"]["text_udr"], TABLE["lengths"]["mask_udr"]


def length_variants():
    """(SQL name, function, position, length, shape) of every length
    variant: the function with every text SHORT (position "all"), each
    position at each length, every text at each of ALL_LENGTHS ("all"),
    and the function as shipped ("shipped")."""
    out = []
    for function, positions, shape, _query in LENGTH_FUNCTIONS:
        short = {p: SHORT for p in positions}
        out.append((f"L_{function}_SHORT", function, "all", SHORT, shape.format(**short)))
        for position in positions:
            for length in LENGTHS:
                sizes = dict(short, **{position: length})
                out.append((f"L_{function}_{position.upper()}_{length}", function, position, length,
                            shape.format(**sizes)))
        for length in ALL_LENGTHS:
            out.append((f"L_{function}_ALL_{length}", function, "all", length,
                        shape.format(**{p: length for p in positions})))
        shipped = {p: SHIPPED_MASK if p == "MASK" else SHIPPED_TEXT for p in positions}
        out.append((f"L_{function}_SHIPPED", function, "shipped", SHIPPED_TEXT, shape.format(**shipped)))
    return out


def length_queries():
    """The lengths suite's timed queries, as timed_queries() gives them."""
    out = [("scan", "scan", "t", None, None, "bare scan of T")]
    queries = {function: query for function, _p, _s, query in LENGTH_FUNCTIONS}
    for function, _positions, _shape, query in LENGTH_FUNCTIONS:
        out.append((f"legacy:{function}", "vantor", "t", query.format(f=f"LEGACY_{function}"), None,
                    f"legacy {function}"))
    for name, function, position, length, shape in length_variants():
        what = f"{function} {position} {length}"
        out.append((name, "length", "t", queries[function].format(f=name), f"legacy:{function}", what))
    return out


def length_declarations():
    return "\n".join(f"CREATE OR ALTER FUNCTION {name} {shape} EXTERNAL NAME 'vantor_udr!{function}' ENGINE UDR;"
                     for name, function, _p, _l, shape in length_variants())


# The moved suite: each function with arguments through its fresh UDR
# declaration (SQL's NULL rules) and through the same declaration as a move
# from the legacy module leaves it (M_<name>, the legacy declaration's NULL
# rules after the routine's name), side by side in one run.
MOVED = [f for f in table_of_functions.functions(TABLE) if f["args"] and "bench" in f]


def moved_queries():
    out = [("scan", "scan", "t", None, None, "bare scan of T"), ("scan_blobs", "scan", "blobs", None, None, "")]
    for f in MOVED:
        for key, _kind, table, predicate, _floor, what in vantor_queries(f)[:1]:
            out.append((key, "fresh", table, predicate, None, what))
            moved = re.sub(r"\b" + f["name"] + r"\(", f"M_{f['name']}(", predicate, count=1)
            out.append((f"moved:{key}", "moved", table, moved, key, what))
    return out


def moved_declarations():
    return "\n".join(
        f"CREATE OR ALTER FUNCTION M_{f['name']} {table_of_functions.udr_signature(TABLE, f, placeholders=False)} "
        f"EXTERNAL NAME 'vantor_udr!{f['name']}!legacy:"
        + ",".join("null" if a.get("legacy_null") else "zero" for a in f["args"]) + "' ENGINE UDR;"
        for f in MOVED)


def legacy_predicate(predicate):
    return re.sub(r"\b(" + "|".join(FUNCTIONS) + r")\(", r"LEGACY_\1(", predicate)


def timed_queries():
    """Every timed query: each floor in both modules, each vantor query
    through the legacy module (key as in QUERIES) and the UDR module (key
    prefixed udr:), the scans and built-ins once."""
    out = []
    for key, kind, table, predicate, ref, what in QUERIES:
        if kind == "floor":
            out.append((key, kind, table, predicate, ref, what))
            out.append((UDR + key, "udr_floor", table, re.sub(r"\bF_", "UF_", predicate), None, what))
        elif kind == "vantor":
            out.append((key, kind, table, legacy_predicate(predicate), ref, what))
            out.append((UDR + key, "udr", table, predicate, UDR + ref, what))
        else:
            out.append((key, kind, table, predicate, ref, what))
    return out


# Words with code-page-1250 letters, capitals among them, for ALC and LOWER.
WORDS = ["P\u0159\u00edli\u0161", "\u017dLU\u0164OU\u010cK\u00dd", "k\u016f\u0148", "\u00dap\u011bl",
         "\u010e\u00c1BELSK\u00c9", "\u00f3dy", "\u0141\u00f3d\u017a", "\u015al\u0105sk",
         "\u017b\u00f3\u0142w", "\u00c1rv\u00edzt\u0171r\u0151", "Stra\u0161idlo", "NEMOCNICE"]


def decode_of(expression, choices):
    branches = ", ".join(f"{i}, '{w}'" for i, w in enumerate(choices))
    return f"DECODE({expression}, {branches})"


def floor_declarations():
    """The floors' declarations: the declaration of the function of each
    floor's shape, renamed and pointed at the floor module, with the text
    lengths the table ships."""
    out = []
    for name, shape, entry, routine in FLOORS:
        copied = table_of_functions.by_name(TABLE, shape)
        out.append(f"DECLARE EXTERNAL FUNCTION {name} {table_of_functions.legacy_shape(TABLE, copied, placeholders=False)} "
                   f"ENTRY_POINT '{entry}' MODULE_NAME 'vantor_floor';")
        out.append(f"CREATE FUNCTION U{name} {table_of_functions.udr_signature(TABLE, copied, placeholders=False)} "
                   f"EXTERNAL NAME 'vantor_floor_udr!{routine}' ENGINE UDR;")
    return "\n".join(out)


def build_sql(rows):
    word = decode_of("MOD(i, 12)", WORDS) + " || ' ' || " + decode_of("MOD(i / 12, 12)", WORDS)
    prefix = "DECODE(MOD(i, 5), 0, 'ORD', 1, 'CRN', 'INV')"
    return f"""{floor_declarations()}
commit;
CREATE TABLE t (
  id INTEGER NOT NULL, code VARCHAR(20), word VARCHAR(60), ts TIMESTAMP, d DATE, tm TIME,
  dp DOUBLE PRECISION, x DOUBLE PRECISION, y DOUBLE PRECISION, n INTEGER, m INTEGER, flag SMALLINT);
commit;
SET TERM ^;
EXECUTE BLOCK AS
  DECLARE i BIGINT = 0;
  DECLARE day_number INTEGER;
  DECLARE ms INTEGER;
  DECLARE moment TIMESTAMP;
  DECLARE code VARCHAR(20);
  DECLARE word VARCHAR(60);
BEGIN
  WHILE (i < {rows}) DO
  BEGIN
    /* Two centuries from 1900-01-01, to the millisecond, in scrambled order. */
    day_number = MOD(i * 7919, 73049);
    ms = MOD(i * 104729 + 12345, 86400000);
    moment = DATEADD(ms MILLISECOND TO CAST(DATEADD(day_number DAY TO DATE '1900-01-01') AS TIMESTAMP));
    code = {prefix} || '-' || (2015 + MOD(i, 12)) || '-' || LPAD(MOD(i * 7907, 1000000), 6, '0');
    word = {word};
    INSERT INTO t VALUES (
      :i, :code, :word, :moment, CAST(:moment AS DATE), CAST(:moment AS TIME),
      2 + :day_number + :ms / 86400000e0,
      MOD(:i * 48271, 2147483647) / 1000e0, 1 + MOD(:i * 16807, 1000) / 10e0,
      MOD(:i * 2654435761, 1000000), MOD(:i * 40503, 1000000), MOD(:i, 2));
    i = i + 1;
  END
END^
SET TERM ;^
commit;
SET LIST ON;
SELECT COUNT(*) AS ROWS_IN_T FROM t;
SELECT rdb$get_context('SYSTEM', 'ENGINE_VERSION') AS ENGINE_VERSION FROM rdb$database;
SELECT mon$page_buffers AS PAGE_BUFFERS, mon$pages AS PAGES FROM mon$database;
"""


def blob_repeat(blobs):
    """How many times each BLOB query reads every BLOB: enough calls (about
    20,000) for the CPU clock's 10 ms tick to be small beside the total."""
    return max(1, min(200, 20000 // blobs))


def suite_queries(suite):
    if suite == "functions":
        return timed_queries()
    if suite == "lengths":
        return length_queries()
    if suite == "moved":
        return moved_queries()
    raise SystemExit(f"enginebench: no suite {suite}")


def time_sql(suite, runs, blobs, mark):
    repeat = blob_repeat(blobs)
    tables = {"t": "t", "blobs": f"blobs CROSS JOIN (SELECT FIRST {repeat} 1 AS k FROM rdb$types) r"}
    lines = ["SET LIST ON;"]
    if suite == "lengths":
        # Declared here, so that a database built earlier has them as they are now.
        lines += [length_declarations(), "COMMIT;"]
    if suite == "moved":
        lines += [moved_declarations(), "COMMIT;"]
    lines += ["/* Warm the cache: every table read through once, every BLOB read in full. */",
             "SELECT COUNT(*) AS WARM FROM t;", "SELECT COUNT(*) AS WARM FROM t WHERE x / y = -1;",
             "SELECT COUNT(*) AS WARM FROM blobs WHERE F_BLOBREAD(data, 2, 0) = -1;",
             "SET STATS ON;"]
    for _ in range(runs):
        for index, (_key, _kind, table, predicate, _ref, _what) in enumerate(suite_queries(suite)):
            where = f" WHERE {predicate}" if predicate else ""
            lines.append(f"SHELL {mark} Q{index:03d};")
            lines.append(f"SELECT COUNT(*) AS Q{index:03d} FROM {tables[table]}{where};")
    lines.append(f"SHELL {mark} END;")
    return "\n".join(lines) + "\n"


def read_marks(text):
    """The marker's lines (tag, clock ns, CPU ns, minor faults, user ticks,
    system ticks) as one window per query: the differences between each mark
    and the next, by query index, in the order the rounds ran."""
    marks = []
    for line in text.splitlines():
        fields = line.split()
        if len(fields) != 6:
            raise SystemExit(f"enginebench: bad mark line {line!r}")
        marks.append((fields[0], [int(x) for x in fields[1:]]))
    windows = {}
    for (tag, start), (_next, end) in zip(marks, marks[1:]):
        if tag == "END":
            continue
        d = [b - a for a, b in zip(start, end)]
        windows.setdefault(int(tag[1:]), []).append(
            {"cpu": d[1] / 1e9, "minflt": d[2], "user_ticks": d[3], "sys_ticks": d[4]})
    return windows


def results(suite, output, marks, rows, blobs, runs, engine):
    # The figures are the user plus system CPU time of the engine's process
    # from the marks; isql's statistics give each statement's elapsed time
    # (and its user time, kept to show what it leaves out).
    windows = read_marks(marks)
    isql_cpu, wall, counts = {}, {}, {}
    current = None
    for line in output.splitlines():
        match = re.match(r"^Q(\d{3})\s+(\d+)\s*$", line)
        if match:
            current = int(match.group(1))
            counts[current] = int(match.group(2))
            continue
        match = re.search(r"Elapsed time\s*=\s*([0-9.]+)", line)
        if match and current is not None:
            wall.setdefault(current, []).append(float(match.group(1)))
            continue
        match = re.search(r"^Cpu\s*=\s*([0-9.]+)", line)
        if match and current is not None:
            isql_cpu.setdefault(current, []).append(float(match.group(1)))
            current = None
    queries = suite_queries(suite)
    median, median_wall = {}, {}
    for index, (key, *_rest) in enumerate(queries):
        times = [w["cpu"] for w in windows.get(index, [])]
        if len(times) != runs or len(wall.get(index, [])) != runs:
            raise SystemExit(f"enginebench: query {key} timed {len(times)} times, expected {runs}")
        median[key] = statistics.median(times)
        median_wall[key] = statistics.median(wall[index])

    def rows_of(table):
        return rows if table == "t" else blobs * blob_repeat(blobs)

    def net_ns(key, table, of=median):
        scan = of["scan" if table == "t" else "scan_blobs"]
        return (of[key] - scan) / rows_of(table) * 1e9

    out = {"engine": engine, "suite": suite, "rows": rows, "blobs": blobs, "blob_repeat": blob_repeat(blobs),
           "runs": runs, "measure": "user+system", "queries": []}
    for index, (key, kind, table, predicate, ref, what) in enumerate(queries):
        rounds = windows[index]
        entry = {"key": key, "kind": kind, "table": table, "what": what, "ref": ref,
                 "predicate": predicate, "seconds": median[key], "all_seconds": [w["cpu"] for w in rounds],
                 "elapsed_seconds": wall[index], "isql_cpu_seconds": isql_cpu.get(index, []),
                 "sys_share": (sum(w["sys_ticks"] for w in rounds)
                               / max(1, sum(w["user_ticks"] + w["sys_ticks"] for w in rounds))),
                 "minflt_per_row": statistics.median(w["minflt"] for w in rounds) / rows_of(table),
                 "count": counts[index], "ns_per_row": median[key] / rows_of(table) * 1e9}
        if kind != "scan":
            entry["net_ns_per_row"] = net_ns(key, table)
            entry["net_elapsed_ns_per_row"] = net_ns(key, table, median_wall)
        if kind in ("vantor", "udr") and ref:
            floor = net_ns(ref, table)
            entry["floor_ns_per_row"] = floor
            entry["above_floor_ns"] = entry["net_ns_per_row"] - floor
            # A smoke run may be too short for the clock to see the floor.
            entry["above_floor_percent"] = (100.0 * (entry["net_ns_per_row"] - floor) / floor
                                            if floor > 0 else None)
        out["queries"].append(entry)
    by_key = {q["key"]: q for q in out["queries"]}
    for q in out["queries"]:
        if q["kind"] == "builtin":
            q["same_count"] = q["count"] == by_key[q["ref"]]["count"]
        if q["kind"] == "length":
            legacy = by_key[q["ref"]]
            q["same_count"] = q["count"] == legacy["count"]
            q["legacy_ns_per_row"] = legacy["net_ns_per_row"]
        if q["kind"] == "moved":
            fresh = by_key[q["ref"]]
            q["same_count"] = q["count"] == fresh["count"]
            q["fresh_ns_per_row"] = fresh["net_ns_per_row"]
        if q["kind"] == "udr":
            # The two modules must count the same rows (the table has no NULLs).
            legacy = by_key[q["key"][len(UDR):]]
            q["same_count"] = q["count"] == legacy["count"]
            q["legacy_ns_per_row"] = legacy["net_ns_per_row"]
            q["legacy_elapsed_ns_per_row"] = legacy["net_elapsed_ns_per_row"]
    return out


def i386_emulated():
    return os.path.exists("/proc/sys/fs/binfmt_misc/qemu-i386")


FAILED = re.compile(r"Statement failed|SQLSTATE")


def run(engine="fb3", flavour=None, rows=1000000, blobs=1000, runs=3, reuse=False, work=None, suite="functions"):
    """Builds (or reuses) the database, times SUITE and writes its results
    into the work folder; returns them."""
    flavour = flavour or ("i386" if engine == "fb3" and not i386_emulated() else "x86_64")
    builddir = os.path.join(ROOT, "build", flavour)
    work = os.path.abspath(work or os.path.join(builddir, f"enginebench-{engine}"))
    subprocess.run(["bash", os.path.join(ROOT, "scripts", "build.sh"), flavour, "-DVANTOR_BENCH=ON"], check=True)
    os.makedirs(work, exist_ok=True)
    path = lambda name: os.path.join(work, name)  # noqa: E731
    db, size = path("build.fdb"), f"{rows} {blobs}"
    if not (reuse and os.path.isfile(db) and os.path.isfile(path("size"))
            and open(path("size")).read().strip() == size):
        if os.path.exists(path("size")):
            os.remove(path("size"))
        with open(path("build.sql"), "w", encoding="cp1250") as f:
            f.write(build_sql(rows))
        # A page cache that holds every page of the database (about 9 pages a
        # BLOB, 16 rows of T a page), kept in its header: a Super server ignores
        # the cache size a connection asks for.
        cache_pages = blobs * 9 + rows // 16 + 2048
        with open(path("blobfill.sh"), "w") as f:
            f.write(f'#!/bin/sh\nexec $VANTOR_CLIENT_EXEC "{builddir}/bench/vantor_blobfill" "$1" {blobs} {cache_pages}\n')
        os.chmod(path("blobfill.sh"), 0o755)
        print(f"enginebench: building {rows} rows and {blobs} BLOBs ({engine}, {flavour})", file=sys.stderr)
        with open(path("build.out"), "w") as out:
            built = subprocess.run(["bash", os.path.join(ROOT, "scripts", "fbrun.sh"), "--engine", engine, "--udr",
                                    "--build", builddir, "--keep", work, "--setup", path("blobfill.sh"),
                                    path("build.sql")], stdout=out, stderr=subprocess.STDOUT)
        output = open(path("build.out"), errors="replace").read()
        if built.returncode or FAILED.search(output) or not re.search(rf"^ROWS_IN_T *{rows}$", output, re.M):
            sys.stderr.write(output)
            raise SystemExit("enginebench: building the table failed")
        buffers = int((re.findall(r"^PAGE_BUFFERS\s+(\d+)", output, re.M) or [0])[-1])
        pages = int((re.findall(r"^PAGES\s+(\d+)", output, re.M) or [1])[-1])
        if buffers < pages:
            raise SystemExit(f"enginebench: the page cache ({buffers} pages) does not hold the database ({pages} pages)")
        with open(path("size"), "w") as f:
            f.write(size + "\n")
    version = re.search(r"^ENGINE_VERSION *(.*)$", open(path("build.out"), errors="replace").read(), re.M).group(1)
    label = f"Firebird {version} {'amd64' if flavour == 'x86_64' else 'i386'}"
    if flavour == "i386" and i386_emulated():
        label += " (emulated)"

    # The same private engine root, tools and scratch folders that
    # scripts/fbrun.sh used to build the database, whose header gives it a
    # page cache that holds the whole database.
    with open(path("engine.env")) as f:
        kept = {k: "".join(shlex.split(v)) for k, _, v in (line.rstrip("\n").partition("=") for line in f)}
    # The marker: one line per call, the tag, then the clock, the CPU time of
    # all the engine process's threads (ns, /proc/PID/task/*/schedstat), its
    # minor page faults and its user and system ticks (/proc/PID/stat). isql
    # runs it through the shell, outside its own CPU time but for the spawn.
    mark, marks = path("mark.sh"), path(f"marks-{suite}")
    with open(mark, "w") as f:
        f.write("#!/bin/sh\np=$VANTOR_ENGINE_PID\n"
                "cpu=$(cat /proc/$p/task/*/schedstat | awk '{ s += $1 } END { printf \"%.0f\", s }')\n"
                f"echo \"$1 $(date +%s%N) $cpu $(cut -d' ' -f10,14,15 /proc/$p/stat)\" >> \"{marks}\"\n")
    os.chmod(mark, 0o755)
    if os.path.exists(marks):
        os.remove(marks)
    with open(path(f"time-{suite}.sql"), "w", encoding="ascii") as f:
        f.write(time_sql(suite, 1, blobs, mark))
    print(f"enginebench: timing {runs} rounds of {suite} ({label}), each in an engine process of its own",
          file=sys.stderr)
    # Each round runs in an engine process of its own, with the cache warmed
    # anew: where the engine's buffers and the modules' stacks fall in memory
    # (the address layout differs from process to process) moves a BLOB reader's
    # cost by a few per cent, so the median of the rounds is the median of as
    # many layouts. The engine process is isql itself: the shell's pid, kept by
    # exec.
    env = dict(os.environ, FIREBIRD=kept["FIREBIRD"], FIREBIRD_MSG=kept["FIREBIRD_MSG"],
               FIREBIRD_LOCK=path("lock"), FIREBIRD_TMP=work, ISC_USER="SYSDBA")
    with open(path(f"time-{suite}.out"), "w") as out:
        for _ in range(runs):
            subprocess.run(["sh", "-c", 'export VANTOR_ENGINE_PID=$$; exec "$@"', "sh", kept["VANTOR_ISQL"],
                            "-q", "-ch", "WIN1250", "-i", path(f"time-{suite}.sql"), db, "-user", "SYSDBA"],
                           stdout=out, stderr=subprocess.STDOUT, env=env)
    with open(path(f"time-{suite}.out"), encoding="cp1250", errors="replace") as f:
        output = f.read()
    lines = output.splitlines()
    failed = [i for i, line in enumerate(lines) if FAILED.search(line)]
    if failed:
        sys.stderr.write("\n".join([line for i in failed for line in lines[max(0, i - 2):i + 7]][:40]) + "\n")
        raise SystemExit("enginebench: a timed query failed")
    with open(marks, encoding="ascii") as f:
        data = results(suite, output, f.read(), rows, blobs, runs, label)
    with open(path({"functions": "results.json", "lengths": "lengths.json", "moved": "moved.json"}[suite]),
              "w", encoding="utf-8") as f:
        json.dump(data, f, indent=1)
    return data


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--engine", choices=["fb3", "fb4"], default="fb3")
    parser.add_argument("--flavour", choices=["i386", "x86_64"])
    parser.add_argument("--rows", type=int, default=1000000)
    parser.add_argument("--blobs", type=int, default=1000)
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--reuse", action="store_true")
    parser.add_argument("--work")
    parser.add_argument("--suite", choices=["functions", "lengths", "moved"], default="functions")
    import perfreport
    print(perfreport.engine_summary_table(run(**vars(parser.parse_args(argv)))))


if __name__ == "__main__":
    main(sys.argv[1:])
