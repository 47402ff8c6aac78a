"""The Python module against the program: its API on the bundled example and a drawing, its
errors, shapely interop, Ctrl-C, and the same bytes as the command line."""
import json
import math
import os
import signal
import subprocess
import threading

import pytest

import blocknest

SOURCE = os.environ["BLOCKNEST_SOURCE_DIR"]
BINARY = os.environ["BLOCKNEST_BINARY"]
WORKSHOP = os.path.join(SOURCE, "examples", "workshop_parts.txt")
BRACKET = os.path.join(SOURCE, "examples", "bracket.dxf")


def rectangle(w, h):
    return [(0, 0), (w, 0), (w, h), (0, h)]


def placed(points, p):
    """The outline moved as the placement says, with the test's own arithmetic."""
    turn = math.radians(p.rotation)
    out = []
    for x, y in points:
        if p.mirrored:
            x = -x
        out.append((x * math.cos(turn) - y * math.sin(turn) + p.x,
                    x * math.sin(turn) + y * math.cos(turn) + p.y))
    return out


def test_parts_as_polygons_land_on_the_sheet_and_apart():
    job = blocknest.Job(sheet=(100, 50), rotations=4)
    sizes = {"plate": (60, 30), "bar": (90, 15), "tile": (20, 20)}
    for name, (w, h) in sizes.items():
        job.add_part(rectangle(w, h), name=name)
    result = job.nest()
    assert not result.left_off
    assert [p.sheet for p in result.placements] == [1, 1, 1]
    boxes = []
    for p in result.placements:
        corners = placed(rectangle(*sizes[p.name]), p)
        xs = [x for x, _ in corners]
        ys = [y for _, y in corners]
        assert min(xs) >= -1e-9 and max(xs) <= 100 + 1e-9
        assert min(ys) >= -1e-9 and max(ys) <= 50 + 1e-9
        boxes.append((min(xs), min(ys), max(xs), max(ys)))
    for i, a in enumerate(boxes):
        for b in boxes[i + 1:]:
            assert min(a[2], b[2]) - max(a[0], b[0]) <= 1e-9 or \
                min(a[3], b[3]) - max(a[1], b[1]) <= 1e-9
    assert result.density == pytest.approx(100 * (1800 + 1350 + 400) / (result.length * 50),
                                           rel=1e-9)


def test_files_drawings_progress_and_outputs(tmp_path):
    job = blocknest.Job(sheet=(1200, 600))
    job.add_file(WORKSHOP)
    job.add_drawing(BRACKET, copies=2)
    seen = []
    result = job.nest(evaluations=1000, threads=2, progress=seen.append)
    assert seen and all(isinstance(p, blocknest.Progress) for p in seen)
    assert len(result.placements) == 34 + 4
    assert result.sheets == 1 and 0 < result.density < 100 and not result.cut_short
    result.write_svg(str(tmp_path / "l.svg"))
    result.write_cut_files(str(tmp_path / "cut.dxf"), labels=True)
    result.write_json(str(tmp_path / "l.json"))
    placements = json.loads((tmp_path / "l.json").read_text())["solution"]["layout"]
    assert len(placements["placed_items"]) == 38
    assert (tmp_path / "cut.dxf").read_text().count("LWPOLYLINE") > 38
    assert not os.path.exists("Layout.dxf") or os.path.getmtime("Layout.dxf") < os.path.getmtime(
        tmp_path / "l.svg") - 60


def test_errors_carry_the_command_lines_message(tmp_path):
    job = blocknest.Job(sheet=(10, 10))
    job.add_drawing(str(tmp_path / "missing.dxf"))
    with pytest.raises(OSError, match="does not exist"):
        job.nest()
    job = blocknest.Job(sheet=(10, 10))
    job.add_part([(0, 0), (1, 0)], name="flat")
    with pytest.raises(ValueError, match='part 1 \\("flat"\\): the outer contour'):
        job.nest()
    drawing = tmp_path / "bracket.dxf"
    drawing.write_bytes(open(BRACKET, "rb").read())
    job = blocknest.Job(sheet=(400, 200))
    job.add_drawing(str(drawing))
    result = job.nest()
    with pytest.raises(ValueError, match="would replace the DXF drawing"):
        result.write_svg(str(drawing))  # no output replaces an input of its job
    assert drawing.read_bytes() == open(BRACKET, "rb").read()


def test_shapely_polygons_go_in(tmp_path):
    shapely = pytest.importorskip("shapely.geometry")
    ring = shapely.Polygon(rectangle(40, 40), [[(10, 10), (30, 10), (30, 30), (10, 30)]])
    job = blocknest.Job(sheet=(100, 100))
    job.add_part(ring, name="ring")
    job.add_part(rectangle(15, 15), name="plug")
    result = job.nest()
    assert not result.left_off
    by_name = {p.name: p for p in result.placements}
    outer = shapely.Polygon(placed(rectangle(40, 40), by_name["ring"]),
                            [placed([(10, 10), (30, 10), (30, 30), (10, 30)], by_name["ring"])])
    plug = shapely.Polygon(placed(rectangle(15, 15), by_name["plug"]))
    assert outer.intersection(plug).area < 1e-9
    assert outer.area == pytest.approx(1200)
    # The placed parts come back as shapely polygons on request, where the placement says.
    back = by_name["ring"].to_shapely()
    assert back.area == pytest.approx(1200)
    assert back.symmetric_difference(outer).area < 1e-9
    assert by_name["plug"].to_shapely().symmetric_difference(plug).area < 1e-9


def test_ctrl_c_stops_the_search_and_returns_its_best():
    job = blocknest.Job(sheet=(1200, 600))
    job.add_file(WORKSHOP)
    timer = threading.Timer(1.0, lambda: os.kill(os.getpid(), signal.SIGINT))
    timer.start()
    result = job.nest(time_limit=60, threads=2)
    timer.join()
    assert result.cut_short
    assert len(result.placements) == 34


def test_the_same_bytes_as_the_command_line(tmp_path):
    cli = tmp_path / "cli"
    cli.mkdir()
    subprocess.run([BINARY, "--no-pause", "-q", "-r", "4", "--evaluations", "3000", "-j", "2",
                    "--sheet", "400x200", "--sheets", "0", "--dxf-cam", "cut.dxf",
                    BRACKET + ":6"], cwd=cli, check=True, capture_output=True)
    job = blocknest.Job(sheet=(400, 200), sheets=0, rotations=4)
    job.add_drawing(BRACKET, copies=6)
    result = job.nest(evaluations=3000, threads=1)
    py = tmp_path / "py"
    py.mkdir()
    result.write_layout(str(py))
    result.write_cut_files(str(py / "cut.dxf"))
    names = sorted(n for n in os.listdir(cli) if n.endswith(".dxf"))
    assert names == sorted(n for n in os.listdir(py) if n.endswith(".dxf"))
    assert len(names) >= 3
    for name in names:
        assert (cli / name).read_bytes() == (py / name).read_bytes(), name
