#!/usr/bin/env python3
"""Everything that lists vantor's 23 functions, made from the one table of
them, src/frame/functions.toml (python3 >= 3.11, standard library only).

  functions.py generate DIR   the build's files (CMake runs it): the legacy
                              module's version script vantor.map and export
                              list exports.list, legacy/entry_points.h,
                              udr/routine_table.inc, udr/registrations.inc,
                              bench/floor_entry_points.h
  functions.py write          rewrites the generated files kept in the
                              repository: the four scripts in sql/, the
                              README's reference tables, tests/sql/docs_readme.sql
  functions.py check          fails, saying which, when one of those is not
                              what `write` makes, or when a file outside the
                              table, the generated files and the docs lists
                              all 23 functions (a ctest runs it)
  functions.py names          the exported names, one a line
  functions.py sql KIND [--length NAME=BYTES]...
                              prints a script (KIND: legacy, udr, legacy-drop,
                              udr-drop), with other text lengths than the
                              table's ([lengths]) where given
  functions.py legacy-declarations PREFIX BYTES_PER_CHAR
                              plain DECLARE EXTERNAL FUNCTION statements of
                              the legacy module under PREFIX<name>, for a
                              test to call beside the UDR functions

Other tools import it (load(), legacy_shape(), udr_signature()).
"""
import os
import re
import sys
import tomllib

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
TABLE = "src/frame/functions.toml"
COMMAND = "python3 scripts/functions.py write"

KINDS = {"TEXT": "Text", "SMALLINT": "Smallint", "INTEGER": "Integer", "DOUBLE PRECISION": "Double",
         "DATE": "Date", "TIME": "Time", "TIMESTAMP": "Timestamp", "BLOB": "Blob"}
# The character sets the table may fix for a text, and the UDR module's
# rule for each (udr/routines.h, CharSetRule): a WIN1250 text is read as
# code-page-1250 bytes.
CHARSET_RULES = {"WIN1250": "Win1250Bytes"}


def load(lengths=None):
    """The table, with LENGTHS ({name: bytes}) over its own [lengths]."""
    with open(os.path.join(ROOT, TABLE), "rb") as f:
        table = tomllib.load(f)
    for name, value in (lengths or {}).items():
        if name not in table["lengths"]:
            raise SystemExit(f"functions.py: no length {name} in {TABLE} (there are {', '.join(table['lengths'])})")
        table["lengths"][name] = value
    names = [f["name"] for f in table["function"]]
    if len(set(n.upper() for n in names)) != len(names):
        raise SystemExit(f"functions.py: a name is twice in {TABLE}")
    for f in table["function"]:
        if f["group"] not in table["groups"]:
            raise SystemExit(f"functions.py: {f['name']}: no group {f['group']}")
        for value in f["args"] + [f]:
            kind = value.get("type", value.get("returns"))
            if kind not in KINDS:
                raise SystemExit(f"functions.py: {f['name']}: unknown type {kind}")
        if f["passing"] not in ("BY VALUE", "FREE_IT", "BY REFERENCE"):
            raise SystemExit(f"functions.py: {f['name']}: passing is {f['passing']}")
        for value in f["args"] + [f]:
            if "charset" in value and value["charset"] not in CHARSET_RULES:
                raise SystemExit(f"functions.py: {f['name']}: the UDR module has no rule for "
                                 f"CHARACTER SET {value['charset']} (it knows {', '.join(CHARSET_RULES)})")
        if not isinstance(f.get("strict"), bool):
            raise SystemExit(f"functions.py: {f['name']}: strict must be true or false")
    for floor in table.get("floor", []):
        if floor["shape"] not in names:
            raise SystemExit(f"functions.py: floor {floor['name']}: no function {floor['shape']}")
    return table


def functions(table):
    return table["function"]


def by_name(table, name):
    return next(f for f in table["function"] if f["name"] == name)


# Text lengths. A text in the database's default character set is declared
# in bytes, written {N} in a script: its Put turns N into the characters of
# that character set that fit. A text of a fixed single-byte character set,
# or one whose length is given in characters, is declared as it stands.
# A length that [settings] names is chosen when the script runs: the script
# reads the session variable (RDB$GET_CONTEXT('USER_SESSION', ...)), with
# the table's length where it is not set, and writes {KEY} (characters of
# the default character set) or {KEY_BYTES} (a single-byte text), KEY being
# the variable's name without VANTOR_ and _BYTES.

def setting_of(table, value, module):
    """The session variable that chooses a text's length, or None."""
    length = value["length"]
    if isinstance(length, dict):
        return table.get("settings", {}).get(length[module])
    return None


def setting_key(setting):
    return setting.removeprefix("VANTOR_").removesuffix("_BYTES")


def setting_variable(setting):
    return setting_key(setting).capitalize() + "Bytes"


def text_length(table, value, module):
    """(length, scaled): the declared length of a text argument or result."""
    length = value["length"]
    if isinstance(length, dict):
        length = table["lengths"][length[module]]
        return length, "charset" not in value
    return length, False


def text_type(table, value, module, placeholders=True, label=True):
    sql = "CSTRING" if module == "legacy" else "VARCHAR"
    length, scaled = text_length(table, value, module)
    setting = setting_of(table, value, module)
    if placeholders and setting:
        key = setting_key(setting)
        text = f"{sql}({{{key}}})" if scaled else f"{sql}({{{key}_BYTES}})"
    else:
        text = f"{sql}({{{length}}})" if scaled and placeholders else f"{sql}({length})"
    if "charset" in value:
        text += f" CHARACTER SET {value['charset']}"
    return text


def sql_type(table, value, module, placeholders=True):
    kind = value.get("type", value.get("returns"))
    return text_type(table, value, module, placeholders) if kind == "TEXT" else kind


def legacy_shape(table, f, placeholders=True):
    """The DECLARE EXTERNAL FUNCTION shape: arguments and result."""
    args = []
    for arg in f["args"]:
        text = sql_type(table, arg, "legacy", placeholders)
        if arg.get("legacy_null"):
            text += " NULL"
        args.append(text)
    result = f"RETURNS {sql_type(table, f, 'legacy', placeholders)}"
    if f["passing"] != "BY REFERENCE":
        result += f" {f['passing']}"
    return ", ".join(args) + (" " if args else "") + result


def udr_signature(table, f, placeholders=True):
    """The CREATE FUNCTION signature: named arguments and result."""
    args = ", ".join(f"{arg['name']} {sql_type(table, arg, 'udr', placeholders)}" for arg in f["args"])
    return (f"({args}) " if f["args"] else "") + f"RETURNS {sql_type(table, f, 'udr', placeholders)}"


def text_values(table, module):
    for f in functions(table):
        for value in f["args"] + [f]:
            if value.get("type", value.get("returns")) == "TEXT":
                yield value


def scaled_lengths(table, module):
    """The byte lengths a script's Put must turn into characters."""
    out = set()
    for value in text_values(table, module):
        length, scaled = text_length(table, value, module)
        if scaled and not setting_of(table, value, module):
            out.add(length)
    return sorted(out)


def settings_used(table, module):
    """[(session variable, default bytes)] of the module's chosen lengths."""
    out = {}
    for value in text_values(table, module):
        setting = setting_of(table, value, module)
        if setting:
            out[setting] = text_length(table, value, module)[0]
    return sorted(out.items())


def replace_chain(variable, lengths, settings=()):
    text = variable
    for length in lengths:
        text = f"REPLACE({text}, '{{{length}}}', {length} / BytesPerChar)"
    for setting, _ in settings:
        key, bytes_ = setting_key(setting), setting_variable(setting)
        text = (f"REPLACE(REPLACE({text}, '{{{key}}}', MAXVALUE(1, {bytes_} / BytesPerChar)), "
                f"'{{{key}_BYTES}}', {bytes_})")
    return text


def setting_declarations(settings):
    return "".join(f"    DECLARE {setting_variable(s)} INTEGER;\n" for s, _ in settings)


