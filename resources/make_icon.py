#!/usr/bin/env python3
"""Draws quillrake.ico: a 16-colour icon of a recent-files page being raked clear, at
16x16 (title bar, small lists), 32x32 and 48x48 (taskbar, Explorer).

Run it again after changing the drawing: python3 resources/make_icon.py
"""
import pathlib
import struct

# The standard 16-colour palette (index: R, G, B).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, DARK_YELLOW, GREY, SILVER, NAVY, WHITE, YELLOW, RED = 0, 3, 8, 7, 4, 15, 11, 9
SIZES = (16, 32, 48)
DESIGN = 32  # the drawing below is in 32x32 units


def draw(size):
    pixels = [[None] * size for _ in range(size)]  # None is transparent

    def put(x, y, colour):
        """Fills design unit (x, y): a block of pixels, at least one, at this size."""
        x0, y0 = x * size // DESIGN, y * size // DESIGN
        x1 = max(x0 + 1, (x + 1) * size // DESIGN)
        y1 = max(y0 + 1, (y + 1) * size // DESIGN)
        for py in range(max(y0, 0), min(y1, size)):
            for px in range(max(x0, 0), min(x1, size)):
                pixels[py][px] = colour

    # The page: white with a grey outline, a folded corner and list lines.
    for y in range(2, 28):
        for x in range(4, 22):
            put(x, y, WHITE)
    for x in range(4, 22):
        put(x, 2, GREY)
        put(x, 27, GREY)
    for y in range(2, 28):
        put(4, y, GREY)
        put(21, y, GREY)
    for i in range(5):
        for j in range(i + 1):
            put(21 - j, 2 + i, None if j < i else GREY)
    for row, length in zip(range(7, 26, 3), (11, 13, 9, 12, 10, 13, 8)):
        for x in range(7, 7 + length):
            put(x, row, NAVY if row < 16 else SILVER)

    # The rake: a wooden handle from the top right down to a head with teeth.
    for t in range(0, 19):
        x, y = 30 - t, 4 + t
        put(x, y, DARK_YELLOW)
        put(x - 1, y, YELLOW)
    for x in range(6, 18):
        put(x, 23 - (x - 6) // 4, BLACK)
        put(x, 24 - (x - 6) // 4, BLACK)
    for x in range(6, 18, 2):
        for d in range(1, 5):
            put(x, 24 - (x - 6) // 4 + d, BLACK)

    # A red sweep mark: the list is being cleared.
    for x in range(20, 30):
        put(x, 28 - (x - 20) // 3, RED)
        put(x, 29 - (x - 20) // 3, RED)
    return pixels


def row_bytes(bits):
    """A bitmap row, padded to whole 32-bit words as DIBs are."""
    data = int(bits, 2).to_bytes(len(bits) // 8, "big")
    return data + b"\0" * (-len(data) % 4)


def encode_image(pixels):
    size = len(pixels)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    colours, mask = b"", b""
    for row in reversed(pixels):  # bottom-up
        nibbles = [0 if p is None else p for p in row]
        line = bytes((nibbles[i] << 4) | nibbles[i + 1] for i in range(0, size, 2))
        colours += line + b"\0" * (-len(line) % 4)
        mask += row_bytes("".join("1" if p is None else "0" for p in row))
    return header + palette + colours + mask


def encode(images):
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries, data = b"", b""
    for pixels, image in images:
        size = len(pixels)
        entries += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(image), offset + len(data))
        data += image
    return directory + entries + data


if __name__ == "__main__":
    out = pathlib.Path(__file__).with_name("quillrake.ico")
    images = [(pixels, encode_image(pixels)) for pixels in (draw(size) for size in SIZES)]
    out.write_bytes(encode(images))
    print(f"wrote {out}")
