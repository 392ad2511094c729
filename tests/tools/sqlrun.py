#!/usr/bin/env python3
"""The SQL regression suite, and the embedded engine it runs in (docs/development.md says more).

  sqlrun.py [--engine fb3|fb4] [--build DIR] [--udr] [--charset CS] [--accept|--accept-new] [--skip NAME]... [NAME...]
      runs tests/sql/NAME.sql (all by default) in the embedded engine of the build folder's flavour (build/i386);
  sqlrun.py --server HOST[/PORT] --user USER --password PASSWORD [--udr] [--dir SERVER_FOLDER] [--isql PROGRAM]
            [--build DIR] [--skip NAME]... [NAME...]
      runs them against a running server of 3.0 or later with vantor installed, over TCP (scripts/installcheck.sh),
      each in a scratch database created in SERVER_FOLDER (/tmp) and dropped after it;
  sqlrun.py --run [--engine fb3|fb4] [--build DIR] [--keep DIR] [--setup PROGRAM] [--udr] [--udr-texts N]
            [--charset CS] [--database DB] FILE.sql...
      runs any SQL files in the embedded engine, each in a new database with vantor declared
      (--database DB: in DB as it is), and prints the session's output.

A test passes when its output equals tests/sql/NAME.out or an alternative NAME_1.out, NAME_2.out... (a module,
flavour or engine whose output really differs); --accept records a differing output over the closest of them
(--accept-new: as a new one). udr_* tests are for --udr only, fb4_* ones for Firebird 4.0 (in the time zone UTC).
NAME.setup names a program of the build folder to run against the test's database first. Exits 1 when a test
failed, 2 when none can run.
"""
import argparse, difflib, fcntl, glob, os, re, shlex, shutil, socket, subprocess, sys, tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
SQL = os.path.join(ROOT, "tests", "sql")
LIB = os.path.join(ROOT, "scripts", "lib")
CHARSET = "WIN1250"


def fail(message):
    print(f"sqlrun: {message}", file=sys.stderr)
    sys.exit(2)


def read(path):
    with open(path, "rb") as f:
        return f.read().decode("latin-1")


def lib(code, *args):
    """The output lines of CODE run by bash with the scripts' shared steps (scripts/lib) sourced."""
    return subprocess.run(["bash", "-c", f'set -e; . "{LIB}/fbroot.sh"; . "{LIB}/firebird4.sh"; {code}', "lib", *args],
                          check=True, stdout=subprocess.PIPE).stdout.decode().split("\n")


def put(path, data):
    """Writes DATA to PATH unless it holds it already: beside it, then renamed over it, so that an engine of another
    run that has the old file loaded keeps it (writing over a loaded module's file crashes that engine)."""
    if os.path.exists(path) and read(path) == data.decode("latin-1"):
        return
    with open(f"{path}.{os.getpid()}", "wb") as f:
        f.write(data)
    os.chmod(f.name, 0o755)
    os.replace(f.name, path)


