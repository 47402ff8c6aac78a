#!/usr/bin/env python3
"""Runs blocknest with --job-sheet and --dxf-cam over several sheets and checks the job sheet's
figures against the drawings for cutting, read with ezdxf and nothing of the program's code:
every sheet is in exactly one layout group, the sheets of a group hold the same contours, and
each group's cut length (arcs measured from their bulges) and pierces (one per closed contour
on PARTS or HOLES) are those of its sheets' cut files, the totals the sum over the runs.
Exits 77 (skipped) without ezdxf.

Usage: job_sheet_check.py BLOCKNEST SOURCE_DIR
"""
import math
import os
import re
import subprocess
import sys
import tempfile

try:
    import ezdxf
    import ezdxf.math
except ImportError as missing:
    print(f"skipped: {missing}")
    sys.exit(77)

failures = []


def check(condition, message):
    if not condition:
        failures.append(message)


def contour_length(points, bulges):
    length = 0.0
    for i, start in enumerate(points):
        end = points[(i + 1) % len(points)]
        bulge = bulges[i]
        chord = math.dist(start, end)
        if bulge == 0 or chord == 0:
            length += chord
            continue
        _, _, _, radius = ezdxf.math.bulge_to_arc(start, end, bulge)
        length += radius * abs(4 * math.atan(bulge))
    return length


def cut_figures(path):
    """The cut length, the pierces and the contours (rounded) of one drawing for cutting."""
    doc = ezdxf.readfile(path)
    length, pierces, contours = 0.0, 0, []
    for entity in doc.modelspace().query("LWPOLYLINE"):
        if entity.dxf.layer == "SHEET" or not entity.closed:
            continue
        rows = entity.get_points("xyb")
        points = [(x, y) for x, y, _ in rows]
        length += contour_length(points, [b for _, _, b in rows])
        pierces += 1
        contours.append(tuple((round(x, 6), round(y, 6), round(b, 9)) for x, y, b in rows))
    return length, pierces, sorted(contours)


def number(text):
    return float(text.replace(",", ""))


def run_job(blocknest, folder, args):
    result = subprocess.run([blocknest, "--no-pause", "-q", "--job-sheet", "job.html",
                             "--dxf-cam", "cut.dxf", *args], cwd=folder, capture_output=True,
                            text=True, check=False)
    if result.returncode != 0:
        failures.append(f"{args}: exit {result.returncode}: {result.stderr}")
        return
    html = open(os.path.join(folder, "job.html"), encoding="utf-8").read()
    groups = re.findall(r"<h2>Layout \d+: sheets? ([\d, ]+)[^<]*</h2>\s*"
                        r"<p class=\"runs\">Run this sheet (\d+) times?</p>(.*?)</div>", html,
                        re.S)
    check(groups, f"{args}: no layout group on the job sheet")
    seen = []
    total_cut, total_pierces = 0.0, 0
    for numbers, runs, body in groups:
        sheets = [int(n) for n in numbers.split(",")]
        check(len(sheets) == int(runs), f"{args}: sheets {sheets} listed, run {runs} times")
        seen += sheets
        cut = number(re.search(r"<th>Cut length</th><td class=\"n\">([\d.e+-]+)", body).group(1))
        pierces = int(re.search(r"<th>Pierces</th><td class=\"n\">(\d+)", body).group(1))
        first = None
        for sheet in sheets:
            length, count, contours = cut_figures(os.path.join(folder, f"cut-{sheet}.dxf"))
            check(abs(length - cut) <= 1e-5 * max(1.0, cut),
                  f"{args}: sheet {sheet}: cut length {length} in its file, {cut} on the sheet")
            check(count == pierces,
                  f"{args}: sheet {sheet}: {count} contours in its file, {pierces} pierces")
            if first is None:
                first = contours
            else:
                check(contours == first, f"{args}: sheet {sheet} is not like sheet {sheets[0]}")
            total_cut += length
            total_pierces += count
    files = sorted(int(m.group(1)) for name in os.listdir(folder)
                   if (m := re.fullmatch(r"cut-(\d+)\.dxf", name)))
    check(sorted(seen) == files, f"{args}: sheets on the job sheet {sorted(seen)}, files {files}")
    head = html.split("<div class=\"sheet\">")[0]
    cut = number(re.search(r"<th>Cut length</th><td class=\"n\">([\d.e+-]+)", head).group(1))
    pierces = int(re.search(r"<th>Pierces</th><td class=\"n\">(\d+)", head).group(1))
    check(abs(total_cut - cut) <= 1e-5 * max(1.0, cut), f"{args}: total cut {total_cut} vs {cut}")
    check(total_pierces == pierces, f"{args}: total pierces {total_pierces} vs {pierces}")


def main():
    blocknest, source = sys.argv[1], sys.argv[2]
    examples = os.path.join(source, "examples")
    jobs = [
        ["--sheet", "260x130", "--sheets", "0", os.path.join(examples, "bracket.dxf") + ":30"],
        ["--sheet", "500x300", "--sheets", "0", "--spacing", "3", "-r", "4",
         os.path.join(examples, "shop_order.csv")],
        ["--sheet", "400x200", "--sheets", "0", "--mirror", os.path.join(examples, "brackets.json")],
    ]
    for args in jobs:
        with tempfile.TemporaryDirectory() as folder:
            run_job(blocknest, folder, args)
    for failure in failures:
        print(failure)
    print(f"{len(jobs)} jobs checked, {len(failures)} failures")
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
