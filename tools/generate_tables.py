#!/usr/bin/env python3
"""Builds the byte-to-UTF-16 tables of the 60 single-byte character sets.

Reads the Unicode Consortium mapping files under data/unicode-mappings and writes
src/engine/mapping_tables.generated.cpp. Every fill and every deliberate departure from
the published files is listed below, and the published values those departures replace
are checked, so a changed data file stops the build of the tables instead of slipping in.

    python3 tools/generate_tables.py            # rewrite the generated file
    python3 tools/generate_tables.py --check    # exit 1 when the committed file is stale
"""

import argparse
import re
import sys
from pathlib import Path

UNDEFINED = 0xFFFF
OUTPUT = Path("src/engine/mapping_tables.generated.cpp")
MAPPINGS = Path("data/unicode-mappings")


class MappingError(Exception):
    """The data does not fit what the tables need; the message names the file and line."""


_BYTE = re.compile(r"0x[0-9A-Fa-f]{2}")
_UNIT = re.compile(r"0x[0-9A-Fa-f]+")


def parse_mapping_file(path):
    """Returns {byte: unit} for the bytes a file defines.

    A data line is `0xBB<white>0xUUUU<white># comment`; a byte with no line, or with an
    empty second column, is undefined. Anything else on a line that starts with 0x is an
    error: a sequence of several code points or a value beyond one UTF-16 unit cannot be
    held in a 16-bit table entry.
    """
    mapping = {}
    # Latin-1 never fails to decode; only the ASCII data columns matter here.
    text = path.read_bytes().decode("latin-1")
    for number, line in enumerate(text.splitlines(), 1):
        if not line.startswith("0x"):
            continue  # comments, the Microsoft files' trailing Ctrl-Z
        where = f"{path}:{number}"
        fields = line.split("#", 1)[0].split()
        if not _BYTE.fullmatch(fields[0]):
            raise MappingError(f"{where}: byte value {fields[0]!r} is not 0x00..0xFF")
        byte = int(fields[0], 16)
        if byte in mapping or len(fields) > 2:
            raise MappingError(f"{where}: byte 0x{byte:02X} has more than one mapping")
        if len(fields) == 1:
            continue
        if not _UNIT.fullmatch(fields[1]):
            raise MappingError(f"{where}: {fields[1]!r} is not a single code point")
        unit = int(fields[1], 16)
        if unit > 0xFFFF:
            raise MappingError(f"{where}: U+{unit:04X} does not fit one UTF-16 unit")
        if 0xD800 <= unit <= 0xDFFF:
            raise MappingError(f"{where}: byte 0x{byte:02X} maps to the surrogate U+{unit:04X}")
        if unit == UNDEFINED:
            raise MappingError(f"{where}: U+FFFF would read as an undefined byte")
        mapping[byte] = unit
    return mapping


# ---- how each table is filled -------------------------------------------------------------

def complete(rel):
    """The published table as it stands, 0xFFFF where it has no entry."""
    def build(ctx):
        mapping = ctx.load(rel)
        return [mapping.get(b, UNDEFINED) for b in range(256)]
    build.source = rel
    return build


def with_identity_below(limit, rel):
    """Bytes below `limit` are their own code points; the file supplies the rest.

    The ISO 8859 files list C0 and C1 themselves; Apple's files omit the controls and
    NeXTSTEP's lists only the upper half (see the README in the mappings folder). Any
    entry a file does give below the limit must agree with the identity.
    """
    def build(ctx):
        mapping = ctx.load(rel)
        for b in range(limit):
            if mapping.get(b, b) != b:
                raise MappingError(f"{rel}: byte 0x{b:02X} is U+{mapping[b]:04X}, "
                                   f"expected the identity below 0x{limit:02X}")
        return [b if b < limit else mapping.get(b, UNDEFINED) for b in range(256)]
    build.source = rel
    return build


def iso(rel):
    return with_identity_below(0xA0, rel)


def ascii_lower(rel):
    return with_identity_below(0x80, rel)


def seven_bit():
    """Code 11 (the slot of the never-published ISO 8859 part 12): the byte with bit 7 cleared."""
    def build(_ctx):
        return [b & 0x7F for b in range(256)]
    build.source = "none: byte AND 0x7F"
    return build


