"""Reads the product's identity from the installer's string table (resources/strings.rc) for the
build steps that must agree with it: the version information and the signature's description."""

import re

CHINESE = 4  # primary language ids of the table's two blocks
ENGLISH = 9
LANGUAGES = (CHINESE, ENGLISH)

NAME = 121  # what the product's window and shortcuts call it
VERSION = 124
PUBLISHER = 125
LICENCE_URL = 128


class StringTableError(Exception):
    pass


_LANGUAGE = re.compile(r"LANGUAGE\s+(\d+)\s*,\s*(\d+)")
_ENTRY = re.compile(r'(\d+)\s+"((?:[^"\\]|\\.|"")*)"\s*(?://.*)?')
_ESCAPES = {"\\": "\\", '"': '"', "n": "\n", "t": "\t", "r": "\r", "a": "\a"}


def _decode(literal, where):
    text, i = [], 0
    while i < len(literal):
        c = literal[i]
        if c == '"':  # the only quote a literal can hold here is a doubled one
            text.append('"')
            i += 2
        elif c == "\\":
            escaped = literal[i + 1]
            if escaped not in _ESCAPES:
                raise StringTableError(f"{where}: the escape \\{escaped} is not supported here")
            text.append(_ESCAPES[escaped])
            i += 2
        else:
            text.append(c)
            i += 1
    return "".join(text)


def read(path):
    """Returns {primary language: {id: text}} for every STRINGTABLE of the script."""
    tables, language, inside = {}, None, False
    with open(path, encoding="utf-8") as script:
        for number, line in enumerate(script, 1):
            where = f"{path}:{number}"
            stripped = line.strip()
            if not stripped or stripped.startswith("//"):
                continue
            if match := _LANGUAGE.fullmatch(stripped):
                language = int(match.group(1))
            elif stripped == "STRINGTABLE":
                if language is None:
                    raise StringTableError(f"{where}: a string table without a LANGUAGE")
                tables.setdefault(language, {})
            elif stripped == "BEGIN" and language in tables and not inside:
                inside = True
            elif stripped == "END" and inside:
                inside = False
            elif inside:
                match = _ENTRY.fullmatch(stripped)
                if not match:
                    raise StringTableError(f"{where}: not a string-table entry: {stripped}")
                tables[language][int(match.group(1))] = _decode(match.group(2), where)
    return tables


def entry(tables, language, string_id, role):
    """The text of one id, which must be there and not be empty."""
    text = tables.get(language, {}).get(string_id, "")
    if not text:
        raise StringTableError(
            f"string {string_id} ({role}) is missing in language {language} of the string table")
    return text


def four_numbers(version):
    """The four 16-bit numbers of a version such as "2.0.0" (missing parts are 0)."""
    parts = version.split(".")
    if not 1 <= len(parts) <= 4 or not all(
            re.fullmatch(r"[0-9]{1,5}", part) and int(part) <= 65535 for part in parts):
        raise StringTableError(
            f'the product version (string {VERSION}) "{version}" cannot be turned into four '
            "numbers: write one to four numbers from 0 to 65535 separated by dots, such as 2.0.0")
    return tuple(int(part) for part in parts) + (0,) * (4 - len(parts))
