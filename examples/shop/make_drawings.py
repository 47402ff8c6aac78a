#!/usr/bin/python3
"""Writes the shop example's drawings (a dozen parts a laser-cutting shop might get) with ezdxf,
each the way CAD programs write them: polylines with bulges, circles, LINE and ARC pieces.

Usage: examples/shop/make_drawings.py  (needs python3-ezdxf; the drawings are committed)
"""
import math
import os

import ezdxf

HERE = os.path.dirname(os.path.abspath(__file__))


def drawing():
    doc = ezdxf.new("R2010")
    doc.header["$INSUNITS"] = 4  # millimetres
    return doc, doc.modelspace()


def rounded_rectangle(msp, x0, y0, x1, y1, r):
    # Corners rounded by quarter arcs: bulge tan(90 / 4) on the arc segments.
    b = math.tan(math.pi / 8)
    msp.add_lwpolyline([(x0 + r, y0, 0, 0, 0), (x1 - r, y0, 0, 0, b), (x1, y0 + r, 0, 0, 0),
                        (x1, y1 - r, 0, 0, b), (x1 - r, y1, 0, 0, 0), (x0 + r, y1, 0, 0, b),
                        (x0, y1 - r, 0, 0, 0), (x0, y0 + r, 0, 0, b)],
                       format="xyseb", close=True)


def slot(msp, cx, cy, length, width):
    r = width / 2
    msp.add_lwpolyline([(cx - length / 2, cy - r, 0, 0, 0), (cx + length / 2, cy - r, 0, 0, 1),
                        (cx + length / 2, cy + r, 0, 0, 0), (cx - length / 2, cy + r, 0, 0, 1)],
                       format="xyseb", close=True)


def save(doc, name):
    doc.saveas(os.path.join(HERE, name + ".dxf"))


def main():
    doc, msp = drawing()
    msp.add_circle((0, 0), 20)
    msp.add_circle((0, 0), 8.5)
    save(doc, "washer")

    doc, msp = drawing()
    msp.add_circle((0, 0), 60)
    msp.add_circle((0, 0), 25)
    for k in range(6):
        a = k * math.pi / 3
        msp.add_circle((45 * math.cos(a), 45 * math.sin(a)), 5.5)
    save(doc, "flange")

    doc, msp = drawing()  # an L bracket with a rounded outer corner
    b = math.tan(math.pi / 8)
    msp.add_lwpolyline([(0, 0, 0, 0, 0), (100, 0, 0, 0, 0), (100, 30, 0, 0, 0), (30, 30, 0, 0, 0),
                        (30, 80, 0, 0, 0), (20, 90, 0, 0, b), (0, 90, 0, 0, 0)], format="xyseb",
                       close=True)
    msp.add_circle((80, 15), 5)
    msp.add_circle((15, 70), 5)
    save(doc, "angle_bracket")

    doc, msp = drawing()
    rounded_rectangle(msp, 0, 0, 150, 80, 6)
    slot(msp, 40, 40, 30, 10)
    slot(msp, 110, 40, 30, 10)
    save(doc, "slotted_plate")

    doc, msp = drawing()  # a gusset drawn as LINE pieces, as many CAD exports do
    pts = [(0, 0), (90, 0), (90, 10), (10, 90), (0, 90)]
    for a, c in zip(pts, pts[1:] + pts[:1]):
        msp.add_line(a, c)
    msp.add_circle((25, 25), 6)
    save(doc, "gusset")

    doc, msp = drawing()
    rounded_rectangle(msp, 0, 0, 200, 120, 10)
    for x, y in [(15, 15), (185, 15), (185, 105), (15, 105)]:
        msp.add_circle((x, y), 4)
    rounded_rectangle(msp, 60, 35, 140, 85, 5)
    save(doc, "cover")

    doc, msp = drawing()
    msp.add_lwpolyline([(0, 0), (300, 0), (300, 30), (0, 30)], close=True)
    for x in (25, 150, 275):
        msp.add_circle((x, 15), 4.5)
    save(doc, "strip")

    doc, msp = drawing()  # a clamp of LINE and ARC pieces: a bar with a round end
    msp.add_line((0, 0), (80, 0))
    msp.add_arc((80, 20), 20, -90, 90)
    msp.add_line((80, 40), (0, 40))
    msp.add_line((0, 40), (0, 0))
    msp.add_circle((80, 20), 8)
    save(doc, "clamp")

    doc, msp = drawing()
    msp.add_lwpolyline([(30 * math.cos(k * math.pi / 3), 30 * math.sin(k * math.pi / 3))
                        for k in range(6)], close=True)
    msp.add_circle((0, 0), 12)
    save(doc, "hex_spacer")

    doc, msp = drawing()
    msp.add_lwpolyline([(0, 0), (160, 0), (130, 50), (30, 50)], close=True)
    save(doc, "rib")

    doc, msp = drawing()  # a lever: two round ends joined by straight sides
    msp.add_lwpolyline([(0, -15, 0, 0, 0), (180, -15, 0, 0, 1), (180, 15, 0, 0, 0),
                        (0, 15, 0, 0, 1)], format="xyseb", close=True)
    msp.add_circle((0, 0), 6)
    msp.add_circle((180, 0), 6)
    msp.add_circle((90, 0), 4)
    save(doc, "lever")

    doc, msp = drawing()  # a disc with a keyway drawn as LINE and ARC pieces
    r = 35
    a = math.degrees(math.asin(5 / r))
    msp.add_arc((0, 0), r, a, 360 - a)
    x = r * math.cos(math.radians(a))
    msp.add_line((x, -5), (x - 12, -5))
    msp.add_line((x - 12, -5), (x - 12, 5))
    msp.add_line((x - 12, 5), (x, 5))
    msp.add_circle((0, 0), 10)
    save(doc, "keyed_disc")


if __name__ == "__main__":
    main()
