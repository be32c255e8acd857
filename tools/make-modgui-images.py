#!/usr/bin/env python3
"""Draws the pedal face's pictures for the MOD boards' interface, with
nothing but the Python standard library (PNG through zlib):

  knob.png        the knob as a film strip: FRAMES square frames side by
                  side, from the lowest value (pointer at -135 degrees) to
                  the highest (+135 degrees)
  footswitch.png  the footswitch, two frames side by side: off, on

usage: make-modgui-images.py OUT_DIR"""
import math
import os
import struct
import sys
import zlib

KNOB = 64        # pixels per knob frame
FRAMES = 65      # knob positions
SWITCH = 64      # pixels per footswitch frame


def png(path, width, height, rgba):
    """rgba: bytearray of width * height * 4."""
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)
    rows = b"".join(b"\0" + bytes(rgba[y * width * 4:(y + 1) * width * 4]) for y in range(height))
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)) +
                chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b""))


def coverage(distance):
    """Anti-aliased inside-ness of a pixel whose centre is `distance`
    pixels inside an edge (negative: outside)."""
    return min(1.0, max(0.0, distance + 0.5))


def over(dst, i, colour, alpha):
    """Paints colour (r, g, b) with alpha over the premultiplied-free RGBA
    pixel at byte offset i."""
    if alpha <= 0.0:
        return
    da = dst[i + 3] / 255.0
    out_a = alpha + da * (1.0 - alpha)
    for c in range(3):
        mixed = (colour[c] * alpha + dst[i + c] * da * (1.0 - alpha)) / out_a
        dst[i + c] = int(round(min(255.0, max(0.0, mixed))))
    dst[i + 3] = int(round(out_a * 255.0))


def segment_distance(px, py, ax, ay, bx, by):
    vx, vy, wx, wy = bx - ax, by - ay, px - ax, py - ay
    t = max(0.0, min(1.0, (wx * vx + wy * vy) / (vx * vx + vy * vy)))
    return math.hypot(wx - t * vx, wy - t * vy)


def knob_body(size):
    """The knob without its pointer: a dark ring of ticks, a skirt and a
    brushed cap lit from the upper left."""
    img = bytearray(size * size * 4)
    c = size / 2.0
    r_skirt, r_cap = size * 0.40, size * 0.33
    for y in range(size):
        for x in range(size):
            px, py = x + 0.5 - c, y + 0.5 - c
            d = math.hypot(px, py)
            i = (y * size + x) * 4
            # Ticks every 27 degrees on the knob's travel.
            angle = math.degrees(math.atan2(px, -py))
            if abs(angle) <= 136.0 and size * 0.42 < d < size * 0.49:
                step = (angle + 135.0) / 27.0
                near = abs(step - round(step)) * 27.0 * math.pi / 180.0 * d
                over(img, i, (150, 150, 140), coverage(0.9 - near) * coverage(size * 0.49 - d) *
                     coverage(d - size * 0.42))
            # Skirt: dark with a soft shadow edge.
            shade = 0.5 + 0.5 * (-(px + py) / (d * 1.4142 + 1e-9)) if d > 0 else 0.5
            over(img, i, (24 + 18 * shade, 24 + 18 * shade, 26 + 18 * shade), coverage(r_skirt - d))
            # Cap: a radial sheen.
            light = max(0.0, 1.0 - math.hypot(px + size * 0.12, py + size * 0.14) / (r_cap * 1.6))
            grey = 52 + 70 * light
            over(img, i, (grey, grey, grey * 1.02), coverage(r_cap - d))
    return img


def knob_strip(path):
    body = knob_body(KNOB)
    strip = bytearray(KNOB * FRAMES * KNOB * 4)
    c = KNOB / 2.0
    for f in range(FRAMES):
        frame = bytearray(body)
        a = math.radians(-135.0 + 270.0 * f / (FRAMES - 1))
        ax, ay = math.sin(a) * KNOB * 0.10, -math.cos(a) * KNOB * 0.10
        bx, by = math.sin(a) * KNOB * 0.30, -math.cos(a) * KNOB * 0.30
        for y in range(KNOB):
            for x in range(KNOB):
                d = segment_distance(x + 0.5 - c, y + 0.5 - c, ax, ay, bx, by)
                if d < 3.0:
                    over(frame, (y * KNOB + x) * 4, (255, 170, 40), coverage(1.6 - d))
        for y in range(KNOB):
            start = (y * KNOB * FRAMES + f * KNOB) * 4
            strip[start:start + KNOB * 4] = frame[y * KNOB * 4:(y + 1) * KNOB * 4]
    png(path, KNOB * FRAMES, KNOB, strip)


def footswitch(path):
    """A chrome stomp button; pressed (on), its centre sits lower and darker."""
    img = bytearray(SWITCH * 2 * SWITCH * 4)
    c = SWITCH / 2.0
    for f in range(2):
        for y in range(SWITCH):
            for x in range(SWITCH):
                px, py = x + 0.5 - c, y + 0.5 - c
                d = math.hypot(px, py)
                i = (y * SWITCH * 2 + f * SWITCH + x) * 4
                over(img, i, (20, 20, 22), coverage(SWITCH * 0.47 - d))
                ring = 0.5 + 0.5 * (-(px + py) / (d * 1.4142 + 1e-9)) if d > 0 else 0.5
                grey = 110 + 120 * ring
                over(img, i, (grey, grey, grey), coverage(SWITCH * 0.42 - d))
                light = max(0.0, 1.0 - math.hypot(px + 5, py + 6) / (SWITCH * 0.45))
                grey = (150 if f == 0 else 105) + 90 * light
                over(img, i, (grey, grey, grey * 1.03), coverage(SWITCH * 0.32 - d))
    png(path, SWITCH * 2, SWITCH, img)


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    knob_strip(os.path.join(out, "knob.png"))
    footswitch(os.path.join(out, "footswitch.png"))


if __name__ == "__main__":
    main()