def setting_reads(settings):
    """Put's reading of the chosen lengths; one out of range stops the
    script with the error's text naming the variables."""
    if not settings:
        return ""
    lines = [f"    {setting_variable(s)} = COALESCE(RDB$GET_CONTEXT('USER_SESSION', '{s}'), {default});"
             for s, default in settings]
    names = " and ".join(s for s, _ in settings)
    ranges = " OR ".join(f"{setting_variable(s)} NOT BETWEEN 1 AND 32765" for s, _ in settings)
    first = setting_variable(settings[0][0])
    lines.append(f"    IF ({ranges}) THEN")
    lines.append(f"      {first} = CAST('{names} must be 1 to 32765' AS INTEGER);")
    return "\n".join(lines) + "\n"


def wrap(text, width, indent):
    """TEXT cut into lines of at most WIDTH characters, each after INDENT."""
    lines, line = [], ""
    for word in text.split():
        if line and len(indent) + len(line) + 1 + len(word) > width:
            lines.append(indent + line)
            line = word
        else:
            line = f"{line} {word}" if line else word
    if line:
        lines.append(indent + line)
    return lines


def sql_comment(text, indent="  "):
    lines = wrap(text, 76, indent + "   ")
    lines[0] = indent + "/* " + lines[0][len(indent) + 3:]
    return "\n".join(lines) + " */"


def grouped(table):
    """(group key, its functions) in the table's order."""
    out = []
    for f in functions(table):
        if not out or out[-1][0] != f["group"]:
            out.append((f["group"], []))
        out[-1][1].append(f)
    return out


def group_comment(table, key, indent="  "):
    group = table["groups"][key]
    text = group["heading"] + (". " + group["note"] if "note" in group else "")
    return sql_comment(text, indent)


def sql_literal(text):
    return "'" + text.replace("'", "''") + "'"


def header(what):
    lines = wrap(f"Generated from {TABLE} by `{COMMAND}`: do not edit it, edit the table. {what}", 76, "   ")
    return "/* " + "\n".join(lines)[3:] + " */"


# The declaration scripts. Each is one EXECUTE BLOCK, so the whole of it is
# one statement in one transaction: a failure anywhere changes nothing.

def raise_error(name, text):
    """PSQL that fails the statement with TEXT: an exception made for it,
    which the failure takes back with everything else."""
    quoted = text.replace("'", "''''")
    return (f"    EXECUTE STATEMENT 'CREATE EXCEPTION {name} ''{quoted}''';\n"
            f"    EXECUTE STATEMENT 'EXECUTE BLOCK AS BEGIN EXCEPTION {name}; END';")


NOT_LOADED = ("libvantor.so did not load or answer: the server refuses legacy UDFs from its folder "
              "(UdfAccess in firebird.conf), or the file is not there, or it is of another architecture. "
              "Nothing was changed.")
WRONG_ANSWER = "libvantor_udr.so answers wrongly. Nothing was changed."


def probe_block(table, module):
    """The statements that call a function of the module before the commit."""
    query = f"SELECT IIF({table['probe'][module]}, 1, 0) FROM RDB$DATABASE".replace("'", "''")
    if module == "udr":
        return f"""  /* The module must load and answer before anything is committed: the
     engine's error (the file missing, or of another architecture) ends the
     script here, and nothing is changed. */
  EXECUTE STATEMENT '{query}' INTO Answer;
  IF (Answer IS DISTINCT FROM 1) THEN
  BEGIN
{raise_error("VANTOR$WRONG_ANSWER", WRONG_ANSWER)}
  END"""
    return f"""  /* The module must load and answer before anything is committed. The
     server does not say why a legacy module does not load, so the error
     names what it can be; nothing is changed. */
  BEGIN
    EXECUTE STATEMENT '{query}' INTO Answer;
  WHEN ANY DO
    Answer = NULL;
  END
  IF (Answer IS DISTINCT FROM 1) THEN
  BEGIN
{raise_error("VANTOR$NOT_LOADED", NOT_LOADED)}
  END"""


LEGACY_INTRO = """vantor: declares every function of the legacy UDF module libvantor.so in
   a database, or moves a database from the UDR module to it.

     isql-fb -bail -user SYSDBA -password <password> \\
       -i /usr/share/vantor/vantor.sql 127.0.0.1/3050:/path/to/db.fdb

   The server must allow the library's folder (UdfAccess in firebird.conf).

   All or nothing: the whole work is one statement in one transaction, so a
   failure anywhere leaves the database exactly as it was, and isql exits
   with status 1. Before it commits, the script calls a function of the
   module: when the server cannot load it (refused by UdfAccess, missing, or
   of another architecture) the script fails and changes nothing. Running
   it again is harmless.

   For each of the 23 names:
   - not declared: it is declared (DECLARE EXTERNAL FUNCTION);
   - declared by this module already: left as it is;
   - declared by the UDR module (vantor-udr.sql) and used by nothing: it is
     dropped and declared again as a legacy function;
   - declared by the UDR module and used by views, procedures, triggers,
     computed columns, CHECK constraints or expression indexes: the engine
     has no statement that turns a UDR declaration back into a legacy one
     in place (DECLARE says the function exists, ALTER EXTERNAL FUNCTION
     refuses new-style functions, DROP refuses while others depend on it).
     So the legacy entry point is declared as VANTOR$<name>, and <name>
     becomes a one-line PSQL function with the UDR declaration's arguments
     that calls it: every dependent keeps working, with the legacy results
     and NULL rules. vantor-udr.sql turns it back into the UDR function in
     place and drops VANTOR$<name>;
   - declared by something else: the script fails (Function ... already
     exists) and changes nothing.

   Text lengths: CSTRING({N}) stands for the most characters of the
   database's default character set that fit in N bytes: N in single-byte
   character sets (WIN1250, ISO8859_1, NONE...), N / 4 in UTF8, N / 3 in
   UNICODE_FSS. ALC's text is WIN1250 whatever the database's character set:
   the engine converts the argument to code page 1250 and the result back."""

UDR_INTRO = """vantor: declares every function of the UDR module libvantor_udr.so in a
   database, or moves a database from the legacy module to it in place.

     isql-fb -bail -user SYSDBA -password <password> \\
       -i /usr/share/vantor/vantor-udr.sql 127.0.0.1/3050:/path/to/db.fdb

   The server loads the module from a folder of its UDR engine's path
   (plugins/udr in plugins.conf). The functions take the same names as the
   legacy module's, so queries stay as they are.

   All or nothing: the whole work is one statement in one transaction, so a
   failure anywhere leaves the database exactly as it was, and isql exits
   with status 1. Before it commits, the script calls a function of the
   module: when the engine cannot load it (missing, or of another
   architecture: its error says which) the script fails and changes
   nothing. Running it again is harmless.

   Each function is declared with CREATE OR ALTER FUNCTION ... ENGINE UDR,
   which replaces a legacy declaration in place: views, procedures,
   triggers, computed columns, CHECK constraints and expression indexes
   that use it keep working. Every legacy declaration of this library's
   entry points is moved so, under its own name (vantor.sql's, and any
   other whose module is vantor, libvantor, libvantor.so or a path to one),
   with the lengths it declared; one whose arguments or result do not fit
   its entry point makes the script fail, by name and with the reason, and
   change nothing. A name that something other than vantor declares makes
   the script fail and change nothing. The legacy entry points that an
   earlier move back declared as VANTOR$<name> are dropped. An expression
   index that a restore left inactive because the server refused the
   legacy function its expression calls is activated again.

   NULL. A function declared afresh gives NULL for SQL NULL in any
   argument. A moved function keeps what its legacy declaration gave: a
   NULL argument is read as that declaration passed it (as 0, the empty
   string or day 0, or, where it said NULL, as the legacy entry point
   reads a null address), and the result is NULL only where the legacy
   function returned none; its EXTERNAL NAME carries these rules
   ('vantor_udr!Match!legacy:zero,zero'), so they survive a backup and a
   second run. Before running the script, in the same isql session,

     SELECT RDB$SET_CONTEXT('USER_SESSION', 'VANTOR_NULL_RULES', 'SQL') FROM RDB$DATABASE;

   gives every function it declares SQL's rules ('LEGACY': the legacy
   rules), and

     SELECT RDB$SET_CONTEXT('USER_SESSION', 'VANTOR_DRY_RUN', 1) FROM RDB$DATABASE;

   makes it only list what it would do (each function, its entry point,
   what it would do, its declaration; the indexes it would activate) and
   change nothing.

   Text lengths. The engine copies and clears every text argument and
   result at its declared length on every call, whatever the value holds,
   so the texts are declared as long as most databases need and no longer:
   Match's text, ALC's text and result and IIF_S's texts and result take
   @text_udr@ bytes, Match's mask @mask_udr@. A length chosen when the script runs
   replaces these: before running it, in the same isql session,

     SELECT RDB$SET_CONTEXT('USER_SESSION', 'VANTOR_TEXT_BYTES', 32765) FROM RDB$DATABASE;
     SELECT RDB$SET_CONTEXT('USER_SESSION', 'VANTOR_MASK_BYTES', 32765) FROM RDB$DATABASE;
     INPUT /usr/share/vantor/vantor-udr.sql;

   Each is from 1 to 32765; 32765 takes every text the legacy module takes.
   What a length costs a call, per engine, is in docs/ENGINE-LENGTHS.md: on
   the i386 3.0 engine a length just under a multiple of 4096 bytes (4095,
   8191, ... 32765) costs several times a round one (8000, 32000). A text
   longer than its declaration is the engine's "string right truncation"
   error, never a cut or wrong result. In a signature, VARCHAR({TEXT}) and
   VARCHAR({MASK}) stand for the most characters of the database's default
   character set that fit in that many bytes (the bytes in single-byte
   character sets, a quarter in UTF8), VARCHAR({TEXT_BYTES}) for the text
   length in characters of a single-byte character set, and VARCHAR({N})
   for N bytes so counted."""

