#include "output/cut_files.hpp"

#include <algorithm>
#include <fstream>

namespace blocknest {
namespace {

// A drawing for cutting this program wrote: a regular file that opens with the mark.
bool isCutFile(const std::filesystem::path& path) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) return false;
    std::ifstream in(path, std::ios::binary);
    std::string head(64, '\0');
    in.read(head.data(), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<std::size_t>(in.gcount()));
    return head.starts_with(std::string("999\n") + kCutFileMark + "\n");
}

}  // namespace

std::filesystem::path cutFileName(const std::filesystem::path& requested, int number,
                                  bool numbered) {
    const std::string digits = std::to_string(number);
    std::string path = requested.string();
    if (path.find("{n}") == std::string::npos) {
        if (!numbered) return requested;
        return requested.parent_path() /
               (requested.stem().string() + "-" + digits + requested.extension().string());
    }
    for (std::size_t at = path.find("{n}"); at != std::string::npos;
         at = path.find("{n}", at + digits.size())) {
        path.replace(at, 3, digits);
    }
    return path;
}

std::vector<std::filesystem::path> otherFormCutFiles(const std::filesystem::path& requested,
                                                     bool numbered) {
    std::vector<std::filesystem::path> files;
    if (requested.string().find("{n}") != std::string::npos) return files;
    if (numbered) {
        if (isCutFile(requested)) files.push_back(requested);
        return files;
    }
    for (int n = 1; isCutFile(cutFileName(requested, n, true)); ++n) {
        files.push_back(cutFileName(requested, n, true));
    }
    return files;
}

std::optional<std::string> stageCutFiles(const std::filesystem::path& requested,
                                         const std::vector<const PartList*>& sheets, bool numbered,
                                         double sheetLength, double sheetWidth,
                                         const CamDrawingSettings& settings, OutputSet& outputs,
                                         const std::vector<const SheetShape*>& shapes,
                                         const std::vector<std::string>& kinds,
                                         std::size_t* labelsLeftOut,
                                         std::vector<std::filesystem::path>* removed) {
    if (sheets.size() > 1 &&
        cutFileName(requested, 1, numbered) == cutFileName(requested, 2, numbered)) {
        return "the drawings for cutting of " + std::to_string(sheets.size()) +
               " sheets cannot all be '" + requested.string() + "'";
    }
    for (std::size_t k = 0; k < sheets.size(); ++k) {
        const std::filesystem::path path =
            cutFileName(requested, static_cast<int>(k) + 1, numbered);
        // "s{n}/cut.dxf" puts each sheet's drawing in a folder of its own: the folders are
        // made as the output directory is.
        if (path.has_parent_path()) {
            std::error_code error;
            std::filesystem::create_directories(path.parent_path(), error);
            if (error || !std::filesystem::is_directory(path.parent_path())) {
                return "cannot make the folder '" + path.parent_path().string() +
                       "' of the drawing for cutting '" + path.string() +
                       "': " + (error ? error.message() : "it is not a directory");
            }
        }
        // The remnant is cut from the last sheet only.
        CamDrawingSettings own = settings;
        if (k + 1 != sheets.size()) own.remnantCutAt.reset();
        std::string drawing = formatCamDxf(*sheets[k], sheetLength, sheetWidth, own,
                                           k < shapes.size() ? shapes[k] : nullptr, labelsLeftOut);
        if (k < kinds.size() && !kinds[k].empty()) {
            // A comment (group 999) that readers pass over; line breaks would end it.
            std::string kind = kinds[k];
            std::replace(kind.begin(), kind.end(), '\n', ' ');
            std::replace(kind.begin(), kind.end(), '\r', ' ');
            drawing = "999\nsheet " + kind + "\n" + drawing;
        }
        drawing = std::string("999\n") + kCutFileMark + "\n" + drawing;
        if (std::optional<std::string> failure = outputs.stage(path, drawing)) {
            return failure;
        }
    }
    // The files of sheets an earlier run of the same job used beyond this run's go with the
    // set: a folder of cut files is always one run's.
    if (numbered && cutFileName(requested, 1, true) != cutFileName(requested, 2, true)) {
        for (int n = static_cast<int>(sheets.size()) + 1;
             isCutFile(cutFileName(requested, n, true)); ++n) {
            outputs.stageRemoval(cutFileName(requested, n, true));
            if (removed != nullptr) removed->push_back(cutFileName(requested, n, true));
        }
    }
    return std::nullopt;
}

}  // namespace blocknest
