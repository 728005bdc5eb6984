#!/usr/bin/python3
"""Makes quillrake.ico: a recent-files page being raked clear.

Needs Debian's icoutils (icotool assembles the .ico) and python3-pil (Pillow draws and
writes the PNG images icotool reads; it never writes the .ico, since it would store every
size as PNG, which XP cannot read):
    apt-get install icoutils python3-pil
Run by hand after changing the drawing, with Debian's Python, and commit the icon:
    /usr/bin/python3 resources/make_icon.py [FOLDER]
A FOLDER given keeps the PNG images icotool was given, to look at.

The icon holds, in this order:
- 16-colour images at 16, 32 and 48 pixels, for 16-colour displays (draw_16_colours);
- 32-bit images with alpha at 16, 20, 24, 32, 40, 48 and 64 pixels, uncompressed since
  XP reads no PNG, for small and large icons at 100% to 200% DPI (draw);
- a 32-bit 256 pixel image stored as PNG, for Vista and later (XP skips it).
Every 32-bit image comes from draw(), which places each part on whole pixels at each size.
The same input gives the same bytes.
"""
import math
import pathlib
import subprocess
import sys
import tempfile

from PIL import Image

DESIGN = 32  # both drawings are in 32x32 units
TRUE_COLOUR_SIZES = (16, 20, 24, 32, 40, 48, 64)
PNG_SIZE = 256

# The 16-colour images: the standard 16-colour palette (index: R, G, B).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, DARK_YELLOW, GREY, SILVER, NAVY, WHITE, YELLOW, RED = 0, 3, 8, 7, 4, 15, 11, 9
PALETTE_SIZES = (16, 32, 48)


def draw_16_colours(size):
    """The 16-colour image: each design unit a block of whole pixels."""
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

    image = Image.new('RGBA', (size, size))
    image.putdata([(0, 0, 0, 0) if p is None else PALETTE[p] + (255,) for row in pixels for p in row])
    return image


# The 32-bit images' colours (R, G, B).
OUTLINE = (92, 100, 116)
PAPER = (255, 255, 255)
FOLD = (208, 214, 224)
TEXT = (36, 72, 160)
FADED = (170, 180, 194)
WOOD_LIGHT = (232, 184, 104)
WOOD_DARK = (156, 100, 40)
IRON = (28, 28, 32)
SWEEP = (218, 36, 36)


def clip(points, axis, limit, side):
    """The part of a polygon on one side (+1 above, -1 below) of a line x or y = limit
    (Sutherland-Hodgman)."""
    def inside(p):
        return side * (p[axis] - limit) >= 0

    kept = []
    for p, q in zip(points, points[1:] + points[:1]):
        if inside(p) != inside(q):
            t = (limit - p[axis]) / (q[axis] - p[axis])
            kept.append((p[0] + (q[0] - p[0]) * t, p[1] + (q[1] - p[1]) * t))
        if inside(q):
            kept.append(q)
    return kept


def coverage(points, x, y):
    """How much of pixel (x, y) a polygon covers, from 0 to 1."""
    for axis, limit, side in ((0, x, 1), (0, x + 1, -1), (1, y, 1), (1, y + 1, -1)):
        points = clip(points, axis, limit, side)
    return abs(sum(p[0] * q[1] - q[0] * p[1] for p, q in zip(points, points[1:] + points[:1]))) / 2


class Canvas:
    """A size x size RGBA image drawn in design units, each part put on whole pixels."""

    def __init__(self, size):
        self.size, self.scale = size, size / DESIGN
        self.image = Image.new('RGBA', (size, size))
        # Where a design unit is a single pixel, so are the thin strokes: their pixels are in or
        # out, since a half-covered pixel either side would blur them.
        self.crisp = self.px(1) < 2

    def px(self, units):
        """Design units to the nearest whole pixel (halves up, the same at every run)."""
        return int(units * self.scale + 0.5)

    def width(self, units):
        """A stroke's width in whole pixels: never thinner than one."""
        return max(1, self.px(units))

    def fill(self, points, colour):
        """Fills a polygon given in pixels; a pixel its edge crosses gets the part it covers."""
        xs, ys = [x for x, _ in points], [y for _, y in points]
        x0, y0 = max(0, int(min(xs))), max(0, int(min(ys)))
        x1, y1 = min(self.size, math.ceil(max(xs))), min(self.size, math.ceil(max(ys)))
        mask = Image.new('L', self.image.size)
        for y in range(y0, y1):
            for x in range(x0, x1):
                cover = coverage(points, x, y)
                if self.crisp:
                    cover = 1 if cover >= 0.5 else 0  # half covered counts in
                mask.putpixel((x, y), round(cover * 255))
        layer = Image.new('RGBA', self.image.size, colour + (255,))
        layer.putalpha(mask)
        self.image.alpha_composite(layer)

    def box(self, x0, y0, x1, y1, colour):
        """A rectangle in pixels."""
        self.fill([(x0, y0), (x1, y0), (x1, y1), (x0, y1)], colour)


