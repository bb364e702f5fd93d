"""The texts the detector's models learn from and the benchmark is measured on.

Every text comes from a Debian 12 package that scripts/install-deps.sh installs: manual pages,
spelling dictionaries, the CLDR locale data and the iso-codes and libc translation catalogues.
Each language has a training part and a held-out part drawn from other files, so the benchmark
never sees a sentence the models learnt from.

    training_text(lang)  -> str     what tools/generate_detector_models.py counts
    heldout_text(lang)   -> str     what bench/detector_tables.py encodes into every table
    pins()               -> list    (package, version, files, bytes) of everything read
"""

import gzip
import re
import struct
import subprocess
import unicodedata
from pathlib import Path

MAN = Path("/usr/share/man")
HUNSPELL = Path("/usr/share/hunspell")
CLDR = Path("/usr/share/unicode/cldr/common")
LOCALE = Path("/usr/share/locale")

# Characters kept per language: enough for stable pair counts (1.5 M characters of manual pages
# give the same models to the last quantisation step as 6 M) and a quick generator.
TRAINING_CHARS = 1_500_000
HELDOUT_CHARS = 120_000

# language -> (training sources, held-out sources). A source is (kind, argument):
#   man:   the manual pages of /usr/share/man/<arg> from package manpages-<...>; files are split
#          by their position in name order: every fifth is held out, the rest are training
#   dic:   a spelling dictionary /usr/share/hunspell/<arg>.dic (its .aff names the encoding)
#   cldr:  CLDR locale data common/main/<arg>.xml; cldr-words: common/annotations/<arg>.xml
#   mo:    the iso-codes and libc catalogues of /usr/share/locale/<arg>
LANGUAGES = {
    "en": ([("man", "")], [("man-heldout", "")]),
    "de": ([("man", "de")], [("man-heldout", "de")]),
    "fr": ([("man", "fr")], [("man-heldout", "fr")]),
    "es": ([("man", "es")], [("man-heldout", "es")]),
    "it": ([("man", "it")], [("man-heldout", "it")]),
    "pt": ([("man", "pt_BR")], [("man-heldout", "pt_BR")]),
    "nl": ([("man", "nl")], [("man-heldout", "nl")]),
    "sv": ([("man", "sv")], [("man-heldout", "sv")]),
    "da": ([("man", "da")], [("man-heldout", "da")]),
    "nb": ([("man", "nb")], [("man-heldout", "nb")]),
    "fi": ([("man", "fi")], [("man-heldout", "fi")]),
    "id": ([("man", "id")], [("man-heldout", "id")]),
    "is": ([("cldr", "is"), ("dic", "is_IS")], [("cldr-words", "is"), ("mo", "is")]),
    "ca": ([("cldr", "ca"), ("dic", "ca")], [("cldr-words", "ca"), ("mo", "ca")]),
    "cy": ([("cldr", "cy")], [("cldr-words", "cy"), ("mo", "cy")]),
    "ga": ([("cldr", "ga"), ("dic", "ga_IE")], [("cldr-words", "ga"), ("mo", "ga")]),
    "mt": ([("cldr", "mt")], [("cldr-words", "mt"), ("mo", "mt")]),
    "eo": ([("cldr", "eo"), ("dic", "eo")], [("mo", "eo")]),
    "pl": ([("man", "pl")], [("man-heldout", "pl")]),
    "cs": ([("man", "cs")], [("man-heldout", "cs")]),
    "hu": ([("man", "hu")], [("man-heldout", "hu")]),
    "ro": ([("man", "ro")], [("man-heldout", "ro")]),
    "sk": ([("cldr", "sk"), ("dic", "sk_SK")], [("cldr-words", "sk"), ("mo", "sk")]),
    "sl": ([("cldr", "sl")], [("cldr-words", "sl"), ("mo", "sl")]),
    "hr": ([("cldr", "hr"), ("dic", "hr_HR")], [("cldr-words", "hr"), ("mo", "hr")]),
    "lv": ([("cldr", "lv"), ("dic", "lv_LV")], [("cldr-words", "lv"), ("mo", "lv")]),
    "lt": ([("cldr", "lt"), ("dic", "lt_LT")], [("cldr-words", "lt"), ("mo", "lt")]),
    "et": ([("cldr", "et"), ("dic", "et_EE")], [("cldr-words", "et"), ("mo", "et")]),
    "tr": ([("man", "tr")], [("man-heldout", "tr")]),
    "ru": ([("man", "ru")], [("man-heldout", "ru")]),
    "uk": ([("man", "uk")], [("man-heldout", "uk")]),
    "sr": ([("man", "sr")], [("man-heldout", "sr")]),
    "mk": ([("man", "mk")], [("man-heldout", "mk")]),
    "bg": ([("cldr", "bg"), ("dic", "bg_BG")], [("cldr-words", "bg"), ("mo", "bg")]),
    "be": ([("cldr", "be"), ("dic", "be_BY")], [("cldr-words", "be"), ("mo", "be")]),
    "kk": ([("cldr", "kk"), ("dic", "kk_KZ")], [("cldr-words", "kk"), ("mo", "kk")]),
    "el": ([("man", "el"), ("cldr", "el"), ("dic", "el_GR")], [("man-heldout", "el"), ("mo", "el")]),
    "he": ([("cldr", "he"), ("dic", "he_IL")], [("cldr-words", "he"), ("mo", "he")]),
    "ar": ([("cldr", "ar"), ("dic", "ar")], [("cldr-words", "ar"), ("mo", "ar")]),
    "fa": ([("cldr", "fa"), ("dic", "fa")], [("cldr-words", "fa"), ("mo", "fa")]),
    "ur": ([("cldr", "ur")], [("cldr-words", "ur"), ("mo", "ur")]),
    "th": ([("cldr", "th"), ("dic", "th_TH")], [("cldr-words", "th"), ("mo", "th")]),
    "vi": ([("man", "vi")], [("man-heldout", "vi")]),
}

