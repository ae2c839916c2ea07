#!/usr/bin/env python3
"""Builds a hash-flooding dictionary: readings that all collide in the
reading index of brenlow 0.x, whose hash had a fixed key.

That hash, of a reading of 16 bytes read as two little-endian 64-bit words
c1 and c2:

    h = mix(mix(mix(K ^ 16 ^ c1) * G ^ c2) * G)     (K, G odd constants)
    index hash = low 32 bits of h ^ (h >> 32)

where mix(x) = f(f(x) * M) and f(x) = x ^ (x >> 33). f is its own inverse and
multiplying by an odd number is undone by multiplying by its inverse modulo
2^64, so for any c1 the c2 that makes h a chosen value can be computed. Every
line's reading gets the same h, so the old index compared each new reading
with every reading before it: quadratic time. brenlow now keys its hash anew
for each run, and these lines convert as fast as any others.

Usage: make_flood.py OUTPUT LINES
"""
import argparse
import sys

MASK = 2**64 - 1
K = 0x9E3779B97F4A7C15
G = 0x9E3779B97F4A7C15
M = 0xFF51AFD7ED558CCD
G_INVERSE = pow(G, -1, 2**64)
M_INVERSE = pow(M, -1, 2**64)
LENGTH = 16
TARGET = 0x5EED  # the value of h every reading gets

# Bytes that keep the second word inside the reading: no line end, TAB or NUL
# anywhere; the last byte also no Shift_JIS lead byte, which would take the
# TAB after it as its second byte.
FORBIDDEN = {0x00, 0x09, 0x0A, 0x0D}
ALPHABET = b"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"


def f(x):
    return x ^ (x >> 33)


def mix(x):
    return f((f(x) * M) & MASK)


def unmix(x):
    return f((f(x) * M_INVERSE) & MASK)


def old_hash(reading):
    """The old index hash of reading (the forward computation, any length)."""
    h = K ^ len(reading)
    pos = 0
    while pos + 8 <= len(reading):
        chunk = int.from_bytes(reading[pos:pos + 8], "little")
        h = (mix(h ^ chunk) * G) & MASK
        pos += 8
    h = mix(h ^ int.from_bytes(reading[pos:], "little"))
    return (h ^ (h >> 32)) & 0xFFFFFFFF, h


def first_words():
    """Distinct printable first halves: counter values in base 62."""
    n = 0
    while True:
        digits = bytearray()
        value = n
        for _ in range(8):
            digits.append(ALPHABET[value % len(ALPHABET)])
            value //= len(ALPHABET)
        yield bytes(digits)
        n += 1


def colliding_readings(count):
    # Work back from the final h: before the last mix, and before the second
    # word's multiplication and mix.
    before_second = unmix((unmix(TARGET) * G_INVERSE) & MASK)
    start = K ^ LENGTH
    made = 0
    for c1 in first_words():
        h1 = (mix(start ^ int.from_bytes(c1, "little")) * G) & MASK
        c2 = (before_second ^ h1).to_bytes(8, "little")
        if any(b in FORBIDDEN for b in c2) or not 0x21 <= c2[7] <= 0x7E:
            continue
        yield c1 + c2
        made += 1
        if made == count:
            return


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("output")
    parser.add_argument("lines", type=int)
    args = parser.parse_args()
    expected = None
    with open(args.output, "wb") as out:
        for reading in colliding_readings(args.lines):
            index_hash, h = old_hash(reading)
            assert h == TARGET, reading
            expected = expected or index_hash
            out.write(reading + b"\tw\tnoun\r\n")
    print(f"{args.output}: {args.lines} readings with the old index hash "
          f"{expected:#010x}", file=sys.stderr)


if __name__ == "__main__":
    main()
