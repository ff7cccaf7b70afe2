#!/usr/bin/env python3
"""Writes the hand-made seeds of the three fuzz corpora into fuzz/corpus/<target>/.

Seeds are named after what they hold; inputs that a fuzzer found are kept beside them under
names starting with "found-" and are never rewritten here. Run from anywhere:
    python3 fuzz/make_seeds.py
"""
import pathlib
import struct

CORPUS = pathlib.Path(__file__).resolve().parent / "corpus"


def write(target, name, data):
    path = CORPUS / target / name
    path.parent.mkdir(parents=True, exist_ok=True)
    path.write_bytes(data if isinstance(data, bytes) else data.encode("latin-1"))


# --- descriptor: the text of an image descriptor -------------------------------------------
DESCRIPTORS = {
    "six-lines": "400\n600\n1\n0\n255\n10\n",
    "one-line": "400 600 1 0 255 10",
    "crlf": "400\r\n600\r\n1\r\n0\r\n255\r\n10\r\n",
    "empty": "",
    "five-integers": "400\n600\n1\n0\n255\n",
    "seven-integers": "400\n600\n1\n0\n255\n10\n11\n",
    "minus-one-lines": "-1\n600\n1\n0\n255\n10\n",
    "zero-lines": "0\n600\n1\n0\n255\n10\n",
    "zero-columns": "4\n0\n1\n0\n255\n10\n",
    "twenty-digits": "99999999999999999999\n600\n1\n0\n255\n10\n",
    "int32-limits": "2147483647\n-2147483648\n2147483648\n0\n255\n10\n",
    "too-large-for-memory": "2147483647\n2147483647\n1\n0\n255\n10\n",
    "binary": b"\x00\xff\x80\x7f\x01\x02\x03\x04\xfe\r\n\t",
    "trailing-text": "4\n5\n1\n0\n255\n10\n input image : C:\\images\\site\\dem1.raw \n",
    "word-for-a-number": "4\nfive\n1\n0\n255\n10\n",
    "signs": "+4 -5 +-1 - 2 --3 +",
    "nul-inside": b"4\n5\x006\n1\n0\n255\n10\n",
    "all-white-space": " \t\n\r\v\f 7",
    "decimal-point": "4.5 6 1 0 255 10",
    "hex": "0x10 6 1 0 255 10",
    "byte-order-mark": b"\xef\xbb\xbf400\r\n600\r\n1\r\n0\r\n255\r\n10\r\n",
    "byte-order-mark-broken": b"\xef\xbb400 600 1 0 255 10",
}
for name, text in DESCRIPTORS.items():
    write("descriptor", name, text)


# --- dialogue: flags, descriptor length, raster length, descriptor, raster, answers ---------
RASTER_EXISTS, DESCRIPTOR_EXISTS, RASTER_IS_FOLDER, OUTPUT_IS_FOLDER = 1, 2, 4, 8
GOOD_DESCRIPTOR = "4\n5\n1\n0\n255\n10\n"
# 4 lines of 5 columns: a thick line of number 1 with a spur, number 3 in a corner.
GOOD_RASTER = bytes([255, 1, 1, 1, 255,
                     1, 1, 1, 1, 255,
                     255, 1, 255, 255, 3,
                     255, 255, 255, 3, 3])


def dialogue(name, answers, flags=RASTER_EXISTS | DESCRIPTOR_EXISTS, fail_at=0,
             descriptor=GOOD_DESCRIPTOR, raster=GOOD_RASTER):
    d = descriptor.encode("latin-1") if isinstance(descriptor, str) else descriptor
    a = answers.encode("latin-1") if isinstance(answers, str) else answers
    header = bytes([flags | fail_at << 4, len(d)]) + struct.pack("<H", len(raster))
    write("dialogue", name, header + d + raster + a)


dialogue("whole-run-kept-name", "site\ndem1\n0\n1\n")
dialogue("whole-run-deburred", "site\ndem1\n0\n0\n")
dialogue("whole-run-new-name", "site\ndem1\n1\nout\n1\n")
dialogue("crlf-answers", "site\r\ndem1\r\n0\r\n0\r\n")
dialogue("trailing-answers", "site\ndem1\n0\n1\nmore text after the last answer\n")
dialogue("missing-raster", "site\ndem1\n0\n1\n", flags=DESCRIPTOR_EXISTS)
dialogue("missing-descriptor", "site\ndem1\n4\n5\n10\n0\n1\n", flags=RASTER_EXISTS)
dialogue("typed-empty-image", "site\ndem1\n0\n0\n1\n0\n1\n", flags=RASTER_EXISTS)
dialogue("typed-hostile-sizes",
         "site\ndem1\n-1\n99999999999999999999\n0\n0\n2147483647\n-1\n3\n10\n0\n1\n",
         flags=RASTER_EXISTS)
dialogue("typed-size-beyond-memory", "site\ndem1\n100000\n100000\n10\n0\n1\n", flags=RASTER_EXISTS)
dialogue("words-for-numbers", "site\ndem1\nfour\n4\nfive\n5\nten\n10\nzero\n0\nno\n1\n",
         flags=RASTER_EXISTS)
