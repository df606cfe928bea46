"""Builds patch files byte by byte for the applier's end-to-end cases.

Everything here follows the container layout directly: big-endian fields,
a 12-byte header ("VLM3", CRC total over offset 8 to the end, file count),
then records of patchsize, filesize, CRCold, CRCnew, type word, blocks and
the block stream. zlib's crc32 is the standard CRC-32 the format uses.
"""
import struct
import zlib


def crc(data):
    return zlib.crc32(data) & 0xFFFFFFFF


def be(value, width):
    return value.to_bytes(width, "big")


def record(old, new, mode, stream, blocks, old_reloc=0, new_reloc=0, crc_new=None,
           filesize=None, crc_old=None, patchsize=None):
    """One patch record turning `old` into `new` with a hand-written stream."""
    fields = struct.pack(
        ">IiIIII",
        patchsize if patchsize is not None else 20 + len(stream),
        filesize if filesize is not None else len(old),
        crc_old if crc_old is not None else crc(old),
        crc_new if crc_new is not None else crc(new),
        mode | old_reloc << 16 | new_reloc << 18,
        blocks,
    )
    return fields + stream


def patch_file(records, count=None, magic=b"VLM3", crc_total=None):
    body = be(len(records) if count is None else count, 4) + b"".join(records)
    total = crc(body) if crc_total is None else crc_total
    return magic + be(total, 4) + body


def write(name, data):
    with open(name, "wb") as f:
        f.write(data)


def sample_old(size=300):
    """Bytes whose value tells their position, so a wrong copy shows."""
    return bytes((i * 7 + 3) % 251 for i in range(size))
