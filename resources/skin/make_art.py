#!/usr/bin/env python3
"""Writes the skin artwork (art/*.svg) of the player.

The SVG files are committed; the program renders them with Qt SVG at the
screen's pixel ratio. Edit this script and run it again to change the look:

    python3 resources/skin/make_art.py

One look for everything: a dark, calm instrument panel, light grey marks and
one amber accent. Sizes and the places of painted frames and labels follow
the windows' layout tables (the same numbers as skin/skin_bitmaps.cpp and the
window classes).
"""
import math
import os

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "art")

# Palette.
BG0 = "#0c0e10"      # deepest: window base, insets
BG1 = "#14171a"      # panel face
BG2 = "#1c2024"      # raised parts
BG3 = "#262b30"      # raised, lit
LINE = "#2d3339"     # hairlines and frames
LINE2 = "#414951"    # brighter frames
MARK = "#b9c1c9"     # labels and icons
DIM = "#6d767f"      # quiet labels
OFF = "#474e56"      # disabled icons
ACCENT = "#e4971e"   # the one accent (amber)
ACCENT_DIM = "#7a5317"
FONT = "DejaVu Sans"


def svg(w, h, body):
    return (f'<svg xmlns="http://www.w3.org/2000/svg" version="1.1" width="{w}" height="{h}" '
            f'viewBox="0 0 {w} {h}">\n{body}\n</svg>\n')


def text(x, y, s, size, fill=MARK, anchor="start", weight="normal", extra=""):
    return (f'<text x="{x:.2f}" y="{y:.2f}" font-family="{FONT}" font-size="{size}" font-weight="{weight}" '
            f'fill="{fill}" text-anchor="{anchor}" {extra}>{s}</text>')


def label(x, y, key, room, size, fill=MARK, anchor="start", weight="normal"):
    """A painted word the program translates: key is the English text it looks
    up (painted in capitals), room the width in pixels the word may take."""
    return text(x, y, key.upper(), size, fill, anchor, weight, f'data-label="{key}" data-room="{room:.0f}"')


def rect(x, y, w, h, fill="none", stroke=None, sw=1, rx=0, extra=""):
    s = f' stroke="{stroke}" stroke-width="{sw}"' if stroke else ""
    return f'<rect x="{x:.2f}" y="{y:.2f}" width="{w:.2f}" height="{h:.2f}" rx="{rx}" fill="{fill}"{s} {extra}/>'


def frame(x, y, w, h, stroke=LINE, rx=2):
    """A 1-pixel frame just outside the rectangle x, y, w, h."""
    return rect(x - 0.5, y - 0.5, w + 1, h + 1, stroke=stroke, rx=rx)


def write(name, content):
    with open(os.path.join(OUT, name), "w", encoding="utf-8") as f:
        f.write(content)


# ---------------------------------------------------------------- icons
# Icons are drawn in a 24 x 24 box; each returns SVG shapes that use the
# colour given (filled shapes or strokes).

def _poly(points, c):
    pts = " ".join(f"{x},{y}" for x, y in points)
    return f'<polygon points="{pts}" fill="{c}"/>'


def _stroke(d, c, w=2.2, cap="round"):
    return f'<path d="{d}" fill="none" stroke="{c}" stroke-width="{w}" stroke-linecap="{cap}" stroke-linejoin="round"/>'


def icon_play(c):
    return _poly([(8, 5), (19, 12), (8, 19)], c)


def icon_reverse(c):
    return _poly([(16, 5), (5, 12), (16, 19)], c)


def icon_pause(c):
    return rect(6, 5, 4, 14, c, rx=0.8) + rect(14, 5, 4, 14, c, rx=0.8)


def icon_stop(c):
    return rect(6, 6, 12, 12, c, rx=1.2)


def icon_prev_frame(c):
    return rect(5, 5, 3, 14, c, rx=0.6) + _poly([(19, 5), (9, 12), (19, 19)], c)


def icon_next_frame(c):
    return rect(16, 5, 3, 14, c, rx=0.6) + _poly([(5, 5), (15, 12), (5, 19)], c)


def icon_prev_file(c):
    return (rect(3, 5, 3, 14, c, rx=0.6) + _poly([(13, 5), (6, 12), (13, 19)], c)
            + _poly([(21, 5), (14, 12), (21, 19)], c))


