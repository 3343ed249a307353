#!/usr/bin/env python3
"""Writes the C++ source of tabUCS2FastSort, the wide-text sort table of the
index keys: the 16-bit sort weight of every UTF-16 code unit, high byte first.

Usage: make_sort_table.py OUTPUT.cpp

The weights are a permutation of 0 to 65535. Units fall in two sets:

- ordered units, whose relative order the table guarantees:
  1. controls (Cc) and blanks (Zs, Zl, Zp): the other controls, then the
     line controls U+0009 to U+000D, then the space, then the other blanks;
  2. decimal digits (Nd), by value, then by code point (so each ASCII digit
     leads the digits of its value);
  3. letters (Ll, Lu, Lt, Lm, Lo):
     - the Latin, Greek and Cyrillic alphabets, in that order: each letter
       goes under its base letter (the first character of its canonical
       decomposition, lower-cased), bases in alphabetical order; under a
       base, the plain letter comes before its accented forms (ordered by
       their combining marks), and each lower-case letter just before its
       capital;
     - the letters of every other script, and the Latin and Greek letters
       that have no base letter of those alphabets, in code point order
       with each lower-case letter just before its capital;
     - the ideographs (extension A, then the unified block, whose first,
       U+4E00, starts it, then the compatibility ideographs);
     - the Hangul syllables;
  4. the two non-characters U+FFFE and U+FFFF, last.
- every other unit (punctuation, symbols, marks, private use, surrogates,
  unassigned units) fills the weights the ordered units leave free, in code
  point order.

A few units have fixed weights (PINNED below) that other components and
stored keys rely on; each ordered unit takes the weight right after the
previous one unless it is pinned. The script checks that the pinned weights
can be honoured, that the result is a permutation and that the order holds,
and fails (exit status 1) otherwise.
"""

import sys
import unicodedata

PINNED = {
    0x0000: 0x0000, 0x0001: 0x0001, 0x0009: 0x0A35, 0x0020: 0x0A3D,
    0x0030: 0x1684, 0x0039: 0x1851, 0x0061: 0x1877, 0x0041: 0x187B,
    0x00E0: 0x1884, 0x00C0: 0x1885, 0x0062: 0x18D8, 0x0042: 0x18DB,
    0x00E9: 0x1966, 0x00C9: 0x1967, 0x00FF: 0x1D3B, 0x007A: 0x1D4C,
    0x005A: 0x1D4F, 0x03B1: 0x1DA2, 0x0391: 0x1DA3, 0x0430: 0x1F77,
    0x0410: 0x1F78, 0x4E00: 0x64BB, 0xFFFE: 0xFFFE, 0xFFFF: 0xFFFF,
}

CLASS_BLANK, CLASS_DIGIT, CLASS_LETTER, CLASS_LAST = range(4)
# Letter blocks, in order.
LATIN, GREEK, CYRILLIC, OTHER, IDEOGRAPH, HANGUL = range(6)

LETTER_CATEGORIES = ("Ll", "Lu", "Lt", "Lm", "Lo")


def fail(message):
    sys.stderr.write("make_sort_table: %s\n" % message)
    sys.exit(1)


def lower_of(ch):
    """The single-character lower case of ch, or ch itself."""
    low = ch.lower()
    return low if len(low) == 1 else ch


def is_lower(ch):
    return unicodedata.category(ch) != "Lu" and unicodedata.category(ch) != "Lt"


