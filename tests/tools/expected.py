#!/usr/bin/env python3
"""Expected outputs of the SQL suite: one file per test for every variant of
a run. A variant is a module (legacy or udr), a flavour (i386 or x86_64) and
an engine (fb3 or fb4): eight in all (scripts/test.sh runs both flavours on
both engines).

A line of an expected file that holds in every variant is written as it is.
A line that holds in some variants only starts with '@', the variants' tags
joined by commas, and one space: '@udr,fb4 text' holds in the variants that
are both udr and fb4. A line that holds in a set of variants no such
conjunction names is written once per part of the set. No output line of
isql starts with '@'.

  expected.py expand FILE TAG TAG TAG       the expected output of a variant
  expected.py accept FILE TAG TAG TAG NEW   records NEW as that variant's
                                            output, keeping every other
                                            variant's as it was
  expected.py fold OUT TAGS=FILE...         folds whole per-variant outputs
                                            (TAGS like udr,x86_64,fb3)
"""
import difflib
import itertools
import sys

DIMENSIONS = [("legacy", "udr"), ("i386", "x86_64"), ("fb3", "fb4")]
VARIANTS = list(itertools.product(*DIMENSIONS))


def variant_of(tags):
    chosen = []
    for dimension in DIMENSIONS:
        hits = [t for t in tags if t in dimension]
        if len(hits) != 1:
            raise SystemExit(f"expected.py: a variant needs one of {dimension}, got {tags}")
        chosen.append(hits[0])
    return tuple(chosen)


def holds(tags, variant):
    return all(tag in variant for tag in tags)


def expand(lines, variant):
    out = []
    for line in lines:
        if line.startswith("@"):
            head, _, rest = line[1:].partition(" ")
            if holds(head.split(","), variant):
                out.append(rest)
        else:
            out.append(line)
    return out


def cubes():
    """Every conjunction of tags, with the variants it holds in."""
    for choice in itertools.product(*[(None,) + d for d in DIMENSIONS]):
        tags = tuple(t for t in choice if t)
        members = frozenset(v for v in VARIANTS if holds(tags, v))
        if members:
            yield tags, members


def tag_sets(members):
    """The fewest disjoint conjunctions whose variants make up MEMBERS."""
    if members == frozenset(VARIANTS):
        return [()]
    candidates = [(t, m) for t, m in cubes() if m <= members]
    for count in range(1, len(members) + 1):
        for combination in itertools.combinations(candidates, count):
            sets = [m for _, m in combination]
            if sum(len(s) for s in sets) == len(members) and frozenset().union(*sets) == members:
                return [t for t, _ in combination]
    raise AssertionError("every single variant is a conjunction")


def fold(outputs):
    """OUTPUTS maps every variant to its lines; gives the folded lines."""
    merged = []  # [line, set of variants], in the order of every variant
    done = []
    for variant in VARIANTS:
        lines = outputs[variant]
        # Each variant is laid over the earlier one it is most alike, so
        # that its differences are the few lines it really differs by.
        reference, entries = None, []
        best = -1.0
        for other in done:
            other_entries = [e for e in merged if other in e[1]]
            ratio = difflib.SequenceMatcher(None, [e[0] for e in other_entries], lines, autojunk=False).ratio()
            if ratio > best:
                best, reference, entries = ratio, other, other_entries
        matcher = difflib.SequenceMatcher(None, [e[0] for e in entries], lines, autojunk=False)
        position = 0  # where in MERGED the next line of VARIANT goes
        for op, a0, a1, b0, b1 in matcher.get_opcodes():
            if op == "equal":
                for offset in range(a1 - a0):
                    entry = entries[a0 + offset]
                    entry[1].add(variant)
                    position = next(i for i, e in enumerate(merged) if e is entry) + 1
            else:
                for line in lines[b0:b1]:
                    merged.insert(position, [line, {variant}])
                    position += 1
        done.append(variant)
    # Neighbours of one text held in disjoint variants are one line.
    joined = []
    for entry in merged:
        if joined and joined[-1][0] == entry[0] and not (joined[-1][1] & entry[1]):
            joined[-1][1] |= entry[1]
        else:
            joined.append(entry)
    merged = joined
    out = []
    for line, members in merged:
        for tags in tag_sets(frozenset(members)):
            out.append(("@" + ",".join(tags) + " " + line) if tags else line)
    return out


def read(path):
    try:
        with open(path, encoding="latin-1") as f:
            return f.read().split("\n")
    except FileNotFoundError:
        return None


def write(path, lines):
    with open(path, "w", encoding="latin-1") as f:
        f.write("\n".join(lines))


def main(argv):
    command = argv[1] if len(argv) > 1 else ""
    if command == "expand":
        lines = read(argv[2])
        if lines is None:
            raise SystemExit(f"expected.py: no {argv[2]}")
        sys.stdout.buffer.write("\n".join(expand(lines, variant_of(argv[3:6]))).encode("latin-1"))
    elif command == "accept":
        path, variant, new = argv[2], variant_of(argv[3:6]), read(argv[6])
        old = read(path)
        outputs = {v: (expand(old, v) if old is not None else new) for v in VARIANTS}
        outputs[variant] = new
        write(path, fold(outputs))
    elif command == "fold":
        outputs = {}
        for spec in argv[3:]:
            tags, _, path = spec.partition("=")
            variant_tags = tags.split(",")
            for v in VARIANTS:
                if holds(variant_tags, v):
                    outputs[v] = read(path)
        missing = [v for v in VARIANTS if v not in outputs]
        if missing:
            raise SystemExit(f"expected.py: no output for {missing}")
        write(argv[2], fold(outputs))
    else:
        raise SystemExit(__doc__)


if __name__ == "__main__":
    main(sys.argv)
