"""Writes a program's VERSIONINFO resource script from the product's identity in the string table,
so that a file's Properties always say what its window says.

    version_info.py STRINGS_RC OUTPUT_RC installer|uninstaller|product FILE_NAME
"""

import os
import sys

import string_table as st

# What each kind of file is, in each language of the table.
DESCRIPTIONS = {
    "installer": {st.CHINESE: "{name}安装程序", st.ENGLISH: "{name} Setup"},
    "uninstaller": {st.CHINESE: "{name}卸载程序", st.ENGLISH: "{name} Uninstaller"},
    "product": {st.CHINESE: "{name}", st.ENGLISH: "{name}"},
}
COPYRIGHT = {st.CHINESE: "版权所有 © {publisher}", st.ENGLISH: "Copyright © {publisher}"}
# Each block's name and the Translation entry: the language as Windows names it, UTF-16 (1200).
LANGUAGE_IDS = {st.CHINESE: 0x0804, st.ENGLISH: 0x0409}
CODE_PAGE = 1200


def rc_literal(text):
    return '"' + text.replace("\\", "\\\\").replace('"', '""') + '"'


def script(tables, kind, file_name):
    numbers = None
    blocks = []
    for language in st.LANGUAGES:
        name = st.entry(tables, language, st.NAME, "product name")
        version = st.entry(tables, language, st.VERSION, "product version")
        publisher = st.entry(tables, language, st.PUBLISHER, "publisher")
        if numbers is None:
            numbers = st.four_numbers(version)
        elif st.four_numbers(version) != numbers:
            raise st.StringTableError(
                f"the product version (string {st.VERSION}) differs between the two languages")
        values = [
            ("CompanyName", publisher),
            ("FileDescription", DESCRIPTIONS[kind][language].format(name=name)),
            ("FileVersion", version),
            ("InternalName", os.path.splitext(file_name)[0]),
            ("LegalCopyright", COPYRIGHT[language].format(publisher=publisher)),
            ("OriginalFilename", file_name),
            ("ProductName", name),
            ("ProductVersion", version),
        ]
        lines = [f"        BLOCK \"{LANGUAGE_IDS[language]:04x}{CODE_PAGE:04x}\"", "        BEGIN"]
        lines += [f'            VALUE "{key}", {rc_literal(value)}' for key, value in values]
        lines.append("        END")
        blocks.append("\n".join(lines))

    dotted = ",".join(str(n) for n in numbers)
    translation = ", ".join(f"0x{LANGUAGE_IDS[language]:04x}, {CODE_PAGE}"
                            for language in st.LANGUAGES)
    return f"""// Version information of {file_name}, generated from the string table; edit that instead.
LANGUAGE 0, 0
1 VERSIONINFO
FILEVERSION {dotted}
PRODUCTVERSION {dotted}
FILEFLAGSMASK VS_FFI_FILEFLAGSMASK
FILEFLAGS 0
FILEOS VOS_NT_WINDOWS32
FILETYPE VFT_APP
FILESUBTYPE VFT2_UNKNOWN
BEGIN
    BLOCK "StringFileInfo"
    BEGIN
{chr(10).join(blocks)}
    END
    BLOCK "VarFileInfo"
    BEGIN
        VALUE "Translation", {translation}
    END
END
"""


def main(argv):
    if len(argv) != 5 or argv[3] not in DESCRIPTIONS:
        print("usage: " + __doc__.strip().splitlines()[-1].strip(), file=sys.stderr)
        return 2
    strings_rc, output, kind, file_name = argv[1:]
    try:
        text = script(st.read(strings_rc), kind, file_name)
    except (st.StringTableError, OSError, UnicodeDecodeError) as error:
        print(f"{strings_rc}: {error}", file=sys.stderr)
        if os.path.exists(output):
            os.remove(output)
        return 1
    os.makedirs(os.path.dirname(os.path.abspath(output)), exist_ok=True)
    with open(output, "w", encoding="utf-8", newline="\n") as out:
        out.write(text)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
