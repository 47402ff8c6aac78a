#!/usr/bin/env python3
"""Drawings as shops draw them, made with ezdxf the way CAD programs write them, run through
blocknest and checked with ezdxf and shapely and nothing of the program's code:

- frames (a double border, a border with a title block divided by lines or drawn as cells, on
  a layer of their own, on the parts' layer, with the title block on a third layer) are left
  out with one warning line that names the file and how to keep the frame, never proposing to
  leave out the parts' layer; the cut file holds exactly the parts;
- a multi-part drawing on layer 0 names its parts by the TEXT or MTEXT inside each, and only
  the texts that name no part are counted as left out;
- an R12 drawing in millimetres and one in inches, neither naming its units, given them by a
  job list's units column, are packed at their true sizes in one unit without --units;
- labels are at least 3 mm high, and a part too small for one goes without, counted;
- a flat pattern (a cross-shaped box blank with bend lines on another layer meeting its inner
  corners, one crossing the outline, a centre-line cross over its bore) is one part with one
  hole; its mark lines come out on layer MARK of the cut file, each the drawn line moved as
  the placement list turns and moves its part, within 1e-6.

Exits 77 (skipped) without ezdxf or shapely.

Usage: shop_drawings_check.py BLOCKNEST
"""
import json
import math
import os
import subprocess
import sys
import tempfile

try:
    import ezdxf
    import ezdxf.path
    from shapely.geometry import LineString, Polygon
except ImportError as missing:
    print(f"skipped: {missing}")
    sys.exit(77)

failures = []


def check(condition, message):
    if not condition:
        failures.append(message)
    return condition


def rect(x0, y0, x1, y1):
    return [(x0, y0), (x1, y0), (x1, y1), (x0, y1)]


PLATE = rect(40, 60, 160, 140)  # 120 x 80 with a bore of radius 15 at (100, 100)
TRIANGLE = [(200, 60), (300, 60), (200, 140)]
PLATE_AREA = 120 * 80 - math.pi * 15 ** 2
TRIANGLE_AREA = 100 * 80 / 2


def add_parts(msp, layer):
    if msp.doc.dxfversion == "AC1009":  # R12 has no LWPOLYLINE
        msp.add_polyline2d(PLATE, close=True, dxfattribs={"layer": layer})
    else:
        msp.add_lwpolyline(PLATE, close=True, dxfattribs={"layer": layer})
    msp.add_circle((100, 100), 15, dxfattribs={"layer": layer})
    # The triangle as three lines, as older programs export it.
    for a, b in zip(TRIANGLE, TRIANGLE[1:] + TRIANGLE[:1]):
        msp.add_line(a, b, dxfattribs={"layer": layer})


def add_lines(msp, lines, layer):
    for a, b in lines:
        msp.add_line(a, b, dxfattribs={"layer": layer})


def double_frame(path):
    """A4 landscape: a trim rectangle and a border 10 in, both on FRAME, a title block in the
    lower right corner of the border divided by lines, a label in it."""
    doc = ezdxf.new("R2000")
    doc.header["$INSUNITS"] = 4
    msp = doc.modelspace()
    msp.add_lwpolyline(rect(0, 0, 420, 297), close=True, dxfattribs={"layer": "FRAME"})
    msp.add_lwpolyline(rect(10, 10, 410, 287), close=True, dxfattribs={"layer": "FRAME"})
    msp.add_lwpolyline(rect(310, 10, 410, 40), close=True, dxfattribs={"layer": "FRAME"})
    add_lines(msp, [((310, 25), (410, 25)), ((360, 10), (360, 25))], "FRAME")
    msp.add_text("BRACKETS", dxfattribs={"layer": "FRAME", "height": 4}).set_placement((315, 30))
    add_parts(msp, "CUT")
    doc.saveas(path)