FIND_DECLARATION = """    IsLegacy = NULL;
    SELECT COALESCE(RDB$LEGACY_FLAG, 0), COALESCE(TRIM(RDB$ENGINE_NAME), ''), COALESCE(TRIM(RDB$MODULE_NAME), ''), COALESCE(TRIM(RDB$ENTRYPOINT), '')
      FROM RDB$FUNCTIONS WHERE RDB$FUNCTION_NAME = :Key AND RDB$PACKAGE_NAME IS NULL
      INTO IsLegacy, Engine, Module, Entry;"""

BYTES_PER_CHAR = """  SELECT c.RDB$BYTES_PER_CHARACTER FROM RDB$DATABASE d JOIN RDB$CHARACTER_SETS c
    ON c.RDB$CHARACTER_SET_NAME = COALESCE(d.RDB$CHARACTER_SET_NAME, 'NONE')
    INTO BytesPerChar;"""


def put_lines(table, module):
    out = []
    for key, members in grouped(table):
        out.append("")
        out.append(group_comment(table, key))
        for f in members:
            for note in [f.get("note")] + ([f.get("legacy_note")] if module == "legacy" else []):
                if note:
                    out.append(sql_comment(note))
            name = sql_literal(f["name"])
            if module == "legacy":
                args = ", ".join(arg["name"] for arg in f["args"])
                out.append(f"  EXECUTE PROCEDURE Put({name}, {sql_literal(legacy_shape(table, f))},")
                out.append(f"    {sql_literal(udr_signature(table, f))}, {sql_literal(args)}, BytesPerChar);")
            else:
                out.append(f"  EXECUTE PROCEDURE Put({name}, {sql_literal(udr_signature(table, f))}, BytesPerChar);")
    return "\n".join(out)


def declaration_script(table, module, settings, what, intro, put_comment, put_params, put_body):
    """A declaration script: one EXECUTE BLOCK whose local procedure Put
    declares one function (reads SETTINGS, finds the function's present
    declaration, then runs PUT_BODY), called once a function, then the
    probe call."""
    return f"""{header(what)}

/* {intro} */

SET AUTODDL OFF;
SET BAIL ON;
SET TERM ^;
EXECUTE BLOCK AS
  DECLARE BytesPerChar INTEGER;
  DECLARE Answer INTEGER;
{put_comment}  DECLARE PROCEDURE Put ({put_params}) AS
    DECLARE Key VARCHAR(31);
    DECLARE IsLegacy SMALLINT;
    DECLARE Engine VARCHAR(63);
    DECLARE Module VARCHAR(255);
    DECLARE Entry VARCHAR(255);
{setting_declarations(settings)}  BEGIN
    Key = UPPER(Name);
{setting_reads(settings)}{put_body}
  END
BEGIN
{BYTES_PER_CHAR}
{put_lines(table, module)}

{probe_block(table, module)}
END^
SET TERM ;^
COMMIT;
"""


LEGACY_PUT_COMMENT = """  /* Put declares one function; Legacy is its DECLARE EXTERNAL FUNCTION
     shape (arguments and result), Signature and Args the PSQL function that
     stands in for a UDR declaration others depend on. */
"""

LEGACY_PUT_PARAMS = """Name VARCHAR(31), Legacy VARCHAR(1000),
                         Signature VARCHAR(1000), Args VARCHAR(100),
                         BytesPerChar INTEGER"""

LEGACY_PUT = """
    IF (IsLegacy = 1 AND Module = 'vantor') THEN
      EXIT;
    /* The stand-in PSQL function of an earlier move. */
    IF (IsLegacy = 0 AND Engine = '' AND EXISTS (SELECT 1 FROM RDB$FUNCTIONS
        WHERE RDB$FUNCTION_NAME = 'VANTOR$' || :Key AND RDB$MODULE_NAME = 'vantor')) THEN
      EXIT;
    IF (IsLegacy = 0 AND Engine = 'UDR' AND Entry STARTING WITH 'vantor_udr!') THEN
    BEGIN
      IF (EXISTS (SELECT 1 FROM RDB$DEPENDENCIES
          WHERE RDB$DEPENDED_ON_NAME = :Key AND RDB$DEPENDED_ON_TYPE = 15)) THEN
      BEGIN
        EXECUTE STATEMENT 'DECLARE EXTERNAL FUNCTION VANTOR$' || Key || ' ' || Legacy
          || ' ENTRY_POINT ''' || Name || ''' MODULE_NAME ''vantor''';
        EXECUTE STATEMENT 'CREATE OR ALTER FUNCTION ' || Key || ' ' || Signature
          || ' AS BEGIN RETURN VANTOR$' || Key || '(' || Args || '); END';
        EXIT;
      END
      EXECUTE STATEMENT 'DROP FUNCTION ' || Key;
    END
    /* Not declared, or a UDR declaration just dropped; anything else makes
       this fail with "Function ... already exists". */
    EXECUTE STATEMENT 'DECLARE EXTERNAL FUNCTION ' || Name || ' ' || Legacy
      || ' ENTRY_POINT ''' || Name || ''' MODULE_NAME ''vantor''';"""

UDR_PUT = """
    /* Only declarations of this library are replaced: the legacy module's,
       this module's, and the stand-ins of vantor.sql. Anything else fails
       here with "Function ... already exists". */
    IF (IsLegacy IS NOT NULL
        AND NOT (IsLegacy = 1 AND Module = 'vantor')
        AND NOT (Engine = 'UDR' AND Entry STARTING WITH 'vantor_udr!')
        AND NOT (Engine = '' AND EXISTS (SELECT 1 FROM RDB$FUNCTIONS
                 WHERE RDB$FUNCTION_NAME = 'VANTOR$' || :Key AND RDB$MODULE_NAME = 'vantor'))) THEN
      EXECUTE STATEMENT 'CREATE FUNCTION ' || Key || ' ' || Signature
        || ' EXTERNAL NAME ''vantor_udr!' || Name || ''' ENGINE UDR';
    EXECUTE STATEMENT 'CREATE OR ALTER FUNCTION ' || Key || ' ' || Signature
      || ' EXTERNAL NAME ''vantor_udr!' || Name || ''' ENGINE UDR';
    IF (EXISTS (SELECT 1 FROM RDB$FUNCTIONS
        WHERE RDB$FUNCTION_NAME = 'VANTOR$' || :Key AND RDB$MODULE_NAME = 'vantor')) THEN
      EXECUTE STATEMENT 'DROP EXTERNAL FUNCTION VANTOR$' || Key;"""