def letter_key(cp):
    ch = chr(cp)
    name = unicodedata.name(ch, "")
    if 0xAC00 <= cp <= 0xD7A3:
        return (HANGUL, cp)
    if name.startswith("CJK UNIFIED IDEOGRAPH"):
        return (IDEOGRAPH, 0 if cp < 0x4E00 else 1, cp)
    if name.startswith("CJK COMPATIBILITY IDEOGRAPH"):
        return (IDEOGRAPH, 2, cp)
    decomposed = unicodedata.normalize("NFD", ch)
    base = lower_of(decomposed[0])
    tail = tuple(ord(c) for c in decomposed[1:])
    case = 0 if is_lower(ch) else 1
    b = ord(base)
    if "a" <= base <= "z":
        return (LATIN, b, tail, case, cp)
    if 0x03B1 <= b <= 0x03C9 and unicodedata.name(base, "").startswith("GREEK"):
        return (GREEK, b, tail, case, cp)
    if unicodedata.name(base, "").startswith("CYRILLIC") and unicodedata.category(base) in LETTER_CATEGORIES:
        return (CYRILLIC, b, tail, case, cp)
    # Other letters: in code point order, a capital right after its lower
    # case when that is a letter of its own.
    low = lower_of(ch)
    anchor = ord(low) if low != ch and unicodedata.category(low) in LETTER_CATEGORIES else cp
    return (OTHER, anchor, case, cp)


def order_key(cp):
    """The ordering key of an ordered unit, None for a filler unit."""
    if cp in (0xFFFE, 0xFFFF):
        return (CLASS_LAST, cp)
    ch = chr(cp)
    category = unicodedata.category(ch)
    if category == "Cc" or category in ("Zs", "Zl", "Zp"):
        if 0x0009 <= cp <= 0x000D:
            sub = 1
        elif cp == 0x0020:
            sub = 2
        elif category == "Cc":
            sub = 0
        else:
            sub = 3
        return (CLASS_BLANK, sub, cp)
    if category == "Nd":
        return (CLASS_DIGIT, unicodedata.digit(ch), cp)
    if category in LETTER_CATEGORIES and not (0xD800 <= cp <= 0xDFFF):
        return (CLASS_LETTER, letter_key(cp))
    return None


def build():
    ordered = []
    filler = []
    for cp in range(0x10000):
        key = order_key(cp)
        if key is None:
            filler.append(cp)
        else:
            ordered.append((key, cp))
    ordered.sort()

    weight = [None] * 0x10000
    used = [False] * 0x10000
    last = -1
    for _, cp in ordered:
        w = PINNED.get(cp, last + 1)
        if w <= last:
            fail("U+%04X cannot take weight %04X: the units before it need up to %04X" % (cp, w, last))
        if w > 0xFFFF:
            fail("no weight left for U+%04X" % cp)
        weight[cp] = w
        used[w] = True
        last = w
    # Units pinned but not ordered would break the guarantees.
    for cp, w in PINNED.items():
        if weight[cp] != w:
            fail("U+%04X is pinned but not ordered" % cp)

    free = (w for w in range(0x10000) if not used[w])
    for cp in filler:
        w = next(free)
        weight[cp] = w
        used[w] = True
    if any(w is None for w in weight) or sorted(weight) != list(range(0x10000)):
        fail("the weights are not a permutation")

    # The order of the ordered units is the order of their weights.
    previous = -1
    for _, cp in ordered:
        if weight[cp] <= previous:
            fail("order broken at U+%04X" % cp)
        previous = weight[cp]
    return weight


def write(path, weight):
    lines = [
        "// Generated at build time by runtime/values/tools/make_sort_table.py from",
        "// the character database of Unicode %s. Do not edit." % unicodedata.unidata_version,
        '#include "KeyTables.h"',
        "",
        "const unsigned char tabUCS2FastSort[65536][2] = {",
    ]
    for start in range(0, 0x10000, 8):
        cells = ",".join("{0x%02X,0x%02X}" % (weight[cp] >> 8, weight[cp] & 0xFF)
                         for cp in range(start, start + 8))
        lines.append("    %s,  // U+%04X" % (cells, start))
    lines.append("};")
    lines.append("")
    with open(path, "w", encoding="ascii", newline="\n") as out:
        out.write("\n".join(lines))


def main():
    if len(sys.argv) != 2:
        fail("usage: make_sort_table.py OUTPUT.cpp")
    write(sys.argv[1], build())


if __name__ == "__main__":
    main()