# The multi-byte languages the benchmark encodes into the sets the program cannot convert.
CJK_HELDOUT = {
    "ja": [("man-heldout", "ja")],
    "zh_CN": [("man-heldout", "zh_CN")],
    "zh_TW": [("man-heldout", "zh_TW")],
    "ko": [("mo", "ko")],
}

# The package of each folder of manual pages: only its own pages are read, not those other
# packages put in the same folder, so the texts depend on pinned packages alone.
MAN_PACKAGES = {"": "manpages", "pt_BR": "manpages-pt-br", "zh_CN": "manpages-zh", "zh_TW": "manpages-zh"}


def packages_of(paths):
    """path -> the package that ships it, with one query for all."""
    out = subprocess.run(["dpkg-query", "-S", *paths], capture_output=True, text=True, check=False)
    owners = {}
    for line in out.stdout.splitlines():
        package, _, path = line.partition(": ")
        owners[path.strip()] = package.split(":")[0].strip()
    return owners


def package_version(package):
    out = subprocess.run(["dpkg-query", "-W", "-f=${Version}", package], capture_output=True, text=True,
                         check=False)
    return out.stdout.strip() if out.returncode == 0 else None


class MissingSource(Exception):
    """A package the texts come from is not installed."""


# ---- reading each kind of file --------------------------------------------------------------

_ROFF_NAMED = {
    "lq": "\u201c", "rq": "\u201d", "oq": "\u2018", "cq": "\u2019", "aq": "'", "dq": '"',
    "em": "\u2014", "en": "\u2013", "bu": "\u2022", "co": "\u00a9", "rg": "\u00ae", "tm": "\u2122",
    "hy": "-", "mi": "-", "pl": "+", "eq": "=", "ga": "`", "ti": "~", "ha": "^", "rs": "\\",
    "de": "\u00b0", "Fo": "\u00ab", "Fc": "\u00bb", "fo": "\u2039", "fc": "\u203a", "Bq": "\u201e",
    "bq": "\u201a", "ss": "\u00df", "-D": "\u00d0", "Sd": "\u00f0", "TP": "\u00de", "Tp": "\u00fe",
}
_ROFF_ESCAPE = re.compile(r"\\(\((..)|\[([^\]]*)\]|[fFsn*]\(..|[fFsn*]\[[^\]]*\]|[fFn*][^(\[]|s[+-]?\d+|"
                          r"[-e&~0|^c%:/,!{}acdrtuz ]|.)")
_ROFF_TEXT_MACROS = {"SH", "SS", "B", "I", "BI", "BR", "IB", "IR", "RB", "RI", "SM", "SB", "IP", "Nm", "Nd"}


def _roff_escape(match):
    named = match.group(2) or match.group(3)
    if named is not None:
        return _ROFF_NAMED.get(named, "")
    code = match.group(1)
    return {"-": "-", "e": "\\", "~": " ", " ": " "}.get(code, "")


def roff_text(source):
    """The running text of a manual page: macro lines dropped but for their text arguments."""
    lines = []
    for line in source.splitlines():
        if line.startswith((".\\\"", "'\\\"", '.\\"')):
            continue
        if line.startswith((".", "'")):
            parts = line[1:].split(None, 1)
            if not parts or parts[0] not in _ROFF_TEXT_MACROS or len(parts) < 2:
                continue
            line = parts[1].replace('"', "")
        lines.append(_ROFF_ESCAPE.sub(_roff_escape, line))
    return "\n".join(lines)


def man_files(lang):
    package = MAN_PACKAGES.get(lang, f"manpages-{lang}")
    listed = subprocess.run(["dpkg-query", "-L", package], capture_output=True, text=True, check=False)
    folder = f"{MAN / lang}/man" if lang else f"{MAN}/man"
    return sorted(Path(p) for p in listed.stdout.split() if p.endswith(".gz") and p.startswith(folder))


def read_man(path):
    try:
        return roff_text(gzip.decompress(path.read_bytes()).decode("utf-8"))
    except UnicodeDecodeError:
        return ""  # a page in a legacy set: its letters would be read wrongly