def engine(build, version, udr):
    """Makes the private root of BUILD's engine beside it (once: fbroot, fbroot-fb4, ...-udr), whose firebird.conf
    allows UDFs from BUILD only (nothing in /etc is read or changed), and installs the UDR module in it; the
    environment that runs the engine's tools on it."""
    for module in ["libvantor.so"] + ["libvantor_udr.so"] * udr:
        if not os.path.isfile(os.path.join(build, module)):
            fail(f"{build}/{module} is not built")
    with open(os.path.join(build, "libvantor.so"), "rb") as f:
        arch = "amd64" if f.read(5)[4] == 2 else "i386"  # the ELF class
    lock = open(os.path.join(build, ".fbroot.lock"), "w")
    fcntl.flock(lock, fcntl.LOCK_EX)  # runs side by side (ctest -j) make a root once, one at a time
    if version == "fb3":
        system = f"/usr/lib/{'x86_64' if arch == 'amd64' else 'i386'}-linux-gnu/firebird/3.0"
        tools = "/opt/vantor/firebird3.0-utils-amd64/usr/bin" if arch == "amd64" else "/usr/bin"
        root, client_exec = os.path.join(build, "fbroot"), ""
    else:
        system, loader, libs, programs, folder = lib('fb4_use "$1"; fb4_installed || FB4_ROOT=; printf "%s\\n" '
                                                     '"$FB4_ROOT" "$FB4_LOADER" "$FB4_LIBS" "$FB4_BIN" "$FB4_DIR"',
                                                     arch)[:5]
        if not system:
            fail(f"Firebird 4.0 ({arch}) is not installed in {folder} (scripts/setup.sh)")
        root, tools = os.path.join(build, "fbroot-fb4"), os.path.join(build, "fb4-tools")
        client_exec = f"{loader} --library-path {libs}"
        # The tools run through the folder's loader; small wrappers give scripts a plain command to call.
        os.makedirs(tools, exist_ok=True)
        for tool in ("isql-fb", "gbak"):
            put(os.path.join(tools, tool),
                f'#!/bin/sh\nexec "{loader}" --library-path "{libs}" "{programs}/{tool}" "$@"\n'.encode())
    # The engine's plugin folder is the root's, so a UDR root has its own, with the module in its udr folder; so
    # has a 4.0 root, which loads only plugins that are real files.
    root += "-udr" * udr
    if not (os.path.exists(os.path.join(root, "firebird.conf"))  # written last
            and os.path.exists(os.path.join(root, "intl", "libfbintl.so"))):
        lib('make_udr_root "$@"' if udr or version == "fb4" else 'make_fbroot "$@"', root, system)
        with open(os.path.join(root, "firebird.conf"), "w") as f:
            f.write(f"UdfAccess = Restrict {build}\n")
    # A copy, not a link: the UDR engine refuses an entry point whose file name differs from the name it loaded the
    # module by. The benchmark's UDR floor goes beside it, where the build has it.
    for module in ("libvantor_udr.so", "libvantor_floor_udr.so") if udr else ():
        if os.path.exists(os.path.join(build, module)):
            with open(os.path.join(build, module), "rb") as f:
                put(os.path.join(root, "plugins", "udr", module), f.read())
    lock.close()
    return dict(os.environ, FIREBIRD=root, FIREBIRD_MSG=root, ISC_USER="SYSDBA", VANTOR_CLIENT_EXEC=client_exec,
                VANTOR_BUILD=build, VANTOR_ISQL=os.path.join(tools, "isql-fb"), VANTOR_GBAK=os.path.join(tools, "gbak"))


def declarations(udr, text_bytes, charset):
    """The statements that declare vantor in a new database of default character set CHARSET."""
    if not udr:
        return read(os.path.join(ROOT, "sql", "vantor.sql"))
    # Texts are counted in characters of the character set.
    legacy = subprocess.run([sys.executable, os.path.join(ROOT, "scripts", "functions.py"), "legacy-declarations",
                             "LEGACY_", "4" if charset == "UTF8" else "1"], check=True, capture_output=True)
    return "".join([f"SELECT RDB$SET_CONTEXT('USER_SESSION', '{key}', {text_bytes}) FROM RDB$DATABASE;\n"
                    for key in ("VANTOR_TEXT_BYTES", "VANTOR_MASK_BYTES") if text_bytes]
                   + [read(os.path.join(ROOT, "sql", "vantor-udr.sql")), legacy.stdout.decode("latin-1")])


def closest(output, candidates):
    """The candidate (path, text) whose lines differ least from OUTPUT."""
    lines = output.split("\n")
    return max(candidates, key=lambda c: difflib.SequenceMatcher(None, c[1].split("\n"), lines,
                                                                 autojunk=False).ratio())


