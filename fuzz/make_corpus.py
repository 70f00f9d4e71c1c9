#!/usr/bin/env python3
"""Writes the fuzzers' seed corpus: valid lines of all fifteen exchanges and near misses, in the
byte layout the two fuzzers read (see fuzz_input.h). Run it again after changing that layout."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))

# (parser index in the codec fuzzer, valid reply, expected value for acknowledgements)
REPLIES = [
    (0, "RGV# 1 VER 2.10 11/22/33\r\n", 0),
    (1, "RLS# 1 2 3 1\r\n", 0),
    (2, "RGB# 1 2 3 4 80\r\n", 0),
    (3, "RGC# 1 2 3 75\r\n", 0),
    (4, "RGL# 4 100\r\n", 0),
    (5, "RGH# 1 2 3 -40\r\n", 0),
    (6, "RGS# 1 2 3 0\r\n", 0),
    (7, "RLD# 1 2 3 255\r\n", -1),
    (8, "RLB# 1 2 3 4 50 7\r\n", 50),
    (9, "RLC# 1 2 3 75\r\n", 331),
    (10, "RLO# 4 100\r\n", 100),
    (11, "RSH# 1 2 3 -2147483648\r\n", -2147483648),
    (12, "RSW# 1 2 3 1\r\n", 1),
    (13, "RLP# 1 2 3 4 9\r\n", 9),
    (14, "RSP# 1 2 3 8\r\n", 8),
]

NEAR_MISSES = [
    (3, "RGC# 1 2 3\r\n"),
    (3, " RGC# 1 2 3 75"),
    (3, "rgc# 1 2 3 75"),
    (3, "RGC#1 2 3 75"),
    (3, "RGC# 1 2 3 2147483648"),
    (3, "RGC# 1 2 3 -"),
    (0, "RGV# 1 VER 2.10 11-22-33"),
    (0, "RGV# 1 VER 2.10"),
    (9, "RGC# 1 2 3 75"),
    (10, "RLO# 4"),
]


def int32(value):
    return struct.pack(">i", value)


def write(folder, name, data):
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def codec_corpus():
    folder = os.path.join(HERE, "corpus", "codec")
    for index, reply, expected in REPLIES:
        write(folder, "parse-%02d" % index, bytes([0, index]) + int32(expected) + reply.encode())
    for number, (index, reply) in enumerate(NEAR_MISSES):
        write(folder, "miss-%02d" % number, bytes([0, index]) + int32(75) + reply.encode())
    for index in range(15):
        write(folder, "build-%02d" % index, bytes([1, index]) + b"".join(int32(n) for n in (1, 2, 3, 4, 75, 7, 0, 0)))
        write(folder, "build-max-%02d" % index, bytes([1, index]) + int32(255) * 4 + int32(-2147483648) + int32(65535) + int32(0) * 2)


def item(kind, *addresses):
    address = list(addresses) + [0] * (4 - len(addresses))
    return bytes([0, kind] + address)


def records(value, direction, value_type=0):
    first = struct.pack("<fBBBB", value, value_type, 0, 0, direction)
    return first + bytes(8 * 4)


def text(line):
    data = line.encode()
    return struct.pack(">H", len(data)) + data


def call(kind_item, record, operation, payload=b""):
    return kind_item + record + bytes([operation]) + payload


def driver_corpus():
    folder = os.path.join(HERE, "corpus", "driver")
    reads = [
        (0, (7,), "RGV# 7 VER 3.2 12/25/4\r\n"),
        (1, (1, 2, 3), "RLS# 1 2 3 1\r\n"),
        (2, (1, 2, 3, 4), "RGB# 1 2 3 4 80\r\n"),
        (3, (1, 2, 3), "RGC# 1 2 3 75\r\n"),
        (4, (4,), "RGL# 4 100\r\n"),
        (5, (1, 2, 3), "RGH# 1 2 3 -5\r\n"),
        (6, (1, 2, 3), "RGS# 1 2 3 0\r\n"),
    ]
    for kind, addresses, reply in reads:
        it, rec = item(kind, *addresses), records(0.0, 0)
        write(folder, "read-%d" % kind,
              call(it, rec, 0) + call(it, rec, 1, text(reply)) + call(it, rec, 2, text(reply)))
    writes = [
        (1, (1, 2, 3), 1.0, "RLD# 1 2 3 1\r\n"),
        (2, (1, 2, 3, 4), 50.0, "RLB# 1 2 3 4 50\r\n"),
        (3, (1, 2, 3), 75.6, "RLC# 1 2 3 75\r\n"),
        (4, (4,), 100.0, "RLO# 4 100\r\n"),
        (5, (1, 2, 3), -2.7, "RSH# 1 2 3 -2\r\n"),
        (6, (1, 2, 3), 1.0, "RSW# 1 2 3 1\r\n"),
        (7, (1, 2, 3, 4), 3.0, "RLP# 1 2 3 4 3\r\n"),
        (8, (1, 2, 3), 2.0, "RSP# 1 2 3 2\r\n"),
    ]
    modifier = call(item(9), records(7.0, 1), 0)
    for kind, addresses, value, reply in writes:
        it, rec = item(kind, *addresses), records(value, 1)
        write(folder, "write-%d" % kind,
              modifier + call(it, rec, 0) + call(it, rec, 1, text(reply)) + call(it, rec, 2, text(reply)))
    write(folder, "write-u16", call(item(5, 1, 2, 3), records(0.0, 1, 64), 0))
    write(folder, "compare", call(item(0, 7, 1), records(0.0, 0), 3, item(0, 7, 255) + bytes([0])))
    write(folder, "prepare", call(item(0), records(0.0, 0), 4))


codec_corpus()
driver_corpus()
