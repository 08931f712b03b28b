#!/usr/bin/env python3
"""Reads registry values from a wine prefix's saved registry files, for the end-to-end tests.

usage: wine_reg.py PREFIX KEY [VALUE]
KEY starts with HKLM\\ (read from system.reg) or HKCU\\ (user.reg), e.g.
HKLM\\Software\\Microsoft\\Windows\\CurrentVersion; letter case does not matter. The files are
written when the prefix's wineserver ends (wineserver -w), so read them after that.
With VALUE ("@" for the default value): prints its data: text for REG_SZ and REG_EXPAND_SZ,
one line per string for REG_MULTI_SZ, decimal for REG_DWORD, hex bytes otherwise.
Without VALUE: prints NAME=TYPE:DATA for every value of the key.
Exit code 1 when the key is missing, 2 when the value is missing, 3 on a usage or file error.
"""
import sys

ROOTS = {"HKLM": "system.reg", "HKEY_LOCAL_MACHINE": "system.reg",
         "HKCU": "user.reg", "HKEY_CURRENT_USER": "user.reg"}
SIMPLE_ESCAPES = {"a": "\a", "b": "\b", "e": "\x1b", "f": "\f", "n": "\n", "r": "\r",
                  "t": "\t", "v": "\v"}
HEX_DIGITS = "0123456789abcdefABCDEF"
TYPE_NAMES = {1: "sz", 2: "expand_sz", 3: "binary", 4: "dword", 7: "multi_sz"}


def unescape(text, pos, end_char):
    """Decodes a string written by wine from text[pos] up to an unescaped end_char.
    Returns (string, position after end_char)."""
    out = []
    while pos < len(text):
        c = text[pos]
        if c == end_char:
            return "".join(out), pos + 1
        if c != "\\" or pos + 1 >= len(text):
            out.append(c)
            pos += 1
            continue
        n = text[pos + 1]
        pos += 2
        if n == "x":
            digits = ""
            while len(digits) < 4 and pos < len(text) and text[pos] in HEX_DIGITS:
                digits += text[pos]
                pos += 1
            out.append(chr(int(digits, 16)) if digits else "x")
        elif n in "01234567":
            digits = n
            while len(digits) < 3 and pos < len(text) and text[pos] in "01234567":
                digits += text[pos]
                pos += 1
            out.append(chr(int(digits, 8)))
        else:
            out.append(SIMPLE_ESCAPES.get(n, n))
    raise ValueError("unterminated string")


def read_sections(path):
    """Yields (key name, [lines of values]) with hex continuation lines joined."""
    with open(path, encoding="latin-1") as f:
        lines = f.read().split("\n")
    key, values, pending = None, [], ""
    for line in lines:
        if pending:
            line = pending + line.strip()
            pending = ""
        if line.endswith("\\") and "=hex" in line:
            pending = line[:-1]
            continue
        if line.startswith("["):
            if key is not None:
                yield key, values
            key, _ = unescape(line, 1, "]")
            values = []
        elif key is not None and (line.startswith('"') or line.startswith("@=")):
            values.append(line)
    if key is not None:
        yield key, values


def decode_value(line):
    """Returns (name, type number, data) of one value line."""
    if line.startswith("@="):
        name, pos = "@", 2
    else:
        name, pos = unescape(line, 1, '"')
        if line[pos:pos + 1] != "=":
            raise ValueError("bad value line: " + line)
        pos += 1
    rest = line[pos:]
    if rest.startswith('"'):
        return name, 1, unescape(rest, 1, '"')[0]
    if rest.startswith("str("):
        close = rest.index("):")
        kind = int(rest[4:close], 16)
        return name, kind, unescape(rest, close + 3, '"')[0]
    if rest.startswith("dword:"):
        return name, 4, int(rest[6:14], 16)
    if rest.startswith("hex"):
        kind = 3
        if rest.startswith("hex("):
            close = rest.index("):")
            kind = int(rest[4:close], 16)
            body = rest[close + 2:]
        else:
            body = rest[4:]
        data = bytes(int(b, 16) for b in body.replace(" ", "").split(",") if b)
        if kind in (1, 2, 7) and len(data) % 2 == 0:
            return name, kind, data.decode("utf-16-le", "replace")
        return name, kind, data
    raise ValueError("unknown value data: " + line)


def shown(kind, data):
    if isinstance(data, bytes):
        return ",".join("%02x" % b for b in data)
    if isinstance(data, int):
        return str(data)
    if kind == 7:
        return "\n".join(s for s in data.split("\0") if s)
    return data.rstrip("\0") if kind in (1, 2) else data


def main(argv):
    if len(argv) not in (3, 4):
        sys.stderr.write(__doc__)
        return 3
    prefix, key = argv[1], argv[2].replace("/", "\\")
    root, _, sub = key.partition("\\")
    if root.upper() not in ROOTS:
        sys.stderr.write("wine_reg.py: the key must start with HKLM\\ or HKCU\\\n")
        return 3
    path = prefix.rstrip("/") + "/" + ROOTS[root.upper()]
    try:
        for name, lines in read_sections(path):
            if name.lower() != sub.rstrip("\\").lower():
                continue
            values = [decode_value(line) for line in lines]
            if len(argv) == 3:
                for vname, kind, data in values:
                    text = shown(kind, data).replace("\n", "\\n")
                    print("%s=%s:%s" % (vname, TYPE_NAMES.get(kind, "hex(%x)" % kind), text))
                return 0
            for vname, kind, data in values:
                if vname.lower() == argv[3].lower():
                    print(shown(kind, data))
                    return 0
            return 2
    except (OSError, ValueError) as e:
        sys.stderr.write("wine_reg.py: %s: %s\n" % (path, e))
        return 3
    return 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