def legacy_script(table):
    settings = settings_used(table, "udr")
    body = (f'    Legacy = {replace_chain("Legacy", scaled_lengths(table, "legacy"))};\n'
            f'    Signature = {replace_chain("Signature", scaled_lengths(table, "udr"), settings)};\n'
            f"{FIND_DECLARATION}{LEGACY_PUT}")
    return declaration_script(table, "legacy", settings, "Declares the legacy module's functions.", LEGACY_INTRO,
                              LEGACY_PUT_COMMENT, LEGACY_PUT_PARAMS, body)


def intro_with_lengths(table, intro):
    for name, value in table["lengths"].items():
        intro = intro.replace(f"@{name}@", str(value))
    return intro


KIND_LETTERS = {"TEXT": "T", "SMALLINT": "S", "INTEGER": "I", "DOUBLE PRECISION": "D", "DATE": "A", "TIME": "M",
                "TIMESTAMP": "P", "BLOB": "B"}


def udr_shape_code(f):
    """An entry point's shape as the move compares it: a letter per
    argument, ':', the result's letter."""
    return "".join(KIND_LETTERS[a["type"]] for a in f["args"]) + ":" + KIND_LETTERS[f["returns"]]


def legacy_rules(f):
    """The NULL rules of the entry point as vantor.sql declares it."""
    return ",".join("null" if a.get("legacy_null") else "zero" for a in f["args"])


def decode(variable, pairs, indent):
    """A DECODE over the 23 entry points, one pair a line."""
    body = (",\n" + indent).join(f"{sql_literal(k)}, {sql_literal(v)}" for k, v in pairs)
    return f"DECODE({variable},\n{indent}{body})"


