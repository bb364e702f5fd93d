#!/usr/bin/env python3
"""Builds the statistical detector's models from texts that Debian packages ship.

For every language of tools/detector_texts.py it counts pairs of character classes (each letter
of the language's alphabet is a class of its own, upper and lower case together; spaces, ASCII
punctuation, typographic punctuation, other symbols, control codes and foreign letters are six
more) and turns them into costs: -log2 of the chance of the second class after the first, in
eighths of a bit. Every single-byte table that can write the language gets a class map, byte
value to class, so the engine scores a sample in any table by looking bytes up.

Writes src/engine/detector_models.generated.cpp.

    python3 tools/generate_detector_models.py            # rewrite the generated file
    python3 tools/generate_detector_models.py --check    # exit 1 when the committed file is stale,
                                                         # 77 when a source package is missing
"""

import argparse
import math
import sys
import unicodedata
from collections import Counter
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import detector_texts  # noqa: E402
import generate_tables  # noqa: E402

OUTPUT = Path("src/engine/detector_models.generated.cpp")
SKIPPED = 77  # CTest's skip code: the texts are not installed here

SPACE, PUNCT, TYPOGRAPHIC, SYMBOL, CONTROL, FOREIGN, LINE, APOSTROPHE = range(8)
FIRST_LETTER = 8
MAX_CLASSES = 128

# Punctuation that ordinary text uses beyond ASCII; any other symbol is rare in text.
TYPOGRAPHIC_MARKS = set("\u00a0\u00ad\u2018\u2019\u201a\u201b\u201c\u201d\u201e\u00ab\u00bb\u2039\u203a"
                        "\u2013\u2014\u2026\u2022\u00b7\u00a7\u00b0\u00a9\u00ae\u2122\u20ac\u00a3\u00bf\u00a1")
# Letters that stand for each other where a table has one and not the other: Romanian's comma
# below, which the older sets write with a cedilla; the Persian and Urdu forms of yeh, keheh
# and heh, which the Arabic sets write with the Arabic letters.
LOOKALIKES = {"\u015f": "\u0219", "\u0219": "\u015f", "\u0163": "\u021b", "\u021b": "\u0163",
              "\u06cc": "\u064a", "\u064a": "\u06cc", "\u06a9": "\u0643", "\u0643": "\u06a9",
              "\u06c1": "\u0647", "\u0647": "\u06c1"}
# The DOS code pages draw boxes and tables; their line-drawing characters are ordinary there.
DOS_TABLES = set(range(25, 41)) | {52}
EBCDIC_TABLES = {56, 57, 58, 59}
# Vietnamese is written in Windows-1258 with combining tone marks: the model learns that form.
LANGUAGE_FORM = {"vi": 24}

# A letter joins a language's alphabet from this share of its letters on (rarer ones are foreign).
ALPHABET_SHARE = 2e-5
# A table writes a language when the letters it lacks are below this share of the language's.
MISSING_SHARE = 0.004
SMOOTHING = 2.0  # pseudo-count spread over the classes, by their overall frequency
COST_SCALE = 8  # costs are eighths of a bit, at most 255 (about 32 bits)
# What picking one character out of a class costs, in bits, beyond the class's own chance: a
# class of many characters says less about the text than a letter. About log2 of the
# characters a text uses from it: 20 typographic marks, 40 line-drawing characters, hundreds of
# foreign letters, symbols and control codes.
EMISSION_BITS = {TYPOGRAPHIC: 3, SYMBOL: 8, CONTROL: 10, FOREIGN: 8, LINE: 6}
# What picking one of about 40 line-drawing characters costs, and more: a document draws few.
# A presentation form (the DOS Arabic and Urdu sets write each letter's positional shape)
# stands for its letter in one of about three shapes.
SHAPE_BITS = 1.5
ASCII_LETTER_BITS = 0.5
# Line drawing frames words with a space between; right beside a letter it is about 500 times
# rarer than punctuation is there (9 bits): "d\u2552s" is no box.
LINE_BESIDE_LETTER = 512


def cost(p):
    return min(255, round(-math.log2(p) * COST_SCALE))


def table_names():
    return {code: name for code, (name, _) in generate_tables.TABLES.items()}


def fold(c):
    """The letter a character counts as: lower case; Arabic presentation forms as their letter."""
    o = ord(c)
    if 0xFB50 <= o <= 0xFDFF or 0xFE70 <= o <= 0xFEFF:
        plain = unicodedata.normalize("NFKC", c)
        if len(plain) == 1:
            c = plain
    low = c.lower()
    return low[0] if low else c


def is_letter(c):
    return unicodedata.category(c)[0] in "LM"


