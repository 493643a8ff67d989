#!/usr/bin/env python3
"""Draw the sample product's settings folder and pack it into a zip.

Writes, next to this script:
  sample-settings/Settings/UISettings.ini             (UTF-16LE with mark, CR LF)
  sample-settings/Settings/UISettings_user_guide.txt  (UTF-8)
  sample-settings/Settings/Image/*.bmp, *.png         (drawn here)
  sample-settings.zip                                 (written by hand)

Standard library only. The output is byte-for-byte reproducible: fixed zlib
level, no timestamps anywhere, every picture computed from fixed numbers.
The zip deliberately uses backslashes in entry names and zero DOS dates.
"""

import binascii
import math
import struct
import zlib
from pathlib import Path

HERE = Path(__file__).resolve().parent
ROOT = HERE / "sample-settings"
SETTINGS = ROOT / "Settings"
IMAGES = SETTINGS / "Image"
ZIP_PATH = HERE / "sample-settings.zip"

LEVEL = 9
MAGENTA = (255, 0, 255)

# --------------------------------------------------------------------------
# Texts

INI_LINES = [
    "[UISettings]",
    "ISPTitle=TX5 ISP Update Tool",
    "ISPStartMSG=Start program",
    "ISPSuccessMSG=Program successfully",
    "ISPFailMSG=Program fail",
    "StartButtonString=Update",
    "DeviceButtonString=Get Device Info",
    "CheckDeviceCmd=ED84D98CAC8616FE",
    "SuccessString=Success:",
    "FailString=Fail:",
    "CheckBootLoaderID=1",
    "UpgradeWarningMSG=The device firmware is newer than this tool's. Update anyway?",
    "OKButtonString=Update",
    "CancelButtonString=Cancel",
    "",
    "[FWVer]",
    "Version=0x0101",
    "",
    "[SpecialPID]",
    "Count=0",
    "",
    "[SpecialPID0]",
    "VID=0x1234",
    "PID=0x5678",
    "ChipName=TX5K3317",
    "FWName=special.TX5",
    "FWType=TX5",
    "CodeSecurity=0",
]

GUIDE = """\
UISettings.ini - a guide to its keys
====================================

UISettings.ini holds the texts of the update tool's window and a few
switches. The tool reads it from the Settings folder; the window's pictures
come from Settings/Image.

How a line is read
------------------
* A line "[Name]" starts a section. A line "Key=Value" sets a key in the
  section above it. Section and key names are matched without regard to case.
* The value is the rest of the line after the first '='. Blanks and tabs
  around it are dropped, and one pair of enclosing quotes is removed.
* Nothing is a comment: text after a value belongs to the value. Write
  "Update ; the button" and the button reads "Update ; the button".
* The file may be UTF-16LE with byte-order mark (as shipped here), UTF-16BE
  with mark, or UTF-8. Lines end with CR LF.
* Numbers are decimal ("257") or hexadecimal with 0x ("0x0101"); reading
  stops at the first character that is not a digit.

[UISettings]
------------
ISPTitle            Title of the window.
ISPStartMSG         Logged when an update starts.
ISPSuccessMSG       Logged when an update has finished well.
ISPFailMSG          Logged when an update has failed.
StartButtonString   Text of the button that starts the update.
DeviceButtonString  Text of the button that shows the device's details.
CheckDeviceCmd      The 8-byte request that switches the device from its
                    application firmware to its boot loader: exactly 16 hex
                    digits, first byte first, e.g. ED84D98CAC8616FE. Any
                    other length leaves the built-in request in force.
SuccessString       Label of the success counter.
FailString          Label of the failure counter.
CheckBootLoaderID   1: when no device answers to the tool's VID and PID, also
                    look for the chip's boot loader under its own IDs; 0 or
                    absent: don't.
UpgradeWarningMSG   Warning shown before an update when the device's firmware
                    is newer than the firmware this tool carries (read each
                    time the warning opens).
OKButtonString      Text of the button that goes ahead in that question.
CancelButtonString  Text of the button that stops there.

[FWVer]
-------
Version             The version of the firmware this tool carries, decimal
                    or 0x-hex (0x0101 is 257). A device whose firmware is
                    newer gets a red Start caption and the warning above.

[SpecialPID] and [SpecialPID0], [SpecialPID1], ...
--------------------------------------------------
Devices that need their own firmware are listed here.
Count               How many [SpecialPIDn] sections are used, n from 0 to
                    Count-1. With Count=0 (as here) the [SpecialPID0]
                    section below is only an example and is ignored.
In each [SpecialPIDn]:
VID                 The device's USB vendor ID, e.g. 0x1234.
PID                 The device's USB product ID, e.g. 0x5678.
ChipName            The chip to program in such a device, written exactly
                    as in the tool's chip list (case matters).
FWName              The firmware file's name, looked up in the folder
                    FWFiles.
FWType              TX5 for a .TX5 firmware file, HEX for an Intel HEX
                    file.
CodeSecurity        The code protection level for that firmware: 0, 1 or 2.

Pictures (Settings/Image)
-------------------------
Background.bmp                     the window (600 x 410)
Start.bmp, Start_mo.bmp            the update button, normal and hovered
DeviceInfo.bmp, DeviceInfo_mo.bmp  the device button, normal and hovered
Exit.bmp, Exit_mo.bmp              the close button, normal and hovered
UpgradeWarningDlg_bg.png           the question's background
UpgradeWarningDlgGen.png,
UpgradeWarningDlgMo.png            the question's buttons, normal and hovered

File names of pictures are matched without regard to case: start.bmp is
found as Start.bmp. In the BMP buttons, pure magenta (255, 0, 255) is
transparent.
"""