def draw(size):
    """The 32-bit image: the page, its list, the sweep mark and the rake, at any size."""
    c = Canvas(size)
    line = c.width(0.75)

    # The page, its top right corner folded over.
    left, top, right, bottom = c.px(4), c.px(2), c.px(22), c.px(28)
    fold = c.px(5)
    corner = right - fold  # where the fold starts along the top
    c.fill([(left, top), (corner, top), (right, top + fold), (right, bottom), (left, bottom)], OUTLINE)
    c.fill([(left + line, top + line), (corner, top + line), (right - line, top + fold),
            (right - line, bottom - line), (left + line, bottom - line)], PAPER)
    c.fill([(corner, top), (corner, top + fold), (right, top + fold)], OUTLINE)
    # The flap inside its outline; at small sizes the outline is all there is of it.
    leg = fold - line * (2 + 2 ** 0.5)
    if leg > 0:
        c.fill([(corner + line, top + fold - line - leg), (corner + line, top + fold - line),
                (corner + line + leg, top + fold - line)], FOLD)

    # The list: as many lines as fit with a gap of their own width at least, the first three
    # in ink, the rest faded; lines and gaps on whole pixels.
    thick = c.width(1)
    pitch = max(2 * thick, c.px(3))
    x0, y, lowest = c.px(7), c.px(7), bottom - line - thick
    for n, length in enumerate((11, 13, 9, 12, 10, 13, 8)):
        if y + thick > lowest:
            break
        c.box(x0, y, min(c.px(7 + length), right - line - thick), y + thick, TEXT if n < 3 else FADED)
        y += pitch

    # The red sweep mark under the page's bottom right corner: the list is being cleared.
    # Two pixels thick at least, or it would break up into single steps at small sizes.
    stroke = max(2, c.px(2))
    x0, x1, y0 = c.px(20), c.px(30), c.px(29)
    rise = c.px(2.5)
    c.fill([(x0, y0 - stroke), (x1, y0 - rise - stroke), (x1, y0 - rise), (x0, y0)], SWEEP)

    # The rake's head: an iron bar with teeth, as many as fit with gaps as wide as they are.
    tooth = c.width(1)
    pitch = max(2 * tooth, c.px(2))
    head_left, head_top, teeth_top, teeth_bottom = c.px(6), c.px(22), c.px(24), c.px(28)
    teeth = (c.px(18) - head_left - tooth) // pitch + 1
    head_right = head_left + (teeth - 1) * pitch + tooth
    c.box(head_left, head_top, head_right, max(teeth_top, head_top + 1), IRON)
    for n in range(teeth):
        c.box(head_left + n * pitch, teeth_top, head_left + n * pitch + tooth, teeth_bottom, IRON)

    # The handle, at 45 degrees from the top right to the middle of the head, in two tones
    # side by side, each a pixel wide at least. The tones' edges run half-way between pixel
    # centres, so that each covers most of one diagonal row of pixels and little of the next.
    half = c.width(1)
    middle = int((head_left + head_right) / 2 + head_top) + 0.5  # x + y along the handle
    upper = c.px(3)
    for colour, a, b in ((WOOD_LIGHT, middle - half, middle), (WOOD_DARK, middle, middle + half)):
        c.fill([(a - upper, upper), (b - upper, upper), (b - head_top, head_top), (a - head_top, head_top)], colour)
    return c.image


def main():
    out = pathlib.Path(__file__).with_name('quillrake.ico')
    with tempfile.TemporaryDirectory() as folder:
        def png(name, image):
            path = f'{folder}/{name}.png'
            image.save(path)
            return path
        palette = [png(f'16-colours-{size}', draw_16_colours(size)) for size in PALETTE_SIZES]
        true_colour = [png(f'32-bit-{size}', draw(size)) for size in TRUE_COLOUR_SIZES]
        large = png(f'32-bit-{PNG_SIZE}', draw(PNG_SIZE))
        # -b is the least bit depth of the files after it; --raw stores the PNG file as it is.
        subprocess.run(['icotool', '--create', '--icon', '-o', str(out), '-b', '4', *palette,
                        '-b', '32', *true_colour, '--raw', large], check=True)
        if len(sys.argv) > 1:
            for path in pathlib.Path(folder).iterdir():
                path.rename(pathlib.Path(sys.argv[1]) / path.name)
    print(f'wrote {out}')


if __name__ == '__main__':
    main()
