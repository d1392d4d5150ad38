#!/usr/bin/env python3
"""Draws TALLY's pictures and writes them as Windows resources.

register.bmp  bitmap 2: the cash register shown in the progress window, 218 x 170 pixels,
              8 bits per pixel with a 256-entry colour table, uncompressed, bottom-up. Its
              bottom six rows are plain background: the progress bar covers them.
tally.ico     the application icon: 32 x 32 and 16 x 16 images in 16 colours.

Python 3 standard library only. Run from anywhere:  python3 resources/make_resources.py
"""

import math
import os
import struct
import sys

WIDTH, HEIGHT = 218, 170
BAR_ROWS = 6  # covered by the progress bar
SCALE = 3  # supersampling for smooth edges
BACKGROUND = (248, 248, 245)

# LoadImage with LR_LOADMAP3DCOLORS swaps these greys for the system's 3-D colours; the
# colour table keeps clear of them so that the picture looks the same everywhere.
MAPPED_GREYS = {(128, 128, 128), (192, 192, 192), (223, 223, 223)}


# ---------------------------------------------------------------------------------------
# Drawing on a supersampled RGB canvas.


class Canvas:
    def __init__(self, width, height, scale, background):
        self.w, self.h, self.s = width * scale, height * scale, scale
        self.px = [list(background) for _ in range(self.w * self.h)]

    def _blend(self, i, colour, alpha):
        p = self.px[i]
        if alpha >= 1.0:
            p[0], p[1], p[2] = colour
        else:
            for k in range(3):
                p[k] = p[k] + (colour[k] - p[k]) * alpha

    def polygon(self, points, paint, alpha=1.0):
        """Fills a polygon given in picture pixels. paint is a colour or a function of the
        picture position (x, y) giving one."""
        s = self.s
        pts = [(x * s, y * s) for x, y in points]
        ys = [p[1] for p in pts]
        top = max(0, int(math.floor(min(ys))))
        bottom = min(self.h - 1, int(math.ceil(max(ys))))
        n = len(pts)
        for row in range(top, bottom + 1):
            yc = row + 0.5
            xs = []
            for i in range(n):
                x0, y0 = pts[i]
                x1, y1 = pts[(i + 1) % n]
                if (y0 <= yc < y1) or (y1 <= yc < y0):
                    xs.append(x0 + (yc - y0) * (x1 - x0) / (y1 - y0))
            xs.sort()
            for a, b in zip(xs[0::2], xs[1::2]):
                c0 = max(0, int(math.ceil(a - 0.5)))
                c1 = min(self.w - 1, int(math.floor(b - 0.5)))
                for col in range(c0, c1 + 1):
                    colour = paint((col + 0.5) / s, yc / s) if callable(paint) else paint
                    self._blend(row * self.w + col, colour, alpha)

    def rect(self, x0, y0, x1, y1, paint, alpha=1.0):
        self.polygon([(x0, y0), (x1, y0), (x1, y1), (x0, y1)], paint, alpha)

    def ellipse(self, cx, cy, rx, ry, paint, alpha=1.0, steps=48):
        pts = [(cx + rx * math.cos(2 * math.pi * i / steps), cy + ry * math.sin(2 * math.pi * i / steps))
               for i in range(steps)]
        self.polygon(pts, paint, alpha)

    def rounded(self, x0, y0, x1, y1, r, paint, alpha=1.0):
        pts = []
        for cx, cy, a0 in ((x1 - r, y0 + r, -90), (x1 - r, y1 - r, 0), (x0 + r, y1 - r, 90), (x0 + r, y0 + r, 180)):
            for i in range(7):
                a = math.radians(a0 + 15 * i)
                pts.append((cx + r * math.cos(a), cy + r * math.sin(a)))
        self.polygon(pts, paint, alpha)

    def line(self, x0, y0, x1, y1, width, paint, alpha=1.0):
        dx, dy = x1 - x0, y1 - y0
        length = math.hypot(dx, dy) or 1.0
        nx, ny = -dy / length * width / 2, dx / length * width / 2
        self.polygon([(x0 + nx, y0 + ny), (x1 + nx, y1 + ny), (x1 - nx, y1 - ny), (x0 - nx, y0 - ny)], paint, alpha)

    def downsample(self):
        s, out = self.s, []
        area = s * s
        for y in range(self.h // s):
            for x in range(self.w // s):
                acc = [0.0, 0.0, 0.0]
                for j in range(s):
                    base = (y * s + j) * self.w + x * s
                    for i in range(s):
                        p = self.px[base + i]
                        acc[0] += p[0]
                        acc[1] += p[1]
                        acc[2] += p[2]
                out.append(tuple(int(round(c / area)) for c in acc))
        return out


def mix(a, b, t):
    t = max(0.0, min(1.0, t))
    return tuple(a[k] + (b[k] - a[k]) * t for k in range(3))


def vertical(top_colour, bottom_colour, y0, y1):
    return lambda x, y: mix(top_colour, bottom_colour, (y - y0) / (y1 - y0))


def lerp(p, q, t):
    return (p[0] + (q[0] - p[0]) * t, p[1] + (q[1] - p[1]) * t)


def on_quad(quad, u, v):
    """A point of a quadrilateral (rear-left, rear-right, front-right, front-left) at u
    across and v from rear to front."""
    rl, rr, fr, fl = quad
    return lerp(lerp(rl, rr, u), lerp(fl, fr, u), v)


# A 3 x 5 pixel font for the key caps and the name plate.
GLYPHS = {
    "0": ["111", "101", "101", "101", "111"], "1": ["010", "110", "010", "010", "111"],
    "2": ["111", "001", "111", "100", "111"], "3": ["111", "001", "011", "001", "111"],
    "4": ["101", "101", "111", "001", "001"], "5": ["111", "100", "111", "001", "111"],
    "6": ["111", "100", "111", "101", "111"], "7": ["111", "001", "010", "010", "010"],
    "8": ["111", "101", "111", "101", "111"], "9": ["111", "101", "111", "001", "111"],
    ".": ["000", "000", "000", "000", "010"], "O": ["111", "101", "101", "101", "111"],
    "K": ["101", "110", "100", "110", "101"], "A": ["010", "101", "111", "101", "101"],
    "P": ["110", "101", "110", "100", "100"], "F": ["111", "100", "110", "100", "100"],
    "C": ["111", "100", "100", "100", "111"], "S": ["111", "100", "111", "001", "111"],
    "H": ["101", "101", "111", "101", "101"], "T": ["111", "010", "010", "010", "010"],
    " ": ["000", "000", "000", "000", "000"],
}


def text(canvas, x, y, string, colour, size=1.0, alpha=1.0):
    for ch in string:
        for j, bits in enumerate(GLYPHS[ch]):
            for i, bit in enumerate(bits):
                if bit == "1":
                    canvas.rect(x + i * size, y + j * size, x + (i + 1) * size, y + (j + 1) * size, colour, alpha)
        x += 4 * size


# Seven-segment digits for the register's display.
SEGMENTS = {
    "0": "abcdef", "1": "bc", "2": "abdeg", "3": "abcdg", "4": "bcfg", "5": "acdfg",
    "6": "acdefg", "7": "abc", "8": "abcdefg", "9": "abcdfg", "-": "g", " ": "",
}


def seven_segment(canvas, x, y, w, h, ch, colour, thick=1.1, slant=0.8):
    def p(px, py):  # slanted like a real display
        return (x + px + slant * (1 - py / h), y + py)

    half = h / 2
    segs = {
        "a": (p(0.5, 0), p(w - 0.5, 0)), "g": (p(0.5, half), p(w - 0.5, half)),
        "d": (p(0.5, h), p(w - 0.5, h)), "f": (p(0, 0.5), p(0, half - 0.5)),
        "b": (p(w, 0.5), p(w, half - 0.5)), "e": (p(0, half + 0.5), p(0, h - 0.5)),
        "c": (p(w, half + 0.5), p(w, h - 0.5)),
    }
    for name in SEGMENTS[ch]:
        (x0, y0), (x1, y1) = segs[name]
        canvas.line(x0, y0, x1, y1, thick, colour)


# ---------------------------------------------------------------------------------------
# The register.

BODY_LIGHT = (236, 233, 224)
BODY_MID = (206, 202, 190)
BODY_DARK = (150, 146, 136)
CHARCOAL = (62, 64, 70)
CHARCOAL_DARK = (36, 37, 42)


def draw_register():
    c = Canvas(WIDTH, HEIGHT, SCALE, BACKGROUND)

    # Soft shadow on the table.
    for i in range(6):
        c.ellipse(109, 158.5, 100 - i * 4, 6.5 - i * 0.7, (120, 118, 112), 0.07)

    # Cash drawer: charcoal box with a handle recess and a lock.
    c.polygon([(20, 124), (198, 124), (201, 128), (17, 128)], vertical((96, 98, 104), (72, 74, 80), 124, 128))
    c.rect(17, 128, 201, 158, vertical((70, 72, 79), (42, 43, 48), 128, 158))
    c.rect(17, 128, 201, 129, (110, 112, 118))
    c.rect(17, 157, 201, 158, (30, 30, 34))
    c.rounded(86, 138, 132, 146, 3, (26, 26, 30))
    c.rect(88, 143.5, 130, 146, (90, 92, 98))
    c.ellipse(186, 135, 3.6, 3.6, (176, 178, 184))
    c.ellipse(186, 135, 2.4, 2.4, (214, 216, 220))
    c.rect(185.6, 133.2, 186.4, 136.8, (60, 60, 64))

    # Front lip under the keyboard, with the name plate.
    c.rect(22, 113, 196, 124, vertical(BODY_MID, BODY_DARK, 113, 124))
    c.rect(22, 113, 196, 114, (246, 244, 238))
    c.rounded(90, 115.5, 128, 122, 1.5, CHARCOAL_DARK)
    text(c, 94.5, 116.8, "OKA PF", (226, 200, 120), 0.72)

    # Rear housing: its front face and its top, on which the printer and the display sit.
    rear_top = [(46, 40), (172, 40), (184, 56), (34, 56)]
    c.polygon(rear_top, vertical((228, 226, 218), BODY_LIGHT, 40, 56))
    c.rect(34, 56, 184, 66, vertical(BODY_MID, (186, 182, 170), 56, 66))
    c.rect(34, 56, 184, 57, (248, 247, 242))

    # Keyboard deck, sloping down towards the user.
    deck = [(34, 66), (184, 66), (196, 113), (22, 113)]
    c.polygon(deck, vertical((214, 211, 200), (240, 238, 230), 66, 113))
    c.polygon([(34, 66), (184, 66), (184.5, 68), (33.5, 68)], (170, 166, 156))
    # Keyboard well: a darker panel set into the deck.
    well = [on_quad(deck, 0.05, 0.1), on_quad(deck, 0.95, 0.1), on_quad(deck, 0.97, 0.94), on_quad(deck, 0.03, 0.94)]
    c.polygon(well, vertical((92, 96, 104), (110, 114, 122), 70, 110))
    draw_keys(c, well)

    # Printer on the left of the housing: cover, paper slot and the receipt.
    c.polygon([(52, 35), (104, 35), (107, 53), (49, 53)], vertical((196, 199, 206), (168, 172, 180), 35, 53))
    c.polygon([(52, 35), (104, 35), (104.5, 36.2), (51.5, 36.2)], (232, 234, 238))
    c.rect(49, 52, 107, 53.5, (120, 122, 130))
    c.rect(56, 40.5, 100, 42.5, (40, 40, 44))
    draw_receipt(c)
    c.rect(56, 41.8, 100, 42.5, (70, 70, 76))

    # Display on the right of the housing: a tilted panel on a short neck.
    c.polygon([(128, 44), (158, 44), (162, 52), (124, 52)], vertical((90, 92, 98), (60, 62, 68), 44, 52))
    c.polygon([(114, 8), (174, 8), (177, 46), (111, 46)], vertical((74, 76, 84), (44, 45, 50), 8, 46))
    c.polygon([(114, 8), (174, 8), (174.3, 9.5), (113.7, 9.5)], (120, 122, 130))
    screen = [(118.5, 14), (169.5, 14), (171, 36), (117, 36)]
    c.polygon(screen, vertical((22, 58, 50), (14, 40, 36), 14, 36))
    c.polygon([(118.5, 14), (169.5, 14), (169.7, 15.5), (118.3, 15.5)], (10, 26, 24))
    glow = (120, 255, 176)
    for i, ch in enumerate(" 1250"):
        seven_segment(c, 122 + i * 9.2, 18, 5.2, 13, ch, glow)
    c.ellipse(147.6, 31, 0.8, 0.8, glow)  # decimal point: 12.50
    c.ellipse(172.5, 41, 1.2, 1.2, (80, 220, 120))  # power lamp
    c.rect(117, 40, 150, 41.2, (100, 102, 110))

    # Bottom rows: plain background for the progress bar.
    c.rect(0, HEIGHT - BAR_ROWS, WIDTH, HEIGHT, BACKGROUND)
    return c.downsample()


def draw_keys(c, well):
    def cell(u0, v0, u1, v1):
        return [on_quad(well, u0, v0), on_quad(well, u1, v0), on_quad(well, u1, v1), on_quad(well, u0, v1)]

    def key(u0, v0, u1, v1, colour, label=None, label_colour=(40, 40, 44)):
        top = cell(u0, v0, u1, v1)
        front = [top[3], top[2], (top[2][0], top[2][1] + 1.6), (top[3][0], top[3][1] + 1.6)]
        c.polygon([(x + 0.6, y + 1.0) for x, y in front + top[:2]][::-1], (40, 42, 48), 0.5)
        c.polygon(front, mix(colour, (0, 0, 0), 0.35))
        c.polygon(top, vertical(mix(colour, (255, 255, 255), 0.25), colour, top[0][1], top[3][1]))
        if label:
            cx = (top[0][0] + top[1][0] + top[2][0] + top[3][0]) / 4
            cy = (top[0][1] + top[1][1] + top[2][1] + top[3][1]) / 4
            size = 0.62 * (0.85 + 0.3 * v1)
            width = (4 * len(label) - 1) * size
            text(c, cx - width / 2, cy - 2.5 * size, label, label_colour, size)

    rows = 5
    gap_u, gap_v = 0.012, 0.05
    row_v = [(0.06 + r * 0.88 / rows, 0.06 + (r + 1) * 0.88 / rows - gap_v) for r in range(rows)]

    # Department keys on the left, in the colours of their goods groups.
    colours = [(220, 90, 80), (240, 170, 70), (110, 170, 220), (120, 190, 120)]
    cols = 4
    u_start, u_end = 0.03, 0.40
    step = (u_end - u_start) / cols
    for r, (v0, v1) in enumerate(row_v):
        for k in range(cols):
            u0 = u_start + k * step
            key(u0, v0, u0 + step - gap_u * 1.5, v1, colours[(k + r // 2) % 4] if r < 4 else (170, 172, 178))

    # Number keys in the middle.
    labels = [["7", "8", "9"], ["4", "5", "6"], ["1", "2", "3"], ["0", "00", "."]]
    u_start, u_end = 0.44, 0.72
    step = (u_end - u_start) / 3
    key(u_start, row_v[0][0], u_end - gap_u * 1.5, row_v[0][1], (196, 60, 56), "C", (250, 240, 236))
    for r in range(4):
        v0, v1 = row_v[r + 1]
        for k in range(3):
            u0 = u_start + k * step
            key(u0, v0, u0 + step - gap_u * 1.5, v1, (242, 240, 232), labels[r][k])

    # Function keys on the right and the big cash key.
    u_start = 0.76
    step = 0.105
    for r in range(3):
        v0, v1 = row_v[r]
        for k in range(2):
            u0 = u_start + k * step
            key(u0, v0, u0 + step - gap_u * 1.5, v1, (150, 154, 164))
    key(u_start, row_v[3][0], u_start + step - gap_u * 1.5, row_v[4][1], (90, 96, 110))
    key(u_start + step, row_v[3][0], u_start + 2 * step - gap_u * 1.5, row_v[4][1], (60, 160, 90), "CA", (250, 252, 246))


def draw_receipt(c):
    # The paper comes out of the slot and leans back a little; its top edge is torn.
    bottom_l, bottom_r = (60, 41.5), (96, 41.5)
    top_l, top_r = (63, 4), (99, 2)
    edge = []
    teeth = 12
    for i in range(teeth + 1):
        p = lerp(top_r, top_l, i / teeth)
        edge.append((p[0], p[1] + (1.2 if i % 2 else 0)))
    paper = [bottom_l, bottom_r] + edge
    c.polygon(paper, lambda x, y: mix((244, 244, 240), (255, 255, 252), (41.5 - y) / 39))
    c.line(bottom_r[0], bottom_r[1], top_r[0], top_r[1], 0.7, (206, 206, 200))

    def on_paper(u, v):  # u across, v from the top down
        return lerp(lerp(top_l, bottom_l, v), lerp(top_r, bottom_r, v), u)

    ink = (150, 150, 156)
    lines = [(0.10, 0.2, 0.8), (0.20, 0.1, 0.55), (0.28, 0.1, 0.5), (0.36, 0.1, 0.6), (0.44, 0.1, 0.45),
             (0.60, 0.1, 0.4), (0.72, 0.1, 0.9)]
    for v, u0, u1 in lines:
        a, b = on_paper(u0, v), on_paper(u1, v)
        c.line(a[0], a[1], b[0], b[1], 1.1, ink, 0.8)
    for v in (0.20, 0.28, 0.36, 0.44):  # prices on the right
        a, b = on_paper(0.72, v), on_paper(0.9, v)
        c.line(a[0], a[1], b[0], b[1], 1.1, ink, 0.8)
    a, b = on_paper(0.1, 0.52), on_paper(0.9, 0.52)
    c.line(a[0], a[1], b[0], b[1], 0.5, ink, 0.8)
    a, b = on_paper(0.55, 0.60), on_paper(0.9, 0.60)
    c.line(a[0], a[1], b[0], b[1], 1.6, (90, 90, 96), 0.9)  # the total


# ---------------------------------------------------------------------------------------
# Colour table: median cut over the picture's colours.


def median_cut(counts, size):
    boxes = [list(counts.items())]
    while len(boxes) < size:
        best, best_score, best_channel = None, -1, 0
        for index, box in enumerate(boxes):
            if len(box) < 2:
                continue
            for ch in range(3):
                values = [colour[ch] for colour, _ in box]
                spread = max(values) - min(values)
                score = spread * math.sqrt(sum(n for _, n in box))
                if score > best_score:
                    best, best_score, best_channel = index, score, ch
        if best is None:
            break
        box = sorted(boxes.pop(best), key=lambda item: item[0][best_channel])
        total = sum(n for _, n in box)
        running, cut = 0, 1
        for i, (_, n) in enumerate(box):
            running += n
            if running >= total / 2:
                cut = min(max(i + 1, 1), len(box) - 1)
                break
        boxes += [box[:cut], box[cut:]]
    palette = []
    for box in boxes:
        total = sum(n for _, n in box)
        palette.append(tuple(int(round(sum(col[k] * n for col, n in box) / total)) for k in range(3)))
    return palette


def quantise(pixels):
    counts = {}
    for p in pixels:
        counts[p] = counts.get(p, 0) + 1
    # The background keeps its exact colour, as entry 0.
    palette = [BACKGROUND] + [p for p in median_cut(counts, 255) if p != BACKGROUND]
    palette = [tuple(v + 1 if v < 255 else v - 1 for v in p) if p in MAPPED_GREYS else p for p in palette]
    palette = (palette + [(0, 0, 0)] * 256)[:256]
    cache = {}

    def nearest(colour):
        if colour not in cache:
            cache[colour] = min(range(len(palette)), key=lambda i: sum((palette[i][k] - colour[k]) ** 2 * w
                                                                      for k, w in ((0, 3), (1, 4), (2, 2))))
        return cache[colour]

    return palette, [nearest(p) for p in pixels]


def write_bmp(path, width, height, palette, indices):
    stride = (width + 3) & ~3
    rows = b""
    for y in range(height - 1, -1, -1):  # bottom-up
        row = bytes(indices[y * width:(y + 1) * width])
        rows += row + b"\0" * (stride - width)
    table = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 8, 0, len(rows), 2835, 2835, 256, 0)
    offset = 14 + len(info) + len(table)
    header = struct.pack("<2sIHHI", b"BM", offset + len(rows), 0, 0, offset)
    with open(path, "wb") as f:
        f.write(header + info + table + rows)


# ---------------------------------------------------------------------------------------
# The icon: a small register in the 16 standard colours, drawn pixel by pixel.

VGA = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128), (0, 128, 128),
       (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0), (0, 0, 255),
       (255, 0, 255), (0, 255, 255), (255, 255, 255)]
BLACK, DKRED, DKGREEN, OLIVE, NAVY, PURPLE, TEAL, SILVER, GREY, RED, GREEN, YELLOW, BLUE, MAGENTA, CYAN, WHITE = range(16)
CLEAR = None

ICON_32 = """
................................
......KKKKKKKKK.................
......KWWWWWWWK.................
......KWGGGGWWK...KKKKKKKKKKKK..
......KWWWWWWWK...KTTTTTTTTTTK..
......KWGGGWGGK...KTLLTLLTLLTK..
......KWWWWWWWK...KTLLTLLTLLTK..
......KWGGGGGWK...KTTTTTTTTTTK..
....KKKKKKKKKKKKK.KKKKKKKKKKKK..
....KSSSSSSSSSSSK....KGGGGK.....
..KKKKKKKKKKKKKKKKKKKKKKKKKKKKK.
..KWWWWWWWWWWWWWWWWWWWWWWWWWWWK.
..KSSSSSSSSSSSSSSSSSSSSSSSSSSSK.
..KSRRSYYSBBSSWWSWWSWWSSGGSGGSK.
..KSSSSSSSSSSSSSSSSSSSSSSSSSSSK.
..KSYYSBBSRRSSWWSWWSWWSSGGSGGSK.
..KSSSSSSSSSSSSSSSSSSSSSSSSSSSK.
..KSBBSRRSYYSSWWSWWSWWSSGGSLLSK.
..KSSSSSSSSSSSSSSSSSSSSSSSSSSSK.
..KSGGSGGSGGSSWWSWWSWWSSGGSLLSK.
..KSSSSSSSSSSSSSSSSSSSSSSSSSSSK.
..KGGGGGGGGGGGGGGGGGGGGGGGGGGGK.
.KKKKKKKKKKKKKKKKKKKKKKKKKKKKKKK
.KDDDDDDDDDDDDDDDDDDDDDDDDDDDDDK
.KDDDDDDDDDDDDDDDDDDDDDDDDDDDDDK
.KDDDDDDDDDDKKKKKKKKKDDDDDDDDDDK
.KDDDDDDDDDDDSSSSSSSDDDDDDDDDDDK
.KDDDDDDDDDDDDDDDDDDDDDDDDDDDSDK
.KDDDDDDDDDDDDDDDDDDDDDDDDDDDDDK
.KKKKKKKKKKKKKKKKKKKKKKKKKKKKKKK
................................
................................
"""

ICON_16 = """
................
...KKKKK........
...KWWWK..KKKKK.
...KWGWK..KTLTK.
...KWWWK..KKKKK.
.KKKKKKKKKKKKKK.
.KWWWWWWWWWWWWK.
.KSRSYSWSWSGSSK.
.KSSSSSSSSSSSSK.
.KSBSRSWSWSLSSK.
.KGGGGGGGGGGGGK.
KKKKKKKKKKKKKKKK
KDDDDDDDDDDDDDDK
KDDDDKKKKKDDDDDK
KDDDDDDDDDDDDDDK
KKKKKKKKKKKKKKKK
"""

ICON_KEYS = {
    ".": CLEAR, "K": BLACK, "W": WHITE, "G": GREY, "S": SILVER, "T": TEAL, "L": GREEN, "R": RED,
    "Y": YELLOW, "B": BLUE, "D": GREY,
}


def parse_icon(art, size):
    rows = [row for row in art.strip("\n").split("\n")]
    assert len(rows) == size, (size, len(rows))
    pixels = []
    for row in rows:
        assert len(row) == size, (size, row)
        pixels.append([ICON_KEYS[ch] for ch in row])
    return pixels


def icon_image(pixels):
    size = len(pixels)
    xor_stride = ((size * 4 + 31) // 32) * 4
    and_stride = ((size + 31) // 32) * 4
    xor_rows, and_rows = b"", b""
    for row in reversed(pixels):  # bottom-up
        nibbles = [0 if p is CLEAR else p for p in row]
        data = bytes((nibbles[i] << 4) | nibbles[i + 1] for i in range(0, size, 2))
        xor_rows += data + b"\0" * (xor_stride - len(data))
        mask = bytearray(and_stride)
        for i, p in enumerate(row):
            if p is CLEAR:
                mask[i // 8] |= 0x80 >> (i % 8)
        and_rows += bytes(mask)
    table = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in VGA)
    info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, len(xor_rows) + len(and_rows), 0, 0, 16, 0)
    return info + table + xor_rows + and_rows


def write_ico(path, images):
    header = struct.pack("<HHH", 0, 1, len(images))
    offset = len(header) + 16 * len(images)
    entries, blobs = b"", b""
    for size, blob in images:
        entries += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(blob), offset + len(blobs))
        blobs += blob
    with open(path, "wb") as f:
        f.write(header + entries + blobs)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    palette, indices = quantise(draw_register())
    assert all(indices[y * WIDTH + x] == 0 for y in range(HEIGHT - BAR_ROWS, HEIGHT) for x in range(WIDTH))
    write_bmp(os.path.join(here, "register.bmp"), WIDTH, HEIGHT, palette, indices)
    write_ico(os.path.join(here, "tally.ico"),
              [(32, icon_image(parse_icon(ICON_32, 32))), (16, icon_image(parse_icon(ICON_16, 16)))])
    return 0


if __name__ == "__main__":
    sys.exit(main())