# --------------------------------------------------------------------------
# Drawing: a canvas of RGB(A) floats and a few shapes given by signed
# distance (negative inside, in pixels, measured at pixel centres).


class Canvas:
    def __init__(self, width, height, color, alpha=None):
        self.w, self.h = width, height
        self.px = [list(color) for _ in range(width * height)]
        self.alpha = None if alpha is None else [alpha] * (width * height)

    def blend(self, x, y, color, cover):
        p = self.px[y * self.w + x]
        for i in range(3):
            p[i] += (color[i] - p[i]) * cover
        if self.alpha is not None:
            a = self.alpha[y * self.w + x]
            self.alpha[y * self.w + x] = a + (1.0 - a) * cover

    def rows(self):
        """Rows top to bottom as lists of 0..255 ints (RGB or RGBA)."""
        out = []
        for y in range(self.h):
            row = []
            for x in range(self.w):
                r, g, b = (max(0, min(255, int(round(v)))) for v in self.px[y * self.w + x])
                row += [r, g, b]
                if self.alpha is not None:
                    row.append(max(0, min(255, int(round(self.alpha[y * self.w + x] * 255)))))
            out.append(row)
        return out


def paint(cv, sdf, color, aa=True, box=None, opacity=1.0):
    """Fill where sdf < 0. color is (r,g,b) or a function (x, y) -> (r,g,b).
    aa=False draws a hard edge: a pixel is painted fully or not at all."""
    x0, y0, x1, y1 = box or (0, 0, cv.w, cv.h)
    for y in range(max(0, y0), min(cv.h, y1)):
        for x in range(max(0, x0), min(cv.w, x1)):
            d = sdf(x + 0.5, y + 0.5)
            cover = min(1.0, max(0.0, 0.5 - d)) if aa else (1.0 if d < 0 else 0.0)
            if cover > 0:
                c = color(x, y) if callable(color) else color
                cv.blend(x, y, c, cover * opacity)


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def vgradient(top, bottom, y0, y1):
    span = max(1, y1 - y0 - 1)
    return lambda x, y: mix(top, bottom, min(1.0, max(0.0, (y - y0) / span)))


def fill(cv, x0, y0, x1, y1, color, opacity=1.0):
    paint(cv, rect_sdf(x0, y0, x1, y1), color, aa=False, box=(x0, y0, x1, y1), opacity=opacity)


