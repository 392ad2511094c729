#!/usr/bin/env python3
"""The reliability record (the template record.md, its rows worded in
record.json) from the ctest reports that scripts/test.sh leaves in each
build (build/FLAVOUR/ctest.xml); nothing is run again.

  tests/tools/record.py [BUILD_ROOT] > docs/RELIABILITY.md
"""
import datetime
import itertools
import json
import os
import re
import subprocess
import sys
import xml.etree.ElementTree as ElementTree

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
BUILDS = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build"))

EMULATED = os.path.exists("/proc/sys/fs/binfmt_misc/qemu-i386")


def report(flavour):
    """The test cases of a flavour's last run: name -> (passed, seconds, output)."""
    path = os.path.join(BUILDS, flavour, "ctest.xml")
    cases = ElementTree.parse(path).getroot().iter("testcase") if os.path.exists(path) else ()
    return {case.get("name"): (case.get("status") == "run", float(case.get("time", 0)),
                               case.findtext("system-out") or "")
            for case in cases if case.get("status") in ("run", "fail")}


def not_run(flavour):
    if EMULATED and flavour == "asan-i386":
        return "-", "-", "not run: i386 programs are emulated there (QEMU), where a sanitized one takes minutes to start"
    return "-", "-", "not run in that run"


def outcome(passed, good, bad):
    return good if passed else f"**FAILED** ({bad})"


def rows():
    """The table's rows; the fixed words of each are in record.json."""
    with open(os.path.join(ROOT, "tests", "tools", "record.json"), encoding="utf-8") as f:
        words = json.load(f)
    reports = {flavour: report(flavour) for flavour in ("asan", "asan-i386", "tsan", "i386", "x86_64")}
    for row in words["sets"]:
        cases = {n: c for n, c in reports[row["flavour"]].items() if re.match(row["tests"], n)}
        if not cases:
            yield (row["what"], row["tool"]) + not_run(row["flavour"])
            continue
        bad = [n for n, (ok, _, _) in cases.items() if not ok]
        yield (row["what"], row["tool"], f"{len(cases)} tests", f"{sum(c[1] for c in cases.values()):.1f} s",
               outcome(not bad, row["good"], ", ".join(bad)))
    for name, what in words["fuzz"].items():
        case = reports["x86_64"].get(f"fuzz.{name}")
        if not case:
            yield (what, "libFuzzer + ASan + UBSan (clang)") + not_run("x86_64")
            continue
        runs = re.findall(r"stat::number_of_executed_units: *(\d+)", case[2])
        span = re.search(r"^fuzz: \S+ for (\d+) s", case[2], re.M)
        yield (what, "libFuzzer + ASan + UBSan (clang)", f"{runs[-1] if runs else '?'} inputs",
               f"{span.group(1)} s" if span else f"{case[1]:.1f} s",
               outcome(case[0], "0 crashes, 0 broken invariants", "input kept in build/fuzz"))
    names = subprocess.run([sys.executable, os.path.join(ROOT, "scripts", "functions.py"), "names"],
                           check=True, capture_output=True, text=True).stdout.split()
    with open(os.path.join(ROOT, "tests", "sql", "hostile.sql"), encoding="latin-1") as f:
        calls = len(re.findall(r"\b(?:%s)(?:_n)?\(" % "|".join(names), f.read(), re.I))
    for flavour, engine, module in itertools.product(("i386", "x86_64"), ("fb3", "fb4"), ("legacy", "udr")):
        case = reports[flavour].get(f"sql.{engine}.{module}.hostile")
        if case:
            arch = "amd64" if flavour == "x86_64" else flavour
            yield (words["hostile"] + (words["hostile_udr"] if module == "udr" else ""),
                   f"real engine ({arch} Firebird {engine[2]}.0, {module} module), output diffed",
                   f"{calls} call sites", f"{case[1]:.1f} s",
                   outcome(case[0], "engine up, every call returned, output as expected", "see ctest"))
    for name, what in words["load"].items():
        case = reports["i386"].get(name)
        if not case:
            continue
        lines = re.findall(r"^loadtest: (.*)$", case[2], re.M)
        runs = next((line for line in lines if "workload runs" in line), "?")
        memory = "; ".join(line for line in lines if "RSS" in line) or "?"
        yield (what, "real i386 server (/usr/sbin/firebird, 127.0.0.1)", runs, f"{case[1]:.1f} s",
               outcome(case[0], memory, "see loadtest"))


def main():
    commit = subprocess.run(["git", "-C", ROOT, "rev-parse", "--short", "HEAD"], capture_output=True,
                            text=True).stdout.strip() or "?"
    table = list(rows())
    with open(os.path.join(ROOT, "tests", "tools", "record.md"), encoding="utf-8") as f:
        sys.stdout.write(f.read().format(
            when=f"{datetime.datetime.now(datetime.timezone.utc):%Y-%m-%d %H:%M}", cores=os.cpu_count(),
            commit=commit, emulated="; i386 programs ran under QEMU there" if EMULATED else "",
            table="\n".join("| " + " | ".join(row) + " |" for row in table)))
    return 0 if all("FAILED" not in row[4] for row in table) else 1


if __name__ == "__main__":
    sys.exit(main())
