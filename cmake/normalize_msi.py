#!/usr/bin/env python3
"""Rewrites in place the bytes of an MSI package that wixl takes from the
clock, from chance or from the files' own times, so that one source gives one
package:

  - the summary information's creation and last-saved times become
    SOURCE_DATE_EPOCH (0 when unset);
  - its revision number, the package code, becomes a UUID named by the SHA-256
    of every other stream: a package of other contents gets another code;
  - each file of an embedded cabinet carries the time SOURCE_DATE_EPOCH.

Every stream keeps its size, so the compound file's layout stays as wixl made
it.  Run it before the package is signed.

    normalize_msi.py PACKAGE.msi...
"""
import hashlib
import os
import struct
import sys
import time
import uuid

SUMMARY_INFORMATION = "\x05SummaryInformation"
PID_REVNUMBER = 9
PID_CREATE_DTM = 12
PID_LASTSAVE_DTM = 13
VT_LPSTR = 30
VT_FILETIME = 64
END_OF_CHAIN = 0xFFFFFFFE
# Package codes named by their contents live in a namespace of their own.
PACKAGE_CODE_NAMESPACE = uuid.UUID("5f0a3c1e-8d2b-4e7a-9c61-2b7d4e9f0a13")


class CompoundFile:
    """The streams of a compound file (the MSI container), read and rewritten
    in place: each stream is the list of (offset, length) pieces of the file
    that hold it."""

    def __init__(self, data):
        self.data = data
        if data[:8] != b"\xd0\xcf\x11\xe0\xa1\xb1\x1a\xe1":
            raise ValueError("not a compound file")
        self.sector = 1 << struct.unpack_from("<H", data, 0x1E)[0]
        self.mini_sector = 1 << struct.unpack_from("<H", data, 0x20)[0]
        (first_directory,) = struct.unpack_from("<I", data, 0x30)
        (self.mini_cutoff, first_mini_fat, mini_fat_sectors, first_difat,
         difat_sectors) = struct.unpack_from("<5I", data, 0x38)
        fat_sectors = [s for s in struct.unpack_from("<109I", data, 0x4C) if s < 0xFFFFFFFA]
        difat = first_difat
        for _ in range(difat_sectors):
            entries = struct.unpack_from(f"<{self.sector // 4}I", data, self.offset(difat))
            fat_sectors += [s for s in entries[:-1] if s < 0xFFFFFFFA]
            difat = entries[-1]
        self.fat = []
        for sector in fat_sectors:
            self.fat += struct.unpack_from(f"<{self.sector // 4}I", data, self.offset(sector))
        self.mini_fat = []
        for sector in self.chain(first_mini_fat) if mini_fat_sectors else []:
            self.mini_fat += struct.unpack_from(f"<{self.sector // 4}I", data, self.offset(sector))
        directory = b"".join(data[self.offset(s):self.offset(s) + self.sector]
                             for s in self.chain(first_directory))
        self.streams = {}
        root_pieces = []
        for index in range(len(directory) // 128):
            entry = directory[index * 128:(index + 1) * 128]
            name_length, kind = struct.unpack_from("<HB", entry, 64)
            start, size = struct.unpack_from("<IQ", entry, 116)
            name = entry[:max(name_length - 2, 0)].decode("utf-16-le")
            if kind == 5:  # the root: its stream is the mini stream
                root_pieces = [(self.offset(s), self.sector) for s in self.chain(start)]
            elif kind == 2:
                self.streams[name] = (start, size)
        self.mini_stream = root_pieces
        self.streams = {name: self.pieces(start, size) for name, (start, size) in self.streams.items()}

    def offset(self, sector):
        return (sector + 1) * self.sector

    def chain(self, start, table=None):
        table = self.fat if table is None else table
        sectors = []
        while start != END_OF_CHAIN:
            sectors.append(start)
            start = table[start]
        return sectors

    def pieces(self, start, size):
        if size < self.mini_cutoff:
            per = self.sector // self.mini_sector
            found = []
            for mini in self.chain(start, self.mini_fat) if size else []:
                base, _ = self.mini_stream[mini // per]
                found.append((base + (mini % per) * self.mini_sector, self.mini_sector))
        else:
            found = [(self.offset(s), self.sector) for s in self.chain(start)]
        trimmed, left = [], size
        for offset, length in found:
            trimmed.append((offset, min(length, left)))
            left -= trimmed[-1][1]
        return trimmed

    def read(self, name):
        return b"".join(self.data[o:o + n] for o, n in self.streams[name])

    def write(self, name, value):
        if len(value) != len(self.read(name)):
            raise ValueError(f"stream {name!r} would change its size")
        at = 0
        for offset, length in self.streams[name]:
            self.data[offset:offset + length] = value[at:at + length]
            at += length


def dos_time(seconds):
    t = time.gmtime(max(seconds, 315532800))  # DOS times start in 1980
    return ((t.tm_year - 1980) << 9 | t.tm_mon << 5 | t.tm_mday,
            t.tm_hour << 11 | t.tm_min << 5 | t.tm_sec // 2)


def normalize_cabinet(cabinet, seconds):
    """Each file's date and time in a cabinet (CFFILE entries)."""
    data = bytearray(cabinet)
    (files_offset,) = struct.unpack_from("<I", data, 16)
    (files,) = struct.unpack_from("<H", data, 28)
    date, clock = dos_time(seconds)
    at = files_offset
    for _ in range(files):
        struct.pack_into("<HH", data, at + 10, date, clock)
        at = data.index(b"\0", at + 16) + 1
    return bytes(data)


def normalize_summary(summary, seconds, package_code):
    """The times and the revision number of the summary information."""
    data = bytearray(summary)
    (section,) = struct.unpack_from("<I", data, 44)
    _, count = struct.unpack_from("<II", data, section)
    filetime = (seconds + 11644473600) * 10_000_000
    for index in range(count):
        pid, offset = struct.unpack_from("<II", data, section + 8 + index * 8)
        at = section + offset
        (kind,) = struct.unpack_from("<I", data, at)
        if pid in (PID_CREATE_DTM, PID_LASTSAVE_DTM) and kind == VT_FILETIME:
            struct.pack_into("<Q", data, at + 4, filetime)
        elif pid == PID_REVNUMBER and kind == VT_LPSTR:
            (length,) = struct.unpack_from("<I", data, at + 4)
            code = ("{" + str(package_code).upper() + "}").encode("ascii") + b"\0"
            if length != len(code):
                raise ValueError("the revision number is not a braced UUID")
            data[at + 8:at + 8 + length] = code
    return bytes(data)


def normalize(path, seconds):
    with open(path, "rb") as file:
        package = CompoundFile(bytearray(file.read()))
    for name in package.streams:
        if package.read(name)[:4] == b"MSCF":
            package.write(name, normalize_cabinet(package.read(name), seconds))
    contents = hashlib.sha256()
    for name in sorted(package.streams):
        if name != SUMMARY_INFORMATION:
            stream = package.read(name)
            contents.update(struct.pack("<I", len(name)) + name.encode("utf-8"))
            contents.update(struct.pack("<Q", len(stream)) + stream)
    package_code = uuid.uuid5(PACKAGE_CODE_NAMESPACE, contents.hexdigest())
    package.write(SUMMARY_INFORMATION,
                  normalize_summary(package.read(SUMMARY_INFORMATION), seconds, package_code))
    with open(path, "wb") as file:
        file.write(package.data)


def main(paths):
    seconds = int(os.environ.get("SOURCE_DATE_EPOCH") or 0)
    for path in paths:
        try:
            normalize(path, seconds)
        except (ValueError, KeyError, IndexError, struct.error) as failure:
            sys.exit(f"normalize_msi.py: {path}: {failure}")


if __name__ == "__main__":
    main(sys.argv[1:])