def rect_sdf(x0, y0, x1, y1):
    return round_rect_sdf(x0, y0, x1, y1, 0)


def round_rect_sdf(x0, y0, x1, y1, r):
    cx, cy = (x0 + x1) / 2, (y0 + y1) / 2
    hx, hy = (x1 - x0) / 2 - r, (y1 - y0) / 2 - r

    def sdf(x, y):
        qx, qy = abs(x - cx) - hx, abs(y - cy) - hy
        outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
        return outside + min(max(qx, qy), 0.0) - r

    return sdf


def circle_sdf(cx, cy, r):
    return lambda x, y: math.hypot(x - cx, y - cy) - r


def line_sdf(ax, ay, bx, by, width):
    dx, dy = bx - ax, by - ay
    ll = dx * dx + dy * dy

    def sdf(x, y):
        t = min(1.0, max(0.0, ((x - ax) * dx + (y - ay) * dy) / ll))
        return math.hypot(x - ax - t * dx, y - ay - t * dy) - width / 2

    return sdf


def ring(sdf, width):
    """The band of the given width just inside a shape's edge."""
    return lambda x, y: max(sdf(x, y), -width - sdf(x, y))


def polygon_sdf(points):
    """Convex polygon, points clockwise on screen (y down)."""
    edges = []
    for (ax, ay), (bx, by) in zip(points, points[1:] + points[:1]):
        nx, ny = by - ay, ax - bx
        n = math.hypot(nx, ny)
        edges.append((ax, ay, nx / n, ny / n))
    return lambda x, y: max((x - ax) * nx + (y - ay) * ny for ax, ay, nx, ny in edges)


# --------------------------------------------------------------------------
# The pictures


def background():
    w, h = 600, 410
    cv = Canvas(w, h, (0, 0, 0))
    fill(cv, 0, 0, w, h, vgradient((46, 54, 68), (22, 26, 34), 0, h))
    # Title bar strip, with a teal accent line under it.
    fill(cv, 0, 0, w, 30, vgradient((28, 33, 43), (18, 22, 29), 0, 30))
    fill(cv, 0, 30, w, 31, (38, 150, 150))
    fill(cv, 0, 31, w, 32, (10, 12, 16), opacity=0.6)
    # Emblem at the left of the title bar: a little chip.
    paint(cv, round_rect_sdf(9, 8, 23, 22, 2.5), (38, 150, 150))
    paint(cv, round_rect_sdf(12, 11, 20, 19, 1.5), (24, 30, 38))
    for i in range(3):
        y = 11.5 + i * 3.5
        paint(cv, line_sdf(6, y, 9, y, 1.2), (38, 150, 150))
        paint(cv, line_sdf(23, y, 26, y, 1.2), (38, 150, 150))
    # Left column: a soft glow behind where the buttons go.
    paint(cv, round_rect_sdf(16, 52, 176, 396, 10), (255, 255, 255), opacity=0.035)
    # The panel on the right: shadow, body, rim.
    panel = (196, 48, 588, 398)
    paint(cv, round_rect_sdf(panel[0] + 2, panel[1] + 3, panel[2] + 2, panel[3] + 3, 12),
          (0, 0, 0), opacity=0.35)
    body = round_rect_sdf(*panel, 12)
    paint(cv, body, vgradient((70, 82, 100), (54, 63, 78), panel[1], panel[3]))
    paint(cv, ring(body, 1), (104, 120, 142))
    # Inset boxes in the panel: device details on top, the log list below.
    for box, r in (((210, 62, 574, 142), 6), ((210, 156, 574, 384), 6)):
        paint(cv, round_rect_sdf(*box, r), (30, 35, 45))
        paint(cv, ring(round_rect_sdf(*box, r), 1), (20, 24, 31))
        # A faint highlight along the bottom edge makes the box look sunken.
        paint(cv, line_sdf(box[0] + r, box[3] - 0.5, box[2] - r, box[3] - 0.5, 1),
              (120, 136, 158), opacity=0.5)
    return cv