def same_as(code):
    def build(ctx):
        return list(ctx.table(code))
    build.source = f"the table of code {code}"
    return build


MS = "VENDORS/MICSFT/"
APPLE = "VENDORS/APPLE/"

# code: (catalogue name, builder), in code order.
TABLES = {
    0: ("ISO-8859-1", iso("ISO8859/8859-1.TXT")),
    1: ("ISO-8859-2", iso("ISO8859/8859-2.TXT")),
    2: ("ISO-8859-3", iso("ISO8859/8859-3.TXT")),
    3: ("ISO-8859-4", iso("ISO8859/8859-4.TXT")),
    4: ("ISO-8859-5", iso("ISO8859/8859-5.TXT")),
    5: ("ISO-8859-6", iso("ISO8859/8859-6.TXT")),
    6: ("ISO-8859-7", iso("ISO8859/8859-7.TXT")),
    7: ("ISO-8859-8", iso("ISO8859/8859-8.TXT")),
    8: ("ISO-8859-9", iso("ISO8859/8859-9.TXT")),
    9: ("ISO-8859-10", iso("ISO8859/8859-10.TXT")),
    10: ("ISO-8859-11", iso("ISO8859/8859-11.TXT")),
    11: ("(no name)", seven_bit()),
    12: ("ISO-8859-13", iso("ISO8859/8859-13.TXT")),
    13: ("ISO-8859-14", iso("ISO8859/8859-14.TXT")),
    14: ("ISO-8859-15", iso("ISO8859/8859-15.TXT")),
    15: ("Windows-874", complete(MS + "WINDOWS/CP874.TXT")),
    16: ("Windows-1250", complete(MS + "WINDOWS/CP1250.TXT")),
    17: ("Windows-1251", complete(MS + "WINDOWS/CP1251.TXT")),
    18: ("Windows-1252", complete(MS + "WINDOWS/CP1252.TXT")),
    19: ("Windows-1253", complete(MS + "WINDOWS/CP1253.TXT")),
    20: ("Windows-1254", complete(MS + "WINDOWS/CP1254.TXT")),
    21: ("Windows-1255", complete(MS + "WINDOWS/CP1255.TXT")),
    22: ("Windows-1256", complete(MS + "WINDOWS/CP1256.TXT")),
    23: ("Windows-1257", complete(MS + "WINDOWS/CP1257.TXT")),
    24: ("Windows-1258", complete(MS + "WINDOWS/CP1258.TXT")),
    25: ("DOS-437", complete(MS + "PC/CP437.TXT")),
    26: ("DOS-737", complete(MS + "PC/CP737.TXT")),
    27: ("DOS-775", complete(MS + "PC/CP775.TXT")),
    28: ("DOS-850", complete(MS + "PC/CP850.TXT")),
    29: ("DOS-852", complete(MS + "PC/CP852.TXT")),
    30: ("DOS-855", complete(MS + "PC/CP855.TXT")),
    31: ("DOS-857", complete(MS + "PC/CP857.TXT")),
    32: ("DOS-860", complete(MS + "PC/CP860.TXT")),
    33: ("DOS-861", complete(MS + "PC/CP861.TXT")),
    34: ("DOS-862", complete(MS + "PC/CP862.TXT")),
    35: ("DOS-863", complete(MS + "PC/CP863.TXT")),
    36: ("DOS-864", complete(MS + "PC/CP864.TXT")),
    37: ("DOS-865", complete(MS + "PC/CP865.TXT")),
    38: ("DOS-866", complete(MS + "PC/CP866.TXT")),
    39: ("DOS-869", complete(MS + "PC/CP869.TXT")),
    40: ("DOS-874", same_as(15)),
    41: ("MSMAC-CYRILLIC", complete(MS + "MAC/CYRILLIC.TXT")),
    42: ("MSMAC-GREEK", complete(MS + "MAC/GREEK.TXT")),
    43: ("MSMAC-ICELAND", complete(MS + "MAC/ICELAND.TXT")),
    44: ("MSMAC-LATIN2", complete(MS + "MAC/LATIN2.TXT")),
    45: ("MSMAC-ROMAN", complete(MS + "MAC/ROMAN.TXT")),
    46: ("MSMAC-TURKISH", complete(MS + "MAC/TURKISH.TXT")),
    47: ("Apple-CENTEURO", ascii_lower(APPLE + "CENTEURO.TXT")),
    48: ("Apple-Roman", ascii_lower(APPLE + "ROMAN.TXT")),
    49: ("AtariST", complete("VENDORS/MISC/ATARIST.TXT")),
    50: ("KOI8-R", complete("VENDORS/MISC/KOI8-R.TXT")),
    51: ("KOI8-U", complete("VENDORS/MISC/KOI8-U.TXT")),
    52: ("CP856", complete("VENDORS/MISC/CP856.TXT")),
    53: ("KZ-1048", complete("VENDORS/MISC/KZ1048.TXT")),
    54: ("CP1006", complete("VENDORS/MISC/CP1006.TXT")),
    55: ("NeXT", ascii_lower("VENDORS/NEXT/NEXTSTEP.TXT")),
    56: ("EBCDIC-37", complete(MS + "EBCDIC/CP037.TXT")),
    57: ("EBCDIC-500", complete(MS + "EBCDIC/CP500.TXT")),
    58: ("EBCDIC-875", complete(MS + "EBCDIC/CP875.TXT")),
    59: ("EBCDIC-1026", complete(MS + "EBCDIC/CP1026.TXT")),
}

