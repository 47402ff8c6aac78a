#include "output/dxf_writer.hpp"

#include <sstream>

namespace blocknest {
namespace {

void writeLoopLines(std::ostream& out, const Loop& loop) {
    const std::vector<Vertex>& v = loop.vertices();
    for (std::size_t i = 0; i < v.size(); ++i)
        writeLine(out, v[i], v[i + 1 == v.size() ? 0 : i + 1]);
}

}  // namespace

void writeLine(std::ostream& out, const Vertex& start, const Vertex& end) {
    out << "LINE\n  8\n0\n 10\n"
        << start.x << "\n 20\n"
        << start.y << "\n 30\n0.0\n 11\n"
        << end.x << "\n 21\n"
        << end.y << "\n 31\n0.0\n  0\n";
}

void writeSheetOutline(std::ostream& out, double sheetLength, double sheetWidth) {
    const Vertex origin{0, 0};
    const Vertex farEnd{sheetLength, 0};
    const Vertex farCorner{sheetLength, sheetWidth};
    const Vertex topLeft{0, sheetWidth};
    writeLine(out, origin, farEnd);
    writeLine(out, farEnd, farCorner);
    writeLine(out, farCorner, topLeft);
    writeLine(out, topLeft, origin);
}

void writePartLines(std::ostream& out, const Part& part) {
    writeLoopLines(out, part.outerLoop());
    for (const Loop& hole : part.innerLoops()) writeLoopLines(out, hole);
}

void writeSheetShape(std::ostream& out, const SheetShape& shape, double sheetLength,
                     double sheetWidth) {
    if (shape.outline) {
        writeLoopLines(out, *shape.outline);
    } else {
        writeSheetOutline(out, sheetLength, sheetWidth);
    }
    for (const Loop& defect : shape.defects) writeLoopLines(out, defect);
}

std::string formatLayoutDxf(const PartList& parts, double sheetLength, double sheetWidth,
                            double packedLength, const SheetShape& shape) {
    std::ostringstream out;
    out << "  0\nSECTION\n  2\nENTITIES\n  0\n";
    if (shape.empty()) {
        writeSheetOutline(out, sheetLength, sheetWidth);
    } else {
        writeSheetShape(out, shape, sheetLength, sheetWidth);
    }
    for (const Part& part : parts) writePartLines(out, part);
    writeLine(out, Vertex{packedLength, 0}, Vertex{packedLength, sheetWidth});
    out << "ENDSEC\n  0\nEOF\n";
    return out.str();
}

std::string formatSheetsDxf(const std::vector<SheetLayout>& sheets, const PartList& unplaced,
                            double sheetLength, double sheetWidth) {
    std::ostringstream out;
    out << "  0\nSECTION\n  2\nENTITIES\n  0\n";
    for (std::size_t k = 0; k < sheets.size(); ++k) {
        const double x = sheetOffset(static_cast<int>(k), sheetLength);
        const SheetShape& shape = sheets[k].shape;
        if (!shape.outline) {
            const Vertex corners[] = {
                {x, 0}, {x + sheetLength, 0}, {x + sheetLength, sheetWidth}, {x, sheetWidth}};
            for (int i = 0; i < 4; ++i) writeLine(out, corners[i], corners[(i + 1) % 4]);
        } else {
            Loop outline = *shape.outline;
            outline.translate(x, 0);
            writeLoopLines(out, outline);
        }
        for (Loop defect : shape.defects) {
            defect.translate(x, 0);
            writeLoopLines(out, defect);
        }
        for (const Part& part : sheets[k].parts) {
            Part shown = part;
            shown.translate(x, 0);
            writePartLines(out, shown);
        }
        const double packed = x + sheets[k].statistics.packedLength;
        writeLine(out, Vertex{packed, 0}, Vertex{packed, sheetWidth});
    }
    for (const Part& part : unplaced) writePartLines(out, part);
    out << "ENDSEC\n  0\nEOF\n";
    return out.str();
}

}  // namespace blocknest
