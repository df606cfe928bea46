"""Small tools on AmigaOS hunk executables for the optimizer's cases.

  hunktool.py result FILE              the relocation walk's result (0, 1, 2)
  hunktool.py transform IN OUT         offsets -> differences, written to OUT
  hunktool.py shift IN OUT OFFSET      4 bytes inserted into the first code
                                       hunk at OFFSET, later offsets moved
  hunktool.py unrecognised IN OUT      a copy whose first longword is no
                                       HUNK_HEADER any more
  hunktool.py crc FILE                 CRC-32 of the file, 8 hex digits

The walk is written from the format's description, independently of the
programs under test, so that the cases can check them against it.
"""
import sys
import zlib

HUNK_NAME, HUNK_CODE, HUNK_DATA, HUNK_BSS = 0x3E8, 0x3E9, 0x3EA, 0x3EB
HUNK_RELOC32, HUNK_SYMBOL, HUNK_DEBUG, HUNK_END = 0x3EC, 0x3F0, 0x3F1, 0x3F2
HUNK_DREL32, HUNK_RELOC32SHORT = 0x3F7, 0x3FC


def be32(b, p):
    return int.from_bytes(b[p:p + 4], 'big')


def be16(b, p):
    return int.from_bytes(b[p:p + 2], 'big')


def is_executable(b):
    return (len(b) >= 16 and b[0:4] == b'\0\0\x03\xf3' and b[4:8] == bytes(4)
            and b[12:16] == bytes(4))


def walk(b, on_group):
    """Walks the hunks of b; on_group(first, n, width) for each offset group.
    Returns (groups met, position where the walk ended, stopped early)."""
    length = len(b)
    p = (be32(b, 8) + 5) * 4
    groups = 0
    while p < length - 3 and (b[p] & 0x1F) == 0 and b[p + 1] == 0 and b[p + 2] == 3:
        kind = 0x300 | b[p + 3]
        p += 4
        if kind in (HUNK_NAME, HUNK_CODE, HUNK_DATA, HUNK_DEBUG):
            if p < length - 3:
                p += 4 * (be32(b, p) & 0x1FFFFFFF)
            p += 4
        elif kind == HUNK_BSS:
            p += 4
        elif kind == HUNK_END:
            pass
        elif kind == HUNK_SYMBOL:
            while True:
                s = 4 * be32(b, p) if p < length - 3 else 0
                p += s + 8
                if s == 0 or not p < length - 3:
                    break
            p -= 4
        elif kind == HUNK_RELOC32:
            while True:
                n = be32(b, p) if p < length - 3 else 0
                p += 4
                if n == 0:
                    break
                first = p + 4
                end = first + 4 * n
                p = end
                if end > length:
                    return groups, p, True
                on_group(first, n, 4)
                groups += 1
        elif kind in (HUNK_DREL32, HUNK_RELOC32SHORT):
            while True:
                n = be16(b, p) if p < length - 1 else 0
                p += 2
                if n == 0:
                    break
                first = p + 2
                end = first + 2 * n
                if end > length:
                    return groups, p, True
                on_group(first, n, 2)
                groups += 1
                p = end
            if p % 4:
                p += 2
        else:
            return groups, p, True
    return groups, p, False


def transform(data, restore=False):
    """Difference direction (offsets become differences), or with restore
    the sum direction. Returns (result, transformed bytes); the result is
    that of the difference direction, 0 when restoring."""
    b = bytearray(data)
    if not is_executable(b):
        return 0, b

    def group(first, n, width):
        mask = (1 << (8 * width)) - 1
        values = [int.from_bytes(b[first + width * k:first + width * (k + 1)], 'big') for k in range(n)]
        if restore:
            for k in range(1, n):
                values[k] = (values[k] + values[k - 1]) & mask
        else:
            values = [values[0]] + [(values[k] - values[k - 1]) & mask for k in range(1, n)]
        for k in range(n):
            b[first + width * k:first + width * (k + 1)] = values[k].to_bytes(width, 'big')

    groups, p, stopped = walk(b, group)
    if restore:
        return 0, b
    if groups == 0:
        return 0, b
    if stopped:
        return 1, b
    return (2 if p == len(b) else 1), b


def shift(data, offset):
    """Inserts 4 bytes at OFFSET of the first hunk (a code hunk) and moves
    every relocation offset of that hunk at or after OFFSET by 4."""
    b = bytearray(data)
    assert is_executable(b)
    p = (be32(b, 8) + 5) * 4
    assert be32(b, p) & 0x3FFFFFFF == HUNK_CODE, 'first hunk is no code hunk'
    longs = be32(b, p + 4)
    assert offset % 4 == 0 and offset <= 4 * (longs & 0x1FFFFFFF)
    # Sizes in the header and in the hunk grow by one longword.
    b[20:24] = (be32(b, 20) + 1).to_bytes(4, 'big')
    b[p + 4:p + 8] = (longs + 1).to_bytes(4, 'big')
    at = p + 8 + offset
    b[at:at] = b'\x4e\x71\x4e\x71'
    # Relocation hunks that follow the code hunk, up to its HUNK_END.
    q = p + 8 + 4 * ((longs & 0x1FFFFFFF) + 1)
    moved = 0
    while q < len(b) - 3:
        kind = be32(b, q) & 0x3FFFFFFF
        q += 4
        if kind == HUNK_END:
            break
        if kind == HUNK_RELOC32 or kind in (HUNK_DREL32, HUNK_RELOC32SHORT):
            width = 4 if kind == HUNK_RELOC32 else 2
            while True:
                n = int.from_bytes(b[q:q + width], 'big')
                q += width
                if n == 0:
                    break
                q += width
                for k in range(n):
                    value = int.from_bytes(b[q:q + width], 'big')
                    if value >= offset:
                        b[q:q + width] = (value + 4).to_bytes(width, 'big')
                        moved += 1
                    q += width
            if q % 4:
                q += 2
        elif kind == HUNK_SYMBOL:
            while True:
                s = be32(b, q)
                q += 4
                if s == 0:
                    break
                q += 4 * s + 4
        elif kind in (HUNK_NAME, HUNK_DEBUG):
            q += 4 * (be32(b, q) & 0x1FFFFFFF) + 4
        else:
            raise SystemExit('unexpected hunk type %x after the code hunk' % kind)
    assert moved > 0, 'no relocation offset was moved'
    return b


def main():
    command = sys.argv[1]
    data = open(sys.argv[2], 'rb').read()
    if command == 'result':
        print(transform(data)[0])
    elif command == 'transform':
        open(sys.argv[3], 'wb').write(transform(data)[1])
    elif command == 'shift':
        open(sys.argv[3], 'wb').write(shift(data, int(sys.argv[4])))
    elif command == 'unrecognised':
        b = bytearray(data)
        b[3] ^= 0xFF
        open(sys.argv[3], 'wb').write(b)
    elif command == 'crc':
        print('%08x' % (zlib.crc32(data) & 0xFFFFFFFF))
    else:
        raise SystemExit('unknown command ' + command)


if __name__ == '__main__':
    main()
