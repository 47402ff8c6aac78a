#include "job/output_plan.hpp"

#include <filesystem>
#include <variant>

#include "input/job_input.hpp"
#include "input/job_list_reader.hpp"
#include "output/dxf_writer.hpp"
#include "output/report_writer.hpp"

namespace blocknest {

std::vector<InputPath> plannedInputs(const JobDescription& options,
                                     const std::vector<InputFile>& files,
                                     const std::vector<std::string>& stockDrawings) {
    std::vector<InputPath> inputs;
    for (const InputFile& file : files) {
        const InputFormat format = detectInputFormat(file.path);
        inputs.push_back({std::string(formatName(format)), file.path});
        if (format != InputFormat::jobList || file.copies) continue;
        // A list that cannot be read is named by the loader; its rows read nothing here.
        const auto rows = readJobListFile(file.path);
        if (const auto* read = std::get_if<std::vector<JobListRow>>(&rows)) {
            for (const JobListRow& row : *read) {
                inputs.push_back({std::string(formatName(detectInputFormat(row.path))) +
                                      " named in " + file.path + ":" + std::to_string(row.line),
                                  row.path});
            }
        }
    }
    if (options.sheetDxf) inputs.push_back({"sheet drawing", *options.sheetDxf});
    if (options.stockFile) inputs.push_back({"stock list", *options.stockFile});
    for (const std::string& drawing : stockDrawings) {
        inputs.push_back({"sheet drawing of the stock list", drawing});
    }
    return inputs;
}

std::vector<OutputPath> plannedOutputs(const JobDescription& options) {
    const std::filesystem::path folder(options.outputDir.value_or("."));
    std::vector<OutputPath> outputs;
    if (options.writeLayout) {
        outputs.push_back({"layout drawing", folder / kLayoutFileName});
        outputs.push_back({"report", folder / kReportFileName});
    }
    if (options.svgFile) outputs.push_back({"picture", *options.svgFile});
    if (options.jsonFile) outputs.push_back({"placement list", *options.jsonFile});
    if (options.camFile) {
        const bool numbered = options.sheets != 1 || options.stockFile.has_value();
        outputs.push_back({"drawing for cutting", *options.camFile, true, numbered});
    }
    if (options.remnantDxf) outputs.push_back({"remnant", *options.remnantDxf});
    if (options.jobSheetFile) outputs.push_back({"job sheet", *options.jobSheetFile});
    if (options.stockOutFile) outputs.push_back({"stock list left", *options.stockOutFile});
    return outputs;
}

std::optional<std::string> findOutputClash(const JobDescription& options,
                                           const std::vector<InputFile>& files,
                                           const std::vector<std::string>& stockDrawings) {
    return findPathClash(plannedInputs(options, files, stockDrawings), plannedOutputs(options));
}

}  // namespace blocknest