def read_dic(path):
    aff = path.with_suffix(".aff").read_bytes().decode("latin-1")
    encoding = re.search(r"^SET\s+(\S+)", aff, re.M)
    name = (encoding.group(1) if encoding else "UTF-8").replace("ISO8859", "ISO-8859").lower()
    words = []
    for line in path.read_bytes().decode(name, "replace").splitlines()[1:]:
        word = re.split(r"[/\t ]", line, maxsplit=1)[0]
        if word:
            words.append(word)
    return " ".join(words)


_XML_TEXT = re.compile(r">([^<>]+)</")
_XML_ENTITIES = {"&amp;": "&", "&lt;": "<", "&gt;": ">", "&quot;": '"', "&apos;": "'"}


def read_cldr(path):
    text = path.read_bytes().decode("utf-8")
    parts = [m.group(1) for m in _XML_TEXT.finditer(text)]
    joined = "\n".join(p.replace("|", " ") for p in parts if any(c.isalpha() for c in p))
    return re.sub(r"&\w+;", lambda m: _XML_ENTITIES.get(m.group(0), ""), joined)


def read_mo(path):
    data = path.read_bytes()
    order = "<" if struct.unpack("<I", data[:4])[0] == 0x950412DE else ">"
    count, _, translations = struct.unpack(order + "III", data[8:20])
    texts = []
    for i in range(count):
        length, offset = struct.unpack(order + "II", data[translations + 8 * i:translations + 8 * i + 8])
        text = data[offset:offset + length].decode("utf-8", "replace")
        if i == 0 and "Content-Type" in text:
            continue  # the catalogue's header
        texts.append(re.sub(r"%[-+ #0-9.]*[a-zA-Z]", "", text.replace("\0", "\n")))
    return "\n".join(texts)


def mo_files(lang):
    folder = LOCALE / lang / "LC_MESSAGES"
    return sorted(p for p in folder.glob("*.mo") if p.name.startswith("iso_") or p.name == "libc.mo")


# ---- sources to texts -----------------------------------------------------------------------

def source_files(kind, arg):
    if kind in ("man", "man-heldout"):
        files = man_files(arg)
        return [f for i, f in enumerate(files) if (i % 5 == 0) == (kind == "man-heldout")], read_man
    if kind == "dic":
        return [HUNSPELL / f"{arg}.dic"], read_dic
    if kind == "cldr":
        return [CLDR / "main" / f"{arg}.xml"], read_cldr
    if kind == "cldr-words":
        return [CLDR / "annotations" / f"{arg}.xml"], read_cldr
    if kind == "mo":
        return mo_files(arg), read_mo
    raise ValueError(kind)


class Reader:
    """Reads sources once and records what was read, for the pins."""

    def __init__(self):
        self.read = {}  # (package, path) -> bytes

    def text(self, sources, limit):
        parts, size = [], 0
        for kind, arg in sources:
            files, reader = source_files(kind, arg)
            missing = [f for f in files if not f.exists()]
            if not files or missing:
                where = missing[0] if missing else f"{kind} {arg or 'en'}"
                raise MissingSource(f"{where}: not installed (scripts/install-deps.sh installs the texts)")
            for path in files:
                if size >= limit:
                    break
                text = unicodedata.normalize("NFC", reader(path))
                self.read[str(path)] = path.stat().st_size
                parts.append(text)
                size += len(text)
        return "\n".join(parts)[:limit]

    def pins(self):
        """(package, version, files, bytes) of every file read, by package."""
        packages = {}
        owners = packages_of(sorted(self.read))
        for path, size in sorted(self.read.items()):
            package = owners.get(path, "?")
            files, total = packages.get(package, (0, 0))
            packages[package] = (files + 1, total + size)
        return [(p, package_version(p) or "?", n, b) for p, (n, b) in sorted(packages.items())]


_ENGLISH = re.compile(r"\b(the|and|of|to|is|for|with|this|that|are|be|by|if|or|from)\b", re.I)


def untranslated(line):
    """A line a translated manual page left in English: function words and no accented letter."""
    return not any(ord(c) > 0x7F and c.isalpha() for c in line) and len(_ENGLISH.findall(line)) >= 2


NON_LATIN = {"ru", "uk", "sr", "mk", "bg", "be", "kk", "el", "he", "ar", "fa", "ur", "th"}
_APOSTROPHE = re.compile(r"(?<=\w)'(?=\w)")


def typographic(text):
    """Every other ASCII apostrophe between letters as the typographic one: documents write
    both about as often, manual pages only the first."""
    flip = iter(range(len(text)))
    return _APOSTROPHE.sub(lambda m: "\u2019" if next(flip) % 2 else "'", text)


def training_text(reader, lang):
    text = reader.text(LANGUAGES[lang][0], TRAINING_CHARS)
    if lang != "en":
        # English left in the pages would teach the language's letters English company.
        text = "\n".join(line for line in text.splitlines() if not untranslated(line))
    return text if lang in NON_LATIN else typographic(text)


def heldout_text(reader, lang):
    sources = LANGUAGES[lang][1] if lang in LANGUAGES else CJK_HELDOUT[lang]
    return reader.text(sources, HELDOUT_CHARS)