def icon_next_file(c):
    return (rect(18, 5, 3, 14, c, rx=0.6) + _poly([(11, 5), (18, 12), (11, 19)], c)
            + _poly([(3, 5), (10, 12), (3, 19)], c))


def icon_fast(c):
    return _poly([(4, 6), (12, 12), (4, 18)], c) + _poly([(12, 6), (20, 12), (12, 18)], c)


def icon_slow(c):
    return _poly([(20, 6), (12, 12), (20, 18)], c) + _poly([(12, 6), (4, 12), (12, 18)], c)


def icon_mark_in(c):
    return _stroke("M10 4 H6 V20 H10", c) + _poly([(12, 8), (19, 12), (12, 16)], c)


def icon_mark_out(c):
    return _stroke("M14 4 H18 V20 H14", c) + _poly([(5, 8), (12, 12), (5, 16)], c)


def icon_backup(c):
    return _stroke("M12 3 V13 M8 9.5 L12 13.5 L16 9.5", c) + _stroke("M5 14 V19 H19 V14", c)


def icon_backup_running(c):
    return (_stroke("M5 14 V19 H19 V14", c) + f'<circle cx="8" cy="8" r="1.8" fill="{c}"/>'
            + f'<circle cx="12" cy="8" r="1.8" fill="{c}"/><circle cx="16" cy="8" r="1.8" fill="{c}"/>')


def icon_open(c):
    return _stroke("M3 8 V19 H19 L21 11 H7 L5 19 M3 8 V5 H9 L11 7 H17 V11", c, 1.9)


def icon_save(c):
    return _stroke("M4 4 H16 L20 8 V20 H4 Z", c, 1.9) + rect(8, 4, 7, 5, c, rx=0.5) + rect(7, 13, 10, 5, c, rx=0.5)


def icon_snapshot(c):
    return (_stroke("M3 8 H7 L9 5 H15 L17 8 H21 V19 H3 Z", c, 1.9)
            + f'<circle cx="12" cy="13" r="3.4" fill="none" stroke="{c}" stroke-width="1.9"/>')


def icon_map(c):
    return (f'<path d="M12 21 C8 15.5 6 12.5 6 9.5 A6 6 0 0 1 18 9.5 C18 12.5 16 15.5 12 21 Z" fill="{c}"/>'
            + f'<circle cx="12" cy="9.5" r="2.3" fill="{BG0}"/>')


def icon_config(c):
    pts = []
    for i in range(16):
        a = math.pi * 2 * i / 16
        r = 9.5 if i % 2 == 0 else 7.0
        a2 = a + (math.pi / 16 if i % 2 == 0 else -math.pi / 16)
        pts.append((12 + r * math.sin(a2), 12 - r * math.cos(a2)))
        pts.append((12 + r * math.sin(a), 12 - r * math.cos(a)))
    return _poly([(round(x, 2), round(y, 2)) for x, y in pts], c) + f'<circle cx="12" cy="12" r="3" fill="{BG0}"/>'


def icon_sd(c):
    return (_stroke("M7 3 H18 V21 H5 V6 Z", c, 1.9) + rect(9, 5, 1.6, 4, c) + rect(12, 5, 1.6, 4, c)
            + rect(15, 5, 1.6, 4, c))


def icon_speaker(c):
    return _poly([(3, 9), (7, 9), (12, 5), (12, 19), (7, 15), (3, 15)], c) + _stroke(
        "M15 9 Q17 12 15 15 M17.5 6.5 Q21.5 12 17.5 17.5", c, 1.8)


def icon_muted(c):
    return _poly([(3, 9), (7, 9), (12, 5), (12, 19), (7, 15), (3, 15)], c) + _stroke("M15 9 L21 15 M21 9 L15 15", c, 2)


def icon_close(c):
    return _stroke("M7 7 L17 17 M17 7 L7 17", c, 2.2)


def icon_maximize(c):
    return _stroke("M6.5 6.5 H17.5 V17.5 H6.5 Z", c, 2)


def icon_minimize(c):
    return _stroke("M6 17 H18", c, 2.4)


# ---------------------------------------------------------------- strips

STATES = {
    # fill top, fill bottom, frame, icon colour, icon shift
    0: ("#2a3036", "#1a1e22", LINE2, MARK, 0),
    1: ("#353c43", "#22272c", ACCENT, "#ffffff", 0),
    2: ("#101214", "#1a1d21", ACCENT, ACCENT, 1),
    3: ("#1a1d20", "#17191c", "#262a2f", OFF, 0),
}


