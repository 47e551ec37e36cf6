#!/usr/bin/env python3
"""Rewrites a .tar.gz or .zip archive in place so that its bytes follow from
its members' names, modes and contents alone, whoever packs it, wherever, in
whatever order the file system lists a folder:

  - members in the order of their names;
  - each member's time SOURCE_DATE_EPOCH (when set; else the time it had);
  - owner root (0/0), no access or change times, no other extra fields;
  - gzip with no file name and no time in its header.

    normalize_archive.py ARCHIVE...
"""
import gzip
import io
import os
import struct
import sys
import tarfile
import time
import zipfile


def fixed_time():
    value = os.environ.get("SOURCE_DATE_EPOCH", "")
    return int(value) if value else None


def normalize_tar_gz(path, when):
    with tarfile.open(path, "r:gz") as source:
        members = [(member, source.extractfile(member).read() if member.isfile() else None)
                   for member in source.getmembers()]
    members.sort(key=lambda pair: pair[0].name)
    packed = io.BytesIO()
    with tarfile.open(fileobj=packed, mode="w", format=tarfile.PAX_FORMAT) as target:
        for member, data in members:
            member.mtime = member.mtime if when is None else when
            member.uid = member.gid = 0
            member.uname = member.gname = "root"
            member.pax_headers = {}
            target.addfile(member, io.BytesIO(data) if data is not None else None)
    with open(path, "wb") as file:
        with gzip.GzipFile(filename="", mode="wb", fileobj=file, compresslevel=9, mtime=0) as zipped:
            zipped.write(packed.getvalue())


def normalize_zip(path, when):
    with zipfile.ZipFile(path) as source:
        members = [(info, source.read(info)) for info in source.infolist()]
    members.sort(key=lambda pair: pair[0].filename)
    packed = io.BytesIO()
    with zipfile.ZipFile(packed, "w") as target:
        for info, data in members:
            seconds = int(time.mktime(info.date_time + (0, 0, -1))) if when is None else when
            member = zipfile.ZipInfo(info.filename, date_time=time.gmtime(seconds)[:6])
            member.create_system = 3  # Unix: the mode below is read
            member.external_attr = info.external_attr
            member.compress_type = zipfile.ZIP_DEFLATED
            # The modification time in UTC ("UT", flag 1), as unzip and Info-ZIP read it.
            member.extra = struct.pack("<2sHBI", b"UT", 5, 1, seconds)
            target.writestr(member, data, compresslevel=9)
    with open(path, "wb") as file:
        file.write(packed.getvalue())


def main(paths):
    when = fixed_time()
    for path in paths:
        if path.endswith(".tar.gz"):
            normalize_tar_gz(path, when)
        elif path.endswith(".zip"):
            normalize_zip(path, when)
        else:
            sys.exit(f"normalize_archive.py: neither .tar.gz nor .zip: {path}")


if __name__ == "__main__":
    main(sys.argv[1:])
