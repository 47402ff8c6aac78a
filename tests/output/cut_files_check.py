#!/usr/bin/env python3
"""Runs blocknest on jobs over several sheets and checks every drawing for cutting on its own
terms, with ezdxf and shapely and nothing of the program's code: each file holds exactly the
parts that the placement list puts on its sheet (each cut outline within the packed polygon
of its part, each packed hole within the cut hole, apart by no more than the chord
tolerance), the arcs are true arcs (each cut part's area, its bulges flattened finely, is the
area of the drawing's part, worked out from the drawing by ezdxf), outlines run
counter-clockwise and holes clockwise, each part's holes come before its outline, a part
lying in another's hole comes before that part, no two parts overlap, the spacing is kept,
and the labels, at least 3 units high, name the parts by their number in cutting order (the
parts too small for one, without, as many as the run counts). Exits 77 (skipped) without ezdxf or shapely.

Usage: cut_files_check.py BLOCKNEST SOURCE_DIR
"""
import json
import re
import math
import os
import subprocess
import sys
import tempfile

try:
    import ezdxf
    import ezdxf.math
    from shapely.geometry import LineString, Point, Polygon
    from shapely.ops import polygonize, unary_union
except ImportError as missing:
    print(f"skipped: {missing}")
    sys.exit(77)

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from placements import placed_polygon  # noqa: E402

failures = []


def check(condition, message):
    if not condition:
        failures.append(message)
    return condition


TOLERANCE = 0.05  # the chord tolerance the jobs run with (the default)
FINE = 1e-4  # how closely the checks flatten arcs


def same_shape(a, b):
    return a.symmetric_difference(b).area <= 1e-7 * max(a.area, 1e-9)


def holds(outer, inner):
    """Whether inner lies within outer (as far as flattening allows), and they differ by no
    more than the chord tolerance along outer's outline."""
    return (outer.buffer(2 * FINE).contains(inner)
            and outer.area - inner.area <= TOLERANCE * outer.exterior.length + 1e-6)


def arc_points(center, radius, start, end):
    """Points on a counter-clockwise arc from angle start to end (radians), the first left out,
    within FINE of it."""
    sweep = (end - start) % (2 * math.pi) or 2 * math.pi
    steps = max(1, math.ceil(sweep / (2 * math.acos(1 - FINE / radius))))
    return [(center.x + radius * math.cos(start + sweep * k / steps),
             center.y + radius * math.sin(start + sweep * k / steps)) for k in range(1, steps + 1)]


def polyline_points(vertices, closed):
    """The outline of polyline vertices (x, y, bulge), arcs by ezdxf's bulge_to_arc."""
    points = [tuple(vertices[0][:2])]
    pairs = list(zip(vertices, vertices[1:] + (vertices[:1] if closed else [])))
    for (x0, y0, bulge), (x1, y1, _) in pairs:
        if bulge == 0:
            points.append((x1, y1))
            continue
        center, start, end, radius = ezdxf.math.bulge_to_arc((x0, y0), (x1, y1), bulge)
        arc = arc_points(center, radius, start, end)
        points.extend(arc if bulge > 0 else list(reversed(arc[:-1])) + [(x1, y1)])
    return points


def flattened(entity):
    """The closed outline of an LWPOLYLINE, its bulges as arcs flattened within FINE."""
    return Polygon(polyline_points([tuple(v) for v in entity.get_points("xyb")], True))


def entity_points(entity):
    kind = entity.dxftype()
    if kind == "LINE":
        return [tuple(entity.dxf.start)[:2], tuple(entity.dxf.end)[:2]]
    if kind == "CIRCLE":
        center, radius = entity.dxf.center, entity.dxf.radius
        return [(center.x + radius, center.y)] + arc_points(center, radius, 0, 2 * math.pi)
    if kind == "ARC":
        start = math.radians(entity.dxf.start_angle)
        return [tuple(entity.start_point)[:2]] + arc_points(
            entity.dxf.center, entity.dxf.radius, start, math.radians(entity.dxf.end_angle))
    if kind == "LWPOLYLINE":
        return polyline_points([tuple(v) for v in entity.get_points("xyb")], entity.closed)
    raise ValueError(f"no outline for a {kind}")


