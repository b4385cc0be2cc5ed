#!/usr/bin/env python3
"""Draws Vexel's icons and writes them as .ico files, and the three tray
icons as 32-pixel PNG pictures for the help pages.

    make_icons.py [ICON_FOLDER [PICTURE_FOLDER]]
                  (defaults: this script's folder and help/images beside it)

Every icon holds a 32x32 image in the standard Windows 16-colour palette and
16, 24 and 48 pixel images in 32-bit colour with alpha. The pictures are
made of simple shapes in a 32-unit square; each pixel is the average of
8x8 samples (full colour) or the most frequent palette colour among them
(16 colours, so that edges stay crisp). Only the standard library is used
and the output is the same byte for byte on every run.

    Vexel.ico    MAINICON      phone beside a dark round trackball
    Connect.ico  XCONNECTICON  the same with the trackball white and yellow
    HangUp.ico   XHANGUPICON   the same with the trackball magenta
    Globe.ico    GLOBEICON     a globe under a magnifying glass (About window)
"""

import math
import os
import struct
import sys
import zlib

# The standard Windows 16-colour palette, in its usual order.
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, MAROON, GREEN, OLIVE, NAVY, PURPLE, TEAL, SILVER = range(8)
GRAY, RED, LIME, YELLOW, BLUE, MAGENTA, AQUA, WHITE = range(8, 16)

FULL_COLOUR_SIZES = (16, 24, 48)
SAMPLES = 8  # per pixel and axis


# --- shapes: inside tests in the 32-unit design square -----------------------

