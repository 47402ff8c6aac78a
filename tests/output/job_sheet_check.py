#!/usr/bin/env python3
"""Runs blocknest with --job-sheet and --dxf-cam over several sheets and checks the job sheet's
figures against the drawings for cutting, read with ezdxf and nothing of the program's code:
every sheet is in exactly one layout group, the sheets of a group hold the same contours, and
each group's cut length (arcs measured from their bulges) and pierces (one per closed contour
on PARTS or HOLES) are those of its sheets' cut files, the totals the sum over the runs. With
a stock list: each layout's cost is its kind's cost from the list times its runs, the remnant
given back (--stock-out) is worth its sheet's cost in proportion to its material as read from
its drawing, is taken off the job's cost, and is what the next job, started from the stock
list left, pays for it. Results.txt and the JSON say what the page says.
Exits 77 (skipped) without ezdxf.

Usage: job_sheet_check.py BLOCKNEST SOURCE_DIR
"""
import json
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


def close(a, b, relative=1e-5):
    return abs(a - b) <= relative * max(1.0, abs(a), abs(b))


def area(points):
    return abs(sum(x0 * y1 - x1 * y0 for (x0, y0), (x1, y1)
                   in zip(points, points[1:] + points[:1]))) / 2


def drawn_material(path):
    """The material of a sheet drawing: its largest closed contour less the others."""
    doc = ezdxf.readfile(path)
    areas = sorted((area([(x, y) for x, y in e.get_points("xy")])
                    for e in doc.modelspace().query("LWPOLYLINE") if e.closed), reverse=True)
    return areas[0] - sum(areas[1:])


def stock_costs(path):
    """Each rectangle kind's cost by its name ("300x150"), and each drawing's by its path."""
    rows = [line.split(",") for line in open(path, encoding="utf-8").read().splitlines()
            if line and not line.startswith("#")]
    header, costs = rows[0], {}
    for row in rows[1:]:
        cell = dict(zip(header, row))
        name = cell.get("file") or f"{cell['length']}x{cell['width']}"
        length, width = cell.get("length"), cell.get("width")
        costs[name] = float(cell["cost"]) if cell.get("cost") else (
            float(length) * float(width) if length and width else None)
    return costs


def check_costs(folder, args, groups, html, stock):
    """The costs on the page, in the report and in the JSON against the stock list."""
    costs = stock_costs(os.path.join(folder, stock))
    placed = json.load(open(os.path.join(folder, "p.json"), encoding="utf-8"))
    job = placed["solution"]["job_sheet"]
    sheets_cost = 0.0
    for (numbers, kind, runs, body), entry in zip(groups, job["sheets"]):
        listed = costs.get(kind, costs.get(kind + ".dxf"))
        check(listed is not None and close(entry["sheet_cost"], listed),
              f"{args}: layout of {kind}: a sheet costs {entry.get('sheet_cost')}, "
              f"the list says {listed}")
        row = re.search(r"<th>Cost</th><td class=\"n\">(\d+) × ([\d.e+-]+) = ([\d.e+-]+)", body)
        check(row and int(row.group(1)) == int(runs) and close(number(row.group(2)), listed)
              and close(number(row.group(3)), int(runs) * listed),
              f"{args}: layout of {kind}: cost row {row and row.group(0)}")
        sheets_cost += int(runs) * listed
    total = job["total"]
    check(close(total["sheets_cost"], sheets_cost),
          f"{args}: sheets cost {total['sheets_cost']}, the list's costs give {sheets_cost}")
    credit = 0.0
    if "--stock-out" in args:
        last_kind = max(((max(int(n) for n in numbers.split(",")), kind)
                         for numbers, kind, _, _ in groups))[1]
        width = int(last_kind.split("x")[1]) if "x" in last_kind else None
        whole = int(last_kind.split("x")[0]) * width
        expected = costs[last_kind] / whole * drawn_material(os.path.join(folder, "rest.dxf"))
        returned = total.get("remnant_returned", {}).get("value")
        check(returned is not None and close(returned, expected),
              f"{args}: the remnant given back is worth {returned}, its material {expected}")
        left = stock_costs(os.path.join(folder, "next.csv"))
        check(left.get("rest.dxf") == returned,
              f"{args}: the stock left prices the remnant {left.get('rest.dxf')}, not {returned}")
        credit = returned or 0.0
    check(close(total["cost"], sheets_cost - credit),
          f"{args}: job cost {total['cost']}, expected {sheets_cost} - {credit}")
    head = html.split("<div class=\"sheet\">")[0]
    shown = re.search(r"<th>Cost</th><td class=\"n\">([\d.e+-]+)", head)
    check(shown and close(number(shown.group(1)), total["cost"]),
          f"{args}: the page's job cost {shown and shown.group(1)}, the JSON's {total['cost']}")
    report = open(os.path.join(folder, "Results.txt"), encoding="utf-8").read()
    line = re.search(r"^Job: .* Cost:([\d.e+-]+)$", report, re.M)
    check(line and close(number(line.group(1)), total["cost"]),
          f"{args}: the report's job cost {line and line.group(0)}")
    return credit


