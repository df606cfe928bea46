"""Decodes the last record of a patch file, written from the format's
description, and compares the result with the newfile.

  decode.py PATCH OLD NEW

Old reloc: the oldfile's bytes go through the difference direction before
the matches read them; new reloc: the decoded bytes go through the sum
direction. Prints "PATCH decodes to NEW" or what went wrong.
"""
import sys

sys.dont_write_bytecode = True  # no __pycache__ beside the cases
import hunktool  # noqa: E402


def decode(patch, old):
    count = int.from_bytes(patch[8:12], 'big')
    at = 12
    for _ in range(count - 1):
        at += 4 + int.from_bytes(patch[at:at + 4], 'big')
    record = at
    f = [int.from_bytes(patch[at + 4 * k:at + 4 * k + 4], 'big') for k in range(6)]
    patchsize, filesize, _, _, type_word, blocks = f
    mode, old_reloc, new_reloc = type_word & 0xFFFF, (type_word >> 16) & 3, (type_word >> 18) & 3
    assert filesize == len(old), 'filesize %d, oldfile %d bytes' % (filesize, len(old))
    assert record + 4 + patchsize == len(patch), 'record does not end at the end of the file'
    if old_reloc:
        old = bytes(hunktool.transform(old)[1])
    pos = record + 24
    end = record + 4 + patchsize

    def take(n):
        nonlocal pos
        value = int.from_bytes(patch[pos:pos + n], 'big')
        assert pos + n <= end, 'block stream runs past the record'
        pos += n
        return value

    far_room = filesize + (0 if record == 12 else record)
    far_width = 2 if far_room <= 65535 else 3 if far_room <= 16777215 else 4
    out = bytearray()
    running = 0
    pending = None
    for _ in range(blocks):
        h = take(1)
        match = False
        if mode == 1:
            n = h & 0x7F
            length = n if n else (lambda e: e + 127 if e else take(3))(take(2))
            match = bool(h & 0x80)
        elif mode == 2:
            length = ((h << 8) | take(1)) & 0x3FFF if h & 0x40 else h & 0x3F
            match = bool(h & 0x80)
        elif mode == 3:
            length = ((h & 0x1F) * 256 + take(1)) + 33 if h & 0x20 else (h & 0x1F) + 1
            match = (h & 0xC0) == 0xC0
        elif mode == 4:
            n = h & 0x3F
            length = n if n else (lambda e: e + 63 if e else take(3))(take(2))
            match = (h & 0xC0) == 0xC0
        else:
            raise AssertionError('type %d' % mode)
        if not match:
            out += patch[pos:pos + length]
            assert pos + length <= end, 'data block runs past the record'
            pos += length
            if mode in (3, 4) and (h & 0xC0) in (0x00, 0x40):
                pending = (h & 0xC0, length)
            continue
        if pending is not None:
            where = running if pending[0] == 0x00 else running + pending[1]
            pending = None
        elif mode in (1, 4):
            c = take(1)
            where = (running + c if c < 253 else running - 16384 + take(2) if c == 253
                     else take(3) if c == 254 else take(4))
        elif mode == 2:
            w = take(2)
            if w & 0x8000 == 0:
                where = running - 16384 + w
            else:
                v = (w << 8) | take(1)
                where = take(4) if v == 0xFFFFFF else v & 0x7FFFFF
        else:
            c = take(1)
            where = (running + c if c < 127 else take(far_width) if c == 127
                     else running + ((c & 0x7F) * 256 + take(1)) + 127)
        running = where + length
        assert 0 <= where < filesize + record, 'match position %d out of range' % where
        if where < filesize:
            assert where + length <= filesize, 'match runs past the oldfile'
            out += old[where:where + length]
        else:
            out += patch[where - filesize:where - filesize + length]
    assert pos == end, 'block stream has %d bytes left over' % (end - pos)
    if new_reloc:
        out = hunktool.transform(bytes(out), restore=True)[1]
    return bytes(out)


def main():
    patch_name, old_name, new_name = sys.argv[1:4]
    patch = open(patch_name, 'rb').read()
    try:
        result = decode(patch, open(old_name, 'rb').read())
    except AssertionError as failure:
        print(patch_name, 'cannot be decoded:', failure)
        return
    if result == open(new_name, 'rb').read():
        print(patch_name, 'decodes to', new_name)
    else:
        print(patch_name, 'decodes to other bytes than', new_name)


if __name__ == '__main__':
    main()
