#!/usr/bin/env python3
"""The SQL regression suite: runs tests/sql/NAME.sql against vantor in a
Firebird engine and compares the session's whole output with the test's
expected outputs, tests/sql/NAME.out and its alternatives NAME_1.out,
NAME_2.out... for the variants whose output really differs (the module, the
flavour's arithmetic, the engine). A test passes when its output equals one
of them.

  sqlrun.py [--engine fb3|fb4] [--build DIR] [--udr] [--charset CS]
            [--accept] [--skip NAME]... [NAME...]
      in an embedded engine (scripts/fbrun.sh: a private root, a scratch
      database with vantor declared) of the build folder's flavour;
  sqlrun.py --server HOST[/PORT] --user USER --password PASSWORD [--udr]
            [--dir SERVER_FOLDER] [--isql PROGRAM] [--build DIR] [--skip NAME]... [NAME...]
      against a running server of 3.0 or later with vantor installed, over
      TCP (scripts/installcheck.sh); each test gets a scratch database that
      the server creates in SERVER_FOLDER (/tmp) and that is dropped after it.

Which tests: every tests/sql/*.sql but udr_* (they compare the two modules:
--udr only) and fb4_* (Firebird 4.0 only), and those skipped with --skip.
With --udr the module declared is the UDR one (sql/vantor-udr.sql) with the
legacy functions beside it under the prefix LEGACY_; for every test but the
udr_* ones its texts and masks are declared 32765 bytes long, so that long
texts reach both modules alike. A test with a file NAME.setup runs the
program of the build folder it names against its database first. fb4_*
tests run in the time zone UTC. --charset makes the scratch databases'
default character set CS (WIN1250 by default); the expected outputs are the
same. --accept records a differing output over the expected file closest to
it (--accept-new: as a new alternative).

Prints one line per test ("ok:", "FAILED:" with the difference from the
closest expected output, "skipped:" with the reason) and "N passed, M
failed". Exits 0 when every test that ran passed, 1 when one failed, 2 when
the suite cannot run (no connection, the module not installed).

  sqlrun.py --declarations [--udr [--udr-texts N]] [--charset CS]
      prints the statements that declare vantor in a new database, as the
      suite declares it (scripts/fbrun.sh runs them).
"""
import argparse
import difflib
import glob
import os
import re
import shutil
import socket
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
SQL = os.path.join(ROOT, "tests", "sql")
CHARSET = "WIN1250"


def fail(message):
    print(f"sqlrun: {message}", file=sys.stderr)
    sys.exit(2)


def expected_files(name):
    alternatives = sorted(glob.glob(os.path.join(SQL, f"{name}_[0-9]*.out")),
                          key=lambda p: int(re.search(r"_(\d+)\.out$", p).group(1)))
    first = os.path.join(SQL, f"{name}.out")
    return ([first] if os.path.exists(first) else []) + alternatives


def read(path):
    with open(path, "rb") as f:
        return f.read().decode("latin-1")


def closest(output, candidates):
    """The candidate (path, text) whose lines differ least from OUTPUT."""
    lines = output.split("\n")
    return max(candidates, key=lambda c: difflib.SequenceMatcher(None, c[1].split("\n"), lines,
                                                                 autojunk=False).ratio())


def compare(name, output, accept, normalise=lambda text: text):
    """Prints the outcome of a test whose output is OUTPUT; True if it passed."""
    candidates = [(p, read(p)) for p in expected_files(name)]
    if any(normalise(text) == normalise(output) for _, text in candidates):
        print(f"ok: sql/{name}")
        return True
    if accept:
        path = os.path.join(SQL, f"{name}.out")
        if candidates:
            path = closest(output, candidates)[0] if accept == "closest" else \
                os.path.join(SQL, f"{name}_{len(candidates)}.out")
        with open(path, "wb") as f:
            f.write(output.encode("latin-1"))
        print(f"accepted: sql/{name} ({os.path.relpath(path, ROOT)})")
        return True
    print(f"FAILED: sql/{name}")
    if not candidates:
        print(f"  (no expected output tests/sql/{name}.out)")
        return False
    path, text = closest(normalise(output), [(p, normalise(t)) for p, t in candidates])
    diff = difflib.unified_diff(text.split("\n"), normalise(output).split("\n"),
                                os.path.relpath(path, ROOT), "output", lineterm="")
    for line in list(diff)[:80]:
        print("  " + line)
    return False