tmpl_move = """
  /* A function as the system tables describe it (a legacy declaration's
     own columns, or the domains of a PSQL or UDR function's): its signature
     for CREATE FUNCTION (arguments named as declared, A1, A2, ... for a
     legacy one), its shape (a letter an argument, ':', the result's), the
     NULL rules of a legacy declaration (zero without the NULL keyword, null
     with it), and the argument it returns (0: its result). */
  DECLARE PROCEDURE Declared (Key VARCHAR(63))
    RETURNS (Signature VARCHAR(2000), Shape VARCHAR(40), Rules VARCHAR(200), ReturnArgument SMALLINT) AS
    DECLARE ArgPosition SMALLINT;
    DECLARE ArgName VARCHAR(63);
    DECLARE Mechanism SMALLINT;
    DECLARE FieldType SMALLINT;
    DECLARE FieldScale SMALLINT;
    DECLARE CharLength SMALLINT;
    DECLARE FieldLength INTEGER;
    DECLARE CharSetId SMALLINT;
    DECLARE SqlType VARCHAR(100);
    DECLARE Letter CHAR(1);
    DECLARE SetName VARCHAR(63);
    DECLARE ResultType VARCHAR(100);
    DECLARE ResultLetter CHAR(1);
    DECLARE Args VARCHAR(2000);
  BEGIN
    SELECT COALESCE(RDB$RETURN_ARGUMENT, 0) FROM RDB$FUNCTIONS
      WHERE RDB$FUNCTION_NAME = :Key AND RDB$PACKAGE_NAME IS NULL INTO ReturnArgument;
    Args = '';
    Shape = '';
    Rules = '';
    FOR SELECT a.RDB$ARGUMENT_POSITION, TRIM(a.RDB$ARGUMENT_NAME), a.RDB$MECHANISM,
               COALESCE(a.RDB$FIELD_TYPE, f.RDB$FIELD_TYPE), COALESCE(a.RDB$FIELD_SCALE, f.RDB$FIELD_SCALE),
               COALESCE(a.RDB$CHARACTER_LENGTH, f.RDB$CHARACTER_LENGTH), COALESCE(a.RDB$FIELD_LENGTH, f.RDB$FIELD_LENGTH),
               COALESCE(a.RDB$CHARACTER_SET_ID, f.RDB$CHARACTER_SET_ID)
          FROM RDB$FUNCTION_ARGUMENTS a LEFT JOIN RDB$FIELDS f ON f.RDB$FIELD_NAME = a.RDB$FIELD_SOURCE
          WHERE a.RDB$FUNCTION_NAME = :Key AND a.RDB$PACKAGE_NAME IS NULL
          ORDER BY a.RDB$ARGUMENT_POSITION
          INTO ArgPosition, ArgName, Mechanism, FieldType, FieldScale, CharLength, FieldLength, CharSetId DO
    BEGIN
      /* The type, and the letter of its kind: T a text, S SMALLINT, I
         INTEGER, D DOUBLE PRECISION, A DATE, M TIME, P TIMESTAMP, B BLOB, ?
         anything else. A legacy CSTRING(32767) is the longest VARCHAR. A
         restore on Firebird 4.0 leaves a legacy argument's length in
         characters NULL: its length in bytes says it. */
      SetName = NULL;
      SELECT TRIM(RDB$CHARACTER_SET_NAME),
             MINVALUE(COALESCE(:CharLength, :FieldLength / RDB$BYTES_PER_CHARACTER), 32765 / RDB$BYTES_PER_CHARACTER)
        FROM RDB$CHARACTER_SETS WHERE RDB$CHARACTER_SET_ID = :CharSetId
        INTO SetName, CharLength;
      SqlType = DECODE(FieldType, 7, 'SMALLINT', 8, 'INTEGER', 27, 'DOUBLE PRECISION', 12, 'DATE', 13, 'TIME',
                       35, 'TIMESTAMP', 261, 'BLOB', 14, 'CHAR(' || CharLength || ')', 37, 'VARCHAR(' || CharLength || ')',
                       40, 'VARCHAR(' || CharLength || ')', 'type ' || FieldType)
        || IIF(FieldType IN (14, 37, 40), COALESCE(' CHARACTER SET ' || SetName, ''), '');
      Letter = IIF(COALESCE(FieldScale, 0) <> 0, '?',
                   DECODE(FieldType, 7, 'S', 8, 'I', 27, 'D', 12, 'A', 13, 'M', 35, 'P', 261, 'B', 14, 'T', 37, 'T',
                          40, 'T', '?'));
      IF (ArgPosition = ReturnArgument) THEN
      BEGIN
        ResultType = SqlType;
        ResultLetter = Letter;
      END
      ELSE
      BEGIN
        Args = IIF(Args = '', '', Args || ', ') || '"' || COALESCE(ArgName, 'A' || ArgPosition) || '" ' || SqlType;
        Shape = Shape || Letter;
        Rules = IIF(Rules = '', '', Rules || ',') || IIF(Mechanism = 5, 'null', 'zero');
      END
    END
    Signature = IIF(Args = '', '', '(' || Args || ') ') || 'RETURNS ' || ResultType;
    Shape = Shape || ':' || ResultLetter;
  END

  /* Whether a legacy module name is this library's, written any way the
     engine resolves it: vantor, libvantor, libvantor.so, or a path to one. */
  DECLARE FUNCTION IsVantor (Module VARCHAR(255)) RETURNS BOOLEAN AS
    DECLARE M VARCHAR(255);
  BEGIN
    M = LOWER(TRIM(Module));
    WHILE (POSITION('/' IN M) > 0) DO M = SUBSTRING(M FROM POSITION('/' IN M) + 1);
    WHILE (POSITION('\\' IN M) > 0) DO M = SUBSTRING(M FROM POSITION('\\' IN M) + 1);
    IF (M STARTING WITH 'lib') THEN M = SUBSTRING(M FROM 4);
    RETURN M IN ('vantor', 'vantor.so', 'vantor.dll');
  END

  /* Puts one function on the UDR module: KEY its SQL name, ENTRY its routine
     (the legacy entry point it is declared with, when it is moved), FRESH the
     table's signature for a function of that name (NULL for a name of the
     user's own); OFVANTOR whether a legacy declaration's module is this
     library; SIGNATURE to RETURNARGUMENT what Declared says of KEY, and
     STANDINRULES the rules of the legacy declaration VANTOR$<KEY> of an
     earlier move back. Returns what it did, or would do in a dry run. */
  DECLARE PROCEDURE Put (Key VARCHAR(63), Entry VARCHAR(63), Fresh VARCHAR(2000), BytesPerChar INTEGER,
                         OfVantor BOOLEAN, Signature VARCHAR(2000), Shape VARCHAR(40), Rules VARCHAR(200),
                         ReturnArgument SMALLINT, StandInRules VARCHAR(200))
    RETURNS (FunctionName VARCHAR(63), EntryPoint VARCHAR(63), Act VARCHAR(1000), Declaration VARCHAR(2000)) AS
    DECLARE IsLegacy SMALLINT;
    DECLARE Engine VARCHAR(63);
    DECLARE Module VARCHAR(255);
    DECLARE DeclaredAs VARCHAR(255);
    DECLARE Kept VARCHAR(255);
    DECLARE Expected VARCHAR(40);
    DECLARE StandIn BOOLEAN;
    DECLARE DryRun BOOLEAN;
    DECLARE NullRules VARCHAR(10);
    DECLARE LengthsChosen BOOLEAN;
@SETTING_DECLARATIONS@  BEGIN
    DryRun = COALESCE(RDB$GET_CONTEXT('USER_SESSION', 'VANTOR_DRY_RUN'), '0') = '1';
    NullRules = UPPER(RDB$GET_CONTEXT('USER_SESSION', 'VANTOR_NULL_RULES'));
    LengthsChosen = @LENGTHS_CHOSEN@;
@SETTING_READS@    Fresh = @REPLACE_CHAIN@;
    IsLegacy = NULL;
    SELECT COALESCE(RDB$LEGACY_FLAG, 0), COALESCE(TRIM(RDB$ENGINE_NAME), ''), COALESCE(TRIM(RDB$MODULE_NAME), ''),
           COALESCE(TRIM(RDB$ENTRYPOINT), '')
      FROM RDB$FUNCTIONS WHERE RDB$FUNCTION_NAME = :Key AND RDB$PACKAGE_NAME IS NULL
      INTO IsLegacy, Engine, Module, DeclaredAs;
    StandIn = EXISTS (SELECT 1 FROM RDB$FUNCTIONS
                      WHERE RDB$FUNCTION_NAME = 'VANTOR$' || :Key AND RDB$MODULE_NAME = 'vantor');
    IF (IsLegacy IS NULL) THEN
    BEGIN
      Act = 'declare';
      Signature = Fresh;
      Rules = NULL;
    END
    ELSE IF (IsLegacy = 1 AND OfVantor) THEN
    BEGIN
      /* A legacy declaration: moved in place with its own shape, and the
         NULL rules its mechanisms give. */
      Act = 'move';
      Entry = DeclaredAs;
      Expected = @EXPECTED@;
      IF (Expected IS NULL) THEN
        Act = 'refuse: its entry point ' || Entry || ' is not one of vantor''s';
      ELSE IF (ReturnArgument <> 0) THEN
        Act = 'refuse: it returns one of its arguments (RETURNS PARAMETER)';
      ELSE IF (Shape IS DISTINCT FROM Expected
               AND NOT (RIGHT(Expected, 2) = ':S' AND Shape = LEFT(Expected, CHAR_LENGTH(Expected) - 1) || 'I')) THEN
        Act = 'refuse: declared ' || Signature || '; the entry point ' || Entry || ' takes ' || @TAKES@;
    END
    ELSE IF (Engine = 'UDR' AND DeclaredAs STARTING WITH 'vantor_udr!') THEN
    BEGIN
      /* Already this module's: its rules stay, and its lengths unless a
         length is chosen. */
      Act = 'keep';
      Entry = SUBSTRING(DeclaredAs FROM 12);
      Kept = '';
      IF (POSITION('!' IN Entry) > 0) THEN
      BEGIN
        Kept = SUBSTRING(Entry FROM POSITION('!' IN Entry) + 1);
        Entry = LEFT(Entry, POSITION('!' IN Entry) - 1);
      END
      Rules = IIF(Kept STARTING WITH 'legacy:', SUBSTRING(Kept FROM 8), NULL);
      IF (LengthsChosen AND Fresh IS NOT NULL) THEN
        Signature = Fresh;
    END
    ELSE IF (IsLegacy = 0 AND Engine = '' AND StandIn) THEN
    BEGIN
      /* The stand-in PSQL function of an earlier move back: the legacy
         declaration's rules. */
      Act = 'move';
      Rules = StandInRules;
    END
    ELSE
      Act = 'refuse: a function of this name is not vantor''s';
    IF (Signature IS NULL AND Act NOT STARTING WITH 'refuse') THEN
      Act = 'refuse: its arguments and result could not be read from the system tables';
    IF (NullRules = 'SQL') THEN
      Rules = NULL;
    ELSE IF (NullRules = 'LEGACY' AND Rules IS NULL) THEN
      Rules = @LEGACY_RULES@;
    FunctionName = Key;
    EntryPoint = Entry;
    Declaration = Signature || ' EXTERNAL NAME ''vantor_udr!' || Entry || COALESCE('!legacy:' || Rules, '') || ''' ENGINE UDR';
    IF (Act STARTING WITH 'refuse') THEN
    BEGIN
      /* The script fails with the reason; nothing is changed. */
      IF (NOT DryRun) THEN
      BEGIN
        EXECUTE STATEMENT 'CREATE EXCEPTION VANTOR$REFUSED '''
          || REPLACE(Key || ': ' || SUBSTRING(Act FROM 9) || '. Nothing was changed.', '''', '''''') || '''';
        EXECUTE STATEMENT 'EXECUTE BLOCK AS BEGIN EXCEPTION VANTOR$REFUSED; END';
      END
      Declaration = NULL;
      EXIT;
    END
    IF (Act = 'move') THEN
      RDB$SET_CONTEXT('USER_TRANSACTION', 'VANTOR$MOVED$' || Key, 1);
    IF (DryRun) THEN EXIT;
    EXECUTE STATEMENT 'CREATE OR ALTER FUNCTION "' || REPLACE(Key, '"', '""') || '" ' || Declaration;
    IF (StandIn) THEN
      EXECUTE STATEMENT 'DROP EXTERNAL FUNCTION VANTOR$' || Key;
  END
"""

