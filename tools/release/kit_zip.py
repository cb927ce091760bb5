#!/usr/bin/env python3
"""Writes the release zip from a kit folder, the same bytes from the same files on any machine.

    kit_zip.py KIT_DIR OUT.zip

Every entry is named TOP/path with TOP the kit folder's name, in byte order of the path, with the
time SOURCE_DATE_EPOCH (UTC), deflated at level 9 and with no extra fields. Of a file's mode only
its owner's execute bit counts (make-pen sets it on the Linux program and its starter script): the
entry gets 0755 with it and 0644 without. Nothing else of the file system (times, owners, umask,
order of listing) and nothing of the builder's locale or time zone goes into it. Directories get
no entries of their own: unzip tools make them from the paths.
"""
import os
import sys
import time
import zipfile


def main():
    if len(sys.argv) != 3:
        sys.exit("usage: kit_zip.py KIT_DIR OUT.zip")
    kit, out = sys.argv[1], sys.argv[2]
    epoch = int(os.environ["SOURCE_DATE_EPOCH"])
    # A zip's time is a DOS date: no earlier than 1980, in steps of two seconds.
    stamp = time.gmtime(max(epoch, 315532800))[:6]
    top = os.path.basename(os.path.normpath(kit))

    paths = []
    for root, dirs, files in os.walk(kit):
        for name in files:
            full = os.path.join(root, name)
            paths.append(os.path.relpath(full, kit).replace(os.sep, "/"))
    paths.sort(key=lambda p: p.encode("utf-8"))

    with zipfile.ZipFile(out + ".part", "w") as archive:
        for path in paths:
            info = zipfile.ZipInfo(f"{top}/{path}", date_time=stamp)
            info.create_system = 3  # Unix, so that unzip honours the modes below
            mode = 0o755 if os.stat(os.path.join(kit, path)).st_mode & 0o100 else 0o644
            info.external_attr = (0o100000 | mode) << 16
            info.compress_type = zipfile.ZIP_DEFLATED
            with open(os.path.join(kit, path), "rb") as f:
                archive.writestr(info, f.read(), compresslevel=9)
    os.replace(out + ".part", out)


if __name__ == "__main__":
    main()
