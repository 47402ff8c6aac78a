"""Two-dimensional irregular nesting: parts (polygons with holes, DXF drawings) on sheets, as
the blocknest program nests them."""
from typing import Callable, Iterable, Optional, Sequence, Tuple, Union

__version__: str

Point = Tuple[float, float]
Shape = Union[Sequence[Point], "shapely.geometry.Polygon"]  # noqa: F821


class Progress:
    """A search's figures as its progress lines show them."""
    elapsed: float      # seconds since the search began
    time_limit: float   # seconds; 0 with evaluations
    layouts: int        # packing runs so far
    moves: int          # part moves of the overlap phase
    length: float       # the best layout's packed length (its last sheet's over several)
    density: float      # percent, of the same
    sheets: int         # sheets the best layout uses; 0 on one sheet
    improved: bool      # the best layout changed with this report


class Placement:
    """Where a part lies: its outline as given, mirrored about the Y axis when mirrored,
    turned by rotation degrees about the origin, then moved by (x, y) in its sheet's
    coordinates."""
    name: str
    sheet: int          # from 1
    x: float
    y: float
    rotation: float     # degrees
    mirrored: bool
    outer: list[Point]          # the placed outline's corners (the polygon packed), not closed
    holes: list[list[Point]]    # the placed holes' corners

    def to_shapely(self) -> "shapely.geometry.Polygon":  # noqa: F821
        """The placed part as a shapely Polygon (needs shapely)."""


class Result:
    """What Job.nest made."""
    placements: list[Placement]          # every placed part, in packing order
    left_off: list[Tuple[str, str]]      # (name, reason) of every part left off
    density: float                       # percent, as Results.txt gives it
    length: float                        # the packed length (the last sheet's over several)
    sheets: int                          # sheets used
    cut_short: bool                      # Ctrl-C stopped the search; this is its best layout

    def write_cut_files(self, path: str, labels: bool = False) -> None:
        """Write the drawing for cutting (one per sheet over several: cut-1.dxf, ...)."""
    def write_svg(self, path: str) -> None:
        """Write the layout as an SVG picture."""
    def write_json(self, path: str) -> None:
        """Write the placement list as JSON."""
    def write_layout(self, folder: str) -> None:
        """Write Layout.dxf and Results.txt into folder."""


class Job:
    """A nesting job: parts on a sheet, with the command line's defaults."""

    def __init__(self, sheet: Tuple[float, float], spacing: float = 0.0, margin: float = 0.0,
                 sheets: int = 1, rotations: int = 2, mirror: bool = False) -> None:
        """sheet=(length, width); sheets: how many may be filled (0: as many as needed);
        rotations: equally spaced turns tried per part; mirror: also every turn mirrored."""
    def add_part(self, points: Shape, holes: Iterable[Shape] = (), copies: int = 1,
                 name: Optional[str] = None, turns: Optional[Sequence[float]] = None,
                 mirror: bool = False) -> None:
        """Add a part: points, a list of (x, y) or a shapely Polygon (its holes too); turns:
        the allowed turns in degrees (default: the job's rotations)."""
    def add_drawing(self, path: str, copies: int = 1) -> None:
        """Add every part of a DXF drawing, copies times."""
    def add_file(self, path: str) -> None:
        """Add a part data file, a JSON instance or a job list."""
    def nest(self, time_limit: Optional[float] = None, evaluations: Optional[int] = None,
             threads: Optional[int] = None, seed: int = 1,
             progress: Optional[Callable[[Progress], None]] = None) -> Result:
        """Nest the parts. A time limit (seconds) or an evaluation budget turns the search on;
        with evaluations the result is the same on any thread count. progress(p) is called as
        the search improves. Ctrl-C stops the search and returns its best layout with
        cut_short set. Input errors raise ValueError (OSError for a file that cannot be read)
        with the command line's message."""
