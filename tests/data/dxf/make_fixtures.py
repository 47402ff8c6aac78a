#!/usr/bin/python3
"""Writes the DXF test drawings with ezdxf (Debian: python3-ezdxf), a DXF library that has
nothing to do with blocknest, so that the reader is tried on files it did not write itself.

Run from this folder: /usr/bin/python3 make_fixtures.py. The drawings are committed; the exact
areas the tests expect are worked out by hand in tests/input/dxf_part_reader_test.cpp.
"""
import ezdxf
from ezdxf import path


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


def shoelace(points):
    area = 0.0
    for (x0, y0), (x1, y1) in zip(points, points[1:] + points[:1]):
        area += x0 * y1 - x1 * y0
    return abs(area) / 2


def wcs_points(entities):
    """The outline of entities that follow each other end to end, as ezdxf flattens them in
    world coordinates (object coordinate systems and block references resolved by ezdxf)."""
    points = []
    for entity in entities:
        for v in path.make_path(entity).flattening(distance=1e-5):
            if not points or (abs(points[-1][0] - v.x) > 1e-9 or abs(points[-1][1] - v.y) > 1e-9):
                points.append((v.x, v.y))
    if abs(points[0][0] - points[-1][0]) < 1e-9 and abs(points[0][1] - points[-1][1]) < 1e-9:
        points.pop()
    return points


def transforms():
    """Shapes whose coordinates need an object coordinate system, a block reference or
    weights; ezdxf's own flattening gives the areas the reader must match."""
    doc = ezdxf.new("R2000")
    msp = doc.modelspace()
    areas = {}

    # MIRRORED: a polyline with bulges seen from below (extrusion 0, 0, -1).
    e = msp.add_lwpolyline([(0, 0, 0.4), (40, 0, 0), (40, 30, -0.3), (0, 30, 0)], format="xyb",
                           close=True, dxfattribs={"layer": "MIRRORED", "extrusion": (0, 0, -1)})
    areas["MIRRORED"] = shoelace(wcs_points([e]))

    # ARCHED: an arc seen from below, closed by a line across its chord.
    arc = msp.add_arc((100, 0), 20, 30, 160, dxfattribs={"layer": "ARCHED",
                                                          "extrusion": (0, 0, -1)})
    s, t = arc.start_point, arc.end_point
    line = msp.add_line(t, s, dxfattribs={"layer": "ARCHED"})
    areas["ARCHED"] = shoelace(wcs_points([arc, line]))

    # LOBE: a block with a bulged outline, placed stretched, mirrored and turned.
    lobe = doc.blocks.new(name="LOBE", base_point=(5, 5))
    outline = lobe.add_lwpolyline([(0, 0, 0), (20, 0, 0.7), (20, 10, 0), (0, 10, -0.2)],
                                  format="xyb", close=True)
    msp.add_blockref("LOBE", (200, 50), dxfattribs={"xscale": -1.5, "yscale": 2,
                                                     "rotation": 35})
    # An affine map scales every area by its determinant. (ezdxf 0.18's virtual_entities()
    # turns these stretched, mirrored arcs into ellipses whose area is 6 % off, so the block's
    # own outline is measured instead.)
    areas["LOBE"] = 1.5 * 2 * shoelace(wcs_points([outline]))

    # NURBS: a full circle of radius 15 as a rational quadratic spline.
    from ezdxf.math import ConstructionArc, rational_bspline_from_arc
    spline = rational_bspline_from_arc(center=(300, 0), radius=15, start_angle=0,
                                       end_angle=360)
    e = msp.add_rational_spline(spline.control_points, spline.weights(), degree=spline.degree,
                                knots=spline.knots(), dxfattribs={"layer": "NURBS"})
    areas["NURBS"] = shoelace(wcs_points([e]))

    # EGG: half an ellipse, turned, closed by a line.
    ell = msp.add_ellipse((400, 0), major_axis=(30, 10), ratio=0.4, start_param=0.3,
                          end_param=3.6, dxfattribs={"layer": "EGG"})
    line = msp.add_line(ell.end_point, ell.start_point, dxfattribs={"layer": "EGG"})
    areas["EGG"] = shoelace(wcs_points([ell, line]))

    doc.saveas("transforms.dxf")
    with open("transforms.areas", "w") as f:
        for name, area in areas.items():
            f.write("%s %.10f\n" % (name, area))


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


def rectangle(x0, y0, x1, y1):
    return [(x0, y0), (x1, y0), (x1, y1), (x0, y1)]


def add_lines(msp, corners, layer, times=1, shift=0.0):
    """The closed outline through corners as LINEs, each drawn `times` times in a row."""
    for (xa, ya), (xb, yb) in zip(corners, corners[1:] + corners[:1]):
        for _ in range(times):
            msp.add_line((xa + shift, ya + shift), (xb + shift, yb + shift),
                         dxfattribs={"layer": layer})


