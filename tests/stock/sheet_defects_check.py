#!/usr/bin/env python3
"""Nests parts on random sheet drawings (an outline with cut corners and a notch, defects of
random shapes, some near the edge) with spacing and margin, and checks every layout with ezdxf
and shapely and nothing of the program's code: each placed part lies inside the outline at
least the margin from it, at least the spacing from every defect, and at least the spacing from
every other part. The one-pass run, a search and a stock of drawings and rectangles are each
checked; the drawing for cutting must show the sheet as drawn. Exits 77 (skipped) without ezdxf
or shapely.

Usage: sheet_defects_check.py BLOCKNEST SOURCE_DIR
"""
import json
import math
import os
import random
import subprocess
import sys
import tempfile

try:
    import ezdxf
    from shapely.geometry import Point, Polygon
    from shapely.affinity import translate
except ImportError as missing:
    print(f"skipped: {missing}")
    sys.exit(77)

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from placements import placed_polygon  # noqa: E402

failures = []
checked_parts = 0


def check(condition, message):
    if not condition:
        failures.append(message)
    return condition


def random_sheet(rng):
    """An outline whose box starts at (0, 0), and defects inside it, apart from each other."""
    length, width = rng.uniform(500, 1000), rng.uniform(300, 600)
    c1, c2 = rng.uniform(20, 150), rng.uniform(20, 150)
    notch_x = rng.uniform(0.3, 0.6) * length
    notch_w, notch_d = rng.uniform(30, 90), rng.uniform(20, 80)
    outline = Polygon([(0, 0), (length - c1, 0), (length, c1), (length, width),
                       (notch_x + notch_w, width), (notch_x + notch_w, width - notch_d),
                       (notch_x, width - notch_d), (notch_x, width), (c2, width), (0, width - c2)])
    defects = []
    for _ in range(200):
        if len(defects) == rng.randint(2, 5):
            break
        x, y, r = rng.uniform(0, length), rng.uniform(0, width), rng.uniform(8, 60)
        if rng.random() < 0.4:
            shape = Point(x, y).buffer(r, 16)
        else:
            n = rng.randint(3, 6)
            shape = Polygon([(x + r * rng.uniform(0.3, 1) * math.cos(2 * math.pi * k / n),
                              y + r * rng.uniform(0.3, 1) * math.sin(2 * math.pi * k / n))
                             for k in range(n)])
        if not shape.is_valid or not outline.buffer(-2).contains(shape):
            continue
        if any(shape.distance(d) < 2 for d in defects):
            continue
        defects.append(shape)
    return outline, defects


def write_sheet(path, outline, defects, rng):
    doc = ezdxf.new("R2000")
    doc.header["$INSUNITS"] = 4  # millimetres, as the parts' drawing
    msp = doc.modelspace()
    # Drawn as a real file might: the outline in lines on a layer of its own, defects as
    # polylines and circles.
    ring = list(outline.exterior.coords)
    for a, b in zip(ring, ring[1:]):
        msp.add_line(a, b, dxfattribs={"layer": "OUTLINE"})
    for defect in defects:
        msp.add_lwpolyline(list(defect.exterior.coords)[:-1], close=True,
                           dxfattribs={"layer": "DEFECTS"})
    doc.saveas(path)


def check_layout(label, parts, outline, defects, spacing, margin):
    global checked_parts
    size = max(outline.bounds[2], outline.bounds[3])
    tol = 1e-7 * size
    for name, polygon in parts:
        checked_parts += 1
        check(outline.buffer(tol).contains(polygon), f"{label}: {name} leaves the outline")
        edge = polygon.distance(outline.exterior)
        check(edge >= margin - tol, f"{label}: {name} is {edge} from the outline, margin {margin}")
        for k, defect in enumerate(defects):
            gap = polygon.distance(defect)
            check(gap >= spacing - tol and not polygon.intersects(defect) or
                  (spacing == 0 and polygon.intersection(defect).area <= tol),
                  f"{label}: {name} is {gap} from defect {k}, spacing {spacing}")
    for a in range(len(parts)):
        for b in range(a + 1, len(parts)):
            gap = parts[a][1].distance(parts[b][1])
            check(gap >= spacing - tol,
                  f"{label}: {parts[a][0]} and {parts[b][0]} are {gap} apart, spacing {spacing}")


def run(binary, args, work):
    result = subprocess.run([binary, "--no-pause", "-q", "--json", "placed.json"] + args,
                            cwd=work, capture_output=True, text=True, timeout=120)
    if not check(result.returncode == 0, f"{args}: exit code {result.returncode}: {result.stderr}"):
        return None
    with open(os.path.join(work, "placed.json")) as f:
        return json.load(f)


def placed_parts(placed, sheet=None):
    items = placed["instance"]["items"]
    parts = []
    for entry in placed["solution"]["layout"]["placed_items"]:
        if sheet is not None and entry.get("sheet") != sheet:
            continue
        item = items[entry["item_id"]]
        parts.append((item["name"], placed_polygon(item, entry["transformation"])))
    return parts


def check_cut_sheet(path, outline, defects):
    doc = ezdxf.readfile(path)
    drawn = [Polygon([(x, y) for x, y, *_ in e.get_points()])
             for e in doc.modelspace() if e.dxftype() == "LWPOLYLINE" and e.dxf.layer == "SHEET"]
    largest = max(drawn, key=lambda p: p.area) if drawn else Polygon()
    check(largest.symmetric_difference(outline).area <= 1e-6 * outline.area,
          f"{path}: the sheet's outline is not the one drawn")
    check(len(drawn) == 1 + len(defects), f"{path}: {len(drawn) - 1} defects, {len(defects)} drawn")


