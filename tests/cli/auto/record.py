"""Checks a new patch file holding one record against the bytes it must hold.

  record.py PATCH OLD NEW TYPEWORD BLOCKS STREAM

TYPEWORD is hexadecimal, STREAM the block stream as hexadecimal pairs
(may be empty). The header, CRCs, sizes and CRC total are computed here from
the files on disk. Prints one line: "PATCH as expected", or what differs.
"""
import sys
import zlib


def be(value):
    return value.to_bytes(4, 'big')


def crc(data):
    return zlib.crc32(data) & 0xFFFFFFFF


def main():
    patch, old_name, new_name, type_word, blocks, stream = sys.argv[1:7]
    old = open(old_name, 'rb').read()
    new = open(new_name, 'rb').read()
    stream = bytes.fromhex(stream)
    record = (be(20 + len(stream)) + be(len(old)) + be(crc(old)) + be(crc(new))
              + be(int(type_word, 16)) + be(int(blocks)) + stream)
    body = be(1) + record
    expected = b'VLM3' + be(crc(body)) + body
    actual = open(patch, 'rb').read()
    if actual == expected:
        print(patch, 'as expected')
    else:
        print(patch, 'differs: expected', expected.hex(' '))
        print(patch, 'differs: actual  ', actual.hex(' '))


if __name__ == '__main__':
    main()