# The product's own departures from the published files: (code, byte, published, ours, why).
OVERRIDES = [
    (10, 0xA0, 0x00A0, UNDEFINED, "ISO-8859-11 leaves NO-BREAK SPACE undefined"),
    (36, 0x25, 0x066A, 0x0025, "DOS-864 keeps the ASCII percent sign"),
]

# Microsoft's Macintosh tables against Apple's for the same script: the only entries in
# which they may differ, with Microsoft's value (the one the table takes).
MAC_DIFFERENCES = {
    41: (APPLE + "CYRILLIC.TXT", {0xA2: 0x00A2, 0xB6: 0x2202, 0xFF: 0x00A4}),
    42: (APPLE + "GREEK.TXT", {0x9C: 0x00AD, 0xAF: 0x0387, 0xFF: UNDEFINED}),
    43: (APPLE + "ICELAND.TXT", {0xBD: 0x2126, 0xDB: 0x00A4, 0xF0: UNDEFINED}),
    44: (APPLE + "CENTEURO.TXT", {}),
    45: (APPLE + "ROMAN.TXT", {0xBD: 0x2126, 0xDB: 0x00A4, 0xF0: UNDEFINED}),
    46: (APPLE + "TURKISH.TXT", {0xBD: 0x2126, 0xF0: UNDEFINED, 0xF5: UNDEFINED}),
}

# Entries the product documents for particular tables; a data file that disagrees is wrong.
PINNED = {
    48: {0xDB: 0x20AC, 0xBD: 0x03A9, 0xF0: 0xF8FF},
    54: {0xB1: 0xFE8E, 0xB2: 0xFE8E},
    55: {0xFE: 0xFFFD, 0xFF: 0xFFFD},
    56: {0x25: 0x000A, 0x15: 0x0085},
    58: {b: 0x001A for b in (0x3F, 0xDC, 0xE1, 0xEC, 0xED, 0xFC, 0xFD)},
}

EBCDIC_CODES = range(56, 60)


class Context:
    """Loads each mapping file once and builds tables on demand, in any order."""

    def __init__(self, root):
        self.mappings = root / MAPPINGS
        self._files = {}
        self._tables = {}

    def load(self, rel):
        if rel not in self._files:
            path = self.mappings / rel
            if not path.is_file():
                raise MappingError(f"{path}: mapping file missing")
            self._files[rel] = parse_mapping_file(path)
        return self._files[rel]

    def table(self, code):
        if code not in self._tables:
            self._tables[code] = TABLES[code][1](self)
        return self._tables[code]


def apply_overrides(tables):
    for code, byte, published, ours, why in OVERRIDES:
        if tables[code][byte] != published:
            raise MappingError(f"code {code} byte 0x{byte:02X}: published U+{tables[code][byte]:04X}, "
                               f"expected U+{published:04X} before the override ({why})")
        tables[code][byte] = ours