dialogue("naming-2-minus1-1", "site\ndem1\n2\n-1\n1\nout\n1\n")
dialogue("deburring-5-3-1", "site\ndem1\n0\n5\n3\n1\n")
dialogue("deburring-minus-2", "site\ndem1\n0\n-2\n")
dialogue("deburring-word-then-0", "site\ndem1\n0\nyes\n0\n")
for n, answers in enumerate(["", "site\n", "site\ndem1\n", "site\ndem1\n1\n", "site\ndem1\n0\n"]):
    dialogue(f"answers-end-early-{n}", answers)
for n, answers in enumerate(["site\ndem1\n", "site\ndem1\n4\n", "site\ndem1\n4\n5\n"]):
    dialogue(f"answers-end-at-size-{n}", answers, flags=RASTER_EXISTS)
dialogue("names-of-300", "f" * 300 + "\nsite\n" + "n" * 300 + "\ndem1\n1\n" + "o" * 300 +
         "\nout\n1\n")
dialogue("binary-answers", b"\x00\xff\x01site\x00\x80\n\x7fdem1\n\x00\n1\n")
dialogue("nul-in-output-name", b"site\ndem1\n1\nzz\x00\n1\n")
dialogue("nul-output-name-on-input", b"site\ndem1\n1\ndem1.raw\x00\n1\n")
dialogue("nul-in-input-name", b"site\ndem1.raw\x00\n0\n1\n")
dialogue("output-name-in-missing-folder", "site\ndem1\n1\nsub/out\n1\n")
dialogue("output-not-creatable", "site\ndem1\n0\n1\n", flags=RASTER_EXISTS | DESCRIPTOR_EXISTS |
         OUTPUT_IS_FOLDER)
dialogue("raster-is-a-folder", "site\ndem1\n0\n1\n", flags=RASTER_IS_FOLDER | DESCRIPTOR_EXISTS)
dialogue("short-raster", "site\ndem1\n0\n1\n", raster=GOOD_RASTER[:7])
dialogue("long-raster", "site\ndem1\n0\n1\n", raster=GOOD_RASTER * 3)
for name, text in [("five-integers", "4\n5\n1\n0\n255\n"), ("seven-integers", "4 5 1 0 255 10 7"),
                   ("minus-one-lines", "-1 5 1 0 255 10"), ("zero-lines", "0 5 1 0 255 10"),
                   ("zero-columns", "4 0 1 0 255 10"),
                   ("twenty-digits", "99999999999999999999 5 1 0 255 10"),
                   ("beyond-memory", "100000 100000 1 0 255 10"),
                   ("binary", b"\x00\xff\x80\x7f\x01"), ("crlf", "4\r\n5\r\n1\r\n0\r\n255\r\n10\r\n"),
                   ("trailing-text", "4 5 1 0 255 10 and some text"), ("empty", ""),
                   ("byte-order-mark", b"\xef\xbb\xbf4 5 1 0 255 10")]:
    dialogue(f"descriptor-{name}", "site\ndem1\n0\n1\n", descriptor=text)
for n, fail_at in enumerate([1, 6, 11], start=1):
    dialogue(f"allocation-fails-raster-{n}", "site\ndem1\n0\n1\n", fail_at=fail_at)


# --- cleaning: rows-1, columns-1, palette, then pixels ('.' background, digits numbers) ------
def cleaning(name, picture, lowest=0):
    rows, cols = len(picture), len(picture[0])
    pixels = bytes(7 if c == "." else int(c) for row in picture for c in row)
    write("cleaning", name, bytes([rows - 1, cols - 1, lowest | 7]) + pixels)


cleaning("ring", [".......", "..111..", ".1...1.", ".1...1.", "..111..", "......."])
cleaning("block-2x2", ["......", ".11...", ".11...", "......"])
cleaning("band-3-thick", ["........", ".111111.", ".111111.", ".111111.", "........"])
cleaning("t-junction", [".........", ".1111111.", "....1....", "....1....", "....1....",
                        "........."])
cleaning("solid-4x4", ["........", "........", "..1111..", "..1111..", "..1111..", "..1111..",
                       "........", "........"])
cleaning("square-ring", [".......", ".55555.", ".5...5.", ".5...5.", ".55555.", "......."])
cleaning("spur-above", [".........", "....1....", ".1111111.", ".........", "........."])
cleaning("spur-below", [".........", ".........", ".1111111.", "....1....", "........."])
cleaning("touching-numbers", ["........", ".111111.", ".222222.", ".333333.", "........"])
cleaning("border-lines", ["1111", "1..1", "1..1", "1111"])
cleaning("numbers-near-254", ["......", ".6655.", ".6655.", "......"], lowest=248)
cleaning("one-pixel", ["1"])
cleaning("two-by-two", ["11", "11"])
cleaning("all-background", ["....", "....", "...."])
cleaning("solid-32x32", ["1" * 32] * 32)
write("cleaning", "raw-bytes-5x7", bytes([4, 6, 0]) + bytes(range(0, 256, 7))[:35])
write("cleaning", "too-short", b"\x01")