tmpl_main = """BEGIN
  DryRun = COALESCE(RDB$GET_CONTEXT('USER_SESSION', 'VANTOR_DRY_RUN'), '0') = '1';
  IF (UPPER(RDB$GET_CONTEXT('USER_SESSION', 'VANTOR_NULL_RULES')) NOT IN ('SQL', 'LEGACY')) THEN
    DryRun = CAST('VANTOR_NULL_RULES must be SQL or LEGACY' AS INTEGER);
@BYTES_PER_CHAR@
  /* Every function of this library by its own name, then every other
     declaration of one of its entry points under a name of its own: legacy
     ones, and this module's (whose rules VANTOR_NULL_RULES may change). */
  FOR SELECT Key, Entry, Fresh FROM (
@PUT_LINES@
      UNION ALL
      SELECT TRIM(RDB$FUNCTION_NAME), TRIM(RDB$ENTRYPOINT), CAST(NULL AS VARCHAR(1000)) FROM RDB$FUNCTIONS
        WHERE RDB$PACKAGE_NAME IS NULL AND RDB$FUNCTION_NAME NOT IN (@NAMES@)
          AND (RDB$LEGACY_FLAG = 1 AND TRIM(RDB$ENTRYPOINT) IN (@ENTRIES@)
               OR RDB$ENGINE_NAME = 'UDR' AND RDB$ENTRYPOINT STARTING WITH 'vantor_udr!'))
      INTO FUNCTION_NAME, ENTRY_POINT, Fresh DO
  BEGIN
    Module = (SELECT RDB$MODULE_NAME FROM RDB$FUNCTIONS
              WHERE RDB$FUNCTION_NAME = :FUNCTION_NAME AND RDB$PACKAGE_NAME IS NULL);
    IF (Fresh IS NOT NULL OR IsVantor(Module) OR ENTRY_POINT STARTING WITH 'vantor_udr!') THEN
    BEGIN
      EXECUTE PROCEDURE Declared(FUNCTION_NAME) RETURNING_VALUES Signature, Shape, Rules, ReturnArgument;
      EXECUTE PROCEDURE Declared('VANTOR$' || FUNCTION_NAME) RETURNING_VALUES WHAT, DECLARATION, StandInRules, Answer;
      EXECUTE PROCEDURE Put(FUNCTION_NAME, ENTRY_POINT, Fresh, BytesPerChar, IsVantor(Module),
                            Signature, Shape, Rules, ReturnArgument, StandInRules)
        RETURNING_VALUES FUNCTION_NAME, ENTRY_POINT, WHAT, DECLARATION;
      IF (DryRun) THEN SUSPEND;
    END
  END

  /* An expression index that a restore left inactive because its function
     was refused (it has lost its dependencies) comes back when its
     expression calls a function moved here. */
  FOR SELECT TRIM(i.RDB$INDEX_NAME), UPPER(' ' || CAST(SUBSTRING(i.RDB$EXPRESSION_SOURCE FROM 1 FOR 8000) AS VARCHAR(8000)) || ' ')
      FROM RDB$INDICES i
      WHERE i.RDB$INDEX_INACTIVE = 1 AND i.RDB$EXPRESSION_BLR IS NOT NULL
        AND NOT EXISTS (SELECT 1 FROM RDB$DEPENDENCIES d WHERE d.RDB$DEPENDENT_NAME = i.RDB$INDEX_NAME)
      INTO FUNCTION_NAME, DECLARATION DO
  BEGIN
    WHAT = NULL;
    FOR SELECT TRIM(RDB$FUNCTION_NAME) FROM RDB$FUNCTIONS
        WHERE RDB$GET_CONTEXT('USER_TRANSACTION', 'VANTOR$MOVED$' || TRIM(RDB$FUNCTION_NAME)) = '1'
        INTO ENTRY_POINT DO
    BEGIN
      IF (WHAT IS DISTINCT FROM 'activate index'
          AND DECLARATION SIMILAR TO '%[^A-Z0-9_$]' || REPLACE(ENTRY_POINT, '_', '\\_') || '[^A-Z0-9_$]%' ESCAPE '\\') THEN
      BEGIN
        WHAT = 'activate index';
        DECLARATION = TRIM(DECLARATION);
        ENTRY_POINT = NULL;
        IF (DryRun) THEN SUSPEND;
        ELSE EXECUTE STATEMENT 'ALTER INDEX "' || REPLACE(FUNCTION_NAME, '"', '""') || '" ACTIVE';
      END
    END
  END

  IF (DryRun) THEN EXIT;
@PROBE@
END^
"""


def udr_script(table):
    settings = settings_used(table, "udr")
    fs = functions(table)
    lines = []
    for key, members in grouped(table):
        lines.append(group_comment(table, key, "      "))
        for f in members:
            if f.get("note"):
                lines.append(sql_comment(f["note"], "      "))
            lines.append(f"      {'UNION ALL ' if f is not fs[0] else ''}SELECT {sql_literal(f['name'].upper())} Key, "
                         f"{sql_literal(f['name'])} Entry,\n"
                         f"        CAST({sql_literal(udr_signature(table, f))} AS VARCHAR(1000)) Fresh FROM RDB$DATABASE")
    takes = {f["name"]: "(" + ", ".join(sql_type(table, a, "legacy", False) for a in f["args"]) + ") RETURNS "
             + sql_type(table, f, "legacy", False) for f in fs}
    chosen = " OR ".join(f"RDB$GET_CONTEXT('USER_SESSION', '{s}') IS NOT NULL" for s, _ in settings) or "FALSE"
    move = (tmpl_move
            .replace("@EXPECTED@", decode("Entry", [(f["name"], udr_shape_code(f)) for f in fs], "        "))
            .replace("@TAKES@", decode("Entry", [(n, t) for n, t in takes.items()], "          "))
            .replace("@LEGACY_RULES@", decode("Entry", [(f["name"], legacy_rules(f)) for f in fs], "        "))
            .replace("@SETTING_DECLARATIONS@", setting_declarations(settings))
            .replace("@SETTING_READS@", setting_reads(settings))
            .replace("@LENGTHS_CHOSEN@", chosen)
            .replace("@REPLACE_CHAIN@", replace_chain("Fresh", scaled_lengths(table, "udr"), settings)))
    names = ", ".join(sql_literal(f["name"].upper()) for f in fs)
    entries = ", ".join(sql_literal(f["name"]) for f in fs)
    main = (tmpl_main.replace("@BYTES_PER_CHAR@", BYTES_PER_CHAR)
            .replace("@PUT_LINES@", "\n".join(lines))
            .replace("@NAMES@", names).replace("@ENTRIES@", entries)
            .replace("@PROBE@", probe_block(table, "udr")))
    return f"""{header("Declares the UDR module's functions.")}

/* {intro_with_lengths(table, UDR_INTRO)} */

SET AUTODDL OFF;
SET BAIL ON;
/* A dry run's rows, a field a line. */
SET LIST ON;
SET TERM ^;
EXECUTE BLOCK RETURNS (FUNCTION_NAME VARCHAR(63), ENTRY_POINT VARCHAR(63), WHAT VARCHAR(1000),
                       DECLARATION VARCHAR(2000)) AS
  DECLARE BytesPerChar INTEGER;
  DECLARE Answer INTEGER;
  DECLARE DryRun BOOLEAN;
  DECLARE Fresh VARCHAR(1000);
  DECLARE Signature VARCHAR(2000);
  DECLARE Shape VARCHAR(40);
  DECLARE Rules VARCHAR(200);
  DECLARE StandInRules VARCHAR(200);
  DECLARE ReturnArgument SMALLINT;
  DECLARE Module VARCHAR(255);
{move}
{main}SET TERM ;^
SET LIST OFF;
COMMIT;
"""


def drop_script(table, declared_by):
    names = [f"'{f['name'].upper()}'" for f in functions(table)]
    selects = [f"SELECT {names[0]} n FROM RDB$DATABASE"] + [f"SELECT {n} FROM RDB$DATABASE" for n in names[1:]]
    lines = []
    for i in range(0, len(selects), 2):
        pair = " UNION ALL ".join(selects[i:i + 2])
        lines.append(("      " if i == 0 else "      UNION ALL ") + pair)
    name_list = "\n".join(lines)
    script = declared_by.replace(".sql", "-drop.sql")
    return f"""{header("Drops the functions.")}

/* vantor: drops every function that {declared_by} declares.

   isql-fb -bail -user SYSDBA -password <password> \\
     -i /usr/share/vantor/{script} 127.0.0.1/3050:/path/to/db.fdb

   It drops the functions whichever module declares them (vantor.sql or
   vantor-udr.sql), so either drop script does the job; a name that
   something other than vantor declares is left alone. Running it again is
   harmless.

   All or nothing: while a view, procedure, trigger, computed column, CHECK
   constraint or index still uses one of the functions, the engine refuses
   to drop it (cannot delete ... there are N dependencies); the script then
   fails, drops nothing at all and isql exits with status 1. */

SET AUTODDL OFF;
SET BAIL ON;
SET TERM ^;
EXECUTE BLOCK AS
  DECLARE Name VARCHAR(31);
  DECLARE IsLegacy SMALLINT;
  DECLARE Engine VARCHAR(63);
  DECLARE Module VARCHAR(255);
  DECLARE Entry VARCHAR(255);
BEGIN
  FOR SELECT n FROM (
{name_list}) INTO Name DO
  BEGIN
    IsLegacy = NULL;
    SELECT COALESCE(RDB$LEGACY_FLAG, 0), COALESCE(TRIM(RDB$ENGINE_NAME), ''), COALESCE(TRIM(RDB$MODULE_NAME), ''), COALESCE(TRIM(RDB$ENTRYPOINT), '')
      FROM RDB$FUNCTIONS WHERE RDB$FUNCTION_NAME = :Name AND RDB$PACKAGE_NAME IS NULL
      INTO IsLegacy, Engine, Module, Entry;
    /* The legacy declaration, the UDR one, or the stand-in PSQL function
       that vantor.sql makes when it moves a database back. */
    IF ((IsLegacy = 1 AND Module = 'vantor')
        OR (Engine = 'UDR' AND Entry STARTING WITH 'vantor_udr!')
        OR (IsLegacy = 0 AND Engine = '' AND EXISTS (SELECT 1 FROM RDB$FUNCTIONS
            WHERE RDB$FUNCTION_NAME = 'VANTOR$' || :Name AND RDB$MODULE_NAME = 'vantor'))) THEN
      EXECUTE STATEMENT 'DROP FUNCTION ' || Name;
    IF (EXISTS (SELECT 1 FROM RDB$FUNCTIONS
        WHERE RDB$FUNCTION_NAME = 'VANTOR$' || :Name AND RDB$MODULE_NAME = 'vantor')) THEN
      EXECUTE STATEMENT 'DROP EXTERNAL FUNCTION VANTOR$' || Name;
  END
END^
SET TERM ;^
COMMIT;
"""