def check_tables(ctx, tables):
    for code, (rel, expected) in MAC_DIFFERENCES.items():
        apple = ascii_lower(rel)(ctx)
        found = {b: tables[code][b] for b in range(256) if tables[code][b] != apple[b]}
        if found != expected:
            raise MappingError(f"code {code} differs from {rel} in {_describe(found)}; "
                               f"expected exactly {_describe(expected)}")
    if tables[47] != tables[44]:
        raise MappingError("code 47 (Apple Central European) differs from code 44 (Microsoft Latin 2)")
    for code, entries in PINNED.items():
        for byte, unit in entries.items():
            if tables[code][byte] != unit:
                raise MappingError(f"code {code} byte 0x{byte:02X} is U+{tables[code][byte]:04X}, "
                                   f"expected U+{unit:04X}")
    for code, table in enumerate(tables):
        if code not in EBCDIC_CODES and table[:0x80] != list(range(0x80)):
            raise MappingError(f"code {code}: bytes 0x00..0x7F are not ASCII")
        if any(0xD800 <= unit <= 0xDFFF for unit in table):
            raise MappingError(f"code {code} maps a byte to a surrogate")


def _describe(entries):
    if not entries:
        return "no entry"
    return ", ".join(f"0x{b:02X}->{'undefined' if u == UNDEFINED else f'U+{u:04X}'}"
                     for b, u in sorted(entries.items()))


def build_tables(root):
    ctx = Context(root)
    tables = [ctx.table(code) for code in range(len(TABLES))]
    tables = [list(t) for t in tables]  # overrides must not leak into same_as copies
    apply_overrides(tables)
    check_tables(ctx, tables)
    return tables


def render(tables):
    out = [
        "// generated by tools/generate_tables.py \u2014 do not edit.",
        "// Source: the Unicode Consortium mapping files in data/unicode-mappings; the fills",
        "// and departures are listed in the generator. 0xFFFF marks an undefined byte.",
        "#include \"engine/mapping_table.h\"",
        "",
        "namespace glyphshift {",
        "",
        "// clang-format off",
        "const MappingTable kMappingTables[60] = {",
    ]
    for code, table in enumerate(tables):
        name, builder = TABLES[code]
        out.append(f"  // {code}: {name} ({builder.source})")
        out.append("  {{")
        for row in range(0, 256, 16):
            units = ", ".join(f"0x{u:04X}" for u in table[row:row + 16])
            out.append(f"    /* {row:02X} */ {units},")
        out.append("  }},")
    out += ["};", "// clang-format on", "", "}  // namespace glyphshift", ""]
    return "\n".join(out)


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--check", action="store_true",
                        help="compare with the committed file instead of writing it")
    parser.add_argument("--root", type=Path, default=Path(__file__).resolve().parent.parent,
                        help="the source tree (default: the one holding this script)")
    args = parser.parse_args(argv)
    if len(TABLES) != 60 or sorted(TABLES) != list(range(60)):
        raise AssertionError("TABLES must hold codes 0..59")

    try:
        text = render(build_tables(args.root))
    except MappingError as error:
        print(f"generate_tables.py: error: {error}", file=sys.stderr)
        return 2

    output = args.root / OUTPUT
    if args.check:
        return check_committed(output, text)
    output.write_bytes(text.encode("utf-8"))
    print(f"wrote {output}")
    return 0


def check_committed(output, text, tool="tools/generate_tables.py"):
    """0 when the committed `output` is `text`; 1 (with the first differing line) otherwise."""
    name = Path(tool).name
    try:
        committed = output.read_bytes().decode("utf-8")
    except (OSError, UnicodeDecodeError) as error:
        print(f"{name}: {output}: cannot read ({error})", file=sys.stderr)
        return 1
    if committed == text:
        return 0
    old, new = committed.splitlines(), text.splitlines()
    line = next((i for i, (a, b) in enumerate(zip(old, new)) if a != b), min(len(old), len(new)))
    fresh = new[line] if line < len(new) else "the end of the file"
    print(f"{name}: {output} is out of date (first difference at line {line + 1}: {fresh!r}); "
          f"run python3 {tool} and commit the result", file=sys.stderr)
    return 1


if __name__ == "__main__":
    sys.exit(main())
