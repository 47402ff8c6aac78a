"""The placement list's parts as shapely polygons, for the python checks of the outputs.

Imported after shapely: a check that lacks it has skipped before.
"""
import math

from shapely.geometry import Polygon


def placed_polygon(item, transformation):
    """The item's outline mirrored (if so), turned about the origin, then moved."""
    shape = item["shape"]
    if shape["type"] == "simple_polygon":
        outer, inner = shape["data"], []
    else:
        outer, inner = shape["data"]["outer"], shape["data"]["inner"]
    angle = math.radians(transformation["rotation"])
    c, s = math.cos(angle), math.sin(angle)
    mirrored = transformation.get("mirrored", False)
    tx, ty = transformation["translation"]

    def move(ring):
        points = []
        for x, y in ring:
            if mirrored:
                x = -x
            points.append((c * x - s * y + tx, s * x + c * y + ty))
        return points

    return Polygon(move(outer), [move(h) for h in inner])
