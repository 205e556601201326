"""Draws the Tessarim window's images, icon and patent-number workbook.

The files land in model/格式範本/ and are committed, so the package works
without running this script; run it only to change them:

    .venv/bin/python tools/make_resources.py [--out FOLDER]

Everything is drawn at four times its size and scaled down, which gives clean
anti-aliased edges. The output is deterministic: the same script writes the same
bytes (PNG and ICO carry no time stamps, and the workbook's zip entries and
document properties get a fixed date).
"""
from __future__ import annotations

import argparse
import io
import math
import re
import sys
import zipfile
from datetime import datetime
from pathlib import Path

from PIL import Image, ImageDraw, ImageFont

ROOT = Path(__file__).resolve().parent.parent
OUT = ROOT / "model" / "格式範本"

SUPER = 4  # supersampling factor

# Palette: the window runs in customtkinter's dark theme (background #2b2b2b,
# text #DCE4EE, buttons #1F6AA5 / #3B8ED0).
STROKE = (220, 228, 238, 255)
STROKE_SOFT = (220, 228, 238, 46)
BLUE_LIGHT = (59, 142, 208, 255)
BLUE_DARK = (22, 78, 128, 255)
TILE = (244, 248, 251, 255)
TILE_FAINT = (244, 248, 251, 72)
ACCENT = (242, 181, 68, 255)

FIXED_DATE = datetime(2025, 1, 4, 0, 0, 0)

FONT_CANDIDATES = [
    ("/usr/share/fonts/opentype/noto/NotoSansCJK-Bold.ttc", 3),  # Noto Sans CJK TC Bold
    ("/usr/share/fonts/opentype/noto/NotoSansCJK-Regular.ttc", 3),
    ("C:/Windows/Fonts/msjhbd.ttc", 0),  # Microsoft JhengHei Bold
    ("C:/Windows/Fonts/arialbd.ttf", 0),
]

SAMPLE_NUMBERS = [
    "TW202312345A",
    "TWI812345B",
    "US20230123456A1",
    "US11234567B2",
    "CN115123456A",
    "JP2023012345A",
    "EP4123456A1",
    "WO2023123456A1",
]


# ---------------------------------------------------------------- drawing aids

def canvas(width: int, height: int) -> tuple[Image.Image, ImageDraw.ImageDraw]:
    image = Image.new("RGBA", (width * SUPER, height * SUPER), (0, 0, 0, 0))
    return image, ImageDraw.Draw(image)


def finish(image: Image.Image, width: int, height: int) -> Image.Image:
    return image.resize((width, height), Image.Resampling.LANCZOS)


def s(value: float) -> float:
    """A length in output pixels, in canvas pixels."""
    return value * SUPER


def polyline(draw: ImageDraw.ImageDraw, points, width: float, fill=STROKE, closed: bool = False) -> None:
    """A stroke with round caps and joins through points given in output pixels."""
    pts = [(s(x), s(y)) for x, y in points]
    if closed:
        pts.append(pts[0])
    w = s(width)
    draw.line(pts, fill=fill, width=round(w))
    r = w / 2
    for x, y in pts:
        draw.ellipse((x - r, y - r, x + r, y + r), fill=fill)


def arc_points(cx: float, cy: float, r: float, start_deg: float, end_deg: float, steps: int = 48):
    """Points along a circle arc; angles in degrees, clockwise from 3 o'clock
    (screen coordinates, y down)."""
    return [
        (cx + r * math.cos(math.radians(a)), cy + r * math.sin(math.radians(a)))
        for a in (start_deg + (end_deg - start_deg) * i / steps for i in range(steps + 1))
    ]


def rounded_rect_points(x0, y0, x1, y1, r, steps: int = 12):
    """The outline of a rounded rectangle as a closed list of points."""
    pts = []
    corners = [(x1 - r, y0 + r, 270), (x1 - r, y1 - r, 0), (x0 + r, y1 - r, 90), (x0 + r, y0 + r, 180)]
    for cx, cy, start in corners:
        pts.extend(arc_points(cx, cy, r, start, start + 90, steps))
    return pts


def load_font(size: int) -> ImageFont.FreeTypeFont:
    for path, index in FONT_CANDIDATES:
        if Path(path).exists():
            return ImageFont.truetype(path, size, index=index)
    # Pillow's own scalable font (needs FreeType); looks plainer but works anywhere.
    return ImageFont.load_default(size)


# ----------------------------------------------------------------------- icons

