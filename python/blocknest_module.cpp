// The Python module: a job described from Python, run by the job library with the GIL
// released, its result read back and its outputs written on request.
#include <pybind11/functional.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>
#include <signal.h>

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "job/job.hpp"

namespace py = pybind11;

namespace blocknest {
namespace {

using Points = std::vector<std::pair<double, double>>;

// Keeps the error lines a job writes, for the exception that carries them.
class CollectingConsole : public Console {
public:
    void write(std::string_view) override {}
    void write(Message) override {}
    void warn(Message) override {}
    void error(std::string_view line) override { lines.emplace_back(line); }
    void pause() override {}
    std::vector<std::string> lines;
};

// Raises the exception a failed job stands for: OSError when a file could not be read or
// written, ValueError for anything else the job refused; the message is the command line's.
[[noreturn]] void raiseFailure(int exitCode, const std::vector<std::string>& lines) {
    std::string message;
    for (const std::string& line : lines) message += (message.empty() ? "" : "\n") + line;
    if (message.empty())
        message = "blocknest: the job failed with exit code " + std::to_string(exitCode);
    for (const char* io :
         {"does not exist", "cannot be opened", "cannot be read", "No such file", "cannot write",
          "Permission denied", "is a directory", "not a regular file"}) {
        if (message.find(io) != std::string::npos) {
            PyErr_SetString(PyExc_OSError, message.c_str());
            throw py::error_already_set();
        }
    }
    throw py::value_error(message);
}

// A polygon as a list of (x, y): a sequence of pairs, a shapely Polygon's exterior or a ring.
Points pointsOf(const py::handle& shape) {
    // A shapely Polygon gives its exterior ring, a ring its coordinates.
    py::object source = py::reinterpret_borrow<py::object>(shape);
    if (py::hasattr(source, "exterior")) source = source.attr("exterior");
    if (py::hasattr(source, "coords")) source = source.attr("coords");
    Points points;
    for (const py::handle point : source) {
        const py::sequence xy = py::reinterpret_borrow<py::sequence>(point);
        points.emplace_back(xy[0].cast<double>(), xy[1].cast<double>());
    }
    // A shapely ring repeats its first point at the end.
    if (points.size() > 1 && points.front() == points.back()) points.pop_back();
    return points;
}

// While alive, Ctrl-C (SIGINT) sets the stop flag instead of raising KeyboardInterrupt; the
// handler before is restored at the end.
class StopOnInterrupt {
public:
    StopOnInterrupt() {
        flag().store(false);
        struct sigaction action {};
        action.sa_handler = [](int) { flag().store(true); };
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, &previous_);
    }
    ~StopOnInterrupt() { sigaction(SIGINT, &previous_, nullptr); }
    StopOnInterrupt(const StopOnInterrupt&) = delete;
    StopOnInterrupt& operator=(const StopOnInterrupt&) = delete;
    static std::atomic<bool>& flag() {
        static std::atomic<bool> stop{false};
        return stop;
    }

private:
    struct sigaction previous_ {};
};

// What a nest gives back: the result and the description that made it.
struct Nested {
    JobResult result;
    JobDescription job;
};

int writeOutput(const Nested& nested, JobDescription outputs) {
    outputs.writeLayout = outputs.outputDir.has_value();
    CollectingConsole console;
    const int code = writeJobOutputs(nested.result, outputs, console);
    if (code != 0) raiseFailure(code, console.lines);
    return code;
}

class Job {
public:
    Job(std::pair<double, double> sheet, double spacing, double margin, int sheets, int rotations,
        bool mirror) {
        job_.sheet = SheetSize{sheet.first, sheet.second};
        job_.spacing = spacing;
        job_.margin = margin;
        job_.sheets = sheets;
        job_.rotations = rotations;
        job_.mirror = mirror;
        job_.writeLayout = false;
        job_.quiet = true;
    }

    void addPart(const py::object& points, const py::object& holes, std::int64_t copies,
                 const std::optional<std::string>& name,
                 const std::optional<std::vector<double>>& turns, bool mirror) {
        PartShape shape;
        shape.outer = pointsOf(points);
        for (const py::handle hole : py::getattr(points, "interiors", py::tuple())) {
            shape.holes.push_back(pointsOf(hole));
        }
        for (const py::handle hole : holes) shape.holes.push_back(pointsOf(hole));
        shape.copies = copies;
        shape.name = name.value_or("");
        shape.turns = turns.value_or(std::vector<double>{});
        shape.mirror = mirror;
        job_.parts.push_back(std::move(shape));
    }

