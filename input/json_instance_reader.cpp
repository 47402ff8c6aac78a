#include "input/json_instance_reader.hpp"

#include <fstream>

namespace blocknest {

std::variant<JobInput, InputError> readJsonInstance(std::istream&, const std::string& sourceName,
                                                    const ReadLimits&) {
    return InputError{false, sourceName + ": JSON instances cannot be read yet"};
}

std::variant<JobInput, InputError> readJsonInstanceFile(const std::string& path,
                                                        const ReadLimits& limits) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return InputError{false, path + ": the file cannot be opened"};
    return readJsonInstance(in, path, limits);
}

std::optional<std::vector<Orientation>> orientationsForAngles(const std::vector<double>&) {
    return std::nullopt;
}

}  // namespace blocknest