def pill_button(w, h, top, bottom, rim):
    """A rounded button on magenta: hard silhouette, soft details inside."""
    cv = Canvas(w, h, MAGENTA)
    shape = round_rect_sdf(0, 0, w, h, 9)
    paint(cv, shape, vgradient(top, bottom, 0, h), aa=False)
    # Gloss on the upper half, then the rim.
    paint(cv, round_rect_sdf(2, 2, w - 2, h // 2 + 1, 7), (255, 255, 255), opacity=0.16)
    paint(cv, ring(shape, 1), rim, aa=False)
    paint(cv, ring(round_rect_sdf(1, 1, w - 1, h - 1, 8), 1), (255, 255, 255), opacity=0.25)
    return cv


def exit_button(hover):
    cv = Canvas(20, 20, MAGENTA)
    disc = circle_sdf(10, 10, 9.6)
    top, bottom = ((226, 88, 80), (168, 40, 36)) if hover else ((92, 102, 118), (56, 64, 78))
    paint(cv, disc, vgradient(top, bottom, 0, 20), aa=False)
    paint(cv, ring(disc, 1), (120, 24, 24) if hover else (30, 35, 44), aa=False)
    paint(cv, ring(circle_sdf(10, 10, 8.6), 1), (255, 255, 255), opacity=0.2)
    paint(cv, line_sdf(6.5, 6.5, 13.5, 13.5, 2.0), (248, 248, 248))
    paint(cv, line_sdf(13.5, 6.5, 6.5, 13.5, 2.0), (248, 248, 248))
    return cv


def warning_dialog():
    w, h = 360, 200
    cv = Canvas(w, h, (0, 0, 0))
    fill(cv, 0, 0, w, h, vgradient((58, 66, 80), (36, 42, 53), 0, h))
    # Hazard stripe along the top.
    amber, dark = (238, 178, 36), (34, 34, 34)
    stripes = lambda x, y: amber if ((x + y) // 12) % 2 == 0 else dark
    fill(cv, 0, 0, w, 12, stripes)
    fill(cv, 0, 12, w, 13, (0, 0, 0), opacity=0.5)
    # Warning sign at the left: a rounded triangle with "!".
    tri = polygon_sdf([(44, 44), (70, 90), (18, 90)])
    paint(cv, lambda x, y: tri(x, y) - 3, amber)
    paint(cv, line_sdf(44, 58, 44, 74, 4.5), dark)
    paint(cv, circle_sdf(44, 82, 2.6), dark)
    # A faint frame and a divider above where the buttons go.
    paint(cv, ring(rect_sdf(0, 0, w, h), 1), (96, 108, 128))
    fill(cv, 12, 148, w - 12, 149, (22, 26, 33))
    fill(cv, 12, 149, w - 12, 150, (90, 102, 122))
    return cv


def dialog_button(hover):
    w, h = 100, 30
    top, bottom, rim = (((126, 146, 172), (88, 106, 132), (54, 66, 84)) if hover else
                        ((96, 110, 132), (66, 77, 96), (40, 47, 60)))
    cv = Canvas(w, h, bottom, alpha=0.0)
    shape = round_rect_sdf(0.5, 0.5, w - 0.5, h - 0.5, 7)
    paint(cv, shape, vgradient(top, bottom, 0, h))
    paint(cv, round_rect_sdf(2.5, 2.5, w - 2.5, h // 2 + 1, 5), (255, 255, 255), opacity=0.14)
    paint(cv, ring(shape, 1), rim)
    return cv


# --------------------------------------------------------------------------
# File formats


def bmp_bytes(cv):
    stride = (cv.w * 3 + 3) & ~3
    rows = cv.rows()
    data = bytearray()
    for row in reversed(rows):  # bottom-up
        line = bytearray()
        for i in range(0, len(row), 3):
            line += bytes((row[i + 2], row[i + 1], row[i]))  # BGR
        data += line + bytes(stride - len(line))
    header = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(data), 0, 0, 14 + 40)
    info = struct.pack("<IiiHHIIiiII", 40, cv.w, cv.h, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    return header + info + bytes(data)


def png_chunk(kind, body):
    return (struct.pack(">I", len(body)) + kind + body
            + struct.pack(">I", binascii.crc32(kind + body) & 0xFFFFFFFF))


def png_bytes(cv):
    color_type = 2 if cv.alpha is None else 6
    raw = bytearray()
    for row in cv.rows():
        raw.append(0)  # filter: none
        raw += bytes(row)
    ihdr = struct.pack(">IIBBBBB", cv.w, cv.h, 8, color_type, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", ihdr)
            + png_chunk(b"IDAT", zlib.compress(bytes(raw), LEVEL)) + png_chunk(b"IEND", b""))


def zip_bytes(entries):
    """entries: (name, data) pairs. Deflate, DOS date and time zero, made on
    MS-DOS, archive attribute, no extra fields, no data descriptors."""
    out, central = bytearray(), bytearray()
    for name, data in entries:
        raw_name = name.encode("ascii")
        crc = binascii.crc32(data) & 0xFFFFFFFF
        comp = zlib.compressobj(LEVEL, zlib.DEFLATED, -15)
        packed = comp.compress(data) + comp.flush()
        offset = len(out)
        out += struct.pack("<IHHHHHIIIHH", 0x04034B50, 20, 0, 8, 0, 0,
                           crc, len(packed), len(data), len(raw_name), 0)
        out += raw_name + packed
        central += struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 20, 20, 0, 8, 0, 0,
                               crc, len(packed), len(data), len(raw_name), 0, 0, 0, 0,
                               0x20, offset)
        central += raw_name
    cd_offset = len(out)
    out += central
    out += struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, len(entries), len(entries),
                       len(central), cd_offset, 0)
    return bytes(out)


# --------------------------------------------------------------------------


def main():
    IMAGES.mkdir(parents=True, exist_ok=True)
    files = {}  # path relative to ROOT -> bytes

    ini = "".join(line + "\r\n" for line in INI_LINES)
    files["Settings/UISettings.ini"] = b"\xff\xfe" + ini.encode("utf-16-le")
    files["Settings/UISettings_user_guide.txt"] = GUIDE.encode("utf-8")

    teal = ((64, 196, 160), (24, 132, 112), (14, 86, 74))
    teal_mo = ((112, 226, 192), (50, 172, 146), (20, 110, 94))
    blue = ((86, 146, 222), (40, 92, 170), (22, 56, 112))
    blue_mo = ((130, 184, 245), (68, 126, 206), (30, 76, 142))
    pictures = {
        "Background.bmp": bmp_bytes(background()),
        "start.bmp": bmp_bytes(pill_button(128, 35, *teal)),
        "start_mo.bmp": bmp_bytes(pill_button(128, 35, *teal_mo)),
        "DeviceInfo.bmp": bmp_bytes(pill_button(128, 35, *blue)),
        "DeviceInfo_mo.bmp": bmp_bytes(pill_button(128, 35, *blue_mo)),
        "Exit.bmp": bmp_bytes(exit_button(False)),
        "Exit_mo.bmp": bmp_bytes(exit_button(True)),
        "UpgradeWarningDlg_bg.png": png_bytes(warning_dialog()),
        "UpgradeWarningDlgGen.png": png_bytes(dialog_button(False)),
        "UpgradeWarningDlgMo.png": png_bytes(dialog_button(True)),
    }
    for name in sorted(pictures):  # plain byte order of the names
        files["Settings/Image/" + name] = pictures[name]

    for rel, data in files.items():
        (ROOT / rel).write_bytes(data)
    ZIP_PATH.write_bytes(zip_bytes([(rel.replace("/", "\\"), data) for rel, data in files.items()]))
    for rel, data in files.items():
        print(f"{len(data):8d}  sample-settings/{rel}")
    print(f"{ZIP_PATH.stat().st_size:8d}  sample-settings.zip")


if __name__ == "__main__":
    main()