def compare(name, output, accept, normalise=lambda text: text):
    """Prints the outcome of a test whose output is OUTPUT; True if it passed."""
    paths = sorted(glob.glob(os.path.join(SQL, f"{name}_[0-9]*.out")), key=lambda p: int(re.findall(r"\d+", p)[-1]))
    first = os.path.join(SQL, f"{name}.out")
    candidates = [(p, read(p)) for p in [first] * os.path.exists(first) + paths]
    if any(normalise(text) == normalise(output) for _, text in candidates):
        print(f"ok: sql/{name}")
        return True
    if accept:
        path = first if not candidates else closest(output, candidates)[0] if accept == "closest" else \
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
    """The names of the tests this run takes; prints the ones it skips."""
    if args.names:
        return args.names
    names = [os.path.basename(path)[:-4] for path in sorted(glob.glob(os.path.join(SQL, "*.sql")))]
    names = [name for name in names if (args.udr or not name.startswith("udr_"))
             and (engine == "fb4" or not name.startswith("fb4_"))]
    for name in [name for name in names if name in args.skip]:
        print(f"skipped: sql/{name} (--skip)")
    return [name for name in names if name not in args.skip]


def setup_program(args, name):
    path = os.path.join(SQL, f"{name}.setup")
    return os.path.join(args.build or "", "".join(read(path).split())) if os.path.exists(path) else None