def circle(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def ring(cx, cy, r_outer, r_inner):
    def inside(x, y):
        d = (x - cx) ** 2 + (y - cy) ** 2
        return r_inner * r_inner <= d <= r_outer * r_outer
    return inside


def rounded_rect(x0, y0, x1, y1, r):
    def inside(x, y):
        if not (x0 <= x <= x1 and y0 <= y <= y1):
            return False
        dx = max(x0 + r - x, 0, x - (x1 - r))
        dy = max(y0 + r - y, 0, y - (y1 - r))
        return dx * dx + dy * dy <= r * r
    return inside


def segment(ax, ay, bx, by, half_width):
    """A line from a to b with round ends."""
    lx, ly = bx - ax, by - ay
    length2 = lx * lx + ly * ly

    def inside(x, y):
        t = max(0.0, min(1.0, ((x - ax) * lx + (y - ay) * ly) / length2))
        px, py = ax + t * lx - x, ay + t * ly - y
        return px * px + py * py <= half_width * half_width
    return inside


def clipped(shape, clip):
    return lambda x, y: shape(x, y) and clip(x, y)


# --- paints: colour at a point, RGBA with alpha 0..1 -------------------------

def solid(rgb, alpha=1.0):
    colour = (*rgb, alpha)
    return lambda x, y: colour


def mix(a, b, t):
    t = max(0.0, min(1.0, t))
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def linear(c0, c1, x0, y0, x1, y1):
    """From c0 at (x0, y0) to c1 at (x1, y1)."""
    dx, dy = x1 - x0, y1 - y0
    length2 = dx * dx + dy * dy
    return lambda x, y: (*mix(c0, c1, ((x - x0) * dx + (y - y0) * dy) / length2), 1.0)


def radial(c_inner, c_outer, cx, cy, r):
    return lambda x, y: (*mix(c_inner, c_outer, math.hypot(x - cx, y - cy) / r), 1.0)


class Layer:
    """A shape with its full-colour paint and its 16-colour palette index
    (None: the layer is left out of the 16-colour image)."""

    def __init__(self, shape, paint, index):
        self.shape, self.paint, self.index = shape, paint, index


# --- the pictures ----------------------------------------------------------

# Trackball colours per icon: body, ball, ball highlight (full colour) and
# body and ball palette indexes (16 colours).
TRACKBALLS = {
    "Vexel": dict(body=((165, 165, 175), (62, 62, 70)), ball=((90, 90, 100), (5, 5, 8)),
                  index=(GRAY, BLACK)),
    "Connect": dict(body=((255, 255, 255), (205, 205, 215)), ball=((255, 255, 170), (235, 190, 0)),
                    index=(WHITE, YELLOW)),
    "HangUp": dict(body=((255, 140, 255), (190, 0, 190)), ball=((255, 255, 255), (225, 190, 225)),
                   index=(MAGENTA, WHITE)),
}


def outline_width(px):
    """About one pixel at every size (px: design units per pixel)."""
    return max(1.0, px)


def phone(px):
    """A candy-bar mobile phone on the left: dark blue body, lit screen,
    a keypad of 3x4 keys and an antenna stub."""
    w = outline_width(px)
    layers = [
        Layer(rounded_rect(11, 0, 14, 4, 1), solid((20, 20, 30)), BLACK),  # antenna
        Layer(rounded_rect(2, 2, 17, 31, 3), solid((10, 10, 20)), BLACK),  # outline
        Layer(rounded_rect(2 + w, 2 + w, 17 - w, 31 - w, 3 - w),
              linear((70, 105, 190), (20, 40, 110), 2, 2, 17, 31), NAVY),
        Layer(rounded_rect(4, 5, 15, 13, 1), linear((210, 255, 255), (60, 200, 230), 4, 5, 15, 13),
              AQUA),
    ]
    if px <= 1.0:  # the keypad shows from 32 pixels on; at 16 and 24 it would be mush
        for row in range(4):
            for col in range(3):
                layers.append(Layer(rounded_rect(4.5 + 4 * col, 15.5 + 3.5 * row,
                                                 6.5 + 4 * col, 17.5 + 3.5 * row, 0.6),
                                    solid((215, 225, 240)), SILVER))
    else:
        layers.append(Layer(rounded_rect(4.5, 16, 14.5, 27, 1), solid((150, 170, 210)), SILVER))
    return layers


def trackball(colours, px):
    """A round trackball in front of the phone: an outlined body, a split
    line for its two buttons, and the ball with a highlight."""
    cx, cy, r = 21.5, 20.5, 10.5
    w = outline_width(px)
    body0, body1 = colours["body"]
    ball0, ball1 = colours["ball"]
    body_index, ball_index = colours["index"]
    ball_r = 5.5
    layers = [
        Layer(circle(cx, cy, r), solid((10, 10, 20)), BLACK),
        Layer(circle(cx, cy, r - w), linear(body0, body1, cx - r, cy - r, cx + r, cy + r),
              body_index),
    ]
    if px <= 1.0:  # the split between its buttons, from 32 pixels on
        layers.append(Layer(clipped(segment(cx, cy - r, cx, cy, w / 2), circle(cx, cy, r)),
                            solid((10, 10, 20)), BLACK))
    ball_w = w if px <= 1.0 else px / 2  # at 16 and 24 pixels a full ring would hide the ball
    return layers + [
        Layer(circle(cx, cy + 0.5, ball_r), solid((10, 10, 20)), BLACK),
        Layer(circle(cx, cy + 0.5, ball_r - ball_w),
              radial(ball0, ball1, cx - 1.5, cy - 1.0, ball_r), ball_index),
        Layer(circle(cx - 1.8, cy - 1.3, 1.4), solid((255, 255, 255), 0.85), None),
    ]


def device_icon(name):
    return lambda px: phone(px) + trackball(TRACKBALLS[name], px)


def globe(px):
    """A blue globe with its grid, and a magnifying glass over its lower
    right part."""
    cx, cy, r = 13, 13, 11.5
    w = outline_width(px)
    sphere = circle(cx, cy, r - w)
    grid = (200, 240, 255)
    layers = [
        Layer(circle(cx, cy, r), solid((10, 30, 80)), NAVY),
        Layer(sphere, radial((110, 180, 255), (20, 70, 190), cx - 4, cy - 4, 16), BLUE),
        # continents, roughly
        Layer(clipped(lambda x, y: ((x - 9) / 5) ** 2 + ((y - 9) / 4) ** 2 <= 1
                      or ((x - 16) / 3.5) ** 2 + ((y - 18) / 4.5) ** 2 <= 1, sphere),
              linear((120, 220, 110), (30, 140, 50), 4, 4, 20, 22), GREEN),
    ]
    for k in (-0.55, 0.0, 0.55):  # parallels
        layers.append(Layer(clipped(lambda x, y, k=k: abs(y - (cy + k * r)) <= w / 2, sphere),
                            solid(grid, 0.8), TEAL))
    for a in (0.35, 0.8):  # meridians as ellipses around the axis
        layers.append(Layer(clipped(lambda x, y, a=a: abs(math.hypot((x - cx) / (a * r),
                                                                     (y - cy) / r) - 1)
                                    <= w / (2 * a * r), sphere),
                            solid(grid, 0.8), TEAL))
    layers.append(Layer(clipped(lambda x, y: abs(x - cx) <= w / 2, sphere), solid(grid, 0.8), TEAL))
    lx, ly, lr = 21, 21, 7
    layers += [
        Layer(segment(lx + 4, ly + 4, 30, 30, 2.2), solid((10, 10, 20)), BLACK),  # handle
        Layer(segment(lx + 4.5, ly + 4.5, 29.5, 29.5, 2.2 - w),
              linear((200, 120, 60), (110, 50, 10), 24, 24, 30, 30), MAROON),
        Layer(ring(lx, ly, lr, lr - 2.2), linear((250, 250, 255), (120, 120, 135), 14, 14, 28, 28),
              SILVER),
        Layer(ring(lx, ly, lr, lr - w), solid((10, 10, 20)), BLACK),
        Layer(ring(lx, ly, lr - 2.2 + w, lr - 2.2), solid((10, 10, 20)), BLACK),
        Layer(circle(lx, ly, lr - 2.2), solid((220, 245, 255), 0.45), None),
        Layer(clipped(ring(lx, ly, lr - 3.0, lr - 3.0 - w), lambda x, y: x < lx - 1 and y < ly - 1),
              solid((255, 255, 255), 0.9), WHITE),
    ]
    return layers


ICONS = {
    "Vexel.ico": device_icon("Vexel"),
    "Connect.ico": device_icon("Connect"),
    "HangUp.ico": device_icon("HangUp"),
    "Globe.ico": globe,
}

PICTURES = {
    "tray-stopped.png": device_icon("Vexel"),
    "tray-connected.png": device_icon("Connect"),
    "tray-reconnecting.png": device_icon("HangUp"),
}


# --- rendering ------------------------------------------------------------

def sample_points(size):
    unit = 32.0 / size
    offsets = [(i + 0.5) / SAMPLES for i in range(SAMPLES)]
    for py in range(size):
        for px in range(size):
            yield px, py, [((px + ox) * unit, (py + oy) * unit) for oy in offsets for ox in offsets]


def render_rgba(layers, size):
    """Rows of (r, g, b, a) bytes, top row first."""
    pixels = [[None] * size for _ in range(size)]
    n = SAMPLES * SAMPLES
    for px, py, points in sample_points(size):
        acc = [0.0, 0.0, 0.0, 0.0]  # premultiplied
        for x, y in points:
            r = g = b = a = 0.0
            for layer in layers:
                if layer.shape(x, y):
                    lr, lg, lb, la = layer.paint(x, y)
                    r, g, b = lr * la + r * (1 - la), lg * la + g * (1 - la), lb * la + b * (1 - la)
                    a = la + a * (1 - la)
            acc[0] += r
            acc[1] += g
            acc[2] += b
            acc[3] += a
        alpha = acc[3] / n
        if alpha <= 0:
            pixels[py][px] = (0, 0, 0, 0)
        else:
            pixels[py][px] = tuple(min(255, round(c / acc[3])) for c in acc[:3]) + (round(alpha * 255),)
    return pixels


def render_indexed(layers, size):
    """Rows of palette indexes, None where transparent, top row first."""
    layers = [layer for layer in layers if layer.index is not None]
    pixels = [[None] * size for _ in range(size)]
    for px, py, points in sample_points(size):
        votes = {}
        for x, y in points:
            index = None
            for layer in layers:
                if layer.shape(x, y):
                    index = layer.index
            votes[index] = votes.get(index, 0) + 1
        # The most frequent colour; ties go to the lowest index, then to transparency.
        pixels[py][px] = max(votes, key=lambda i: (votes[i], -99 if i is None else -i))
    return pixels


# --- ICO writing ----------------------------------------------------------

def row_bytes(bits):
    return (bits + 31) // 32 * 4


def and_mask(transparent_rows, size):
    out = bytearray()
    for row in reversed(transparent_rows):  # bottom-up
        line = bytearray(row_bytes(size))
        for x, transparent in enumerate(row):
            if transparent:
                line[x // 8] |= 0x80 >> (x % 8)
        out += line
    return bytes(out)


def dib_header(size, bit_count, image_bytes, colours):
    # BITMAPINFOHEADER; the height counts the colour image and the mask.
    return struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bit_count, 0, image_bytes,
                       0, 0, colours, 0)


def dib_4bit(pixels, size):
    xor = bytearray()
    for row in reversed(pixels):
        line = bytearray(row_bytes(size * 4))
        for x, index in enumerate(row):
            line[x // 2] |= (index or 0) << (4 if x % 2 == 0 else 0)
        xor += line
    mask = and_mask([[i is None for i in row] for row in pixels], size)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    return dib_header(size, 4, len(xor) + len(mask), 16) + palette + bytes(xor) + mask


def dib_32bit(pixels, size):
    xor = bytearray()
    for row in reversed(pixels):
        for r, g, b, a in row:
            xor += struct.pack("<BBBB", b, g, r, a)
    mask = and_mask([[a == 0 for _, _, _, a in row] for row in pixels], size)
    return dib_header(size, 32, len(xor) + len(mask), 0) + bytes(xor) + mask


def ico(images):
    """images: (size, bit count, DIB bytes) in directory order."""
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, bit_count, data in images:
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 16 if bit_count == 4 else 0, 0,
                           1, bit_count, len(data), offset)
        offset += len(data)
    return out + b"".join(data for _, _, data in images)


def make_icon(scene):
    images = [(32, 4, dib_4bit(render_indexed(scene(1.0), 32), 32))]
    for size in FULL_COLOUR_SIZES:
        images.append((size, 32, dib_32bit(render_rgba(scene(32.0 / size), size), size)))
    return ico(images)


def png(pixels):
    """Uncompressed (stored) deflate blocks: the same bytes with any zlib."""
    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data
                + struct.pack(">I", zlib.crc32(kind + data)))
    size = len(pixels)
    raw = b"".join(b"\0" + bytes(v for pixel in row for v in pixel) for row in pixels)
    return (b"\x89PNG\r\n\x1a\n"
            + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 0)) + chunk(b"IEND", b""))


def write(folder, name, data):
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def main(argv):
    here = os.path.dirname(os.path.abspath(__file__))
    icon_dir = argv[1] if len(argv) > 1 else here
    picture_dir = argv[2] if len(argv) > 2 else os.path.join(here, "..", "help", "images")
    for name, scene in ICONS.items():
        write(icon_dir, name, make_icon(scene))
    for name, scene in PICTURES.items():
        write(picture_dir, name, png(render_rgba(scene(1.0), 32)))


if __name__ == "__main__":
    main(sys.argv)
