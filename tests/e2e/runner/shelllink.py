"""Reads the target path and the working folder out of a shell link (.lnk):
the header, the optional item list, the link information with the local path,
then the counted strings (MS-SHLLINK)."""
import struct

HEADER_SIZE = 0x4C
HAS_ID_LIST, HAS_LINK_INFO, IS_UNICODE = 0x1, 0x2, 0x80
# Counted strings in their order, each present when its flag is set.
STRINGS = [("name", 0x4), ("relative_path", 0x8), ("working_folder", 0x10),
           ("arguments", 0x20), ("icon", 0x40)]


class LinkError(Exception):
    pass


def _c_string(data, at, wide):
    if wide:
        end = at
        while end + 1 < len(data) and data[end:end + 2] != b"\0\0":
            end += 2
        return data[at:end].decode("utf-16-le")
    end = data.find(b"\0", at)
    if end < 0:
        raise LinkError("a path in the link information is not terminated")
    return data[at:end]


def _link_info(data, at):
    """The local path: wide when the link has that form, else its ANSI bytes."""
    size, header, _flags, _volume, local, _net, suffix = struct.unpack_from("<7I", data, at)
    if at + size > len(data) or local == 0:
        return "", at + size
    if header >= 0x24:
        local_w, suffix_w = struct.unpack_from("<2I", data, at + 0x1C)
        if local_w:
            return (_c_string(data, at + local_w, True)
                    + (_c_string(data, at + suffix_w, True) if suffix_w else "")), at + size
    return _c_string(data, at + local, False) + _c_string(data, at + suffix, False), at + size


def read_link(data, ansi="ascii"):
    """{"target": local path or "", "target_ansi": the path's bytes in the ANSI
    code page when the link holds only that form (else None), "working_folder":
    ... or ""}. ansi: Python's codec of the ANSI code page the link was written
    in; bytes it cannot read show as replacements."""
    try:
        if len(data) < HEADER_SIZE or struct.unpack_from("<I", data, 0)[0] != HEADER_SIZE:
            raise LinkError("not a shell link")
        flags = struct.unpack_from("<I", data, 20)[0]
        at = HEADER_SIZE
        if flags & HAS_ID_LIST:
            at += 2 + struct.unpack_from("<H", data, at)[0]
        target, target_ansi = "", None
        if flags & HAS_LINK_INFO:
            target, at = _link_info(data, at)
            if isinstance(target, bytes):
                target_ansi, target = target, target.decode(ansi, "replace")
        out = {"target": target, "target_ansi": target_ansi, "working_folder": ""}
        wide = bool(flags & IS_UNICODE)
        for name, bit in STRINGS:
            if flags & bit:
                count = struct.unpack_from("<H", data, at)[0]
                size = count * (2 if wide else 1)
                raw = data[at + 2:at + 2 + size]
                if len(raw) != size:
                    raise LinkError("a string runs past the end")
                # Wine counts the terminating NUL too.
                out[name] = raw.decode("utf-16-le" if wide else "ascii", "replace").rstrip("\0")
                at += 2 + size
        return out
    except struct.error as e:
        raise LinkError(f"cut short ({e})") from e
