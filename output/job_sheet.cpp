#include "output/job_sheet.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <sstream>

#include "base/number_format.hpp"
#include "output/svg_writer.hpp"

namespace blocknest {
namespace {

double distance(const Vertex& a, const Vertex& b) { return std::hypot(b.x - a.x, b.y - a.y); }

// The length of a drawn outline: chords, and arcs of sweep 4 atan(bulge) on them.
double curveLength(const CurveLoop& loop) {
    double length = 0;
    const std::size_t n = loop.corners.size();
    for (std::size_t i = 0; i < n; ++i) {
        const double chord = distance(loop.corners[i], loop.corners[(i + 1) % n]);
        const double bulge = i < loop.bulges.size() ? loop.bulges[i] : 0;
        if (bulge == 0) {
            length += chord;
            continue;
        }
        const double sweep = std::abs(4 * std::atan(bulge));
        length += chord / (2 * std::sin(sweep / 2)) * sweep;
    }
    return length;
}

double polygonLength(const Loop& loop) {
    const std::vector<Vertex>& v = loop.vertices();
    double length = 0;
    for (std::size_t i = 0; i < v.size(); ++i) length += distance(v[i], v[(i + 1) % v.size()]);
    return length;
}

// The cut length and the contours of one part, by its item's drawn arcs where it has them.
std::pair<double, int> cutOf(const Part& part, std::span<const InputItem> items) {
    const int index = part.itemIndex();
    if (index >= 0 && static_cast<std::size_t>(index) < items.size()) {
        const PartCurves& curves = items[static_cast<std::size_t>(index)].curves;
        if (!curves.outer.corners.empty() &&
            curves.holes.size() == static_cast<std::size_t>(part.innerLoops().count())) {
            double length = curveLength(curves.outer);
            for (const CurveLoop& hole : curves.holes) length += curveLength(hole);
            return {length, 1 + static_cast<int>(curves.holes.size())};
        }
    }
    double length = polygonLength(part.outerLoop());
    for (const Loop& hole : part.innerLoops()) length += polygonLength(hole);
    return {length, 1 + part.innerLoops().count()};
}

double sheetMaterial(const SheetLayout& sheet, double sheetLength, double sheetWidth) {
    const double length = sheet.length > 0 ? sheet.length : sheetLength;
    const double width = sheet.width > 0 ? sheet.width : sheetWidth;
    double area = sheet.shape.outline ? sheet.shape.outline->area() : length * width;
    for (const Loop& defect : sheet.shape.defects) area -= defect.area();
    return area;
}

// What makes two sheets one: their kind and every part's name, mirror and first corner, to a
// millionth of the sheet's size.
std::string layoutKey(const SheetLayout& sheet, double scale) {
    std::ostringstream key;
    key << sheet.kind << '|';
    for (const Part& part : sheet.parts) {
        const Vertex& first = part.outerLoop().vertices().front();
        key << part.name() << ':' << part.turn().mirrored << ':'
            << std::llround(first.x / scale * 1e6) << ',' << std::llround(first.y / scale * 1e6)
            << ';';
    }
    return key.str();
}

std::string escaped(const std::string& text) { return escapeXmlText(text); }

std::string figure(double value) { return formatNumber(value); }

}  // namespace

std::vector<JobSheetFigures> jobSheetFigures(const std::vector<SheetLayout>& sheets,
                                             std::span<const InputItem> items, double sheetLength,
                                             double sheetWidth) {
    std::vector<JobSheetFigures> groups;
    std::map<std::string, std::size_t> groupOf;
    const double scale = std::max({sheetLength, sheetWidth, 1e-300});
    for (std::size_t k = 0; k < sheets.size(); ++k) {
        const auto [it, added] = groupOf.try_emplace(layoutKey(sheets[k], scale), groups.size());
        if (!added) {
            JobSheetFigures& group = groups[it->second];
            ++group.runs;
            group.numbers.push_back(static_cast<int>(k) + 1);
            continue;
        }
        JobSheetFigures group;
        group.numbers.push_back(static_cast<int>(k) + 1);
        for (const Part& part : sheets[k].parts) {
            const auto [length, contours] = cutOf(part, items);
            group.cutLength += length;
            group.pierces += contours;
            group.partArea += part.netArea();
            const std::string name = part.name() + (part.turn().mirrored ? " (M)" : "");
            const auto same = std::find_if(group.parts.begin(), group.parts.end(),
                                           [&](const auto& entry) { return entry.first == name; });
            if (same == group.parts.end()) {
                group.parts.emplace_back(name, 1);
            } else {
                ++same->second;
            }
        }
        group.materialArea = sheetMaterial(sheets[k], sheetLength, sheetWidth);
        group.cost = sheets[k].cost;
        groups.push_back(std::move(group));
    }
    return groups;
}

JobSheetTotals jobSheetTotals(const std::vector<JobSheetFigures>& groups, const JobCosts& costs) {
    JobSheetTotals totals;
    bool costed = !groups.empty();
    double sheetsCost = 0;
    for (const JobSheetFigures& group : groups) {
        totals.runs += group.runs;
        totals.cutLength += group.runs * group.cutLength;
        totals.pierces += group.runs * group.pierces;
        totals.materialArea += group.runs * group.materialArea;
        totals.partArea += group.runs * group.partArea;
        if (group.cost) {
            sheetsCost += group.runs * *group.cost;
        } else {
            costed = false;
        }
    }
    if (costed) {
        totals.sheetsCost = sheetsCost;
        totals.cost = sheetsCost - (costs.credit ? costs.credit->value : 0.0);
        totals.sheetsCostAtLeast = costs.sheetsCostAtLeast;
    }
    return totals;
}

std::string formatJobSheetLines(const std::vector<JobSheetFigures>& groups, const JobCosts& costs) {
    std::ostringstream out;
    for (std::size_t g = 0; g < groups.size(); ++g) {
        const JobSheetFigures& group = groups[g];
        out << "Job sheet " << g + 1 << " (sheet" << (group.numbers.size() == 1 ? " " : "s ");
        for (std::size_t k = 0; k < group.numbers.size(); ++k)
            out << (k == 0 ? "" : ", ") << group.numbers[k];
        out << "): Runs:" << group.runs << " Parts:";
        for (std::size_t k = 0; k < group.parts.size(); ++k)
            out << (k == 0 ? "" : ", ") << group.parts[k].first << " x " << group.parts[k].second;
        const double density = group.materialArea > 0 ? group.partArea / group.materialArea : 0.0;
        out << " Packing density:" << formatNumber(100 * density)
            << "% Cut length:" << group.cutLength << " Pierces:" << group.pierces
            << " Material:" << group.materialArea
            << " Scrap:" << group.materialArea - group.partArea;
        if (group.cost)
            out << " Sheet cost:" << *group.cost << " Cost:" << group.runs * *group.cost;
        out << '\n';
    }
    const JobSheetTotals totals = jobSheetTotals(groups, costs);
    const std::optional<RemnantCredit>& credit = costs.credit;
    out << "Job: Sheets to run:" << totals.runs << " (" << groups.size()
        << " distinct) Cut length:" << totals.cutLength << " Pierces:" << totals.pierces
        << " Material:" << totals.materialArea
        << " Scrap:" << totals.materialArea - totals.partArea;
    if (totals.cost) {
        out << " Sheets cost:" << *totals.sheetsCost;
        if (totals.sheetsCostAtLeast) out << " (at least " << *totals.sheetsCostAtLeast << ")";
        if (credit) out << " Remnant returned:" << credit->id << " -" << credit->value;
        out << " Cost:" << *totals.cost;
    }
    out << '\n';
    return out.str();
}

std::string formatJobSheet(const std::string& title, const std::vector<SheetLayout>& sheets,
                           const PartList& leftOff, std::span<const InputItem> items,
                           double sheetLength, double sheetWidth, const std::string& units,
                           const JobCosts& costs) {
    const std::vector<JobSheetFigures> groups =
        jobSheetFigures(sheets, items, sheetLength, sheetWidth);
    const std::string unit = units.empty() ? "" : " " + units;
    std::ostringstream html;
    html << "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">\n<title>Job sheet: "
         << escaped(title)
         << "</title>\n<style>\nbody{font:11pt sans-serif;margin:1.5em;color:#111}\n"
            "h1{font-size:16pt;margin:0 0 .3em}h2{font-size:13pt;margin:1.2em 0 .3em}\n"
            "table{border-collapse:collapse;margin:.3em 0}td,th{border:1px solid #999;"
            "padding:2px 8px;text-align:left}td.n,th.n{text-align:right}\n"
            ".sheet{page-break-inside:avoid;border-top:2px solid #333;margin-top:1em}\n"
            ".runs{font-size:14pt;font-weight:bold}svg{width:100%;max-height:60vh;height:auto}\n"
            // On paper: A4, each layout on a page of its own, its picture kept to a part
            // of the page so that its tables follow on the same page.
            "@page{size:A4;margin:12mm}\n"
            "@media print{body{margin:0}.sheet{break-before:page;border-top:none;margin-top:0}"
            "svg{max-height:150mm}}\n</style></head><body>\n";
    const JobSheetTotals totals = jobSheetTotals(groups, costs);
    const std::optional<RemnantCredit>& credit = costs.credit;
    const double material = totals.materialArea;
    const double parts = totals.partArea;
    int partCount = 0;
    for (const SheetLayout& sheet : sheets) partCount += sheet.parts.count();
    html << "<h1>Job sheet: " << escaped(title) << "</h1>\n<table>\n"
         << "<tr><th>Sheets to run</th><td class=\"n\">" << totals.runs << " (" << groups.size()
         << " distinct)</td></tr>\n<tr><th>Parts</th><td class=\"n\">" << partCount
         << "</td></tr>\n<tr><th>Cut length</th><td class=\"n\">" << figure(totals.cutLength)
         << unit << "</td></tr>\n<tr><th>Pierces</th><td class=\"n\">" << totals.pierces
         << "</td></tr>\n<tr><th>Material</th><td class=\"n\">" << figure(material) << unit
         << "²</td></tr>\n<tr><th>Scrap</th><td class=\"n\">" << figure(material - parts) << unit
         << "² (" << (material > 0 ? figure(100 * (material - parts) / material) : "0")
         << " %)</td></tr>\n";
    if (totals.cost) {
        if (credit || totals.sheetsCostAtLeast) {
            html << "<tr><th>Sheets' cost</th><td class=\"n\">" << figure(*totals.sheetsCost);
            if (totals.sheetsCostAtLeast) {
                html << " (at least " << figure(*totals.sheetsCostAtLeast) << ")";
            }
            html << "</td></tr>\n";
        }
        if (credit) {
            html << "<tr><th>Remnant " << escaped(credit->id)
                 << " back to stock</th><td class=\"n\">−" << figure(credit->value)
                 << "</td></tr>\n";
        }
        html << "<tr><th>Cost</th><td class=\"n\">" << figure(*totals.cost) << "</td></tr>\n";
    }
    html << "</table>\n";
    if (leftOff.count() > 0) {
        std::map<std::string, int> names;
        for (const Part& part : leftOff) ++names[part.name()];
        html << "<p><b>Left off:</b> ";
        bool first = true;
        for (const auto& [name, count] : names) {
            html << (first ? "" : ", ") << escaped(name) << " × " << count;
            first = false;
        }
        html << "</p>\n";
    }
    for (std::size_t g = 0; g < groups.size(); ++g) {
        const JobSheetFigures& group = groups[g];
        const SheetLayout& sheet = sheets[static_cast<std::size_t>(group.numbers.front() - 1)];
        html << "<div class=\"sheet\">\n<h2>Layout " << g + 1 << ": sheet";
        html << (group.numbers.size() == 1 ? " " : "s ");
        for (std::size_t i = 0; i < group.numbers.size(); ++i) {
            html << (i == 0 ? "" : ", ") << group.numbers[i];
        }
        if (!sheet.kind.empty()) html << " (" << escaped(sheet.kind) << ")";
        html << "</h2>\n<p class=\"runs\">Run this sheet " << group.runs
             << (group.runs == 1 ? " time" : " times") << "</p>\n";
        const double length = sheet.length > 0 ? sheet.length : sheetLength;
        const double width = sheet.width > 0 ? sheet.width : sheetWidth;
        if (std::optional<std::string> svg =
                formatLayoutSvg(sheet.parts, length, width, sheet.statistics, sheet.shape)) {
            const std::size_t start = svg->find("<svg");
            html << (start == std::string::npos ? *svg : svg->substr(start)) << '\n';
        }
        std::map<std::string, int> names;
        for (const Part& part : sheet.parts) {
            ++names[part.name() + (part.turn().mirrored ? " (mirrored)" : "")];
        }
        html << "<table><tr><th>Part</th><th class=\"n\">On the sheet</th></tr>\n";
        for (const auto& [name, count] : names) {
            html << "<tr><td>" << escaped(name) << "</td><td class=\"n\">" << count
                 << "</td></tr>\n";
        }
        html << "</table>\n<table>\n<tr><th>Density</th><td class=\"n\">"
             << figure(group.materialArea > 0 ? 100 * group.partArea / group.materialArea : 0)
             << " % of the sheet</td></tr>\n<tr><th>Cut length</th><td class=\"n\">"
             << figure(group.cutLength) << unit
             << "</td></tr>\n<tr><th>Pierces</th><td class=\"n\">" << group.pierces
             << "</td></tr>\n<tr><th>Material</th><td class=\"n\">" << figure(group.materialArea)
             << unit << "²</td></tr>\n<tr><th>Scrap</th><td class=\"n\">"
             << figure(group.materialArea - group.partArea) << unit << "²</td></tr>\n";
        if (group.cost) {
            html << "<tr><th>Cost</th><td class=\"n\">" << group.runs << " × "
                 << figure(*group.cost) << " = " << figure(group.runs * *group.cost)
                 << "</td></tr>\n";
        }
        html << "</table>\n</div>\n";
    }
    html << "</body></html>\n";
    return html.str();
}

}  // namespace blocknest