def drawing_areas(path):
    """The net area of each layer's part in a drawing of one part per layer, from the faces its
    entities' outlines (arcs flattened within FINE) enclose."""
    by_layer = {}
    for entity in ezdxf.readfile(path).modelspace():
        # Ends that meet in the drawing meet to the last digits only: snapped to 1e-7.
        points = [(round(x, 7), round(y, 7)) for x, y in entity_points(entity)]
        by_layer.setdefault(entity.dxf.layer, []).append(LineString(points))
    return {layer: max(face.area for face in polygonize(unary_union(lines)))
            for layer, lines in by_layer.items()}


def read_cut_file(path, sheet_length, sheet_width):
    """The parts of a drawing for cutting: outlines with the entity index of each contour."""
    doc = ezdxf.readfile(path)
    auditor = doc.audit()
    check(not auditor.errors, f"{path}: ezdxf's audit finds {len(auditor.errors)} errors")
    contours, texts = [], []
    for index, entity in enumerate(doc.modelspace()):
        layer = entity.dxf.layer
        if entity.dxftype() == "LWPOLYLINE":
            check(entity.closed, f"{path}: an open polyline on {layer}")
            bulges = [b for *_, b in entity.get_points("xyb")]
            polygon = flattened(entity)
            # The direction a cutter follows: outlines counter-clockwise, holes clockwise, by
            # the signed area of the outline with its arcs.
            if layer in ("PARTS", "HOLES"):
                check(polygon.exterior.is_ccw == (layer == "PARTS"),
                      f"{path}: a contour on {layer} runs "
                      f"{'counter-clockwise' if polygon.exterior.is_ccw else 'clockwise'}"
                      f" ({len(bulges)} corners, {sum(1 for b in bulges if b != 0)} arcs)")
            contours.append({"index": index, "layer": layer, "polygon": polygon,
                             "arcs": sum(1 for b in bulges if b != 0)})
        elif entity.dxftype() == "TEXT":
            check(layer == "LABELS", f"{path}: a TEXT on layer {layer}")
            texts.append({"index": index, "text": entity.plain_text(), "at": entity.dxf.align_point,
                          "height": entity.dxf.height})
        else:
            check(False, f"{path}: an unexpected {entity.dxftype()}")
    sheets = [c for c in contours if c["layer"] == "SHEET"]
    check(len(sheets) == 1, f"{path}: {len(sheets)} sheet outlines")
    if sheets:
        check(same_shape(sheets[0]["polygon"],
                         Polygon([(0, 0), (sheet_length, 0), (sheet_length, sheet_width),
                                  (0, sheet_width)])), f"{path}: the sheet outline is wrong")
    outlines = [c for c in contours if c["layer"] == "PARTS"]
    holes = [c for c in contours if c["layer"] == "HOLES"]
    check(len(outlines) + len(holes) + len(sheets) == len(contours),
          f"{path}: contours on other layers")
    return outlines, holes, texts