class Language:
    def __init__(self, code, text):
        self.code = code
        letters = Counter(fold(c) for c in text if is_letter(c))
        total = sum(letters.values())
        common = [c for c, n in letters.items() if n >= 8 and n / total >= ALPHABET_SHARE]
        alphabet = sorted(set(common) | set("abcdefghijklmnopqrstuvwxyz"),
                          key=lambda c: (-letters[c], c))[:MAX_CLASSES - FIRST_LETTER]
        self.alphabet = alphabet
        self.index = {c: FIRST_LETTER + i for i, c in enumerate(alphabet)}
        self.share = {c: letters[c] / total for c in alphabet}
        self.classes = FIRST_LETTER + len(alphabet)
        self.costs, self.single_costs = self._train(text)
        # How much an ASCII letter says against the language, in 1/1024 bits: a text of Cyrillic,
        # Greek or Arabic letters has few, a Czech text fewer than an English one. At most half a
        # bit a letter, so that markup around the text (tags, addresses) cannot outweigh what
        # its letters say.
        ascii_letters = sum(n for c, n in letters.items() if ord(c) < 0x80)
        self.ascii_letter_cost = round(min(ASCII_LETTER_BITS, -math.log2(max(ascii_letters, 1) / total)) * 1024)
        cased = [c for c in text if c.isalpha() and c.lower() != c.upper()]
        upper = max(1, sum(1 for c in cased if c.isupper())) / max(2, len(cased))
        self.case_bits = {True: -math.log2(upper), False: -math.log2(1 - upper)}

    def emission(self, c, table):
        """The cost of a character beyond its class's, in eighths of a bit."""
        bits = EMISSION_BITS.get(self.char_class(c, table), 0)
        if c.lower() != c.upper():
            bits += self.case_bits[c.isupper()]
        o = ord(c)
        if 0xFB50 <= o <= 0xFDFF or 0xFE70 <= o <= 0xFEFF:
            bits += SHAPE_BITS
        return min(255, round(bits * COST_SCALE))

    def char_class(self, c, table=None):
        f = fold(c)
        if f in self.index:
            return self.index[f]
        if LOOKALIKES.get(f) in self.index:
            return self.index[LOOKALIKES[f]]
        o = ord(c)
        if c in " \t\n\r\f\v" or (o == 0x85 and table in EBCDIC_TABLES):
            return SPACE
        if o < 0x20 or 0x7F <= o <= 0x9F:
            return CONTROL
        if o < 0x80 or unicodedata.category(c) == "Nd":
            return PUNCT
        if is_letter(c):
            return FOREIGN
        if c == "\u2019":  # the apostrophe inside words: its own neighbours
            return APOSTROPHE
        if c in TYPOGRAPHIC_MARKS:
            return TYPOGRAPHIC
        if table in DOS_TABLES and 0x2500 <= o <= 0x25FF:
            return LINE
        return SYMBOL

    def _train(self, text):
        k = self.classes
        sequence = [self.char_class(c) for c in text]
        pairs = Counter(zip(sequence, sequence[1:]))
        singles = Counter(sequence)
        total = len(sequence)
        background = [(singles[b] + 1) / (total + k) for b in range(k)]
        chance = {}
        for a in range(k):
            row = sum(pairs[(a, b)] for b in range(k))
            for b in range(k):
                chance[(a, b)] = (pairs[(a, b)] + SMOOTHING * background[b]) / (row + SMOOTHING)
        # Texts hold no line drawing: it runs like ASCII punctuation (rules of dashes and bars),
        # but a box's frame stands apart from the words in it: next to a letter it is rarer.
        for x in range(k):
            apart = LINE_BESIDE_LETTER if x == FOREIGN or x >= FIRST_LETTER else 1
            chance[(x, LINE)] = chance[(x, PUNCT)] / apart
            chance[(LINE, x)] = chance[(PUNCT, x)] / apart
        chance[(LINE, LINE)] = chance[(PUNCT, PUNCT)]
        background[LINE] = background[PUNCT]
        costs = [cost(chance[(a, b)]) for a in range(k) for b in range(k)]
        return costs, [cost(p) for p in background]


def folded_letters(table):
    """The letters a table writes, folded as the class maps fold them."""
    return {fold(chr(u)) for u in table if u != generate_tables.UNDEFINED}


def reverse_map(table):
    """unit -> byte for the characters a table writes (the highest byte, as the engine encodes)."""
    out = {}
    for byte, unit in enumerate(table):
        if unit != generate_tables.UNDEFINED:
            out[chr(unit)] = byte
    return out


def table_form(text, table):
    """The text as a table writes it: characters it lacks decomposed where the parts fit."""
    reverse = reverse_map(table)
    out = []
    for c in text:
        if c in reverse or ord(c) < 0x80:
            out.append(c)
            continue
        parts = unicodedata.normalize("NFD", c)
        if len(parts) > 2 and unicodedata.normalize("NFC", parts[:2]) in reverse:
            parts = unicodedata.normalize("NFC", parts[:2]) + parts[2:]
        out.append(parts)
    return "".join(out)


def writes(language, table):
    """Whether a table holds the language's letters (but for a small share of them)."""
    held = folded_letters(table)
    beyond_ascii = sum(share for c, share in language.share.items() if ord(c) >= 0x80)
    missing = sum(share for c, share in language.share.items()
                  if ord(c) >= 0x80 and c not in held and LOOKALIKES.get(c) not in held)
    # A language of few accents (Dutch) needs them all; a large alphabet may lack a rare letter.
    return missing < MISSING_SHARE and missing <= 0.1 * beyond_ascii


