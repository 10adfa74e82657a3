#!/usr/bin/env python3
"""Generate the message catalogue data of libqvocli.

Reads the rows of the catalogue table document (a Markdown file whose section
titled "...: Catalogue entries" lists every diagnostic as a table row) and the
German supplement (German texts for the entries whose row carries none), and
writes src/messages/qvoCatalogueEntries.inc, an X-macro list that the
catalogue and the Translator expand.

Usage: gen_catalogue.py CATALOGUE_TABLE_DOCUMENT [GERMAN_SUPPLEMENT] [OUTPUT]

The build does not run this script; its output is committed as a source file.
"""

import pathlib
import re
import sys

HERE = pathlib.Path(__file__).resolve().parent
DEFAULT_SUPPLEMENT = HERE / "catalogue_german.txt"
DEFAULT_OUTPUT = HERE.parent / "src" / "messages" / "qvoCatalogueEntries.inc"

USAGE = "usage: gen_catalogue.py CATALOGUE_TABLE_DOCUMENT [GERMAN_SUPPLEMENT] [OUTPUT]"
EXPECTED_ENTRIES = 349
SECTION_TITLE = re.compile(r"^# .*: Catalogue entries\s*$")
NEXT_SECTION = re.compile(r"^# ")
ROW = re.compile(r"^\|\s*(\d+)\s*\|(.*)\|\s*$")
NAME = re.compile(r"^`(_[A-Za-z0-9_]+_)`$")
QUOTED = re.compile(r'^"(.*)"$', re.S)
CONVERSION = re.compile(r"%[-+ #0]*\d*(?:\.\d+)?(?:hh|h|ll|l)?[diouxXeEfgGcsp%]")


def fail(msg):
    sys.exit(f"gen_catalogue: {msg}")


def unquote(cell, what, number):
    m = QUOTED.match(cell)
    if not m:
        fail(f"row {number}: {what} is not a quoted text: {cell!r}")
    return m.group(1)


def read_table(path):
    """Returns (entries, format_names); entries are dicts in table order."""
    lines = pathlib.Path(path).read_text(encoding="utf-8").splitlines()
    start = next((i for i, l in enumerate(lines) if SECTION_TITLE.match(l)), None)
    if start is None:
        fail("no catalogue section found")
    section = []
    for line in lines[start + 1:]:
        if NEXT_SECTION.match(line):
            break
        section.append(line)

    entries, format_names = [], []
    for line in section:
        m = ROW.match(line)
        if not m:
            continue
        number = int(m.group(1))
        cells = [c.strip() for c in m.group(2).split("|")]
        name = NAME.match(cells[0])
        if not name:
            fail(f"row {number}: bad operation name {cells[0]!r}")
        name = name.group(1)
        if len(cells) == 2:
            # The table of format entries: operation and its arguments.
            format_names.append(name)
            continue
        if len(cells) not in (3, 5):
            fail(f"row {number}: unexpected column count {len(cells)}")
        entry = {
            "number": number,
            "name": name,
            "sqlstate": unquote(cells[1], "SQLSTATE", number),
            "english": unquote(cells[2], "English text", number),
            "german": None,
        }
        if len(cells) == 5 and cells[3]:
            entry["german"] = unquote(cells[3], "German text", number)
        entries.append(entry)
    return entries, format_names


def read_supplement(path):
    texts = {}
    for lineno, line in enumerate(pathlib.Path(path).read_text(encoding="utf-8").splitlines(), 1):
        if not line.strip() or line.startswith("#"):
            continue
        name, sep, text = line.partition(" ")
        if not sep or not NAME.match(f"`{name}`"):
            fail(f"{path}:{lineno}: expected '_Name_ \"text\"'")
        text = unquote(text.strip(), "text", lineno)
        if name in texts:
            fail(f"{path}:{lineno}: {name} given twice")
        texts[name] = text
    return texts


def conversions(text):
    return CONVERSION.findall(text)


def c_literal(text):
    out = text.replace("\\", "\\\\").replace('"', '\\"')
    if any(ord(ch) < 0x20 for ch in out):
        fail(f"control character in text {text!r}")
    return f'"{out}"'


def main(argv):
    if len(argv) < 2 or len(argv) > 4:
        fail(USAGE)
    entries, format_names = read_table(argv[1])
    supplement = read_supplement(argv[2] if len(argv) > 2 else DEFAULT_SUPPLEMENT)
    output = pathlib.Path(argv[3]) if len(argv) > 3 else DEFAULT_OUTPUT

    if len(entries) != EXPECTED_ENTRIES:
        fail(f"{len(entries)} entries, expected {EXPECTED_ENTRIES}")
    if [e["number"] for e in entries] != list(range(1, EXPECTED_ENTRIES + 1)):
        fail("entries are not numbered 1.. in order")
    names = [e["name"] for e in entries]
    if len(set(names)) != len(names):
        fail("duplicate operation names")
    unknown = set(format_names) - set(names)
    if unknown:
        fail(f"format entries not in the catalogue: {sorted(unknown)}")
    unused = set(supplement) - set(names)
    if unused:
        fail(f"German supplement names unknown entries: {sorted(unused)}")

    for e in entries:
        extra = supplement.get(e["name"])
        if e["german"] is None:
            if extra is None:
                fail(f"entry {e['number']} {e['name']}: no German text")
            e["german"] = extra
        elif extra is not None:
            fail(f"entry {e['number']} {e['name']}: German text given twice")
        if not e["english"] or not e["german"]:
            fail(f"entry {e['number']}: empty text")
        if conversions(e["english"]) != conversions(e["german"]):
            fail(f"entry {e['number']}: English and German placeholders differ")
        is_format = e["name"] in format_names
        if is_format != bool(conversions(e["english"])):
            fail(f"entry {e['number']}: placeholders do not match its kind")
        if is_format and conversions(e["sqlstate"]):
            e["kind"] = "QVO_PASS_THROUGH_MESSAGE"
        elif is_format:
            e["kind"] = "QVO_FORMAT_MESSAGE"
        else:
            if len(e["sqlstate"]) != 5:
                fail(f"entry {e['number']}: SQLSTATE {e['sqlstate']!r}")
            e["kind"] = "QVO_MESSAGE"

    out = [
        "// Generated by tools/gen_catalogue.py from the catalogue table and",
        "// tools/catalogue_german.txt. Do not edit by hand; change the inputs and rerun.",
        "//",
        "// One line per diagnostic, in catalogue order:",
        "//   QVO_MESSAGE(name, sqlstate, english, german)               plain text",
        "//   QVO_FORMAT_MESSAGE(name, sqlstate, english, german)        text is a printf format",
        "//   QVO_PASS_THROUGH_MESSAGE(name, sqlstate, english, german)  SQLSTATE and text",
        "//                                                              are both formats",
        "// Every text is UTF-8. The includer defines the three macros; they are undefined",
        "// at the end of this file.",
        "// clang-format off",
    ]
    for e in entries:
        out.append(f"{e['kind']}({e['name']}, {c_literal(e['sqlstate'])},")
        out.append(f"    {c_literal(e['english'])},")
        out.append(f"    {c_literal(e['german'])})")
    out += [
        "// clang-format on",
        "#undef QVO_MESSAGE",
        "#undef QVO_FORMAT_MESSAGE",
        "#undef QVO_PASS_THROUGH_MESSAGE",
        "",
    ]
    output.write_text("\n".join(out), encoding="utf-8")
    print(f"wrote {output}: {len(entries)} entries")


if __name__ == "__main__":
    main(sys.argv)