def gradient_defs(prefix):
    out = ["<defs>"]
    for s, (top, bottom, *_rest) in STATES.items():
        out.append(f'<linearGradient id="{prefix}{s}" x1="0" y1="0" x2="0" y2="1">'
                   f'<stop offset="0" stop-color="{top}"/><stop offset="1" stop-color="{bottom}"/></linearGradient>')
    out.append("</defs>")
    return "".join(out)


def button_strip(cw, ch, icon, icon_size=None, accent_icon=False):
    """Four cells: normal, hover, pressed, disabled."""
    body = [gradient_defs("g")]
    size = icon_size or (min(cw, ch) - 6)
    for s in range(4):
        top, bottom, frame_c, icon_c, shift = STATES[s]
        if accent_icon and s in (0, 1):
            icon_c = ACCENT
        x = s * cw
        body.append(rect(x + 0.5, 0.5, cw - 1, ch - 1, f"url(#g{s})", frame_c, 1, rx=3))
        if s == 2:  # pressed: a dark inner shadow along the top
            body.append(f'<path d="M{x + 2} 1.5 H{x + cw - 2}" stroke="#000000" stroke-opacity="0.6" stroke-width="1"/>')
        elif s in (0, 1):  # raised: a faint light edge along the top
            body.append(f'<path d="M{x + 3} 1.5 H{x + cw - 3}" stroke="#ffffff" stroke-opacity="0.08" stroke-width="1"/>')
        k = size / 24.0
        ox = x + (cw - size) / 2 + shift
        oy = (ch - size) / 2 + shift
        body.append(f'<g transform="translate({ox:.2f},{oy:.2f}) scale({k:.4f})">{icon(icon_c)}</g>')
    return svg(cw * 4, ch, "\n".join(body))


# ---------------------------------------------------------------- sliders

def track_strip(cw, ch, ticks=0, thumb_w=0):
    body = []
    groove_h = 6 if ch >= 16 else 4
    gy = (ch - groove_h) / 2
    for s in range(4):
        x = s * cw
        frame_c = {0: LINE2, 1: "#59626b", 2: LINE2, 3: LINE}[s]
        groove = {0: "#050607", 1: "#050607", 2: "#050607", 3: "#0e1012"}[s]
        body.append(rect(x, 0, cw, ch, BG1))
        body.append(rect(x + 1.5, gy + 0.5, cw - 3, groove_h - 1, groove, frame_c, 1, rx=groove_h / 2))
        if ticks:
            for p in range(ticks):
                cx = x + (cw - thumb_w) * p / (ticks - 1) + thumb_w / 2
                c = DIM if s != 3 else LINE
                body.append(rect(cx - 0.5, 0, 1, max(1, gy - 1), c))
                body.append(rect(cx - 0.5, gy + groove_h + 1, 1, max(1, ch - gy - groove_h - 1), c))
    return svg(cw * 4, ch, "\n".join(body))


def thumb_plain(w, h):
    # Black is left out when the thumb is combined onto the track.
    body = [rect(0, 0, w, h, "#000000"),
            rect(1, 0.5, w - 2, h - 1, ACCENT, rx=1.5),
            rect(w / 2 - 0.5, 2, 1, h - 4, "#3a2406")]
    return svg(w, h, "\n".join(body))


def thumb_car(w, h):
    # A small car seen from the side, facing right, on black.
    k = w / 24.0
    body = [rect(0, 0, w, h, "#000000"),
            f'<g transform="scale({k:.4f},{h / 18.0:.4f})">'
            f'<path d="M1 12.5 V9.5 L4 8.5 L8 4.5 H15 L19 8.5 L22.5 9.5 V12.5 Z" fill="{ACCENT}"/>'
            f'<path d="M8.7 8.3 L11 5.8 H14.2 L16.6 8.3 Z" fill="#000000"/>'
            f'<circle cx="6.5" cy="13" r="2.6" fill="#000000"/><circle cx="6.5" cy="13" r="1.9" fill="{MARK}"/>'
            f'<circle cx="17.5" cy="13" r="2.6" fill="#000000"/><circle cx="17.5" cy="13" r="1.9" fill="{MARK}"/>'
            f'</g>']
    return svg(w, h, "\n".join(body))


# ---------------------------------------------------------------- instruments

