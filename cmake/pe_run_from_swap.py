#!/usr/bin/env python3
"""Marks a PE image to be copied to the page file when it runs from removable or network media.

GNU ld has no option for the two COFF characteristics, so the build sets them after the link:
    pe_run_from_swap.py Ostrael.exe
The header's checksum is recomputed when the linker wrote one; the same input gives the same
output, and a second run changes nothing.
"""
import os
import struct
import sys

IMAGE_FILE_REMOVABLE_RUN_FROM_SWAP = 0x0400
IMAGE_FILE_NET_RUN_FROM_SWAP = 0x0800


def pe_checksum(image: bytes, checksum_at: int) -> int:
    """The sum the loader checks: 16-bit words with end-around carry, the field itself as zero,
    plus the file's length."""
    data = bytearray(image)
    data[checksum_at:checksum_at + 4] = b"\0\0\0\0"
    if len(data) % 2:
        data.append(0)
    total = sum(struct.unpack_from("<%dH" % (len(data) // 2), data))
    while total >> 16:
        total = (total & 0xFFFF) + (total >> 16)
    return (total + len(image)) & 0xFFFFFFFF


def mark(image: bytes) -> bytes:
    if image[:2] != b"MZ" or len(image) < 0x40:
        raise ValueError("not an MZ image")
    pe = struct.unpack_from("<I", image, 0x3C)[0]
    if image[pe:pe + 4] != b"PE\0\0" or pe + 24 + 68 > len(image):
        raise ValueError("no PE header")
    characteristics_at = pe + 4 + 18
    checksum_at = pe + 24 + 64  # same place in PE32 and PE32+ optional headers
    out = bytearray(image)
    flags = struct.unpack_from("<H", out, characteristics_at)[0]
    struct.pack_into("<H", out, characteristics_at,
                     flags | IMAGE_FILE_REMOVABLE_RUN_FROM_SWAP | IMAGE_FILE_NET_RUN_FROM_SWAP)
    if struct.unpack_from("<I", out, checksum_at)[0] != 0:
        struct.pack_into("<I", out, checksum_at, pe_checksum(bytes(out), checksum_at))
    return bytes(out)


def main() -> int:
    if len(sys.argv) != 2:
        print("usage: pe_run_from_swap.py IMAGE", file=sys.stderr)
        return 2
    path = sys.argv[1]
    with open(path, "rb") as f:
        image = f.read()
    try:
        marked = mark(image)
    except ValueError as e:
        print("pe_run_from_swap.py: %s: %s" % (path, e), file=sys.stderr)
        return 1
    if marked != image:
        # Written beside and renamed over, so a failed write leaves the linker's file whole.
        tmp = path + ".swaprun"
        with open(tmp, "wb") as f:
            f.write(marked)
        os.chmod(tmp, os.stat(path).st_mode & 0o7777)
        os.replace(tmp, path)
    return 0


if __name__ == "__main__":
    sys.exit(main())
