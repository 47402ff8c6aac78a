#!/usr/bin/python3
"""Writes the DXF test drawings with ezdxf (Debian: python3-ezdxf), a DXF library that has
nothing to do with blocknest, so that the reader is tried on files it did not write itself.

Run from this folder: /usr/bin/python3 make_fixtures.py. The drawings are committed; the exact
areas the tests expect are worked out by hand in tests/input/dxf_part_reader_test.cpp.
"""
import ezdxf


def outlines():
    doc = ezdxf.new("R2000")
    doc.header["$INSUNITS"] = 4  # millimetres
    msp = doc.modelspace()

    # PLATE: a 100 x 60 rectangle whose right side bulges out in a half circle (bulge 1),
    # with a round hole of radius 10.
    msp.add_lwpolyline([(0, 0, 0), (100, 0, 1), (100, 60, 0), (0, 60, 0)], format="xyb",
                       close=True, dxfattribs={"layer": "PLATE"})
    msp.add_circle((40, 30), 10, dxfattribs={"layer": "PLATE"})

    # SLOT: an obround 60 long and 40 wide from loose lines and arcs, out of order, one line
    # drawn backwards and one joint 0.001 apart.
    msp.add_arc((200, 20), 20, 90, 270, dxfattribs={"layer": "SLOT"})
    msp.add_line((260, 0), (200, 0), dxfattribs={"layer": "SLOT"})
    msp.add_line((200.001, 40), (260, 40), dxfattribs={"layer": "SLOT"})
    msp.add_arc((260, 20), 20, -90, 90, dxfattribs={"layer": "SLOT"})

    # TRIANGLE: an old-style POLYLINE with VERTEX entities.
    msp.add_polyline2d([(300, 0), (340, 0), (300, 30)], close=True,
                       dxfattribs={"layer": "TRIANGLE"})

    # OPEN: two lines that never close.
    open_a = msp.add_line((400, 0), (450, 0), dxfattribs={"layer": "OPEN"})
    open_b = msp.add_line((450, 0), (450, 30), dxfattribs={"layer": "OPEN"})

    # BOWTIE: an outline that crosses itself.
    bowtie = msp.add_lwpolyline([(500, 0), (540, 40), (540, 0), (500, 30)], close=True,
                                dxfattribs={"layer": "BOWTIE"})

    # FLAT: a closed outline without area.
    flat = msp.add_lwpolyline([(600, 0), (650, 0), (620, 0)], close=True,
                              dxfattribs={"layer": "FLAT"})

    # ELLIPSE: semi-axes 40 and 20.
    msp.add_ellipse((700, 30), major_axis=(40, 0), ratio=0.5, dxfattribs={"layer": "OVAL"})

    # ARCH: a cubic Bezier from (800, 0) to (900, 0) closed by a line along y = 0.
    msp.add_open_spline([(800, 0), (830, 60), (870, 60), (900, 0)], degree=3,
                        dxfattribs={"layer": "ARCH"})
    msp.add_line((800, 0), (900, 0), dxfattribs={"layer": "ARCH"})

    # FLANGE: a block (a ring of radii 15 and 5) placed twice as large and turned.
    flange = doc.blocks.new(name="FLANGE", base_point=(1, 1))
    flange.add_circle((1, 1), 15)
    flange.add_circle((1, 1), 5)
    msp.add_blockref("FLANGE", (1000, 30), dxfattribs={"xscale": 2, "yscale": 2,
                                                        "rotation": 30})

    # Not outlines: a text is reported as left out.
    msp.add_text("not a part", dxfattribs={"layer": "NOTES"}).set_pos((0, -20))

    doc.saveas("outlines.dxf")
    with open("outlines.handles", "w") as f:
        f.write("open %s %s\nbowtie %s\nflat %s\n" % (open_a.dxf.handle, open_b.dxf.handle,
                                                      bowtie.dxf.handle, flat.dxf.handle))


def example():
    # The README's example: a bracket with a slot and two bolt holes, and a washer.
    doc = ezdxf.new("R2000")
    doc.header["$INSUNITS"] = 4
    msp = doc.modelspace()
    msp.add_lwpolyline([(0, 0, 0), (120, 0, 0), (120, 40, 0), (60, 40, 0), (60, 80, 1),
                        (0, 80, 0)], format="xyb", close=True, dxfattribs={"layer": "bracket"})
    msp.add_circle((20, 20), 6, dxfattribs={"layer": "bracket"})
    msp.add_circle((100, 20), 6, dxfattribs={"layer": "bracket"})
    msp.add_line((20, 50), (40, 50), dxfattribs={"layer": "bracket"})
    msp.add_arc((40, 55), 5, -90, 90, dxfattribs={"layer": "bracket"})
    msp.add_line((40, 60), (20, 60), dxfattribs={"layer": "bracket"})
    msp.add_arc((20, 55), 5, 90, 270, dxfattribs={"layer": "bracket"})
    msp.add_circle((200, 40), 30, dxfattribs={"layer": "washer"})
    msp.add_circle((200, 40), 12, dxfattribs={"layer": "washer"})
    doc.saveas("../../../examples/bracket.dxf")


if __name__ == "__main__":
    outlines()
    example()