# Languages written in ASCII alone: every table holds them, but their texts come in the sets
# of the Western languages; elsewhere those sets decide on the same bytes anyway.
ASCII_LANGUAGES = {"en", "id"}
WESTERN = ("de", "fr", "es", "it", "pt")


def writing_tables(language, languages, tables):
    if language.code in LANGUAGE_FORM:
        return [LANGUAGE_FORM[language.code]]
    if language.code in ASCII_LANGUAGES:
        western = [x for x in languages if x.code in WESTERN]
        return [code for code in range(len(tables))
                if code != 11 and any(writes(x, tables[code]) for x in western)]
    return [code for code in range(len(tables)) if code != 11 and writes(language, tables[code])]


def build(root):
    tables = generate_tables.build_tables(root)
    reader = detector_texts.Reader()
    languages = []
    for code in detector_texts.LANGUAGES:
        text = detector_texts.training_text(reader, code)
        if code in LANGUAGE_FORM:
            text = table_form(text, tables[LANGUAGE_FORM[code]])
        languages.append(Language(code, text))
    models = []
    for number, language in enumerate(languages):
        for code in writing_tables(language, languages, tables):
            classes = [language.char_class(chr(u), code) if u != generate_tables.UNDEFINED else CONTROL
                       for u in tables[code]]
            emissions = [language.emission(chr(u), code) if u != generate_tables.UNDEFINED else 255
                         for u in tables[code]]
            models.append((code, number, classes, emissions))
    models.sort(key=lambda m: (m[0], m[1]))
    # The engine keeps a bit per language in a 64-bit word and the readings in an array of 1024.
    if len(languages) > 64 or len(models) > 1024:
        raise generate_tables.MappingError(f"{len(languages)} languages, {len(models)} readings: over 64 or 1024")
    return languages, models, reader.pins()


def render(languages, models, pins):
    names = table_names()
    out = [
        "// generated by tools/generate_detector_models.py \u2014 do not edit.",
        "// Pair costs of character classes per language and, per table that writes the language,",
        "// the class of every byte value and what its character costs beyond its class. Learnt from",
        "// these Debian 12 packages (files, bytes):",
    ]
    out += [f"//   {p} {v}: {n} files, {b} bytes" for p, v, n, b in pins]
    out += [
        "#include \"engine/detector_models.h\"",
        "",
        "namespace glyphshift::engine::detector {",
        "",
        "// clang-format off",
    ]
    offset = 0
    entries = []
    out.append("namespace {")
    out.append("")
    out.append("// Per language: the cost of each class alone, then of each class after each class.")
    out.append("constexpr std::uint8_t kCosts[] = {")
    for language in languages:
        k = language.classes
        out.append(f"  // {language.code}: {k} classes")
        out.append("  " + ",".join(str(c) for c in language.single_costs) + ",")
        for row in range(k):
            out.append("  " + ",".join(str(c) for c in language.costs[row * k:(row + 1) * k]) + ",")
        entries.append((language.code, k, language.ascii_letter_cost, offset))
        offset += k + k * k
    out.append("};")
    out.append("")
    out.append("}  // namespace")
    out.append("")
    out.append(f"extern const int kLanguageModelCount = {len(languages)};")
    out.append(f"extern const int kTableModelCount = {len(models)};")
    out.append("")
    out.append(f"const LanguageModel kLanguageModels[{len(languages)}] = {{")
    for code, k, ascii_cost, start in entries:
        out.append(f"  {{\"{code}\", {k}, {ascii_cost}, kCosts + {start}, kCosts + {start + k}}},")
    out.append("};")
    out.append("")
    out.append(f"const TableModel kTableModels[{len(models)}] = {{")
    for code, number, classes, emissions in models:
        out.append(f"  // {names[code]}, {languages[number].code}")
        out.append(f"  {{{code}, {number}, {{")
        for row in range(0, 256, 32):
            out.append("    " + ",".join(str(c) for c in classes[row:row + 32]) + ",")
        out.append("  }, {")
        for row in range(0, 256, 32):
            out.append("    " + ",".join(str(c) for c in emissions[row:row + 32]) + ",")
        out.append("  }},")
    out.append("};")
    out += ["// clang-format on", "", "}  // namespace glyphshift::engine::detector", ""]
    return "\n".join(out)


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--check", action="store_true",
                        help="compare with the committed file instead of writing it")
    parser.add_argument("--root", type=Path, default=Path(__file__).resolve().parent.parent,
                        help="the source tree (default: the one holding this script)")
    args = parser.parse_args(argv)
    try:
        text = render(*build(args.root))
    except detector_texts.MissingSource as missing:
        print(f"generate_detector_models.py: skipped: {missing}", file=sys.stderr)
        return SKIPPED if args.check else 2
    except generate_tables.MappingError as error:
        print(f"generate_detector_models.py: error: {error}", file=sys.stderr)
        return 2
    output = args.root / OUTPUT
    if args.check:
        return generate_tables.check_committed(output, text, "tools/generate_detector_models.py")
    output.write_bytes(text.encode("utf-8"))
    print(f"wrote {output}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
