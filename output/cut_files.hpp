#pragma once  // output/cut_files.hpp: the drawings for cutting of a job, one per sheet
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "geometry/part.hpp"
#include "output/atomic_file.hpp"
#include "output/dxf_cam_writer.hpp"

namespace blocknest {

// The file of sheet number (from 1) for the path the user gave: each "{n}" in it replaced by
// the number (folders included); otherwise, when numbered, "-number" put before the file's
// extension (cut.dxf: cut-2.dxf); otherwise the path itself.
[[nodiscard]] std::filesystem::path cutFileName(const std::filesystem::path& requested, int number,
                                                bool numbered);

// The comment that opens every drawing for cutting the program writes, so that a later run
// knows its own files from the user's.
inline constexpr const char* kCutFileMark = "blocknest drawing for cutting";

// The drawings for cutting of another form that an earlier run left for the same path: with
// numbered files the unnumbered one (cut.dxf), without them the numbered ones from sheet 1 on
// while they follow on (cut-1.dxf, cut-2.dxf, ...); none for a path with "{n}". Only files
// that open with kCutFileMark count. A folder then holds one run's drawings for cutting.
[[nodiscard]] std::vector<std::filesystem::path> otherFormCutFiles(
    const std::filesystem::path& requested, bool numbered);

// Stages one drawing for cutting per sheet, sheets[k] (the parts in that sheet's coordinates)
// in the file cutFileName(requested, k + 1, numbered), drawn with shapes[k] where it is
// given and not null, and opened by a comment naming kinds[k] where it is given and not
// empty; returns why it failed. Two sheets that would share a file are refused before
// anything is staged. Numbered files of the sheets after the last one, left by an earlier run
// (sheet n + 1, n + 2, ... as long as they exist and open with kCutFileMark), are staged for
// removal, and listed in removed where it is given. Labels left out for want of room are
// counted in labelsLeftOut where it is given.
[[nodiscard]] std::optional<std::string> stageCutFiles(
    const std::filesystem::path& requested, const std::vector<const PartList*>& sheets,
    bool numbered, double sheetLength, double sheetWidth, const CamDrawingSettings& settings,
    OutputSet& outputs, const std::vector<const SheetShape*>& shapes = {},
    const std::vector<std::string>& kinds = {}, std::size_t* labelsLeftOut = nullptr,
    std::vector<std::filesystem::path>* removed = nullptr);

}  // namespace blocknest