def draw_folder() -> Image.Image:
    image, draw = canvas(100, 100)
    # back panel with its tab
    back = [(14, 80), (14, 24), (20, 18), (38, 18), (46, 27), (80, 27), (86, 33), (86, 44)]
    draw.polygon([(s(x), s(y)) for x, y in back + [(86, 80)]], fill=STROKE_SOFT)
    polyline(draw, back, 7)
    # front panel, tilted open
    front = [(14, 80), (27, 46), (93, 46), (80, 80)]
    draw.polygon([(s(x), s(y)) for x, y in front], fill=STROKE_SOFT)
    polyline(draw, front, 7, closed=True)
    return finish(image, 100, 100)


def draw_bin() -> Image.Image:
    image, draw = canvas(100, 100)
    polyline(draw, [(18, 26), (82, 26)], 7)  # lid
    polyline(draw, [(38, 25), (40, 15), (60, 15), (62, 25)], 7)  # handle
    body = [(25, 36), (30, 84), (70, 84), (75, 36)]
    draw.polygon([(s(x), s(y)) for x, y in body], fill=STROKE_SOFT)
    polyline(draw, body, 7)
    for x in (41, 50, 59):  # ribs
        polyline(draw, [(x, 46), (x, 74)], 5)
    return finish(image, 100, 100)


def draw_question() -> Image.Image:
    image, draw = canvas(100, 100)
    ring = arc_points(50, 50, 41, 0, 360, 120)
    polyline(draw, ring, 7)
    hook = arc_points(50, 39, 14, 190, 405, 40)  # from the left, over the top, down the right
    end_x, end_y = hook[-1]
    polyline(draw, hook + [(50, end_y + 7), (50, 63)], 8)
    r = 5.2
    draw.ellipse((s(50 - r), s(75 - r), s(50 + r), s(75 + r)), fill=STROKE)
    return finish(image, 100, 100)


def draw_gear() -> Image.Image:
    image, draw = canvas(100, 100)
    teeth = 8
    outer, inner = 44, 34
    pts = []
    for i in range(teeth):
        base = i * 360 / teeth
        # each tooth: a flank up, a flat top, a flank down, then the root
        for angle, radius in ((base - 15, inner), (base - 9, outer), (base + 9, outer), (base + 15, inner)):
            pts.append((50 + radius * math.cos(math.radians(angle)), 50 + radius * math.sin(math.radians(angle))))
    draw.polygon([(s(x), s(y)) for x, y in pts], fill=STROKE)
    # punch the hub hole
    hole = Image.new("L", image.size, 0)
    ImageDraw.Draw(hole).ellipse((s(50 - 14), s(50 - 14), s(50 + 14), s(50 + 14)), fill=255)
    image.paste((0, 0, 0, 0), mask=hole)
    return finish(image, 100, 100)


# ------------------------------------------------------------------------ logo

def draw_logo(size: int) -> Image.Image:
    """The product mark: a blue tile with a mosaic 'T' of nine tesserae; one
    amber tessera marks the find."""
    unit = size / 200
    image, _ = canvas(size, size)
    # badge with a vertical gradient, masked by a rounded square
    badge = Image.new("RGBA", image.size)
    height = image.size[1]
    gradient = ImageDraw.Draw(badge)
    for y in range(height):
        t = y / (height - 1)
        colour = tuple(round(BLUE_LIGHT[i] * (1 - t) + BLUE_DARK[i] * t) for i in range(3)) + (255,)
        gradient.line([(0, y), (image.size[0], y)], fill=colour)
    mask = Image.new("L", image.size, 0)
    inset = 6 * unit
    ImageDraw.Draw(mask).rounded_rectangle(
        (s(inset), s(inset), s(size - inset), s(size - inset)), radius=s(44 * unit), fill=255
    )
    image.paste(badge, mask=mask)
    # the tesserae
    tile, gap = 38 * unit, 9 * unit
    origin = (size - (3 * tile + 2 * gap)) / 2
    t_shape = {(0, 0), (1, 0), (2, 0), (1, 1), (1, 2)}
    tiles = Image.new("RGBA", image.size, (0, 0, 0, 0))  # blended over the badge, not painted into it
    draw = ImageDraw.Draw(tiles)
    for row in range(3):
        for col in range(3):
            x0 = origin + col * (tile + gap)
            y0 = origin + row * (tile + gap)
            if (col, row) in t_shape:
                colour = TILE
            elif (col, row) == (2, 2):
                colour = ACCENT
            else:
                colour = TILE_FAINT
            draw.rounded_rectangle((s(x0), s(y0), s(x0 + tile), s(y0 + tile)), radius=s(8 * unit), fill=colour)
    image.alpha_composite(tiles)
    return finish(image, size, size)