def repeats():
    """What CAD exports draw more than once or across each other; each layer is one case."""
    doc = ezdxf.new("R2000")
    doc.header["$INSUNITS"] = 4
    msp = doc.modelspace()
    # EDGES: a rectangle whose LINEs are each drawn twice, the copies next to each other.
    add_lines(msp, rectangle(0, 0, 50, 30), "EDGES", times=2)
    # TWICE: the same closed polyline twice in a row.
    for _ in range(2):
        msp.add_lwpolyline(rectangle(100, 0, 150, 30), close=True, dxfattribs={"layer": "TWICE"})
    # RING: a circle drawn twice.
    for _ in range(2):
        msp.add_circle((200, 15), 12, dxfattribs={"layer": "RING"})
    # MIXED: a polyline and the same outline again as LINEs, 0.0001 off.
    msp.add_lwpolyline(rectangle(250, 0, 290, 30), close=True, dxfattribs={"layer": "MIXED"})
    add_lines(msp, rectangle(250, 0, 290, 30), "MIXED", shift=0.0001)
    # BOLT: a plate with four bolt holes on a construction circle that crosses them.
    msp.add_lwpolyline(rectangle(300, 0, 400, 100), close=True, dxfattribs={"layer": "BOLT"})
    for x, y in [(380, 50), (350, 80), (320, 50), (350, 20)]:
        msp.add_circle((x, y), 5, dxfattribs={"layer": "BOLT"})
    msp.add_circle((350, 50), 30, dxfattribs={"layer": "BOLT"})
    # CROSS: a smaller square across a larger one.
    msp.add_lwpolyline(rectangle(500, 0, 540, 40), close=True, dxfattribs={"layer": "CROSS"})
    msp.add_lwpolyline(rectangle(530, 10, 560, 30), close=True, dxfattribs={"layer": "CROSS"})
    # ZERO: 63 LINEs without length.
    for _ in range(63):
        msp.add_line((600, 0), (600, 0), dxfattribs={"layer": "ZERO"})
    # INSCRIBED: a circle with a square hole whose corners lie on it.
    msp.add_circle((700, 20), 20, dxfattribs={"layer": "INSCRIBED"})
    r = 20 / 2 ** 0.5
    msp.add_lwpolyline(rectangle(700 - r, 20 - r, 700 + r, 20 + r), close=True,
                       dxfattribs={"layer": "INSCRIBED"})
    # TAG: a block with an attribute, placed with its ATTRIB and SEQEND.
    tag = doc.blocks.new(name="TAG")
    tag.add_lwpolyline(rectangle(0, 0, 20, 10), close=True)
    tag.add_attdef("NO", (2, 2))
    msp.add_blockref("TAG", (800, 0)).add_auto_attribs({"NO": "17"})
    doc.saveas("repeats.dxf")


def repeats_r12():
    """The same faults as an old R12 file writes them: LINEs, POLYLINE and VERTEX, CIRCLE."""
    doc = ezdxf.new("R12")
    msp = doc.modelspace()
    add_lines(msp, rectangle(0, 0, 50, 30), "EDGES", times=3)
    for _ in range(2):
        msp.add_polyline2d(rectangle(100, 0, 150, 30), close=True, dxfattribs={"layer": "TWICE"})
    for _ in range(2):
        msp.add_circle((200, 15), 12, dxfattribs={"layer": "RING"})
    doc.saveas("repeats_r12.dxf")


def only_faults():
    """A drawing of which every contour is left out: open, crossing itself, out of plane."""
    doc = ezdxf.new("R2000")
    msp = doc.modelspace()
    msp.add_line((0, 0), (50, 0))
    msp.add_line((50, 0), (50, 30))
    msp.add_lwpolyline([(100, 0), (140, 40), (140, 0), (100, 30)], close=True)
    msp.add_circle((200, 0), 10, dxfattribs={"extrusion": (0, 1, 0)})
    doc.saveas("only_faults.dxf")


def framed():
    """A plate as a drawing office sends it: a frame and a title block on layer FRAME around
    it, a dimension and its loose extension lines on DIM, the plate (a rounded corner and a
    bore) on PLATE."""
    doc = ezdxf.new("R2000", setup=True)
    doc.header["$INSUNITS"] = 4
    for name in ("FRAME", "DIM", "PLATE"):
        doc.layers.add(name)
    msp = doc.modelspace()
    msp.add_lwpolyline(rectangle(0, 0, 297, 210), close=True, dxfattribs={"layer": "FRAME"})
    msp.add_lwpolyline(rectangle(197, 0, 297, 30), close=True, dxfattribs={"layer": "FRAME"})
    msp.add_line((197, 15), (297, 15), dxfattribs={"layer": "FRAME"})
    msp.add_text("PLATE 3 mm", dxfattribs={"layer": "FRAME", "height": 5}).set_pos((200, 20))
    msp.add_lwpolyline([(40, 60, 0), (140, 60, 0), (140, 120, 0.41421356237309503), (120, 140, 0),
                        (40, 140, 0)], format="xyb", close=True, dxfattribs={"layer": "PLATE"})
    msp.add_circle((80, 100), 15, dxfattribs={"layer": "PLATE"})
    dim = msp.add_linear_dim(base=(40, 160), p1=(40, 140), p2=(140, 60),
                             dxfattribs={"layer": "DIM"})
    dim.render()
    msp.add_line((40, 142), (40, 165), dxfattribs={"layer": "DIM"})
    msp.add_line((140, 62), (140, 165), dxfattribs={"layer": "DIM"})
    doc.saveas("framed.dxf")


if __name__ == "__main__":
    outlines()
    transforms()
    example()
    repeats()
    repeats_r12()
    only_faults()
    framed()
