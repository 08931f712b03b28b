#!/usr/bin/env python3
"""Prints what a Windows shortcut (.lnk) file points to, for the end-to-end tests.

usage: lnk.py FILE [FIELD]
Prints one FIELD=VALUE line for each of: target, arguments, workdir, icon, iconindex,
description, relpath, showcmd (missing strings print as empty). With FIELD only that value is
printed. Exit code 2 with a message on stderr when FILE is not a readable shortcut.
"""
import struct
import sys

HEADER_SIZE = 0x4C
HAS_ID_LIST = 0x01
HAS_LINK_INFO = 0x02
HAS_NAME = 0x04
HAS_RELATIVE_PATH = 0x08
HAS_WORKING_DIR = 0x10
HAS_ARGUMENTS = 0x20
HAS_ICON_LOCATION = 0x40
IS_UNICODE = 0x80

FIELDS = ("target", "arguments", "workdir", "icon", "iconindex", "description", "relpath",
          "showcmd")


class LnkError(Exception):
    pass


def u16(data, pos):
    if pos + 2 > len(data):
        raise LnkError("truncated at offset %#x" % pos)
    return struct.unpack_from("<H", data, pos)[0]


def u32(data, pos):
    if pos + 4 > len(data):
        raise LnkError("truncated at offset %#x" % pos)
    return struct.unpack_from("<I", data, pos)[0]


def c_string(data, pos, wide=False):
    """A NUL-terminated ANSI (code page 1252) or UTF-16 string starting at pos."""
    if pos >= len(data):
        raise LnkError("string offset %#x past the end" % pos)
    if wide:
        end = pos
        while end + 1 < len(data) and data[end:end + 2] != b"\0\0":
            end += 2
        return data[pos:end].decode("utf-16-le", "replace")
    end = data.find(b"\0", pos)
    if end < 0:
        end = len(data)
    return data[pos:end].decode("cp1252", "replace")


def parse(data):
    if len(data) < HEADER_SIZE or u32(data, 0) != HEADER_SIZE:
        raise LnkError("no shortcut header")
    flags = u32(data, 0x14)
    out = dict.fromkeys(FIELDS, "")
    out["iconindex"] = str(struct.unpack_from("<i", data, 0x38)[0])
    out["showcmd"] = str(u32(data, 0x3C))
    pos = HEADER_SIZE
    if flags & HAS_ID_LIST:
        pos += 2 + u16(data, pos)
    if flags & HAS_LINK_INFO:
        info = pos
        size = u32(data, info)
        header = u32(data, info + 4)
        info_flags = u32(data, info + 8)
        if info_flags & 1:  # VolumeIDAndLocalBasePath
            if header >= 0x24 and u32(data, info + 28):
                base = c_string(data, info + u32(data, info + 28), wide=True)
            else:
                base = c_string(data, info + u32(data, info + 16))
            suffix_offset = u32(data, info + 24)
            suffix = c_string(data, info + suffix_offset) if suffix_offset else ""
            out["target"] = base + suffix
        pos += size
    # Wine stores the count with the terminating NUL included; Windows does not.
    for flag, name in ((HAS_NAME, "description"), (HAS_RELATIVE_PATH, "relpath"),
                       (HAS_WORKING_DIR, "workdir"), (HAS_ARGUMENTS, "arguments"),
                       (HAS_ICON_LOCATION, "icon")):
        if not flags & flag:
            continue
        count = u16(data, pos)
        pos += 2
        size = count * 2 if flags & IS_UNICODE else count
        if pos + size > len(data):
            raise LnkError("string %s runs past the end" % name)
        raw = data[pos:pos + size]
        pos += size
        text = raw.decode("utf-16-le" if flags & IS_UNICODE else "cp1252", "replace")
        out[name] = text.rstrip("\0")
    return out


def main(argv):
    if len(argv) not in (2, 3) or (len(argv) == 3 and argv[2] not in FIELDS):
        sys.stderr.write(__doc__)
        return 2
    try:
        with open(argv[1], "rb") as f:
            fields = parse(f.read())
    except (OSError, LnkError) as e:
        sys.stderr.write("lnk.py: %s: %s\n" % (argv[1], e))
        return 2
    if len(argv) == 3:
        print(fields[argv[2]])
    else:
        for name in FIELDS:
            print("%s=%s" % (name, fields[name]))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