    void addDrawing(const std::string& path, std::int64_t copies) {
        job_.files.push_back({path, copies});
    }

    void addFile(const std::string& path) { job_.files.push_back({path, std::nullopt}); }

    std::shared_ptr<Nested> nest(std::optional<double> timeLimit,
                                 std::optional<std::int64_t> evaluations,
                                 std::optional<int> threads, std::uint64_t seed,
                                 const py::object& progress) {
        JobDescription job = job_;
        job.timeLimit = timeLimit;
        job.evaluations = evaluations;
        job.threads = threads.value_or(0);
        job.seed = seed;
        JobControl control;
        if (!progress.is_none()) {
            control.progress = [&progress](const SearchReport& report) {
                const py::gil_scoped_acquire gil;
                progress(report);
            };
        }
        CollectingConsole console;
        auto nested = std::make_shared<Nested>();
        nested->job = job;
        {
            const StopOnInterrupt interrupt;
            control.stop = &StopOnInterrupt::flag();
            control.stopCause = [] { return std::string("Ctrl-C"); };
            const py::gil_scoped_release released;
            nested->result = runJob(job, console, control);
        }
        if (nested->result.exitCode != 0) raiseFailure(nested->result.exitCode, console.lines);
        return nested;
    }

private:
    JobDescription job_;
};

}  // namespace
}  // namespace blocknest

