#!/usr/bin/env python3
"""Signals for the JACK programs' test, and the comparison of what a JACK
program played with what the LV2 plugin renders. WAV files are read and
written exactly (wav_float.py).

usage: jack_signals.py make CHANNELS SECONDS PREFIX PLAY.f32 LV2IN.wav
         a noise burst of SECONDS, raw for the feeder, and as a float WAV
         for the LV2 host, after PREFIX seconds of silence and with two
         seconds of silence for the tail
       jack_signals.py compare RECORD.f32 LV2OUT.wav
         both from their first sample that is not zero: bit for bit equal
       jack_signals.py tail RECORD.f32
         finite, and a reverb tail after the burst"""
import array
import math
import sys

from wav_float import RATE, read_wav, write_wav


def noise(frames, channels):
    """Deterministic noise (a 32-bit LCG), its first sample not zero."""
    state, out = 12345, array.array("f")
    for _ in range(frames * channels):
        state = (state * 1664525 + 1013904223) & 0xFFFFFFFF
        out.append(((state >> 8) / float(1 << 24) - 0.5) * 0.8 + 0.01)
    return out


def read_raw(path):
    a = array.array("f")
    a.frombytes(open(path, "rb").read())
    return a


def first_sound(a):
    return next((i for i, x in enumerate(a) if x != 0.0), None)


def main():
    cmd = sys.argv[1]
    if cmd == "make":
        channels, seconds, prefix = int(sys.argv[2]), float(sys.argv[3]), float(sys.argv[4])
        burst = noise(int(seconds * RATE), channels)
        with open(sys.argv[5], "wb") as f:
            f.write(burst.tobytes())
        silence = array.array("f", [0.0])
        write_wav(sys.argv[6], silence * (int(prefix * RATE) * channels) + burst + silence * (2 * RATE * channels),
                  channels)
    elif cmd == "compare":
        rec, lv2 = read_raw(sys.argv[2]), read_wav(sys.argv[3])
        r, l = first_sound(rec), first_sound(lv2)
        if r is None or l is None:
            sys.exit("silence: nothing to compare")
        r -= r % 2
        l -= l % 2
        n = min(len(rec) - r, len(lv2) - l)
        if n < RATE:
            sys.exit(f"only {n // 2} frames to compare")
        diff = [i for i in range(n) if rec[r + i] != lv2[l + i]]
        if diff:
            i = diff[0]
            sys.exit(f"{len(diff)} of {n} samples differ, the first at frame {i // 2}: "
                     f"{rec[r + i]!r} against {lv2[l + i]!r}")
        print(f"{n // 2} frames equal bit for bit")
    elif cmd == "tail":
        rec = read_raw(sys.argv[2])
        if not all(math.isfinite(x) for x in rec):
            sys.exit("not finite")
        start = first_sound(rec)
        if start is None:
            sys.exit("silence")
        tail = rec[start + 2 * RATE // 2:]  # from half a second after the burst began
        rms = math.sqrt(sum(x * x for x in tail) / max(1, len(tail)))
        if not rms > 1e-5:
            sys.exit(f"no reverb tail (RMS {rms})")
        print(f"tail RMS {rms:.5f}")


if __name__ == "__main__":
    main()
