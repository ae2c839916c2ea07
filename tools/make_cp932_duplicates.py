#!/usr/bin/env python3
"""Writes encodings/cp932_duplicates.inc from glibc's iconv.

    tools/make_cp932_duplicates.py encodings/cp932_duplicates.inc
    tools/make_cp932_duplicates.py --emacs   # also compare with Emacs's cp932

Code page 932 has characters at more than one code: the NEC special row 87
repeats signs of JIS X 0208 (0x8790 and 0x81E0 are both U+2252), the IBM
extension rows FA-FC repeat row 87 and row 81, and the NEC-selected IBM
extension rows ED-EE repeat the IBM rows. A reading that holds a code other
than the one the clients type is never found: libskk reads a Shift_JIS
dictionary through glibc iconv "CP932" and encodes the typed key with the
same iconv, so the dictionary must hold the code iconv encodes the character
to. This asks glibc itself (through ctypes, not Python's own cp932 codec,
which picks other codes for some of them), decoding every two-byte code and
encoding the character back, and writes each code whose round trip is
another code, sorted by code.

--emacs also asks Emacs (emacs --batch, encode-coding-string 'cp932) which
code it encodes each of those characters to, and lists the characters where
Emacs and iconv disagree: for them no one code serves both clients.
"""

import ctypes
import ctypes.util
import os
import subprocess
import sys
import tempfile

LEADS = list(range(0x81, 0xA0)) + list(range(0xE0, 0xFD))
TRAILS = list(range(0x40, 0x7F)) + list(range(0x80, 0xFD))

libc = ctypes.CDLL(ctypes.util.find_library("c"), use_errno=True)
libc.iconv_open.restype = ctypes.c_void_p
libc.iconv_open.argtypes = [ctypes.c_char_p, ctypes.c_char_p]
libc.iconv.restype = ctypes.c_size_t
libc.iconv.argtypes = [
    ctypes.c_void_p,
    ctypes.POINTER(ctypes.c_char_p),
    ctypes.POINTER(ctypes.c_size_t),
    ctypes.POINTER(ctypes.c_char_p),
    ctypes.POINTER(ctypes.c_size_t),
]
libc.iconv_close.argtypes = [ctypes.c_void_p]


class Iconv:
    def __init__(self, to, from_):
        self.handle = libc.iconv_open(to.encode(), from_.encode())
        if self.handle in (None, ctypes.c_void_p(-1).value):
            raise OSError(f"iconv_open({to}, {from_}) failed")

    def convert(self, data):
        """data converted whole, or None where iconv stops on it."""
        libc.iconv(self.handle, None, None, None, None)  # reset the state
        in_buffer = ctypes.create_string_buffer(data, len(data))
        in_pointer = ctypes.c_char_p(ctypes.addressof(in_buffer))
        in_left = ctypes.c_size_t(len(data))
        out_buffer = ctypes.create_string_buffer(64)
        out_pointer = ctypes.c_char_p(ctypes.addressof(out_buffer))
        out_left = ctypes.c_size_t(64)
        result = libc.iconv(self.handle, ctypes.byref(in_pointer),
                            ctypes.byref(in_left), ctypes.byref(out_pointer),
                            ctypes.byref(out_left))
        if result == ctypes.c_size_t(-1).value or in_left.value != 0:
            return None
        return out_buffer.raw[:64 - out_left.value]


def glibc_version():
    libc.gnu_get_libc_version.restype = ctypes.c_char_p
    return libc.gnu_get_libc_version().decode()


def iconv_duplicates():
    """([(code, round-trip code, character)], number of codes decoded)."""
    decoder = Iconv("UTF-32LE", "CP932")
    encoder = Iconv("CP932", "UTF-32LE")
    duplicates = []
    decoded = 0
    for lead in LEADS:
        for trail in TRAILS:
            code = bytes([lead, trail])
            text = decoder.convert(code)
            if text is None or len(text) != 4:
                continue
            decoded += 1
            back = encoder.convert(text)
            if back is None:
                sys.exit(f"iconv decodes {code.hex()} but cannot encode it")
            if back != code:
                if len(back) != 2:
                    sys.exit(f"{code.hex()} encodes back to {back.hex()}")
                character = text.decode("utf-32-le")
                duplicates.append((int.from_bytes(code, "big"),
                                   int.from_bytes(back, "big"), character))
    return duplicates, decoded


EMACS_PROGRAM = r"""
(set-language-environment "Japanese")
(with-temp-buffer
  (insert-file-contents-literally (car command-line-args-left))
  (let ((codes (split-string (buffer-string) "\n" t)))
    (dolist (code codes)
      (let* ((number (string-to-number code 16))
             (text (decode-coding-string
                    (unibyte-string (/ number 256) (% number 256)) 'cp932-unix))
             (back (encode-coding-string text 'cp932-unix)))
        (princ (format "%s %s %s\n" code
                       (mapconcat (lambda (c) (format "%X" c)) text ",")
                       (mapconcat (lambda (b) (format "%02X" b)) back "")))))))
"""


def emacs_codes(codes):
    """{code: (character codes Emacs decodes it to, code it encodes back to)}"""
    with tempfile.TemporaryDirectory() as folder:
        listing = os.path.join(folder, "codes")
        program = os.path.join(folder, "round_trip.el")
        with open(listing, "w") as f:
            f.write("".join(f"{code:04X}\n" for code in codes))
        with open(program, "w") as f:
            f.write(EMACS_PROGRAM)
        output = subprocess.run(
            ["emacs", "-Q", "--batch", "-l", program, listing],
            check=True, capture_output=True, text=True).stdout
    result = {}
    for line in output.splitlines():
        code, characters, back = line.split(" ")
        result[int(code, 16)] = (
            [int(c, 16) for c in characters.split(",")], int(back, 16))
    return result


def write_table(path, duplicates):
    lines = [
        "// Generated by tools/make_cp932_duplicates.py from glibc "
        f"{glibc_version()}'s iconv",
        '// "CP932". Do not edit: run the script again.',
        "// Each two-byte code whose character glibc iconv decodes and encodes"
        " back",
        "// to another code, and that code (lead * 256 + trail), sorted by"
        " code.",
        "",
        "constexpr cp932_duplicate cp932_duplicates[] = {",
    ]
    for code, target, character in duplicates:
        lines.append(f"    {{0x{code:04X}, 0x{target:04X}}},"
                     f"  // U+{ord(character):04X}")
    lines.append("};")
    with open(path, "w") as f:
        f.write("\n".join(lines) + "\n")


def main():
    arguments = sys.argv[1:]
    compare = "--emacs" in arguments
    paths = [a for a in arguments if a != "--emacs"]
    duplicates, decoded = iconv_duplicates()
    print(f"{decoded} two-byte codes decode; {len(duplicates)} of them "
          "round-trip to another code", file=sys.stderr)
    if paths:
        write_table(paths[0], duplicates)
    if compare:
        emacs = emacs_codes([code for code, _, _ in duplicates])
        disagreements = 0
        for code, target, character in duplicates:
            characters, back = emacs[code]
            if characters != [ord(character)] or back != target:
                disagreements += 1
                shown = ",".join(f"U+{c:04X}" for c in characters)
                print(f"{code:04X} {character} U+{ord(character):04X}: iconv "
                      f"-> {target:04X}; Emacs decodes {shown}, encodes "
                      f"{back:04X}")
        print(f"{disagreements} of {len(duplicates)} disagree",
              file=sys.stderr)


if __name__ == "__main__":
    main()
