#!/usr/bin/env python3
"""Writes the small seed corpora under fuzz/corpus/TARGET. Run again after changing a seed."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def speech(header, count, records, tail=b""):
    out = bytes([header]) + struct.pack("<I", count)
    for number, text in records:
        out += struct.pack("<HI", number, len(text)) + bytes(b ^ 0x5A for b in text)
    return out + tail


def dump(header, count, lines, ending=b"[:::::]Speech FINISH[:::::]"):
    out = (b"[:::::]Speech START[:::::]\r\n[:::::]FILENAME: 0001.txt[:::::]\r\n"
           b"[:::::]HEADER: %d[:::::]\r\n[:::::]LINECOUNT: %d[:::::]\r\n" % (header, count))
    return out + b"".join(b"[LINE:%04d]%s\r\n" % line for line in lines) + ending


SPACED = (b"[:::::] Speech START [:::::]\r\n[:::::] FILENAME: 0001.txt [:::::]\r\n"
          b"[:::::] HEADER: 3 [:::::]\r\n[:::::] LINECOUNT: 2 [:::::]\r\n"
          b"[LINE: 0001] Hi </ N> there ]  [\r\n[LINE: 0002] \r\n[:::::] Speech FINISH [:::::] ")
SHORT = b"[:::::]Unknown DATA[:::::]\r\n"
UNSEQUENCED = b"[:::::]UNKNOWN DATA[:::::]\r\n"
FINISH = b"[:::::]Speech FINISH[:::::]"

SEEDS = {
    "decode": {
        "two-records": speech(3, 2, [(1, b"Hi"), (2, b"")]),
        "short-tail": speech(2, 3, [(5, b"A"), (6, b"B")], b"xyz"),
        "unsequenced-tail": speech(2, 3, [(5, b"A"), (6, b"B"), (8, b"C")]),
        "head-only": speech(9, 7, []),
        "first-record-cut": speech(1, 1, [], b"\x01\x00\x05"),
        "text-past-end": speech(1, 1, [(1, b"ok")], struct.pack("<HI", 2, 100) + b"abc"),
        "after-65535": speech(1, 2, [(65535, b"z"), (0, b"w")]),
        "markup-in-text": speech(0, 0x80000000, [(10000, b"a\r\n[LINE:0002]b[:::::]")]),
    },
    "repair": {
        "spaced-dump": SPACED,
        "brackets-and-tags": b"[:::::] Sp ]  [ </N> E:  x </ N E: ",
        "exact-dump": dump(3, 2, [(1, b"Hi </N>"), (2, b"")]),
    },
    # First byte: low bit = side-data file present, the rest = how many bytes it holds.
    "rebuild": {
        "exact-dump": b"\x00" + dump(3, 2, [(1, b"Hi"), (2, b"")]),
        "short-tail": b"\x07xyz" + dump(2, 3, [(5, b"A"), (6, b"B")], SHORT + FINISH),
        "unsequenced-tail": b"\x0d\x08\x00\x01\x00\x00\x00" + dump(2, 3, [(5, b"A")], UNSEQUENCED + FINISH),
        "spaced-dump": b"\x00" + SPACED,
        "closing-deleted": b"\x07xyz" + dump(2, 3, [(5, b"A"), (6, b"B")], SHORT),
        "records-after-short-tail": b"\x05ab" + dump(1, 4, [(1, b"long text")], SHORT + b"[LINE:0002]x\r\n" + FINISH),
        "side-data-missing": b"\x00" + dump(2, 3, [(5, b"A")], SHORT + FINISH),
        "adjacent-lines": b"\x00" + dump(1, 1, [], b"[LINE:0001][LINE:0002]x\r\n" + FINISH),
        "cut-record-line": b"\x00" + dump(1, 12345, [(1, b"a")], b"[LINE:01"),
        "no-line-count": b"\x00[:::::]Speech START[:::::]\r\n[:::::]HEADER: [LINE:0001]x",
    },
    # Header byte, line count (2), first number (2), tail kind, tail size, tail bytes, then
    # records as a length byte (255: two more length bytes) and the text.
    "round_trip": {
        "two-records": b"\x03\x02\x00\x01\x00\x00\x00\x02Hi\x00",
        "short-tail": b"\x02\x03\x00\x05\x00\x01\x02xyz\x01A\x01B",
        "unsequenced-tail": b"\x02\x03\x00\x05\x00\x02\x01\x08\x00\x01\x00\x00\x00C\x01A",
        "markup-in-text": b"\x00\x0f\x27\x0f\x27\x00\x00\x10a\r\n[LINE:0002][:::::",
        "long-line": b"\x01\x01\x00\x01\x00\x00\x00\xff\x2c\x01" + bytes(range(256)) + b"x" * 44,
    },
}

for target, seeds in SEEDS.items():
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    for name, data in seeds.items():
        with open(os.path.join(folder, name), "wb") as out:
            out.write(data)