PYBIND11_MODULE(blocknest, m) {
    using namespace blocknest;
    m.doc() =
        "Two-dimensional irregular nesting: parts (polygons with holes, DXF drawings) on "
        "sheets, as the blocknest program nests them.";
    m.attr("__version__") = libraryVersion();

    py::class_<SearchReport>(m, "Progress", "A search's figures as its progress lines show them.")
        .def_readonly("elapsed", &SearchReport::elapsed, "Seconds since the search began.")
        .def_readonly("time_limit", &SearchReport::timeLimit, "Seconds; 0 with evaluations.")
        .def_readonly("layouts", &SearchReport::layouts, "Packing runs so far.")
        .def_readonly("moves", &SearchReport::moves, "Part moves of the overlap phase.")
        .def_readonly("length", &SearchReport::packedLength,
                      "The best layout's packed length (its last sheet's over several).")
        .def_readonly("density", &SearchReport::density, "Percent, of the same.")
        .def_readonly("sheets", &SearchReport::sheets, "Sheets the best layout uses; 0 on one.")
        .def_readonly("improved", &SearchReport::improved, "The best layout changed.");

    py::class_<PartPlacement>(m, "Placement",
                              "Where a part lies: its outline as given, mirrored about the Y "
                              "axis when mirrored, turned by rotation degrees about the origin, "
                              "then moved by (x, y) in its sheet's coordinates.")
        .def_readonly("name", &PartPlacement::name)
        .def_readonly("sheet", &PartPlacement::sheet, "From 1.")
        .def_readonly("x", &PartPlacement::x)
        .def_readonly("y", &PartPlacement::y)
        .def_readonly("rotation", &PartPlacement::rotation, "Degrees.")
        .def_readonly("mirrored", &PartPlacement::mirrored)
        .def_readonly("outer", &PartPlacement::outer,
                      "The placed outline's corners (the polygon packed), not closed.")
        .def_readonly("holes", &PartPlacement::holes, "The placed holes' corners.")
        .def(
            "to_shapely",
            [](const PartPlacement& p) {
                // Only asked for: shapely is no dependency of the module.
                return py::module_::import("shapely.geometry").attr("Polygon")(p.outer, p.holes);
            },
            "The placed part as a shapely Polygon (needs shapely).")
        .def("__repr__", [](const PartPlacement& p) {
            return "Placement(name=" + py::repr(py::str(p.name)).cast<std::string>() +
                   ", sheet=" + std::to_string(p.sheet) +
                   ", x=" + py::repr(py::float_(p.x)).cast<std::string>() +
                   ", y=" + py::repr(py::float_(p.y)).cast<std::string>() +
                   ", rotation=" + py::repr(py::float_(p.rotation)).cast<std::string>() +
                   ", mirrored=" + (p.mirrored ? "True" : "False") + ")";
        });

    py::class_<Nested, std::shared_ptr<Nested>>(m, "Result", "What Job.nest made.")
        .def_property_readonly(
            "placements", [](const Nested& n) { return n.result.placements; },
            "Every placed part, in packing order.")
        .def_property_readonly(
            "left_off",
            [](const Nested& n) {
                std::vector<std::pair<std::string, std::string>> parts;
                for (const LeftOffPart& p : n.result.leftOff) parts.emplace_back(p.name, p.reason);
                return parts;
            },
            "(name, reason) of every part left off: no area, self-crossing outline, larger "
            "than the sheet, no room left.")
        .def_property_readonly(
            "density",
            [](const Nested& n) { return n.result.figures ? n.result.figures->density : 0.0; },
            "Percent, as Results.txt gives it.")
        .def_property_readonly(
            "length",
            [](const Nested& n) { return n.result.figures ? n.result.figures->packedLength : 0.0; },
            "The packed length (the last sheet's over several).")
        .def_property_readonly(
            "sheets",
            [](const Nested& n) { return n.result.figures ? n.result.figures->sheetsUsed : 0; },
            "Sheets used.")
        .def_property_readonly(
            "cut_short", [](const Nested& n) { return n.result.cutShort; },
            "True when Ctrl-C stopped the search: the result is the best layout it had.")
        .def(
            "write_cut_files",
            [](const Nested& n, const std::string& path, bool labels) {
                JobDescription outputs;
                outputs.camFile = path;
                outputs.camLabels = labels;
                writeOutput(n, outputs);
            },
            py::arg("path"), py::arg("labels") = false,
            "Write the drawing for cutting (one per sheet over several: cut-1.dxf, ...).")
        .def(
            "write_svg",
            [](const Nested& n, const std::string& path) {
                JobDescription outputs;
                outputs.svgFile = path;
                writeOutput(n, outputs);
            },
            py::arg("path"), "Write the layout as an SVG picture.")
        .def(
            "write_json",
            [](const Nested& n, const std::string& path) {
                JobDescription outputs;
                outputs.jsonFile = path;
                writeOutput(n, outputs);
            },
            py::arg("path"), "Write the placement list as JSON.")
        .def(
            "write_layout",
            [](const Nested& n, const std::string& folder) {
                JobDescription outputs;
                outputs.outputDir = folder;
                writeOutput(n, outputs);
            },
            py::arg("folder"), "Write Layout.dxf and Results.txt into folder.");

    py::class_<Job>(m, "Job", "A nesting job: parts on a sheet, the command line's defaults.")
        .def(py::init<std::pair<double, double>, double, double, int, int, bool>(),
             py::arg("sheet"), py::arg("spacing") = 0.0, py::arg("margin") = 0.0,
             py::arg("sheets") = 1, py::arg("rotations") = JobDescription::kDefaultRotations,
             py::arg("mirror") = false,
             "sheet=(length, width); sheets: how many may be filled (0: as many as needed); "
             "rotations: equally spaced turns tried per part.")
        .def("add_part", &Job::addPart, py::arg("points"), py::arg("holes") = py::tuple(),
             py::arg("copies") = 1, py::arg("name") = py::none(), py::arg("turns") = py::none(),
             py::arg("mirror") = false,
             "Add a part: points, a list of (x, y) or a shapely Polygon (its holes too); "
             "turns: the allowed turns in degrees (default: the job's rotations).")
        .def("add_drawing", &Job::addDrawing, py::arg("path"), py::arg("copies") = 1,
             "Add every part of a DXF drawing, copies times.")
        .def("add_file", &Job::addFile, py::arg("path"),
             "Add a part data file, a JSON instance or a job list.")
        .def("nest", &Job::nest, py::arg("time_limit") = py::none(),
             py::arg("evaluations") = py::none(), py::arg("threads") = py::none(),
             py::arg("seed") = 1, py::arg("progress") = py::none(),
             "Nest the parts and return a Result. A time limit (seconds) or an evaluation "
             "budget turns the search on; with evaluations the result is the same on any "
             "thread count. progress(p) is called with a Progress as the search improves. "
             "Ctrl-C stops the search and returns its best layout with cut_short set. Input "
             "errors raise ValueError (OSError for a file that cannot be read) with the "
             "command line's message.");
}
