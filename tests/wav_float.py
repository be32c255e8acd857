#!/usr/bin/env python3
"""32-bit float WAV files read and written exactly. sox converts through
32-bit integer samples and so rounds the lowest bits of quiet samples (a
reverb's tail); comparisons that must hold bit for bit read the files here.

usage: wav_float.py raw IN.wav OUT.f32   the samples as raw floats (interleaved)
       wav_float.py nonzero IN.wav       how many samples are not exactly zero"""
import array
import struct
import sys

RATE = 48000


def write_wav(path, samples, channels, rate=RATE):
    data = samples.tobytes()
    fmt = struct.pack("<HHIIHH", 3, channels, rate, rate * 4 * channels, 4 * channels, 32)
    with open(path, "wb") as f:
        f.write(b"RIFF" + struct.pack("<I", 4 + 8 + len(fmt) + 8 + len(data)) + b"WAVE")
        f.write(b"fmt " + struct.pack("<I", len(fmt)) + fmt)
        f.write(b"data" + struct.pack("<I", len(data)) + data)


def read_wav(path):
    d = open(path, "rb").read()
    if d[:4] != b"RIFF" or d[8:12] != b"WAVE":
        sys.exit(f"{path}: not a WAV file")
    i = 12
    while i + 8 <= len(d):
        cid, n = d[i:i + 4], struct.unpack("<I", d[i + 4:i + 8])[0]
        if cid == b"fmt ":
            tag, bits = struct.unpack("<H", d[i + 8:i + 10])[0], struct.unpack("<H", d[i + 22:i + 24])[0]
            if tag == 0xFFFE and n >= 40:
                tag = struct.unpack("<H", d[i + 32:i + 34])[0]  # the extensible format's subformat
            if tag != 3 or bits != 32:
                sys.exit(f"{path}: not 32-bit float samples")
        if cid == b"data":
            a = array.array("f")
            a.frombytes(d[i + 8:i + 8 + n])
            return a
        i += 8 + n + (n & 1)
    sys.exit(f"{path}: no samples")


if __name__ == "__main__":
    if len(sys.argv) == 4 and sys.argv[1] == "raw":
        with open(sys.argv[3], "wb") as f:
            f.write(read_wav(sys.argv[2]).tobytes())
    elif len(sys.argv) == 3 and sys.argv[1] == "nonzero":
        print(sum(1 for x in read_wav(sys.argv[2]) if x != 0.0))
    else:
        sys.exit(__doc__)