def frame_on_parts_layer(path):
    """One border drawn as four lines on layer 0 with the parts, the title block in the upper
    left corner drawn cell by cell as rectangles."""
    doc = ezdxf.new("R12")
    msp = doc.modelspace()
    corners = rect(0, 0, 400, 200)
    add_lines(msp, list(zip(corners, corners[1:] + corners[:1])), "0")
    for x0, x1 in ((0, 40), (40, 90), (90, 120)):
        msp.add_polyline2d(rect(x0, 180, x1, 200), close=True, dxfattribs={"layer": "0"})
    add_parts(msp, "0")
    doc.saveas(path)


def frame_with_title_layer(path):
    """A border on BORDER, its title block on TITLE with dividing lines on TITLE, parts on
    CUT."""
    doc = ezdxf.new("R2018")
    doc.header["$INSUNITS"] = 4
    msp = doc.modelspace()
    msp.add_lwpolyline(rect(0, 0, 400, 250), close=True, dxfattribs={"layer": "BORDER"})
    msp.add_lwpolyline(rect(300, 0, 400, 40), close=True, dxfattribs={"layer": "TITLE"})
    add_lines(msp, [((300, 20), (400, 20)), ((350, 0), (350, 20))], "TITLE")
    add_parts(msp, "CUT")
    doc.saveas(path)


# One flange longer and the bore off the middle, so that a turn or a mirror shows.
CROSS = [(50, 0), (250, 0), (250, 50), (300, 50), (300, 250), (250, 250), (250, 330), (50, 330),
         (50, 250), (0, 250), (0, 50), (50, 50)]
BENDS = [((50, 50), (250, 50)), ((250, 50), (250, 250)), ((250, 250), (50, 250)),
         ((50, 250), (50, 50))]
ACROSS = [((-10, 150), (310, 150))]
CENTRE = [((120, 125), (120, 175)), ((95, 150), (145, 150))]


def box_blank(path, extra):
    """The blank on CUT, its bend lines on BEND (and what extra adds), a bore on CUT."""
    doc = ezdxf.new("R2000")
    doc.header["$INSUNITS"] = 4
    msp = doc.modelspace()
    msp.add_lwpolyline(CROSS, close=True, dxfattribs={"layer": "CUT"})
    msp.add_circle((120, 150), 20, dxfattribs={"layer": "CUT"})
    add_lines(msp, BENDS, "BEND")
    for layer, lines in extra:
        add_lines(msp, lines, layer)
    doc.saveas(path)


def run(binary, args, work):
    done = subprocess.run([binary, "--no-pause", "-q", *args], cwd=work, capture_output=True,
                          text=True, timeout=120)
    return done.returncode, done.stdout, done.stderr


def cut_entities(path):
    doc = ezdxf.readfile(path)
    check(not doc.audit().errors, f"{path}: ezdxf's audit finds errors")
    closed, marks = [], []
    for entity in doc.modelspace().query("LWPOLYLINE"):
        if entity.dxf.layer == "MARK":
            check(not entity.closed, f"{path}: a closed line on MARK")
            marks.append([(x, y) for x, y, *_ in entity.get_points("xy")])
        elif entity.closed:
            # Arcs flattened finely, as true arcs.
            points = [(v.x, v.y) for v in ezdxf.path.make_path(entity).flattening(0.001)]
            closed.append((entity.dxf.layer, points))
    return closed, marks


def outer_of(item):
    shape = item["shape"]
    return shape["data"] if shape["type"] == "simple_polygon" else shape["data"]["outer"]