def compass_dial(w, h, r_scale, cx, cy, text_y):
    R = 80 * r_scale
    body = [rect(0, 0, w, h, BG1),
            f'<defs><radialGradient id="face" cx="0.5" cy="0.45" r="0.6">'
            f'<stop offset="0" stop-color="#1d2226"/><stop offset="1" stop-color="#0b0d0f"/></radialGradient></defs>',
            f'<circle cx="{cx}" cy="{cy}" r="{R + 3}" fill="{BG0}" stroke="{LINE2}" stroke-width="1"/>',
            f'<circle cx="{cx}" cy="{cy}" r="{R - 1}" fill="url(#face)" stroke="{LINE}" stroke-width="1"/>']
    for deg in range(0, 360, 10):
        a = math.radians(deg)
        major = deg % 90 == 0
        mid = deg % 30 == 0
        r1 = R - (10 if major else 7 if mid else 4) * r_scale
        r2 = R - 1.5 * r_scale
        c = ACCENT if deg == 0 else (MARK if mid else DIM)
        sw = 2 if major else 1.2 if mid else 1
        body.append(f'<line x1="{cx + r1 * math.sin(a):.2f}" y1="{cy - r1 * math.cos(a):.2f}" '
                    f'x2="{cx + r2 * math.sin(a):.2f}" y2="{cy - r2 * math.cos(a):.2f}" stroke="{c}" stroke-width="{sw}"/>')
    fs = 13 * r_scale
    for label, deg in (("N", 0), ("E", 90), ("S", 180), ("W", 270)):
        a = math.radians(deg)
        rr = R - 22 * r_scale
        body.append(text(cx + rr * math.sin(a), cy - rr * math.cos(a) + fs * 0.36, label, f"{fs:.1f}",
                         ACCENT if label == "N" else MARK, "middle", "bold"))
    for deg in (30, 60, 120, 150, 210, 240, 300, 330):
        a = math.radians(deg)
        rr = R - 21 * r_scale
        body.append(text(cx + rr * math.sin(a), cy - rr * math.cos(a) + 3.2 * r_scale, str(deg // 10),
                         f"{8.5 * r_scale:.1f}", DIM, "middle"))
    # the plate under the dial that carries latitude and longitude
    lx = 4 * r_scale
    top, bottom = text_y[0] - 2, min(h - 1, text_y[1] + 15 * r_scale)
    body.append(rect(lx + 0.5, top + 0.5, w - 2 * lx - 1, bottom - top, BG0, LINE, 1, rx=3))
    for i, ty in enumerate(text_y):
        body.append(text(lx + 5 * r_scale, ty + 10 * r_scale, ("LAT", "LON")[i], f"{8.5 * r_scale:.1f}", DIM, "start", "bold"))
    return svg(w, h, "\n".join(body))


def needle(w, h):
    # Pivot at (7, 43): the picture is drawn with its top-left 7, 43 from the dial's centre.
    body = [rect(0, 0, w, h, "#000000"),
            _poly([(7.5, 1), (11.5, 43), (3.5, 43)], ACCENT),
            _poly([(3.5, 43), (11.5, 43), (9, 50), (6, 50)], "#8b949c"),
            f'<circle cx="7.5" cy="43" r="3.2" fill="{MARK}"/>',
            f'<circle cx="7.5" cy="43" r="1.3" fill="#101010"/>']
    return svg(w, h, "\n".join(body))


def gsensor(w, h, r):
    x0, y0, k = int(30 * r), int(38 * r), int(33 * r)
    body = [rect(0, 0, w, h, BG0), frame(0.5, 0.5, w - 1, h - 1, LINE, 2)]
    unit = k / 5.0
    for g in (-4, -3, -2, -1, 1, 2, 3, 4):
        y = y0 - g * unit
        if 1 < y < h - 1:
            body.append(rect(x0, y - 0.5, w - x0 - 2, 1, "#171b1f" if g % 2 else "#20262b"))
    for i in range(x0, w - 1, int(20 * r)):
        body.append(rect(i - 0.5, 2, 1, h - 4, "#15191d"))
    body.append(rect(x0, y0 - 0.5, w - x0 - 2, 1, LINE2))
    body.append(rect(x0 - 0.5, 2, 1, h - 4, LINE2))
    fs = 9 * r + 1
    body.append(text(x0 / 2, 11 * r + 3, "G", f"{fs:.1f}", MARK, "middle", "bold"))
    for i, (name, col) in enumerate((("X", "#ff0000"), ("Y", "#00ff00"), ("Z", "#0040ff"))):
        y = (28 + i * 15) * r + 3
        body.append(rect(4 * r, y + 3 * r, 5 * r, 2 * r, col))
        body.append(text(x0 - 4 * r, y + 6 * r, name, f"{fs - 1:.1f}", DIM, "end"))
    return svg(w, h, "\n".join(body))


def wedge(w, h, filled):
    """Volume wedge: bars growing to the right; both bitmaps share the geometry."""
    body = [rect(0, 0, w, h, BG1)]
    step = 6 if w > 160 else 4.5
    bar = step - 2 if w > 160 else step - 1.5
    n = int(w // step)
    for i in range(n):
        x = i * step + 1
        bh = 4 + (h - 6) * (i + 1) / n
        if filled:
            t = i / max(1, n - 1)
            col = ACCENT if t > 0.15 else ACCENT_DIM
        else:
            col = "#2a2f35"
        body.append(rect(x, h - 1 - bh, bar, bh, col, rx=0.6))
    return svg(w, h, "\n".join(body))


def unit_plate(w, h, label):
    body = [rect(0, 0, w, h, BG1), rect(0.5, 0.5, w - 1, h - 1, BG0, LINE, 1, rx=3),
            text(w / 2, h / 2 + 4.6 * h / 20, label, f"{12 * h / 20:.1f}", MARK, "middle", "bold")]
    return svg(w, h, "\n".join(body))


def banner(w, h):
    # The title band of the main window runs on through the banner: its top
    # outline and bottom hairline continue across.
    body = [rect(0, 0, w, h, "#15181c"), rect(0, 0, w, 1, LINE2), rect(0, h - 1, w, 1, LINE),
            f'<path d="M40 15.5 H{w / 2 - 62}" stroke="{LINE2}" stroke-width="1"/>',
            f'<path d="M{w / 2 + 62} 15.5 H{w - 40}" stroke="{LINE2}" stroke-width="1"/>',
            rect(w / 2 - 62 - 4, 13.5, 4, 4, ACCENT, rx=2), rect(w / 2 + 62, 13.5, 4, 4, ACCENT, rx=2),
            text(w / 2, 20.5, "VELMORA", "15", MARK, "middle", "bold"),
            rect(w / 2 - 26, 25, 52, 1.5, ACCENT)]
    return svg(w, h, "\n".join(body))


def side_decoration(w, h):
    body = [f'<defs><linearGradient id="s" x1="0" y1="0" x2="0" y2="1"><stop offset="0" stop-color="#1d2226"/>'
            f'<stop offset="1" stop-color="#0b0d0f"/></linearGradient></defs>',
            rect(0, 0, w, h, "url(#s)"), rect(w - 3, 0, 3, h, ACCENT),
            rect(0.5, 0.5, w - 1, h - 1, stroke=LINE),
            f'<g transform="translate({w / 2 + 9},{h - 24}) rotate(-90)">'
            + text(0, 0, "VELMORA", "26", MARK, "start", "bold") + '</g>',
            f'<g transform="translate({w / 2 + 24},{h - 24}) rotate(-90)">'
            + label(0, 0, "Dash Camera Player", h - 24 - 94, "10", DIM) + '</g>']
    # a compass rose on top, the player's mark
    cx, cy, R = w / 2 - 1, 54, 30
    body.append(f'<circle cx="{cx}" cy="{cy}" r="{R}" fill="none" stroke="{LINE2}" stroke-width="1.5"/>')
    body.append(_poly([(cx, cy - R + 5), (cx + 6, cy), (cx - 6, cy)], ACCENT))
    body.append(_poly([(cx, cy + R - 5), (cx + 6, cy), (cx - 6, cy)], DIM))
    return svg(w, h, "\n".join(body))


# ---------------------------------------------------------------- windows

MAIN = {
    # mode: size, title banner x, video, map, minute grids, hour grids, calendar, panel
    0: dict(size=(960, 600), video=(205, 31, 751, 414), map=(695, 448, 261, 148),
            minute=[(236, 476, 247, 12), (236, 499, 247, 12)], hour=[(249, 535, 233, 12), (249, 569, 233, 12)],
            calendar=(496, 462, 191, 124), panel=(0, 0, 203, 600), hours_per_grid=12),
    1: dict(size=(1280, 800), video=(273, 31, 1002, 563), map=(924, 596, 350, 198),
            minute=[(314, 634, 328, 14), (314, 663, 328, 14)], hour=[(331, 713, 311, 16), (331, 758, 311, 16)],
            calendar=(664, 626, 247, 147), panel=(0, 0, 271, 800), hours_per_grid=12),
    2: dict(size=(1920, 1080), video=(315, 31, 1598, 898), map=(1322, 933, 593, 143),
            minute=[(373, 976, 658, 12)], hour=[(392, 1025, 622, 16)],
            calendar=(1059, 941, 253, 129), panel=(21, 280, 271, 800), hours_per_grid=24),
}


def column_edges(width, n):
    return [c * width // n for c in range(n + 1)]


def main_background(mode):
    m = MAIN[mode]
    W, H = m["size"]
    body = [f'<defs><linearGradient id="base" x1="0" y1="0" x2="0" y2="1"><stop offset="0" stop-color="#121518"/>'
            f'<stop offset="1" stop-color="#0b0d0f"/></linearGradient></defs>',
            rect(0, 0, W, H, "url(#base)"),
            rect(0, 0, W, 30, "#15181c"), rect(0, 29.5, W, 1, LINE)]
    # window outline
    body.append(rect(0.5, 0.5, W - 1, H - 1, stroke=LINE2))
    # video area with its placeholder
    vx, vy, vw, vh = m["video"]
    body.append(rect(vx, vy, vw, vh, "#050607"))
    body.append(frame(vx, vy, vw, vh, LINE2, 0))
    cx, cy = vx + vw / 2, vy + vh / 2
    s = min(vw, vh) / 414.0
    body.append(f'<g transform="translate({cx - 36 * s:.1f},{cy - 44 * s:.1f}) scale({3 * s:.3f})" opacity="0.55">'
                + icon_snapshot(LINE2) + '</g>')
    body.append(label(cx, cy + 42 * s, "No Video", vw - 40, f"{13 * s:.1f}", OFF, "middle", "bold"))
    # map area
    mx, my, mw, mh = m["map"]
    body.append(rect(mx, my, mw, mh, BG0))
    body.append(frame(mx, my, mw, mh, LINE2, 0))
    for gx in range(mx + 20, mx + mw, 40):
        body.append(rect(gx, my + 1, 1, mh - 2, "#111417"))
    for gy in range(my + 20, my + mh, 40):
        body.append(rect(mx + 1, gy, mw - 2, 1, "#111417"))
    body.append(f'<g transform="translate({mx + mw / 2 - 12},{my + mh / 2 - 20})">' + icon_map(LINE2) + '</g>')
    body.append(label(mx + mw / 2, my + mh / 2 + 18, "Map", mw - 20, "10", OFF, "middle", "bold"))
    # timelines
    fs = 9 if mode == 0 else 10
    labels_x = m["video"][0] + 2
    for i, (gx, gy, gw, gh) in enumerate(m["minute"]):
        body.append(rect(gx, gy, gw, gh, "#686868"))
        body.append(frame(gx, gy, gw, gh, LINE2, 0))
        if i == 0:
            body.append(label(labels_x, gy + gh - 2, "Min", gx - labels_x - 3, fs, DIM, "start", "bold"))
    for i, (gx, gy, gw, gh) in enumerate(m["hour"]):
        body.append(rect(gx, gy, gw, gh, "#686868"))
        body.append(frame(gx, gy, gw, gh, LINE2, 0))
        if i == 0:
            body.append(label(labels_x, gy + gh - 2, "Hour", gx - labels_x - 3, fs, DIM, "start", "bold"))
        n = m["hours_per_grid"]
        edges = column_edges(gw, n)
        for c in range(n):
            hx = gx + (edges[c] + edges[c + 1]) / 2
            body.append(text(hx, gy + gh + fs + 1, f"{c + i * 12:d}", fs - 1, DIM, "middle"))
    # timeline caption
    tx, ty, tw = m["minute"][0][0], m["minute"][0][1], m["minute"][0][2]
    body.append(label(tx, ty - 6, "Timeline", tw - 24 - 8, fs, MARK, "start", "bold"))
    body.append(rect(tx + tw - 24, ty - 9.5, 24, 1.5, ACCENT))
    # calendar frame and caption
    kx, ky, kw, kh = m["calendar"]
    body.append(rect(kx, ky, kw, kh, "#ffffff"))
    body.append(frame(kx, ky, kw, kh, LINE2, 0))
    # panel area (the panel's own background lies over it)
    px, py, pw, ph = m["panel"]
    body.append(rect(px, py, pw, ph, BG1))
    if mode == 2:
        body.append(frame(px, py, pw, ph, LINE2, 3))
        # brand block above the panel
        bx = px + pw / 2
        body.append(f'<circle cx="{bx}" cy="120" r="46" fill="none" stroke="{LINE2}" stroke-width="2"/>')
        body.append(_poly([(bx, 82), (bx + 9, 120), (bx - 9, 120)], ACCENT))
        body.append(_poly([(bx, 158), (bx + 9, 120), (bx - 9, 120)], DIM))
        body.append(text(bx, 206, "VELMORA", "30", MARK, "middle", "bold"))
        body.append(label(bx, 228, "Dash Camera Player", pw - 20, "11", DIM, "middle"))
        body.append(rect(bx - 30, 240, 60, 2, ACCENT))
    return svg(W, H, "\n".join(body))


def panel_background(mode):
    r = 0.75 if mode == 0 else 1.0
    W, H = (203, 600) if mode == 0 else (271, 800)
    t = lambda v: int(v * r)  # noqa: E731
    body = [f'<defs><linearGradient id="pb" x1="0" y1="0" x2="0" y2="1"><stop offset="0" stop-color="#171a1e"/>'
            f'<stop offset="1" stop-color="#111316"/></linearGradient></defs>',
            rect(0, 0, W, H, "url(#pb)")]
    if mode == 2:
        body.append(rect(0.5, 0.5, W - 1, H - 1, stroke=LINE2, rx=3))
    else:
        body.append(rect(W - 1, 0, 1, H, LINE2))
    # compass bezel (the dial picture lies inside it)
    body.append(frame(t(25), t(20), t(216), t(209), LINE, 3))
    # G-sensor frame
    body.append(frame(t(9), t(281), int(251 * r + 0.5), int(73 * r + 0.5), LINE, 2))
    # speed read-out window and unit mark
    dx, dy, dw, dh = t(10), t(371), t(160), t(50)
    body.append(rect(dx - 2, dy - 2, dw + 4, dh + 4, "#060807", LINE2, 1, rx=3))
    body.append(label(dx, dy - 5, "Speed", dw, f"{8.5 * r + 1:.1f}", DIM, "start", "bold"))
    ux, uy, uw, uh = t(185), t(381), t(52), t(20)
    body.append(rect(ux + 0.5, uy + 0.5, uw - 1, uh - 1, BG0, LINE, 1, rx=3))
    body.append(text(ux + uw / 2, uy + uh / 2 + 4.6 * uh / 20, "km/h", f"{12 * uh / 20:.1f}", MARK, "middle", "bold"))
    # sliders: places per layout
    if mode == 0:
        pos, vol, spd, spd_w, thumb = (9, 330), (42, 402), (42, 366), 149, 10
    else:
        pos, vol, spd, spd_w, thumb = (12, 440), (56, 537), (55, 489), 199, 10
    fs = 8 * r + 1.5
    # speed marks above the speed slider: positions 0, 2, 4, 6 and 8
    for p, mark in ((0, "1/16"), (2, "1/4"), (4, "1"), (6, "2"), (8, "4")):
        x = spd[0] + (spd_w - thumb) * p / 8 + thumb / 2
        anchor = "start" if p == 0 else "end" if p == 8 else "middle"
        xx = x - thumb / 2 if p == 0 else x + thumb / 2 if p == 8 else x
        body.append(text(xx, spd[1] - 5 * r, mark, f"{fs:.1f}", ACCENT if p == 4 else MARK, anchor, "bold"))
    # speed and volume symbols left of the sliders
    k = 0.75 * r
    body.append(f'<g transform="translate({t(16)},{spd[1] - 9 * r:.1f}) scale({k:.3f})">' + icon_fast(DIM) + '</g>')
    # the button tray
    ty0, ty1 = (t(625), t(761))
    body.append(rect(t(6) + 0.5, ty0 + 0.5, W - 2 * t(6) - 1, ty1 - ty0, "#0e1013", LINE, 1, rx=4))
    body.append(rect(t(6) + 1, t(706), W - 2 * t(6) - 2, 1, LINE))
    # foot: the mark of the player
    body.append(text(W / 2, H - 14 * r, "VELMORA", f"{11 * r + 1:.1f}", OFF, "middle", "bold"))
    body.append(rect(W / 2 - 14 * r, H - 9 * r, 28 * r, 1.5, ACCENT_DIM))
    return svg(W, H, "\n".join(body))


# ---------------------------------------------------------------- all

BUTTONS = {
    # number: (file name, icon, cell w, cell h)
    161: ("btn_prev_file", icon_prev_file, 32, 22),
    146: ("btn_prev_frame", icon_prev_frame, 32, 22),
    447: ("btn_reverse", icon_reverse, 32, 22),
    141: ("btn_pause", icon_pause, 32, 22),
    142: ("btn_stop", icon_stop, 32, 22),
    140: ("btn_play", icon_play, 32, 22),
    145: ("btn_next_frame", icon_next_frame, 32, 22),
    162: ("btn_next_file", icon_next_file, 32, 22),
    450: ("btn_mark_in", icon_mark_in, 32, 22),
    451: ("btn_mark_out", icon_mark_out, 32, 22),
    452: ("btn_backup", icon_backup, 32, 22),
    456: ("btn_backup_running", icon_backup_running, 32, 22),
    139: ("btn_open", icon_open, 37, 34),
    449: ("btn_save", icon_save, 37, 34),
    147: ("btn_snapshot", icon_snapshot, 37, 34),
    437: ("btn_map", icon_map, 37, 34),
    163: ("btn_config", icon_config, 37, 34),
    457: ("btn_sd_setup", icon_sd, 32, 22),
    148: ("btn_sound", icon_speaker, 32, 22),
    138: ("btn_muted", icon_muted, 32, 22),
    143: ("btn_faster", icon_fast, 32, 22),
    144: ("btn_slower", icon_slow, 32, 22),
    134: ("btn_close", icon_close, 28, 24),
    135: ("btn_maximize", icon_maximize, 28, 24),
    136: ("btn_minimize", icon_minimize, 28, 24),
}


def main():
    os.makedirs(OUT, exist_ok=True)
    for number, (name, icon, cw, ch) in BUTTONS.items():
        size = {22: 16, 34: 22, 24: 14}[ch]
        write(f"{name}.svg", button_strip(cw, ch, icon, size, accent_icon=(number == 456)))
    write("bg_main_960.svg", main_background(0))
    write("bg_main_1280.svg", main_background(1))
    write("bg_main_1920.svg", main_background(2))
    write("bg_panel_960.svg", panel_background(0))
    write("bg_panel_1280.svg", panel_background(1))
    write("bg_panel_1920.svg", panel_background(2))
    write("track_position.svg", track_strip(244, 18))
    write("track_position_960.svg", track_strip(183, 18))
    write("track_volume.svg", track_strip(199, 16))
    write("track_volume_960.svg", track_strip(149, 16))
    write("track_speed.svg", track_strip(199, 10, ticks=9, thumb_w=10))
    write("track_speed_960.svg", track_strip(149, 8, ticks=9, thumb_w=10))
    write("thumb_car.svg", thumb_car(24, 18))
    write("thumb_volume.svg", thumb_plain(10, 16))
    write("thumb_speed.svg", thumb_plain(10, 8))
    write("compass_dial.svg", compass_dial(216, 209, 1.0, 108, 87, (178, 191)))
    write("compass_dial_960.svg", compass_dial(162, 171, 0.75, 81, 65, (133, 143)))
    write("compass_needle.svg", needle(15, 51))
    write("gsensor.svg", gsensor(251, 73, 1.0))
    write("gsensor_960.svg", gsensor(188, 55, 0.75))
    write("volume_filled.svg", wedge(202, 46, True))
    write("volume_empty.svg", wedge(202, 46, False))
    write("volume_filled_960.svg", wedge(152, 35, True))
    write("volume_empty_960.svg", wedge(152, 35, False))
    write("unit_mph.svg", unit_plate(52, 20, "mph"))
    write("unit_knot.svg", unit_plate(52, 20, "knot"))
    write("title_banner.svg", banner(480, 30))
    write("side_decoration.svg", side_decoration(120, 360))


if __name__ == "__main__":
    main()