def selected(args, engine):
    """The names of the tests this run takes, and the ones it skips."""
    if args.names:
        return args.names
    names = []
    for path in sorted(glob.glob(os.path.join(SQL, "*.sql"))):
        name = os.path.basename(path)[:-4]
        if (name.startswith("udr_") and not args.udr) or (name.startswith("fb4_") and engine != "fb4"):
            continue
        if name in args.skip:
            print(f"skipped: sql/{name} (--skip)")
            continue
        names.append(name)
    return names


def setup_program(args, name):
    path = os.path.join(SQL, f"{name}.setup")
    if not os.path.exists(path):
        return None
    return os.path.join(args.build or "", "".join(read(path).split()))


def text_bytes(name):
    """How long the UDR texts and masks are declared for a test: as shipped
    for the udr_* tests, which test those lengths, and 32765 bytes for the
    others."""
    return None if name.startswith("udr_") else 32765


def declarations(udr, text_bytes, charset):
    """The statements that declare vantor in a new database of default
    character set CHARSET: the legacy module, or the UDR module (its texts
    and masks TEXT_BYTES long, if given) with the legacy functions beside it
    under the prefix LEGACY_, so that a test can compare the two."""
    if not udr:
        return read(os.path.join(ROOT, "sql", "vantor.sql"))
    parts = []
    if text_bytes:
        for key in ("VANTOR_TEXT_BYTES", "VANTOR_MASK_BYTES"):
            parts.append(f"SELECT RDB$SET_CONTEXT('USER_SESSION', '{key}', {text_bytes}) FROM RDB$DATABASE;\n")
    parts.append(read(os.path.join(ROOT, "sql", "vantor-udr.sql")))
    # Texts are counted in characters of the character set.
    parts.append(subprocess.run([sys.executable, os.path.join(ROOT, "scripts", "functions.py"),
                                 "legacy-declarations", "LEGACY_", "4" if charset == "UTF8" else "1"],
                                check=True, capture_output=True).stdout.decode("latin-1"))
    return "".join(parts)