class Session:
    """isql in scratch databases with vantor declared: in the embedded engine of the build folder, its lock and
    temporary files in the folder SCRATCH, or over TCP in a running server (--server)."""

    def __init__(self, args, scratch, cwd=SQL, **env):
        self.args, self.scratch, self.cwd, self.current = args, scratch, cwd, None
        if not args.server:
            self.env = dict(engine(args.build, args.engine, args.udr), FIREBIRD_LOCK=os.path.join(scratch, "lock"),
                            FIREBIRD_TMP=scratch, **env)
            os.makedirs(self.env["FIREBIRD_LOCK"], exist_ok=True)
            self.isql, self.gbak, self.stem = self.env["VANTOR_ISQL"], self.env["VANTOR_GBAK"], scratch + "/"
            self.login, self.client_exec = ["-user", "SYSDBA"], self.env["VANTOR_CLIENT_EXEC"].split()
            return
        isql = args.isql or shutil.which("isql-fb") or shutil.which("isql") \
            or fail("no isql-fb or isql on PATH (--isql PROGRAM)")
        self.isql = shutil.which(isql) or fail(f"{isql} is not a program")
        gbak = os.path.join(os.path.dirname(self.isql), "gbak")
        self.gbak = gbak if os.access(gbak, os.X_OK) else shutil.which("gbak") or ""
        # Server-side names unique to this run, so that runs side by side and what a killed run left behind do not meet.
        self.stem = f"{args.server}:{args.dir}/vantor-installcheck-{socket.gethostname().split('.')[0]}-{os.getpid()}-"
        self.login, self.client_exec = ["-user", args.user, "-password", args.password], []
        self.env = dict(os.environ, ISC_USER=args.user, ISC_PASSWORD=args.password, VANTOR_ISQL=self.isql,
                        VANTOR_GBAK=self.gbak, VANTOR_DB_STEM=self.stem + "text-", FIREBIRD_TMP=scratch)

    def sql(self, script, *options):
        run = subprocess.run([self.isql, "-q", "-ch", CHARSET, *self.login, *options], input=script.encode("latin-1"),
                             cwd=self.cwd, env=self.env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        return run.returncode, run.stdout.decode("latin-1")

    def drop(self):
        if self.current and self.args.server:  # embedded, the scratch folder goes as a whole
            self.sql("drop database;\n", self.current)
        self.current = None

    def create(self, name, charset=CHARSET):
        """A scratch database with vantor declared, as self.current, of default character set CHARSET (the session's
        stays WIN1250, so that outputs compare); None, or the output of the failed declaration. The UDR texts and
        masks are declared --udr-texts N bytes long; in the suite, as shipped for the udr_* tests, which test those
        lengths, and 32765 bytes for the others, so that long texts reach both modules alike."""
        text_bytes = self.args.udr_texts if self.args.run else None if name.startswith("udr_") else 32765
        self.current = f"{self.stem}{name}.fdb"
        if not self.args.server and os.path.exists(self.current):
            os.remove(self.current)
        password = f" password '{self.args.password}'" if self.args.server else ""
        status, out = self.sql(f"create database '{self.current}' user '{self.login[1]}'{password} default "
                               f"character set {charset};\n{declarations(self.args.udr, text_bytes, charset)}commit;\n",
                               "-b")
        if status:
            self.drop()
            return out

    def setup(self, program):
        """Runs PROGRAM with the database's path, a compiled one through the engine's loader; output and success."""
        with open(program, "rb") as f:
            prefix = self.client_exec if f.read(4) == b"\x7fELF" else []
        run = subprocess.run(prefix + [program, self.current], env=self.env, stdout=subprocess.PIPE,
                             stderr=subprocess.STDOUT)
        return run.stdout.decode("latin-1") + ("" if run.returncode == 0 else f"sqlrun: setup {program} failed\n"), \
            run.returncode == 0

    def query(self, statement):
        return self.sql("set list on;\n" + statement, self.current)[1]


def run(args):
    """--run: the files in the embedded engine; --keep DIR keeps the scratch folder, with engine.env (the engine's
    root, isql and gbak) for a later session (the engine benchmark's) on the same databases."""
    if args.setup and not os.access(args.setup, os.X_OK):
        fail(f"setup program {args.setup} is not built")
    session, status = Session(args, args.keep or tempfile.mkdtemp(), None), 0
    if args.keep:
        with open(os.path.join(args.keep, "engine.env"), "w") as f:
            f.writelines(f"{key}={shlex.quote(session.env[key])}\n"
                         for key in ("FIREBIRD", "FIREBIRD_MSG", "VANTOR_ISQL", "VANTOR_GBAK"))
    try:
        for file in args.names:
            session.current = args.database
            if not args.database:
                error = session.create(re.sub(r"\.sql$", "", os.path.basename(file)), args.charset)
                if error is not None:
                    sys.stderr.buffer.write(f"{error}sqlrun: declaring vantor failed\n".encode("latin-1"))
                    return 1
                output, ok = session.setup(args.setup) if args.setup else ("", True)
                sys.stderr.buffer.write(output.encode("latin-1"))
                if not ok:
                    return 1
            code, output = session.sql("", "-e", "-i", file, session.current)
            sys.stdout.buffer.write(output.encode("latin-1"))
            status = code or status
    finally:
        if not args.keep:
            shutil.rmtree(session.scratch, ignore_errors=True)
    return status


def run_embedded(args):
    results = []
    for name in selected(args, args.engine):
        with tempfile.TemporaryDirectory() as scratch:
            session = Session(args, scratch, **({"TZ": "UTC"} if name.startswith("fb4_") else {}))
            results.append(run_one(session, args, name, True))
    return results


LEGACY_ONLY = re.compile(r"^-- legacy-only:.*?^-- end legacy-only\n", re.M | re.S)


def run_server(args):
    args.dir = args.dir.rstrip("/")
    args.build = args.build or next((b for b in (os.path.join(ROOT, "build", f) for f in ("x86_64", "i386"))
                                     if os.path.isdir(b)), None)
    module, module_file, place = ("udr", "libvantor_udr.so", "the folder plugins/udr, a copy, not a link") \
        if args.udr else ("legacy", "libvantor.so", "its UDF folder, which UdfAccess in its firebird.conf allows")
    server = Session(args, tempfile.mkdtemp())
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
        version = (re.search(r"^ENGINE_VERSION *(\S+)", probe, re.M)
                   or fail(f"the server did not tell its version:\n{probe}")).group(1)
        if int(version.split(".")[0]) < 3:
            fail(f"the server is Firebird {version}; vantor needs 3.0 or later")
        engine = "fb3" if int(version.split(".")[0]) < 4 else "fb4"
        # The engine's own line of "show version": "Firebird/Linux/Intel/i386 (access method)" on a 32-bit x86 server.
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
        results = []
        for name in selected(args, engine):
            path, reason, setup = os.path.join(SQL, f"{name}.sql"), None, setup_program(args, name)
            if not os.path.exists(path):
                pass  # run_one reports it
            elif setup and not (args.build and os.access(setup, os.X_OK)):
                reason = f"its setup program {setup} is not built (--build DIR)"
            elif name == "unloadable":
                reason = "it runs engines of its own, embedded, from roots it makes beside the build"
            elif args.udr and name == "reinstall":
                reason = "it reinstalls the legacy module: it runs without --udr"
            elif args.udr and name.startswith("udr_") and not legacy_beside:
                reason = "it compares with the legacy module, which does not load in this server"
            elif re.search(r"^shell ", read(path), re.M) and not (server.gbak and shutil.which("perl")):
                reason = f"its script backs up and restores a database: it needs gbak beside {server.isql} and perl"
            elif name.startswith("fb4_") and client is not None and client < 4:
                reason = f"it needs a client of 4.0 or later; {server.isql} is {client}.x"
            elif name.startswith("fb4_") and zone not in ("UTC/0", "Etc/UTC/0"):
                reason = ("it needs a server whose process time zone is UTC; a session here is in "
                          + zone.rsplit("/", 1)[0])
            if reason:
                print(f"skipped: sql/{name} ({reason})")
            else:
                results.append(run_one(server, args, name, legacy_beside))
        return results
    finally:
        server.drop()
        shutil.rmtree(server.scratch, ignore_errors=True)


def run_one(session, args, name, legacy_beside):
    """Runs a test in a new database of SESSION and prints its outcome; True if it passed."""
    path = os.path.join(SQL, f"{name}.sql")
    if not os.path.exists(path):
        print(f"FAILED: sql/{name} (no {path})")
        return False
    # Where the legacy module does not load, the parts of a test between "-- legacy-only: REASON" and "-- end
    # legacy-only" (declarations of the legacy module of its own) are left out of it and of its expected output; the
    # lines isql reports errors at then move, and are not compared.
    text, normalise, left_out, file = read(path), (lambda t: t), [], f"{name}.sql"
    if args.udr and not legacy_beside and "\n-- legacy-only:" in text:
        left_out, file = re.findall(r"^-- legacy-only: (.*)$", text, re.M), os.path.join(session.scratch, file)
        with open(file, "wb") as f:
            f.write(LEGACY_ONLY.sub("", text).encode("latin-1"))

        def normalise(t):
            return re.sub(r"^After line [0-9]+ in file .*$", "After line N", LEGACY_ONLY.sub("", t), flags=re.M)
    error = session.create(name, args.charset)
    if error is not None:
        print(f"FAILED: sql/{name} (declaring vantor failed)")
        print("".join("  " + line + "\n" for line in error.split("\n")), end="")
        return False
    setup = setup_program(args, name)
    output = session.setup(setup)[0] if setup else ""
    output += session.sql("", "-e", "-i", file, session.current)[1]
    session.drop()
    ok = compare(name, output, None if args.server else args.accept, normalise)
    if ok and left_out:
        print("  (its parts that need the legacy module, which does not load in this server, left out: "
              + "; ".join(left_out) + ")")
    return ok


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--engine", choices=("fb3", "fb4"), default="fb3")
    for option in ("--build", "--server", "--user", "--password", "--isql", "--keep", "--setup", "--database"):
        parser.add_argument(option)
    parser.add_argument("--udr", action="store_true")
    parser.add_argument("--charset", default=CHARSET)
    parser.add_argument("--accept", action="store_const", const="closest")
    parser.add_argument("--accept-new", dest="accept", action="store_const", const="new")
    parser.add_argument("--skip", action="append", default=[])
    parser.add_argument("--dir", default="/tmp")
    parser.add_argument("--run", action="store_true")
    parser.add_argument("--udr-texts", type=int)
    parser.add_argument("names", nargs="*")
    args = parser.parse_args()
    if args.build or not args.server:
        args.build = os.path.abspath(args.build or os.path.join(ROOT, "build", "i386"))
    if args.run:
        sys.exit(run(args) if args.names else parser.error("--run needs FILE.sql..."))
    if args.server and not (args.user and args.password):
        parser.error("--server needs --user and --password")
    results = run_server(args) if args.server else run_embedded(args)
    print(f"{results.count(True)} passed, {results.count(False)} failed")
    sys.exit(0 if all(results) else 1)


if __name__ == "__main__":
    main()
