#include "spacing/clearance.hpp"

#include <cassert>
#include <clipper.hpp>
#include <cmath>

#include "base/number_format.hpp"
#include "packing/sheet_marking.hpp"

namespace blocknest {
namespace {

namespace cl = ClipperLib;

// Clipper works on integers. Coordinates are scaled by a power of two, so scaling is exact,
// chosen per part so that its largest coordinate stays below 2^40: far inside Clipper's
// range and the 53 bits a double holds exactly. Rounding to integers moves a point by at most
// half a unit on each axis, on the way in and on the way out; growing by two units more than
// asked covers both.
constexpr int kCoordinateBits = 40;
constexpr double kRoundingUnits = 2;
constexpr double kMiterLimit = 2;

double scaleFor(const Part& part, double delta) {
    const BoundingBox& box = part.bounds();
    const double largest = std::max({std::fabs(box.minX), std::fabs(box.maxX), std::fabs(box.minY),
                                     std::fabs(box.maxY)}) +
                           delta;
    int exponent = 0;
    std::frexp(std::max(largest, 1e-300), &exponent);  // largest < 2^exponent
    return std::ldexp(1.0, kCoordinateBits - exponent);
}

cl::Path toPath(const Loop& loop, double scale) {
    cl::Path path;
    path.reserve(loop.vertices().size());
    for (const Vertex& v : loop.vertices()) {
        path.emplace_back(static_cast<cl::cInt>(std::llround(v.x * scale)),
                          static_cast<cl::cInt>(std::llround(v.y * scale)));
    }
    return path;
}

Loop toLoop(const cl::Path& path, double scale) {
    std::vector<Vertex> vertices;
    vertices.reserve(path.size());
    for (const cl::IntPoint& p : path) {
        vertices.push_back(
            Vertex{static_cast<double>(p.X) / scale, static_cast<double>(p.Y) / scale});
    }
    Loop loop;
    loop.setVertices(std::move(vertices));
    return loop;
}

// The outer polygons of path offset by delta integer units, mitred.
std::vector<cl::Path> offset(const cl::Path& path, double delta) {
    cl::ClipperOffset offsetter(kMiterLimit);
    offsetter.AddPath(path, cl::jtMiter, cl::etClosedPolygon);
    cl::PolyTree tree;
    offsetter.Execute(tree, delta);
    std::vector<cl::Path> outers;
    for (const cl::PolyNode* node : tree.Childs) outers.push_back(node->Contour);
    return outers;
}

Loop boxLoop(const BoundingBox& box, double delta) {
    Loop loop;
    loop.setVertices({{box.minX - delta, box.minY - delta},
                      {box.maxX + delta, box.minY - delta},
                      {box.maxX + delta, box.maxY + delta},
                      {box.minX - delta, box.maxY + delta}});
    return loop;
}

bool liesOn(const Part& part, const Sheet& sheet) {
    const BoundingBox& box = part.outerLoop().bounds();
    return box.minX >= 0 && box.maxX <= sheet.length && box.minY >= 0 && box.maxY <= sheet.width;
}

// Every piece of the loop shrunk by delta drawing units (grown when delta is negative), mitred;
// the rounding is covered on the inward side, so the pieces never reach beyond the exact offset.
LoopList offsetInward(const Loop& loop, double delta) {
    Part alone;
    alone.setShape("", LoopList(), loop);
    const double scale = scaleFor(alone, std::fabs(delta));
    LoopList pieces;
    for (const cl::Path& path : offset(toPath(loop, scale), -delta * scale - kRoundingUnits)) {
        if (path.size() >= 3) pieces.pushBack(toLoop(path, scale));
    }
    return pieces;
}

// The sheet's fixed shapes as the grown parts must meet them, in the placement sheet's
// coordinates: outlines shrunk by the margin less half the spacing (grown when that is
// negative), defects grown by half the spacing. Says why when no room is left.
std::optional<std::string> placeObstacles(const Sheet& sheet, const Clearance& clearance,
                                          PlacementJob& placement) {
    const double half = clearance.spacing / 2;
    const double origin = placement.sheetOrigin;
    Sheet& target = placement.sheet;
    if (sheet.outside) {
        LoopList outlines;
        for (const Loop& outline : sheet.outside->innerLoops()) {
            for (Loop& piece : offsetInward(outline, origin)) {
                piece.translate(-origin, -origin);
                outlines.pushBack(std::move(piece));
            }
        }
        if (outlines.count() == 0) {
            return "a margin of " + formatNumber(clearance.margin) +
                   " leaves no room inside the sheet's outline";
        }
        target.outside = makeOutsidePart(outlines, target.length, target.width);
    }
    for (const Part& defect : sheet.defects) {
        Part grown = half > 0 ? growPart(defect, half) : defect;
        grown.translate(-origin, -origin);
        target.defects.push_back(std::move(grown));
    }
    markObstaclesOnSheet(target);
    return std::nullopt;
}

}  // namespace

Part growPart(const Part& part, double delta) {
    assert(delta > 0);
    const double scale = scaleFor(part, delta);
    const double units = delta * scale + kRoundingUnits;
    // Holes that closing a narrow gap would make are left filled: a larger outline is safe.
    const std::vector<cl::Path> grown = offset(toPath(part.outerLoop(), scale), units);
    const cl::Path* outer = nullptr;
    for (const cl::Path& path : grown) {
        if (outer == nullptr || std::fabs(cl::Area(path)) > std::fabs(cl::Area(*outer))) {
            outer = &path;
        }
    }
    // An outline without area grows into nothing; its box grown by delta holds it all.
    const Loop outerLoop = outer != nullptr && outer->size() >= 3
                               ? toLoop(*outer, scale)
                               : boxLoop(part.outerLoop().bounds(), delta + kRoundingUnits / scale);
    LoopList holes;
    for (const Loop& hole : part.innerLoops()) {
        for (const cl::Path& path : offset(toPath(hole, scale), -units)) {
            if (path.size() >= 3) holes.pushBack(toLoop(path, scale));
        }
    }
    Part result;
    result.setShape(part.name(), holes, outerLoop);
    result.setBlockSideLength(part.blockSideLength());
    result.setOrientations(part.orientations());
    return result;
}

std::variant<PlacementJob, std::string> makePlacementJob(const PartList& parts, const Sheet& sheet,
                                                         const Clearance& clearance,
                                                         std::int64_t maxSheetCells) {
    const double half = clearance.spacing / 2;
    if (!(2 * clearance.margin < sheet.length && 2 * clearance.margin < sheet.width)) {
        return "a margin of " + formatNumber(clearance.margin) + " leaves no room on a sheet " +
               formatNumber(sheet.length) + " by " + formatNumber(sheet.width);
    }
    PlacementJob placement;
    placement.sheetOrigin = clearance.margin - half;
    placement.sheet.length = sheet.length - 2 * placement.sheetOrigin;
    placement.sheet.width = sheet.width - 2 * placement.sheetOrigin;
    placement.sheet.blockSideLength = sheet.blockSideLength;
    if (!sheetGridSize(placement.sheet.length, placement.sheet.width, sheet.blockSideLength,
                       maxSheetCells)) {
        return "a spacing of " + formatNumber(clearance.spacing) +
               " makes the sheet's block grid larger than " + std::to_string(maxSheetCells) +
               " blocks";
    }
    placement.sheet.bitmap = buildSheetBitmap(placement.sheet.length, placement.sheet.width,
                                              placement.sheet.blockSideLength);
    if (std::optional<std::string> why = placeObstacles(sheet, clearance, placement)) return *why;
    for (const Part& part : parts) {
        Part grown = half > 0 ? growPart(part, half) : part;
        grown.setTurn(Orientation{});
        const Vertex shift{placement.sheet.length - grown.bounds().minX, 0 - grown.bounds().maxY};
        grown.translate(shift.x, shift.y);
        placement.parkedPoses.push_back(grown);
        placement.parkShifts.push_back(shift);
        placement.parts.pushBack(std::move(grown));
    }
    return placement;
}

void placeOriginals(PartList& parts, const PlacementJob& placement, const PartList& packed) {
    assert(parts.count() == packed.count() &&
           static_cast<std::size_t>(packed.count()) == placement.parkedPoses.size());
    auto grown = packed.begin();
    std::size_t i = 0;
    for (Part& part : parts) {
        const Part& placed = *grown;
        if (liesOn(placed, placement.sheet)) {
            const Orientation turn = placed.turn();
            Part turned = placement.parkedPoses[i];
            turned.applyTurn(turn);
            // The move the run gave the grown part, read off one vertex.
            const Vertex& from = turned.outerLoop().vertices().front();
            const Vertex& to = placed.outerLoop().vertices().front();
            const Vertex& shift = placement.parkShifts[i];
            part.translate(shift.x, shift.y);
            part.applyTurn(turn);
            part.translate(to.x - from.x + placement.sheetOrigin,
                           to.y - from.y + placement.sheetOrigin);
            part.setTurn(turn);
        }
        ++grown;
        ++i;
    }
}

}  // namespace blocknest