def check_frame(binary, work, name, make):
    path = os.path.join(work, name)
    make(path)
    code, out, err = run(binary, ["--sheet", "600x300", "--dxf-cam", "cut.dxf", "--json",
                                  "placed.json", path], work)
    if not check(code == 0, f"{name}: exit code {code}: {err}"):
        return
    lines = [line for line in err.splitlines() if "frame" in line.replace(name, "")]
    check(len(lines) == 1, f"{name}: {len(lines)} lines about a frame: {err}")
    check(all(line.startswith(path + ": a frame is left out") and "--keep-frames" in line
              for line in lines), f"{name}: the frame line: {err}")
    others = [line for line in err.splitlines() if "left out" in line and
              "a frame is left out" not in line and "1 TEXT entity" not in line]
    check("--skip-layers" not in err and not others,
          f"{name}: more left out than the frame: {err}")
    placed = json.load(open(os.path.join(work, "placed.json")))
    items = placed["instance"]["items"]
    check(len(items) == 2, f"{name}: {len(items)} items, not the plate and the triangle")
    check(len(placed["solution"]["layout"]["placed_items"]) == 2, f"{name}: not 2 placed")
    closed, marks = cut_entities(os.path.join(work, "cut.dxf"))
    check(not marks, f"{name}: mark lines in the cut file")
    outlines = sorted(Polygon(p).area for layer, p in closed if layer == "PARTS")
    check(len(outlines) == 2 and abs(outlines[0] - TRIANGLE_AREA) < 1e-6 and
          abs(outlines[1] - 120 * 80) < 1e-6, f"{name}: the cut outlines' areas {outlines}")
    holes = [Polygon(p).area for layer, p in closed if layer == "HOLES"]
    # ezdxf flattens arcs by Bezier curves, which pass a little outside them.
    check(len(holes) == 1 and abs(holes[0] - math.pi * 225) < 1e-3 * holes[0],
          f"{name}: the cut holes' areas {holes}")
    # Kept, the frame is a part again.
    code, out, err = run(binary, ["--sheet", "1000x600", "--keep-frames", "--json",
                                  "kept.json", path], work)
    kept = json.load(open(os.path.join(work, "kept.json")))
    largest = max(Polygon(outer_of(item)).area for item in kept["instance"]["items"])
    check(code == 0 and "frame is left out" not in err and largest > 300 * 200,
          f"{name}: --keep-frames: the largest part {largest}: {err}")


def moved(point, transformation):
    x, y = point
    if transformation.get("mirrored", False):
        x = -x
    angle = math.radians(transformation["rotation"])
    c, s = math.cos(angle), math.sin(angle)
    tx, ty = transformation["translation"]
    return (c * x - s * y + tx, s * x + c * y + ty)


def check_blank(binary, work, name, extra):
    path = os.path.join(work, name)
    box_blank(path, extra)
    # The sheet is narrower than the blank is tall: every blank is turned.
    code, out, err = run(binary, ["--sheet", "1200x310", "-r", "4", "--mirror", "--copies", "3",
                                  "--dxf-cam", "cut.dxf", "--json", "placed.json", path], work)
    if not check(code == 0, f"{name}: exit code {code}: {err}"):
        return
    check("frame" not in err.replace(name, ""), f"{name}: a frame warning: {err}")
    lines = BENDS + [line for _, group in extra for line in group]
    check(f"{len(lines)} open lines on" in err and "marked, not cut" in err,
          f"{name}: the mark lines are not said: {err}")
    check("left out" not in err, f"{name}: something left out: {err}")
    placed = json.load(open(os.path.join(work, "placed.json")))
    items = placed["instance"]["items"]
    if not check(len(items) == 1, f"{name}: {len(items)} items, not one blank"):
        return
    shape = items[0]["shape"]
    check(shape["type"] == "polygon" and len(shape["data"]["inner"]) == 1,
          f"{name}: the blank is not one outline with one hole")
    parts = placed["solution"]["layout"]["placed_items"]
    check(len(parts) == 3, f"{name}: {len(parts)} placed, not 3")
    check(all(part["transformation"]["rotation"] % 180 == 90 for part in parts),
          f"{name}: a blank not turned")
    closed, marks = cut_entities(os.path.join(work, "cut.dxf"))
    check(len(marks) == len(lines) * len(parts),
          f"{name}: {len(marks)} mark lines for {len(parts)} parts of {len(lines)}")
    outlines = [Polygon(p) for layer, p in closed if layer == "PARTS"]
    for part in parts:
        t = part["transformation"]
        outline = Polygon([moved(p, t) for p in CROSS])
        check(any(outline.equals_exact(o, 1e-6) or outline.symmetric_difference(o).area < 1e-6
                  for o in outlines), f"{name}: no cut outline where {t} puts the blank")
        for a, b in lines:
            want = [moved(a, t), moved(b, t)]
            found = [m for m in marks if len(m) == 2 and
                     max(math.dist(p, q) for p, q in zip(m, want)) <= 1e-6]
            check(len(found) == 1, f"{name}: the line {a}-{b} is not where {t} moves it")
            inside = LineString(want).intersection(outline.buffer(1e-6)).length
            if (a, b) not in ACROSS:
                check(abs(inside - math.dist(a, b)) < 1e-6,
                      f"{name}: the mark line {a}-{b} leaves its part")


