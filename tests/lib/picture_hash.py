#!/usr/bin/env python3
"""The frame log's hash of a screenshot: the picture's 0x00RRGGBB pixels, as
the board shows them (each 5-6-5 channel's bits replicated), back to their
5-6-5 words, then the 64-bit FNV-1a of the words as little-endian bytes, top
row first. Reads a binary PPM (P6) on standard input; prints 16 hex digits,
or "none" when a pixel is no replicated 5-6-5 colour."""
import sys

data = sys.stdin.buffer.read()
fields, at = [], 0
while len(fields) < 4:
    while data[at:at + 1].isspace():
        at += 1
    end = at
    while not data[end:end + 1].isspace():
        end += 1
    fields.append(data[at:end])
    at = end
at += 1
if fields[0] != b"P6" or fields[3] != b"255":
    sys.exit("picture_hash: not an 8-bit P6 picture")
pixels = data[at:]
hash_value = 0xCBF29CE484222325
prime = 0x100000001B3
mask = (1 << 64) - 1
for i in range(0, len(pixels), 3):
    red, green, blue = pixels[i], pixels[i + 1], pixels[i + 2]
    word = (red >> 3) << 11 | (green >> 2) << 5 | blue >> 3
    if (red & 7) != red >> 5 or (green & 3) != green >> 6 or (blue & 7) != blue >> 5:
        print("none")
        sys.exit(0)
    hash_value = ((hash_value ^ (word & 0xFF)) * prime) & mask
    hash_value = ((hash_value ^ (word >> 8)) * prime) & mask
print("%016x" % hash_value)
