#!/usr/bin/env python3
"""Writes the seed corpus of the fuzz target (tests/fuzz_corpus): short
action sequences that instantiate, set controls, run and reconnect."""
import os
import struct

out = os.path.join(os.path.dirname(__file__), "..", "tests", "fuzz_corpus")
os.makedirs(out, exist_ok=True)
# FuzzedDataProvider takes integers from the end of the data and the rest
# from the front; these seeds are just varied byte patterns that reach every
# action, and the fuzzer mutates them from there.
seeds = {
    "instantiate_run": bytes([0, 4, 0, 1, 2, 0, 2, 0x10, 0x00, 2, 0x00, 0x02]) * 4,
    "controls": b"".join(struct.pack("<f", v) + bytes([1, k % 24 + 3, 1])
                         for k, v in enumerate([0.0, -32.0, 0.0, 10000.0, 12.0, 80.0, 100.0,
                                                20.0, -50.0, 60.0, 3.0, 50.0, 7.0, -7.0, 12.0,
                                                -12.0, 90.0, -90.0, 500.0, 1.0, 2000.0, 30.0,
                                                18000.0, 100.0])) + bytes([2, 0xff, 0x0f, 0]),
    "inplace": bytes([0, 3, 0, 3, 1, 0, 3, 0, 1, 2, 0x40, 0x01, 7, 0, 5, 0x3f, 2, 0x00, 0x04]) * 3,
    "lifecycle": bytes([0, 0, 0, 2, 9, 0, 4, 0, 5, 0, 0, 1, 1, 2, 2, 0x00, 0x10, 5, 1]) * 2,
    "modes": bytes([0, 4, 0]) + b"".join(bytes([6, m, 0, 2, 0x80, 0x00]) for m in range(9)),
}
for name, data in seeds.items():
    with open(os.path.join(out, name), "wb") as f:
        f.write(data)
print("wrote", len(seeds), "seeds to", os.path.normpath(out))