def check_remnant(binary, work):
    """A drawn sheet (an outline with a round defect on its own layer, a frame-like shape to
    a reader of part drawings) used by one job, whose remnant the next job takes from the
    stock list the first wrote: neither reads a frame or a mark line into a sheet."""
    sheet = os.path.join(work, "plate.dxf")
    doc = ezdxf.new("R2000")
    doc.header["$INSUNITS"] = 4
    msp = doc.modelspace()
    msp.add_lwpolyline(rect(0, 0, 1000, 400), close=True, dxfattribs={"layer": "SHEET"})
    msp.add_circle((900, 300), 30, dxfattribs={"layer": "DEFECT"})
    doc.saveas(sheet)
    with open(os.path.join(work, "stock.csv"), "w") as stock:
        stock.write("file,count\nplate.dxf,1\n")
    blank = os.path.join(work, "blank.dxf")
    box_blank(blank, [])
    first = ["--stock", "stock.csv", "--remnant-dxf", "rest.dxf", "--stock-out", "next.csv"]
    for args in (first, ["--stock", "next.csv"]):
        code, out, err = run(binary, [*args, "--json", "placed.json", blank + ":1"], work)
        check(code == 0 and "frame" not in err.replace("frame.dxf", "") and
              err.count("marked, not cut") == 1, f"{args}: exit code {code}: {err}")
        check(os.path.exists(os.path.join(work, "rest.dxf")), f"{args}: no remnant written")
    placed = json.load(open(os.path.join(work, "placed.json")))
    kinds = [sheet.get("kind") for sheet in placed["solution"].get("sheets", [])]
    check(kinds == ["rest"], f"the second job did not use the remnant: {kinds}")


def check_named_by_text(binary, work):
    """Four parts on layer 0 of one drawing: a TEXT inside the first names it, a formatted
    two-line MTEXT the second, the third has none and the fourth only a text outside every
    part (a note): those two are numbered in reading order."""
    path = os.path.join(work, "kit.dxf")
    doc = ezdxf.new("R2000")
    msp = doc.modelspace()
    for box in (rect(0, 0, 100, 50), rect(120, 0, 170, 50), rect(200, 0, 260, 60),
                rect(300, 0, 330, 30)):
        msp.add_lwpolyline(box, close=True)
    msp.add_text("BASE PLATE", dxfattribs={"height": 5}).set_placement((10, 20))
    msp.add_mtext("{\\fArial|b0;RIB}\\PQTY 4", dxfattribs={"char_height": 4, "insert": (125, 25)})
    msp.add_text("NOTE: DEBURR", dxfattribs={"height": 5}).set_placement((0, 80))
    doc.saveas(path)
    code, out, err = run(binary, ["--sheet", "500x300", "--json", "kit.json", path], work)
    placed = json.load(open(os.path.join(work, "kit.json")))
    names = [item["name"] for item in placed["instance"]["items"]]
    check(code == 0 and names == ["kit:BASE PLATE", "kit:RIB QTY 4", "kit-1", "kit-2"],
          f"kit.dxf: the parts are named {names}: {err}")
    check(sorted(p["name"] for p in placed["solution"]["layout"]["placed_items"]) ==
          sorted(names), "kit.dxf: the placed parts carry other names")
    # The two texts that name parts were read; only the note is left out.
    check("1 TEXT entity is left out" in err and "MTEXT" not in err,
          f"kit.dxf: the texts left out: {err}")