def check_job(binary, args, name, spacing, work, areas=None):
    os.makedirs(work)
    run = subprocess.run([binary, "--no-pause", "-q", "--json", "placed.json"] + args,
                         cwd=work, capture_output=True, text=True, timeout=60)
    if not check(run.returncode == 0, f"{args}: exit code {run.returncode}: {run.stderr}"):
        return
    with open(os.path.join(work, "placed.json")) as f:
        placed = json.load(f)
    unlabelled = [0]
    items = placed["instance"]["items"]
    length = placed["solution"]["sheet"]["length"]
    width = placed["solution"]["sheet"]["width"]
    by_sheet = {}
    for entry in placed["solution"]["layout"]["placed_items"]:
        if "transformation" in entry:
            item = items[entry["item_id"]]
            # A part placed mirrored is labelled so: "3 Gusset (M)".
            label = item["name"] + (" (M)" if entry["transformation"].get("mirrored") else "")
            by_sheet.setdefault(entry["sheet"], []).append(
                (item["name"], placed_polygon(item, entry["transformation"]), label))
    check(len(by_sheet) >= 2, f"{args}: the job is meant to need several sheets")
    written = sorted(f for f in os.listdir(work) if f.endswith(".dxf") and f != "Layout.dxf")
    expected = sorted(name.format(n=k) for k in by_sheet)
    check(written == expected, f"{args}: the files {written}, not {expected}")

    for number, parts in sorted(by_sheet.items()):
        path = os.path.join(work, name.format(n=number))
        if not os.path.exists(path):
            continue
        outlines, holes, texts = read_cut_file(path, length, width)
        check(len(outlines) == len(parts), f"{path}: {len(outlines)} outlines, {len(parts)} parts")
        # Each part of the sheet is one outline with its holes; the pairing is one to one.
        cut_parts = []
        unmatched = list(outlines)
        for part_name, polygon, label in parts:
            match = next((o for o in unmatched
                          if holds(Polygon(polygon.exterior), o["polygon"])), None)
            if not check(match is not None, f"{path}: no outline for a placed {part_name}"):
                continue
            unmatched.remove(match)
            own = [h for h in holes
                   if any(holds(h["polygon"], Polygon(ring)) for ring in polygon.interiors)]
            check(len(own) == len(polygon.interiors),
                  f"{path}: {part_name} has {len(polygon.interiors)} holes, the file {len(own)}")
            for hole in own:
                check(hole["index"] < match["index"], f"{path}: a hole of {part_name} after its outline")
            cut = Polygon(match["polygon"].exterior, [h["polygon"].exterior for h in own])
            if areas is not None:
                drawn = areas[part_name.split(":")[-1]]
                check(abs(cut.area - drawn) <= 1e-5 * drawn,
                      f"{path}: {part_name} is cut with area {cut.area}, drawn with {drawn}")
                check(match["arcs"] + sum(h["arcs"] for h in own) > 0,
                      f"{path}: {part_name} is cut without arcs")
            cut_parts.append({"name": part_name, "polygon": polygon, "cut": cut,
                              "outline": match, "holes": own, "label": label})
        check(len(holes) == sum(len(p["holes"]) for p in cut_parts),
              f"{path}: holes that belong to no part")

        for a in range(len(cut_parts)):
            for b in range(len(cut_parts)):
                pa, pb = cut_parts[a], cut_parts[b]
                if a < b:
                    overlap = pa["cut"].intersection(pb["cut"]).area
                    check(overlap <= 1e-6 * min(pa["cut"].area, pb["cut"].area),
                          f"{path}: {pa['name']} and {pb['name']} overlap by {overlap}")
                    if spacing > 0:
                        # The flattened arcs stray at most FINE from the true ones.
                        gap = pa["cut"].distance(pb["cut"])
                        check(gap >= spacing - 2 * FINE,
                              f"{path}: {pa['name']} and {pb['name']} only {gap} apart")
                # A part in a hole of another is cut before that hole drops out.
                if a != b and any(Polygon(h["polygon"].exterior).contains(pb["polygon"])
                                  for h in pa["holes"]):
                    check(pb["outline"]["index"] < min(h["index"] for h in pa["holes"]),
                          f"{path}: {pb['name']} in a hole of {pa['name']} is cut after it")

        if texts:
            # Each label names its part by its number in cutting order; a part too small for
            # a label 3 units high has none, and the run counts those.
            in_order = sorted(cut_parts, key=lambda p: p["outline"]["index"])
            unlabelled[0] += len(in_order) - len(texts)
            for text in texts:
                number, _, rest = text["text"].partition(" ")
                k = int(number) if number.isdigit() else 0
                if not check(1 <= k <= len(in_order), f"{path}: label '{text['text']}'"):
                    continue
                part = in_order[k - 1]
                check(rest == part["label"],
                      f"{path}: label '{text['text']}' on part {k}, {part['label']}")
                check(text["height"] >= 3, f"{path}: label '{text['text']}' {text['height']} high")
                at = Point(text["at"][0], text["at"][1])
                check(part["polygon"].buffer(1e-9).contains(at),
                      f"{path}: label '{text['text']}' lies off its part")
    counted = re.search(r"(\d+) labels? left out: parts too small", run.stderr)
    check(unlabelled[0] == (int(counted.group(1)) if counted else 0),
          f"{args}: {unlabelled[0]} parts without a label: {run.stderr}")


def main():
    binary, source = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    workshop = os.path.join(source, "examples", "workshop_parts.txt")
    bracket = os.path.join(source, "examples", "bracket.dxf")
    with tempfile.TemporaryDirectory() as work:
        check_job(binary, ["--sheets", "0", "--sheet", "400x300", "-r", "4", "--mirror",
                           "--dxf-cam", "cut.dxf", "--dxf-cam-labels", workshop],
                  "cut-{n}.dxf", 0, os.path.join(work, "workshop"))
        check_job(binary, ["--sheets", "3", "--sheet", "260x160", "--spacing", "2", "--margin", "1",
                           "-r", "4", "--mirror", "--dxf-cam", "sheet{n}-cam.dxf", bracket + ":7"],
                  "sheet{n}-cam.dxf", 2, os.path.join(work, "brackets"), drawing_areas(bracket))
    for failure in failures:
        print(failure)
    print(f"{len(failures)} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