def check_crossing_defects(binary, work, workshop, rng):
    """Defect circles drawn across a rectangular sheet's edges and corner cut notches into
    it: every part lies in the rectangle less the circles as drawn, the margin from its edges
    (a notch's edge is the sheet's edge), and the sheet in the drawing for cutting is that
    material."""
    length, width = 900.0, 500.0
    circles = [(rng.uniform(150, 750), 0.0, rng.uniform(40, 90)),
               (length, rng.uniform(150, 350), rng.uniform(40, 90)),
               (0.0, width, rng.uniform(60, 120)),
               (rng.uniform(150, 750), width + 20, rng.uniform(40, 90))]
    doc = ezdxf.new("R2000")
    doc.header["$INSUNITS"] = 4
    msp = doc.modelspace()
    corners = [(0, 0), (length, 0), (length, width), (0, width)]
    for a, b in zip(corners, corners[1:] + corners[:1]):
        msp.add_line(a, b, dxfattribs={"layer": "OUTLINE"})
    for x, y, r in circles:
        msp.add_circle((x, y), r, dxfattribs={"layer": "DEFECTS"})
    # A diamond over the lower right corner: it holds the corner and none of its own corners
    # lies on the sheet.
    diamond = [(length + 45, -5), (length + 5, 35), (length - 35, -5), (length + 5, -45)]
    msp.add_lwpolyline(diamond, close=True, dxfattribs={"layer": "DEFECTS"})
    doc.saveas(os.path.join(work, "notched.dxf"))
    rect = Polygon(corners)
    drawn = [Point(x, y).buffer(r, 256) for x, y, r in circles] + [Polygon(diamond)]
    material = rect
    for circle in drawn:
        material = material.difference(circle)
    for spacing, margin in ((0, 0), (4, 3)):
        placed = run(binary, ["--sheet-dxf", "notched.dxf", "--spacing", str(spacing), "--margin",
                              str(margin), "-r", "4", "--dxf-cam", "cut.dxf", workshop], work)
        if placed is None:
            continue
        parts = placed_parts(placed)
        check(len(parts) >= 20, f"notched: only {len(parts)} parts placed")
        # A notch's edge is an edge of the sheet: the parts keep the margin from it.
        check_layout("notched", parts, material, [], spacing, margin)
        cut = ezdxf.readfile(os.path.join(work, "cut.dxf"))
        sheet = [Polygon([(x, y) for x, y, *_ in e.get_points()])
                 for e in cut.modelspace() if e.dxftype() == "LWPOLYLINE" and e.dxf.layer == "SHEET"]
        outline = max(sheet, key=lambda p: p.area) if sheet else Polygon()
        # The notches' polygons hold the circles: the sheet is the material less at most the
        # tolerance along the arcs.
        check(outline.area <= material.area + 1e-6 and
              material.area - outline.area <= 0.05 * sum(2 * math.pi * r for _, _, r in circles),
              f"notched: the sheet's area {outline.area}, the material's {material.area}")


def main():
    binary, source = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    workshop = os.path.join(source, "examples", "workshop_parts.txt")
    bracket = os.path.join(source, "examples", "bracket.dxf")
    rng = random.Random(20)
    with tempfile.TemporaryDirectory() as work:
        for case in range(6):
            outline, defects = random_sheet(rng)
            sheet = os.path.join(work, f"sheet{case}.dxf")
            write_sheet(sheet, outline, defects, rng)
            spacing = rng.choice([0, 2, 5])
            margin = rng.choice([0, 1, 8])
            args = ["--sheet-dxf", sheet, "--spacing", str(spacing), "--margin", str(margin),
                    "-r", str(rng.choice([2, 4, 8])), "--dxf-cam", "cut.dxf", workshop]
            if case == 5:
                args = ["--evaluations", "40", "-j", "2"] + args
            if case == 0:
                # A search whose overlap phase moves the parts on the exact outlines, around the
                # defects and inside the outline.
                args = ["--evaluations", "3000", "-j", "2"] + args
            if case == 4:
                args = ["--mirror"] + args + [bracket + ":12"]
            placed = run(binary, args, work)
            if placed is None:
                continue
            parts = placed_parts(placed)
            check(len(parts) >= 5, f"case {case}: only {len(parts)} parts placed")
            check_layout(f"case {case}", parts, outline, defects, spacing, margin)
            check_cut_sheet(os.path.join(work, "cut.dxf"), outline, defects)

        # A stock of two drawings and a rectangle: each part checked on its own sheet.
        kinds = {}
        for name in ("left", "right"):
            outline, defects = random_sheet(rng)
            write_sheet(os.path.join(work, f"{name}.dxf"), outline, defects, rng)
            kinds[name] = (outline, defects)
        with open(os.path.join(work, "stock.csv"), "w") as f:
            f.write("file,count,cost\nleft.dxf,1,\nright.dxf,1,\n")
        placed = run(binary, ["--stock", "stock.csv", "--spacing", "3", "--margin", "4", workshop,
                              bracket + ":20"], work)
        if placed is not None:
            sheets = placed["solution"]["sheets"]
            check(len(sheets) == 2, f"stock: {len(sheets)} sheets used, both drawings expected")
            for sheet in sheets:
                outline, defects = kinds[sheet["kind"]]
                parts = placed_parts(placed, sheet["number"])
                check(len(parts) == sheet["parts"], f"stock: sheet {sheet['number']} parts")
                check_layout(f"stock {sheet['kind']}", parts, outline, defects, 3, 4)
        check_crossing_defects(binary, work, workshop, rng)
    check(checked_parts >= 100, f"only {checked_parts} parts checked")
    for failure in failures:
        print(failure)
    print(f"{checked_parts} parts checked, {len(failures)} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