def run_embedded(args):
    build = os.path.abspath(args.build or os.path.join(ROOT, "build", "i386"))
    passed = failed = 0
    for name in selected(args, args.engine):
        command = ["bash", os.path.join(ROOT, "scripts", "fbrun.sh"), "--engine", args.engine,
                   "--build", build, "--charset", args.charset]
        if args.udr:
            command.append("--udr")
            if text_bytes(name):
                command += ["--udr-texts", str(text_bytes(name))]
        setup = setup_program(argparse.Namespace(build=build), name)
        if setup:
            command += ["--setup", setup]
        env = dict(os.environ)
        if name.startswith("fb4_"):
            env["TZ"] = "UTC"
        # From the tests folder, so that the echoed statements carry no paths.
        run = subprocess.run(command + [f"{name}.sql"], cwd=SQL, env=env,
                             stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        if compare(name, run.stdout.decode("latin-1"), args.accept):
            passed += 1
        else:
            failed += 1
    return passed, failed


class Server:
    """A running server reached with isql over TCP."""

    def __init__(self, args, scratch):
        self.args, self.scratch = args, scratch
        self.isql = args.isql or shutil.which("isql-fb") or shutil.which("isql") \
            or fail("no isql-fb or isql on PATH (--isql PROGRAM)")
        self.isql = shutil.which(self.isql) or fail(f"{self.isql} is not a program")
        gbak = os.path.join(os.path.dirname(self.isql), "gbak")
        self.gbak = gbak if os.access(gbak, os.X_OK) else shutil.which("gbak") or ""
        # Server-side names: unique to this run, so that runs side by side and
        # what a killed run left behind do not meet.
        self.stem = f"{args.server}:{args.dir}/vantor-installcheck-{socket.gethostname().split('.')[0]}-{os.getpid()}-"
        self.current = None
        os.environ.update(ISC_USER=args.user, ISC_PASSWORD=args.password, VANTOR_ISQL=self.isql,
                          VANTOR_GBAK=self.gbak, VANTOR_DB_STEM=self.stem + "text-", FIREBIRD_TMP=scratch)

    def sql(self, script, database=None, *options):
        command = [self.isql, "-q", "-ch", CHARSET, "-user", self.args.user, "-password", self.args.password,
                   *options] + ([database] if database else [])
        run = subprocess.run(command, input=script.encode("latin-1"), cwd=SQL,
                             stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        return run.returncode, run.stdout.decode("latin-1")

    def drop(self):
        if self.current:
            self.sql("drop database;\n", self.current)
            self.current = None

    def create(self, name):
        """A scratch database with vantor declared, as self.current; None,
        or the output of the failed declaration."""
        self.current = f"{self.stem}{name}.fdb"
        status, out = self.sql(f"create database '{self.current}' user '{self.args.user}' password "
                               f"'{self.args.password}' default character set {CHARSET};\n"
                               + declarations(self.args.udr, text_bytes(name), CHARSET) + "commit;\n", None, "-b")
        if status == 0:
            return None
        self.drop()
        return out

    def query(self, statement):
        return self.sql("set list on;\n" + statement, self.current)[1]


LEGACY_ONLY = re.compile(r"^-- legacy-only:.*?^-- end legacy-only\n", re.M | re.S)


def run_server(args):
    args.dir = args.dir.rstrip("/")
    if not args.build:
        for flavour in ("x86_64", "i386"):
            if os.path.isdir(os.path.join(ROOT, "build", flavour)):
                args.build = os.path.join(ROOT, "build", flavour)
                break
    module, module_file, place = "legacy", "libvantor.so", "its UDF folder, which UdfAccess in its firebird.conf allows"
    if args.udr:
        module, module_file, place = "udr", "libvantor_udr.so", "the folder plugins/udr, a copy, not a link"
    scratch = tempfile.mkdtemp()
    server = Server(args, scratch)
    try:
        error = server.create("probe")
        if error is not None:
            print(error, file=sys.stderr, end="")
            if re.search(r"unavailable database|network|connection|password|not defined|login", error, re.I):
                fail(f"cannot connect to the server {args.server} as {args.user} (see above)")
            if re.search(r"create|I/O error|access to database", error, re.I):
                fail(f"the server cannot create a database in {args.dir} (--dir: a folder the server may write, "
                     "that DatabaseAccess allows)")
            fail(f"declaring vantor failed (see above): is {module_file} installed in the server ({place})?")
        probe = server.query("select rdb$get_context('SYSTEM', 'ENGINE_VERSION') as engine_version "
                             "from rdb$database;\nshow version;\n")
        version = (re.search(r"^ENGINE_VERSION *(\S+)", probe, re.M) or fail(f"the server did not tell its version:\n{probe}")).group(1)
        major = int(version.split(".")[0])
        if major < 3:
            fail(f"the server is Firebird {version}; vantor needs 3.0 or later")
        engine = "fb3" if major < 4 else "fb4"
        # The engine's own line of "show version": "Firebird/Linux/Intel/i386
        # (access method)" on a 32-bit x86 server.
        flavour = "i386" if re.search(r"^.*(i386|/x86[ ,(]).*\(access method\)", probe, re.M) else "x86_64"

        def loads(prefix):  # does a function of the module answer?
            out = server.query(f"select {prefix}DP2TS(36526.75) as loaded from rdb$database;\n")
            return [line for line in out.split("\n") if line and not line.startswith("LOADED ")]
        error = loads("")
        if error:
            print("\n".join(error), file=sys.stderr)
            fail(f"the {module} module does not load in the server: is {module_file} installed there ({place})?")
        legacy_beside = not args.udr or not loads("LEGACY_")
        zone = ""
        if engine == "fb4":
            out = server.query("select rdb$get_context('SYSTEM', 'SESSION_TIMEZONE') as zone,\n"
                               "  datediff(minute from now() to localtimestamp) as drift from rdb$database;\n")
            fields = dict(line.split(None, 1) for line in out.split("\n") if line.strip())
            zone = f"{fields.get('ZONE', '?').strip()}/{fields.get('DRIFT', '?').strip()}"
        server.drop()
        banner = subprocess.run([server.isql, "-z", "-q"], stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                stderr=subprocess.STDOUT).stdout.decode("latin-1")
        client = re.search(r"ISQL Version: *[A-Z]*-[A-Z](\d+)\.", banner)
        client = int(client.group(1)) if client else None
        print(f"installcheck: Firebird {version} ({flavour}) at {args.server}, {module} module")

        passed = failed = 0
        for name in selected(args, engine):
            def skipped(reason):
                print(f"skipped: sql/{name} ({reason})")
            path = os.path.join(SQL, f"{name}.sql")
            if not os.path.exists(path):
                print(f"FAILED: sql/{name} (no {path})")
                failed += 1
                continue
            text = read(path)
            setup = setup_program(args, name)
            if setup and not (args.build and os.access(setup, os.X_OK)):
                skipped(f"its setup program {setup} is not built (--build DIR)")
            elif name == "unloadable":
                skipped("it runs engines of its own, embedded, from roots it makes beside the build")
            elif args.udr and name == "reinstall":
                skipped("it reinstalls the legacy module: it runs without --udr")
            elif args.udr and name.startswith("udr_") and not legacy_beside:
                skipped("it compares with the legacy module, which does not load in this server")
            elif re.search(r"^shell ", text, re.M) and not (server.gbak and shutil.which("perl")):
                skipped(f"its script backs up and restores a database: it needs gbak beside {server.isql} and perl")
            elif name.startswith("fb4_") and client is not None and client < 4:
                skipped(f"it needs a client of 4.0 or later; {server.isql} is {client}.x")
            elif name.startswith("fb4_") and zone not in ("UTC/0", "Etc/UTC/0"):
                skipped(f"it needs a server whose process time zone is UTC; a session here is in {zone.rsplit('/', 1)[0]}")
            else:
                if run_one(server, args, name, text, legacy_beside):
                    passed += 1
                else:
                    failed += 1
        return passed, failed
    finally:
        server.drop()
        shutil.rmtree(scratch, ignore_errors=True)


def run_one(server, args, name, text, legacy_beside):
    # Where the legacy module does not load, the parts of a test between
    # "-- legacy-only: REASON" and "-- end legacy-only" (declarations of the
    # legacy module of its own) are left out of it and of its expected
    # output; the lines isql reports errors at then move, and are not compared.
    normalise, left_out = (lambda t: t), []
    if args.udr and not legacy_beside and "\n-- legacy-only:" in text:
        left_out = re.findall(r"^-- legacy-only: (.*)$", text, re.M)
        text = LEGACY_ONLY.sub("", text)

        def normalise(t):
            return re.sub(r"^After line [0-9]+ in file .*$", "After line N", LEGACY_ONLY.sub("", t), flags=re.M)
    error = server.create(name)
    if error is not None:
        print(f"FAILED: sql/{name} (declaring vantor failed)")
        print("".join("  " + line + "\n" for line in error.split("\n")), end="")
        return False
    output = ""
    setup = setup_program(args, name)
    if setup:
        run = subprocess.run([setup, server.current], stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        output = run.stdout.decode("latin-1") + ("" if run.returncode == 0 else f"installcheck: setup {setup} failed\n")
    run_file = os.path.join(server.scratch, f"{name}.sql")
    if left_out:
        with open(run_file, "wb") as f:
            f.write(text.encode("latin-1"))
    command = [server.isql, "-q", "-ch", CHARSET, "-user", args.user, "-password", args.password,
               "-e", "-i", run_file if left_out else f"{name}.sql", server.current]
    output += subprocess.run(command, cwd=SQL, stdout=subprocess.PIPE,
                             stderr=subprocess.STDOUT).stdout.decode("latin-1")
    server.drop()
    ok = compare(name, output, None, normalise)
    if ok and left_out:
        print("  (its parts that need the legacy module, which does not load in this server, left out: "
              + "; ".join(left_out) + ")")
    return ok


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--engine", choices=("fb3", "fb4"), default="fb3")
    parser.add_argument("--build")
    parser.add_argument("--udr", action="store_true")
    parser.add_argument("--charset", default=CHARSET)
    parser.add_argument("--accept", action="store_const", const="closest")
    parser.add_argument("--accept-new", dest="accept", action="store_const", const="new")
    parser.add_argument("--skip", action="append", default=[])
    parser.add_argument("--server")
    parser.add_argument("--user")
    parser.add_argument("--password")
    parser.add_argument("--dir", default="/tmp")
    parser.add_argument("--isql")
    parser.add_argument("--declarations", action="store_true")  # for fbrun.sh
    parser.add_argument("--udr-texts", type=int)
    parser.add_argument("names", nargs="*")
    args = parser.parse_args()
    if args.build:
        args.build = os.path.abspath(args.build)
    if args.declarations:
        sys.stdout.write(declarations(args.udr, args.udr_texts, args.charset))
        sys.exit(0)
    if args.server:
        if not (args.user and args.password):
            parser.error("--server needs --user and --password")
        passed, failed = run_server(args)
    else:
        passed, failed = run_embedded(args)
    print(f"{passed} passed, {failed} failed")
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    main()