def run_job(blocknest, folder, args):
    """Checks one job's figures; returns the remnant's credit where it has costs."""
    for name in os.listdir(folder):
        if re.fullmatch(r"cut(-\d+)?\.dxf", name):
            os.remove(os.path.join(folder, name))
    result = subprocess.run([blocknest, "--no-pause", "-q", "--job-sheet", "job.html",
                             "--dxf-cam", "cut.dxf", "--json", "p.json", *args], cwd=folder,
                            capture_output=True, text=True, check=False)
    if result.returncode != 0:
        failures.append(f"{args}: exit {result.returncode}: {result.stderr}")
        return None
    html = open(os.path.join(folder, "job.html"), encoding="utf-8").read()
    groups = re.findall(r"<h2>Layout \d+: sheets? ([\d, ]+)(?: \(([^)]*)\))?</h2>\s*"
                        r"<p class=\"runs\">Run this sheet (\d+) times?</p>(.*?)</div>", html,
                        re.S)
    check(groups, f"{args}: no layout group on the job sheet")
    seen = []
    total_cut, total_pierces = 0.0, 0
    for numbers, _, runs, body in groups:
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
    stock = next((args[i + 1] for i, arg in enumerate(args[:-1]) if arg == "--stock"), None)
    if stock is None:
        check("Cost" not in html, f"{args}: a cost without a stock list")
        return None
    return check_costs(folder, args, groups, html, stock)


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
    # Two jobs from one rack: the first gives its remnant back, the second takes it.
    with tempfile.TemporaryDirectory() as folder:
        with open(os.path.join(folder, "stock.csv"), "w", encoding="utf-8") as rack:
            rack.write("length,width,count,cost\n300,150,5,40.5\n200,100,3,30\n")
        bracket = os.path.join(examples, "bracket.dxf")
        credit = run_job(blocknest, folder, ["--stock", "stock.csv", "--remnant-dxf", "rest.dxf",
                                             "--stock-out", "next.csv", bracket + ":13"])
        run_job(blocknest, folder, ["--stock", "next.csv", bracket + ":2"])
        taken = []
        if os.path.exists(os.path.join(folder, "p.json")):
            placed = json.load(open(os.path.join(folder, "p.json"), encoding="utf-8"))
            taken = [entry.get("sheet_cost") for entry in placed["solution"]["job_sheet"]["sheets"]]
        # A drawn sheet that takes a part is used first.
        check(credit is not None and taken[:1] == [credit],
              f"the next job pays {taken[:1]} for the remnant, credited {credit}")
        jobs.append("two from one rack")
    for failure in failures:
        print(failure)
    print(f"{len(jobs)} jobs checked, {len(failures)} failures")
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