def draw_wordmark() -> Image.Image:
    """The word 'Tessarim', light on transparent, with a blue initial."""
    width, height = 480, 120
    image, draw = canvas(width, height)
    word = "Tessarim"
    font_size = s(96)
    while True:
        font = load_font(round(font_size))
        left, top, right, bottom = draw.textbbox((0, 0), word, font=font)
        if right - left <= s(width - 24) and bottom - top <= s(height - 24):
            break
        font_size *= 0.96
    x = (s(width) - (right - left)) / 2 - left
    y = (s(height) - (bottom - top)) / 2 - top
    initial_width = draw.textlength("T", font=font)
    draw.text((x, y), "T", font=font, fill=BLUE_LIGHT)
    draw.text((x + initial_width, y), word[1:], font=font, fill=STROKE)
    return finish(image, width, height)


# ------------------------------------------------------------------- workbook

def make_workbook() -> bytes:
    from openpyxl import Workbook
    from openpyxl.styles import Alignment, Font, PatternFill

    book = Workbook()
    sheet = book.active
    sheet.title = "專利公開號"
    sheet.append(["專利公開號"])
    for number in SAMPLE_NUMBERS:
        sheet.append([number])
    header = sheet["A1"]
    header.font = Font(name="微軟正黑體", size=12, bold=True, color="FFFFFF")
    header.fill = PatternFill("solid", start_color="1F6AA5")
    header.alignment = Alignment(horizontal="center", vertical="center")
    for row in sheet.iter_rows(min_row=2):
        row[0].font = Font(name="Calibri", size=12)
    sheet.column_dimensions["A"].width = 26
    sheet.row_dimensions[1].height = 22
    sheet.freeze_panes = "A2"
    book.properties.creator = "Tessarim"
    book.properties.title = "檢索專利公開號"
    book.properties.created = FIXED_DATE

    raw = io.BytesIO()
    book.save(raw)
    return repack_zip(raw.getvalue())


def repack_zip(data: bytes) -> bytes:
    """Rewrites an xlsx with fixed entry dates and a fixed modification time,
    which openpyxl otherwise takes from the clock."""
    stamp = FIXED_DATE.strftime("%Y-%m-%dT%H:%M:%SZ")
    out = io.BytesIO()
    with zipfile.ZipFile(io.BytesIO(data)) as source, zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED) as target:
        for info in source.infolist():
            content = source.read(info.filename)
            if info.filename == "docProps/core.xml":
                content = re.sub(
                    rb"(<dcterms:modified[^>]*>)[^<]*(</dcterms:modified>)",
                    rb"\g<1>" + stamp.encode() + rb"\g<2>",
                    content,
                )
            entry = zipfile.ZipInfo(info.filename, date_time=FIXED_DATE.timetuple()[:6])
            entry.compress_type = zipfile.ZIP_DEFLATED
            entry.external_attr = 0o644 << 16
            target.writestr(entry, content)
    return out.getvalue()


# ----------------------------------------------------------------------- main

def save_png(image: Image.Image, path: Path) -> None:
    image.save(path, format="PNG", optimize=True)


def build(out: Path) -> list[Path]:
    out.mkdir(parents=True, exist_ok=True)
    written = []

    def png(name: str, image: Image.Image) -> None:
        path = out / name
        save_png(image, path)
        written.append(path)

    png("logo.png", draw_logo(200))
    png("logo(僅文字).png", draw_wordmark())
    png("資料夾.png", draw_folder())
    png("垃圾桶.png", draw_bin())
    png("問號001.png", draw_question())
    png("設定.png", draw_gear())

    icon = out / "logo.ico"
    draw_logo(256).save(icon, format="ICO", sizes=[(16, 16), (24, 24), (32, 32), (48, 48), (64, 64), (128, 128), (256, 256)])
    written.append(icon)

    workbook = out / "檢索專利公開號.xlsx"
    workbook.write_bytes(make_workbook())
    written.append(workbook)
    return written


def main(argv: list[str] | None = None) -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out", type=Path, default=OUT, help=f"target folder (default {OUT})")
    args = parser.parse_args(argv)
    for path in build(args.out):
        print(path)
    return 0


if __name__ == "__main__":
    sys.exit(main())