SCRIPTS = {
    "legacy": ("sql/vantor.sql", legacy_script),
    "udr": ("sql/vantor-udr.sql", udr_script),
    "legacy-drop": ("sql/vantor-drop.sql", lambda t: drop_script(t, "vantor.sql")),
    "udr-drop": ("sql/vantor-udr-drop.sql", lambda t: drop_script(t, "vantor-udr.sql")),
}


def legacy_declarations(table, prefix, bytes_per_char):
    out = []
    for f in functions(table):
        shape = legacy_shape(table, f)
        shape = re.sub(r"\{(\d+)\}", lambda m: str(int(m.group(1)) // bytes_per_char), shape)
        out.append(f"DECLARE EXTERNAL FUNCTION {prefix}{f['name']} {shape} "
                   f"ENTRY_POINT '{f['name']}' MODULE_NAME 'vantor';")
    return "\n".join(out) + "\n"


# The README's reference tables, one a group, each between two markers.

def readme_type(table, value):
    kind = value.get("type", value.get("returns"))
    if kind != "TEXT":
        text = kind
    else:
        text = "CSTRING" + (f"({value['length']})" if isinstance(value["length"], int) else "")
        if "charset" in value:
            text += f" {value['charset']}"
    if "label" in value:
        text += f" {value['label']}"
    return text


def readme_table(table, key):
    rows = ["| Function | SQL signature | Returns | Example |", "|---|---|---|---|"]
    for f in functions(table):
        if f["group"] != key:
            continue
        args = ", ".join(readme_type(table, arg) for arg in f["args"])
        rows.append(f"| `{f['name']}` | ({args}) → {readme_type(table, f)} | {f['summary']} | "
                    f"`{f['example']}` → {f['shows']} |")
    return "\n".join(rows)


def readme_marker(key):
    return f"<!-- Generated from {TABLE} by `{COMMAND}`: the {key} table. -->"


README_END = "<!-- End of the generated table. -->"


def readme(table, text):
    for key, _ in grouped(table):
        begin = readme_marker(key)
        pattern = re.compile(re.escape(begin) + r"\n.*?" + re.escape(README_END), re.S)
        if not pattern.search(text):
            raise SystemExit(f"functions.py: README.md has no marker {begin}")
        text = pattern.sub(lambda m: f"{begin}\n{readme_table(table, key)}\n{README_END}", text)
    return text


def docs_readme_sql(table):
    lines = [f"-- Generated from {TABLE} by `{COMMAND}`: the README's",
             "-- examples, one statement each. A unit test (tests/unit/docs_test.cpp)",
             "-- checks that the README shows the result printed below.",
             "set list on;", ""]
    lines += [f"select {f['example']} from rdb$database;" for f in functions(table)]
    return "\n".join(lines) + "\n"


def committed(table):
    """{path: text} of every generated file kept in the repository."""
    out = {path: make(table) for path, make in SCRIPTS.values()}
    with open(os.path.join(ROOT, "README.md"), encoding="utf-8") as f:
        out["README.md"] = readme(table, f.read())
    out["tests/sql/docs_readme.sql"] = docs_readme_sql(table)
    return out


# The build's files.

def c_parts(f):
    m = re.fullmatch(r"(.*?)\s*\b(\w+)\((.*)\)", f["c"])
    if not m or m.group(2) != f["name"]:
        raise SystemExit(f"functions.py: {f['name']}: c is not a prototype of it: {f['c']}")
    return m.group(1).strip(), m.group(3)


def c_comment(lines_of_text, indent=""):
    return "\n".join(f"{indent}// {line}".rstrip() for line in lines_of_text)


def legacy_declaration_comment(table, f):
    shape = legacy_shape(table, f, placeholders=False)
    first = f"DECLARE EXTERNAL FUNCTION {f['name']} {shape.split(' RETURNS ')[0] if f['args'] else ''}".rstrip()
    returns = "RETURNS " + shape.split("RETURNS ", 1)[1]
    return [first, f"  {returns} ENTRY_POINT '{f['name']}' MODULE_NAME 'vantor';"]


def udr_declaration_comment(table, f):
    return [f"CREATE FUNCTION {f['name']} {udr_signature(table, f, placeholders=False)}",
            f"  EXTERNAL NAME 'vantor_udr!{f['name']}' ENGINE UDR;"]


def generated_c_header(what):
    return (f"// Generated from {TABLE} by scripts/functions.py (run by the build):\n"
            f"// do not edit, edit the table. {what}\n")


def entry_points_h(table):
    out = [generated_c_header("The 23 legacy entry points as the server calls them:\n"
                              "// every argument by reference, C linkage, nothing thrown. The adapters in\n"
                              "// src/legacy include it, so each definition is checked against its\n"
                              "// declaration here; tests, benchmarks and fuzz targets call the entry\n"
                              "// points through it."),
           "#pragma once", "", "#include <cstdint>", "", '#include "frame/udf.h"']
    for key, members in grouped(table):
        out += ["", f"// {table['groups'][key]['heading']}"]
        for f in members:
            result, params = c_parts(f)
            out.append("")
            out.append(c_comment(legacy_declaration_comment(table, f)))
            for note in (f.get("note"), f.get("legacy_note")):
                if note:
                    out += wrap(note, 100, "// ")
            out.append(f"VANTOR_ENTRY {result} {f['name']}({params}) noexcept;")
    return "\n".join(out) + "\n"


NULL_ADDRESS = {"gives_zero": "GivesZero", "gives_null": "GivesNull", "reads_empty": "ReadsEmpty",
                "passed_on": "PassedOn"}


def charset_rule(f, value):
    """The character-set rule of an argument or (VALUE is F) the result of F:
    a text whose character set the table fixes is read by that set's rule; a
    text argument of a function that hands back one of its arguments as a
    text result in the database's character set (BY REFERENCE) must be in
    the result's character set; anything else is taken as declared."""
    if value.get("type", value.get("returns")) != "TEXT":
        return "Any"
    if "charset" in value:
        return CHARSET_RULES[value["charset"]]
    if value is not f and f["returns"] == "TEXT" and "charset" not in f and f["passing"] == "BY REFERENCE":
        return "Result"
    return "Any"


def harness_entry_points_h(table):
    out = [generated_c_header("The 23 legacy entry points as the module harness\n"
                              "// (tests/windows/harness.cpp) calls them: each found by name in the\n"
                              "// loaded module and called as the server calls a legacy function,\n"
                              "// through a C function pointer of 15 arguments (harness.h). It stands\n"
                              "// in for legacy/entry_points.h in the harness's build."),
           "#pragma once", "", "#include <cstdint>", "", '#include "frame/udf.h"', '#include "harness.h"', "",
           "namespace vantor_harness {", "",
           "constexpr const char* kEntryPointNames[] = {",
           *[f'    "{f["name"]}",' for f in functions(table)],
           "};", "", "}  // namespace vantor_harness", ""]
    for index, f in enumerate(functions(table)):
        result, params = c_parts(f)
        names = [p.split()[-1].lstrip("*") for p in params.split(",") if p.strip()]
        call = ", ".join([str(index)] + names)
        out.append(f"inline {result} {f['name']}({params}) noexcept {{")
        out.append(f"    return vantor_harness::Call<{result}>({call});")
        out.append("}")
    return "\n".join(out) + "\n"


def routine_table_inc(table):
    out = [generated_c_header("The UDR routine table's entries: name, the kinds of\n"
                              "// the arguments and the result, NULL in any argument giving NULL, body,\n"
                              "// what the legacy entry point does with a null address for each argument,\n"
                              "// the character-set rules of the arguments and the result.")]
    for f in functions(table):
        args = ", ".join(f"Kind::{KINDS[arg['type']]}" for arg in f["args"])
        strict = "true" if f["strict"] else "false"
        body = f.get("routine", "Run" + f["name"])
        nulls = ", ".join(f"NullAddress::{NULL_ADDRESS[arg.get('null_address', 'gives_zero')]}" for arg in f["args"])
        charsets = ", ".join(f"CharSetRule::{charset_rule(f, arg)}" for arg in f["args"])
        out.append(f'{{"{f["name"]}", {{{args}}}, Kind::{KINDS[f["returns"]]}, {strict}, {body}, {{{nulls}}}, '
                   f'{{{charsets}}}, CharSetRule::{charset_rule(f, f)}}},')
    return "\n".join(out) + "\n"


def registrations_inc(table):
    out = [generated_c_header("The UDR module's functions, each under its\n"
                              "// declaration in sql/vantor-udr.sql (texts in bytes of a single-byte\n"
                              "// character set).")]
    for key, members in grouped(table):
        out += ["", f"// {table['groups'][key]['heading']}"]
        for f in members:
            out.append("")
            out.append(c_comment(udr_declaration_comment(table, f)))
            out.append(f"VANTOR_UDR_FUNCTION({f['name']})")
    return "\n".join(out) + "\n"


def floor_entry_points_h(table):
    out = [generated_c_header("The engine benchmark's do-nothing UDFs\n"
                              "// (libvantor_floor.so), each with the prototype of the function whose\n"
                              "// shape it takes, so that the compiler checks the shape."),
           "#pragma once", "", "#include <cstdint>", "", '#include "frame/udf.h"', ""]
    seen = set()
    for floor in table["floor"]:
        if floor["legacy"] in seen:
            continue
        seen.add(floor["legacy"])
        result, params = c_parts(by_name(table, floor["shape"]))
        out.append(f'extern "C" __attribute__((visibility("default"))) {result} {floor["legacy"]}({params}) noexcept;')
    return "\n".join(out) + "\n"


def version_script(table):
    names = "".join(f"    {f['name']};\n" for f in functions(table))
    return ("/* Generated from " + TABLE + " by scripts/functions.py: the exports of\n"
            "   libvantor.so, the 23 entry points and nothing else. */\n"
            "{\n  global:\n" + names + "  local:\n    *;\n};\n")


def export_list(table):
    return "".join(f["name"] + "\n" for f in functions(table))


def build_files(table):
    return {
        "vantor.map": version_script(table),
        "exports.list": export_list(table),
        "legacy/entry_points.h": entry_points_h(table),
        "harness/legacy/entry_points.h": harness_entry_points_h(table),
        "udr/routine_table.inc": routine_table_inc(table),
        "udr/registrations.inc": registrations_inc(table),
        "bench/floor_entry_points.h": floor_entry_points_h(table),
    }


def write_if_changed(path, text):
    """Writes TEXT to PATH unless it holds it already (so make sees no change)."""
    try:
        with open(path, encoding="utf-8") as f:
            if f.read() == text:
                return
    except FileNotFoundError:
        pass
    os.makedirs(os.path.dirname(path) or ".", exist_ok=True)
    with open(path, "w", encoding="utf-8") as f:
        f.write(text)


# The check that no hand-kept list is left: a file that names all 23
# functions within a few lines of each other lists them. The table, the
# generated files and the documentation may.

LIST_WINDOW = 40
SKIPPED_DIRS = {".git", "build", "corpus"}
ALLOWED = {TABLE}
# Files that must call every function (the load workload runs all of them):
# they name every function on purpose, and the check says which one a file
# leaves out.
CALLS_EVERY_FUNCTION = {"tests/load/workload.sql"}


def lists_every_function(text, names):
    lines = text.lower().split("\n")
    patterns = [re.compile(r"(?<![\w$])" + re.escape(n.lower()) + r"(?!\w)") for n in names]
    where = [[i for i, line in enumerate(lines) if p.search(line)] for p in patterns]
    if any(not w for w in where):
        return False
    # Whether one window of LIST_WINDOW lines holds every name.
    for start in sorted({i for w in where for i in w}):
        if all(any(start <= i < start + LIST_WINDOW for i in w) for w in where):
            return True
    return False


def hand_kept_lists(table, generated):
    names = [f["name"] for f in functions(table)]
    found = []
    for folder, dirs, files in os.walk(ROOT):
        dirs[:] = sorted(d for d in dirs if d not in SKIPPED_DIRS)
        for file in sorted(files):
            path = os.path.relpath(os.path.join(folder, file), ROOT)
            if (path in ALLOWED or path in CALLS_EVERY_FUNCTION or path in generated or path.endswith(".md")
                    or path.startswith("docs/")):
                continue
            try:
                with open(os.path.join(ROOT, path), encoding="utf-8") as f:
                    text = f.read()
            except (UnicodeDecodeError, OSError):
                continue
            if lists_every_function(text, names):
                found.append(path)
    return found


def check(table):
    status = 0
    files = committed(table)
    for path, text in files.items():
        try:
            with open(os.path.join(ROOT, path), encoding="utf-8") as f:
                current = f.read()
        except FileNotFoundError:
            current = None
        if current != text:
            print(f"functions.py: {path} is not what {TABLE} makes: run `{COMMAND}`")
            status = 1
    for path in hand_kept_lists(table, files):
        print(f"functions.py: {path} lists all 23 functions by hand: make it read {TABLE} "
              f"(or a file generated from it)")
        status = 1
    for path in sorted(CALLS_EVERY_FUNCTION):
        with open(os.path.join(ROOT, path), encoding="utf-8") as f:
            text = f.read().lower()
        for f in functions(table):
            if not re.search(r"(?<![\w$])" + re.escape(f["name"].lower()) + r"\(", text):
                print(f"functions.py: {path} does not call {f['name']}, and it must call every function")
                status = 1
    if status == 0:
        print(f"functions.py: {len(files)} generated files current, no hand-kept list of the functions")
    return status


def parse_lengths(args):
    lengths = {}
    while args and args[0] == "--length":
        name, _, value = args[1].partition("=")
        lengths[name] = int(value)
        args = args[2:]
    if args:
        raise SystemExit(__doc__)
    return lengths


def main(argv):
    command = argv[1] if len(argv) > 1 else ""
    if command == "generate" and len(argv) == 3:
        table = load()
        for path, text in build_files(table).items():
            write_if_changed(os.path.join(argv[2], path), text)
    elif command == "write" and len(argv) == 2:
        for path, text in committed(load()).items():
            write_if_changed(os.path.join(ROOT, path), text)
    elif command == "check" and len(argv) == 2:
        return check(load())
    elif command == "names" and len(argv) == 2:
        sys.stdout.write(export_list(load()))
    elif command == "sql" and len(argv) >= 3 and argv[2] in SCRIPTS:
        sys.stdout.write(SCRIPTS[argv[2]][1](load(parse_lengths(argv[3:]))))
    elif command == "legacy-declarations" and len(argv) == 4:
        sys.stdout.write(legacy_declarations(load(), argv[2], int(argv[3])))
    else:
        raise SystemExit(__doc__)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