def check_mixed_units(binary, work):
    """An R12 plate drawn in millimetres and a strip drawn in inches, neither naming its units
    ($INSUNITS missing), beside a drawing in millimetres: the job list's units column says
    what each is in, and the one command packs every part at its size in millimetres."""
    r12 = ezdxf.new("R12")
    r12.modelspace().add_polyline2d(rect(0, 0, 120, 60), close=True)
    r12.saveas(os.path.join(work, "plate_r12.dxf"))
    inch = ezdxf.new("R2000")
    if "$INSUNITS" in inch.header:
        del inch.header["$INSUNITS"]
    inch.modelspace().add_lwpolyline(rect(0, 0, 4, 2), close=True)
    inch.saveas(os.path.join(work, "strip_in.dxf"))
    metric = ezdxf.new("R2000")
    metric.header["$INSUNITS"] = 4
    metric.modelspace().add_lwpolyline(rect(0, 0, 30, 30), close=True)
    metric.saveas(os.path.join(work, "square_mm.dxf"))
    with open(os.path.join(work, "mixed.csv"), "w") as order:
        order.write("file,quantity,units\nplate_r12.dxf,2,mm\nstrip_in.dxf,3,in\n"
                    "square_mm.dxf,1,\n")
    code, out, err = run(binary, ["--sheet", "600x300", "--json", "mixed.json", "mixed.csv"],
                         work)
    if not check(code == 0, f"mixed.csv: exit code {code}: {err}"):
        return
    items = json.load(open(os.path.join(work, "mixed.json")))["instance"]["items"]
    sizes = {}
    for item in items:
        xs, ys = zip(*[(p[0], p[1]) for p in outer_of(item)])
        sizes[item["name"]] = (round(max(xs) - min(xs), 9), round(max(ys) - min(ys), 9))
    check(sizes == {"plate_r12": (120, 60), "strip_in": (101.6, 50.8), "square_mm": (30, 30)},
          f"mixed.csv: the parts' sizes {sizes}: {err}")
    check("converted: 'strip_in.dxf' from inches" in err, f"mixed.csv: the units line: {err}")


def check_labels(binary, work):
    """Labels are at least 3 mm high: a washer 10 mm across takes none, which is counted in
    one line; the plate's label is in its material."""
    path = os.path.join(work, "small.dxf")
    doc = ezdxf.new("R2000")
    doc.header["$INSUNITS"] = 4
    msp = doc.modelspace()
    msp.add_lwpolyline(rect(0, 0, 100, 50), close=True, dxfattribs={"layer": "PLATE"})
    msp.add_circle((200, 20), 5, dxfattribs={"layer": "WASHER"})
    doc.saveas(path)
    code, out, err = run(binary, ["--sheet", "300x100", "--dxf-cam", "small_cut.dxf",
                                  "--dxf-cam-labels", path + ":2"], work)
    check(code == 0 and err.count("2 labels left out: parts too small (a label is at least 3 "
                                  "mm high)\n") == 1, f"small.dxf: the labels left out: {err}")
    doc = ezdxf.readfile(os.path.join(work, "small_cut.dxf"))
    texts = doc.modelspace().query("TEXT")
    check(len(texts) == 2 and all(t.dxf.height >= 3 and "small:PLATE" in t.dxf.text
                                  for t in texts),
          f"small.dxf: labels {[(t.dxf.text, t.dxf.height) for t in texts]}")


def main():
    if len(sys.argv) != 2:
        print(__doc__)
        return 2
    binary = os.path.abspath(sys.argv[1])
    with tempfile.TemporaryDirectory() as work:
        check_frame(binary, work, "double_frame.dxf", double_frame)
        check_frame(binary, work, "frame_on_parts_layer.dxf", frame_on_parts_layer)
        check_frame(binary, work, "frame_with_title_layer.dxf", frame_with_title_layer)
        check_blank(binary, work, "box_blank.dxf", [])
        check_blank(binary, work, "box_blank_marked.dxf", [("BEND", ACROSS), ("CENTER", CENTRE)])
        check_remnant(binary, work)
        check_named_by_text(binary, work)
        check_mixed_units(binary, work)
        check_labels(binary, work)
    for failure in failures:
        print(failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
