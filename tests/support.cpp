#include "support.hpp"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace blocknest::testing_support {
namespace {

std::string number(double v) {
    std::ostringstream out;
    out.precision(17);
    out << v;
    return out.str();
}

}  // namespace

Loop makeLoop(std::vector<Vertex> vertices) {
    Loop loop;
    loop.setVertices(std::move(vertices));
    return loop;
}

Loop rectangle(double x0, double y0, double x1, double y1) {
    return makeLoop({{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}});
}

Part makePart(const std::string& name, std::vector<Vertex> outer,
              std::vector<std::vector<Vertex>> holes) {
    LoopList holeList;
    for (std::vector<Vertex>& hole : holes) holeList.pushBack(makeLoop(std::move(hole)));
    Part part;
    part.setShape(name, holeList, makeLoop(std::move(outer)));
    return part;
}

Part randomPart(std::mt19937& random, const std::function<double()>& coordinate,
                int vertexChoices) {
    std::vector<Vertex> outer;
    for (int i = 3 + static_cast<int>(random() % vertexChoices); i > 0; --i) {
        outer.push_back({coordinate(), coordinate()});
    }
    std::vector<std::vector<Vertex>> holes;
    if (random() % 3 == 0) {
        holes.push_back({{coordinate(), coordinate()},
                         {coordinate(), coordinate()},
                         {coordinate(), coordinate()}});
    }
    return makePart("P", outer, holes);
}

std::vector<Vertex> star(std::mt19937& random, double cx, double cy, double radius, int points) {
    std::uniform_real_distribution<double> share(0.45, 1.0);
    std::uniform_real_distribution<double> jitter(-0.3, 0.3);
    std::vector<Vertex> vertices;
    const double step = 2 * std::acos(-1.0) / points;
    for (int i = 0; i < points; ++i) {
        const double angle = (i + jitter(random)) * step;
        const double r = radius * share(random);
        vertices.push_back({cx + r * std::cos(angle), cy + r * std::sin(angle)});
    }
    return vertices;
}

std::string partFileHeader(double length, double width) {
    return "SheetLength: " + number(length) + "\nSheetWidth: " + number(width) +
           "\nPartTypeCount:1\n";
}

std::string partBlock(const std::string& name, int copies, const std::vector<Vertex>& outer,
                      const std::vector<std::vector<Vertex>>& holes) {
    std::string text =
        "Part\nName\n" + name + "\nPartNumOfSameType\n" + std::to_string(copies) + "\nOutLoop\n";
    for (const Vertex& v : outer) text += number(v.x) + "," + number(v.y) + "\n";
    text += "EndOutLoop\n";
    for (const std::vector<Vertex>& hole : holes) {
        text += "InnerLoop\n";
        for (const Vertex& v : hole) text += number(v.x) + "," + number(v.y) + "\n";
        text += "EndInnerLoop\n";
    }
    return text + "EndPart\n";
}

std::string picture(const SheetBitmap& bitmap) {
    std::string text;
    for (int r = 0; r < bitmap.rows(); ++r) {
        for (int c = 0; c < bitmap.cols(); ++c) text += bitmap.at(r, c) ? '#' : '.';
        text += '\n';
    }
    return text;
}

int countOf(const std::string& text, const std::string& needle) {
    int n = 0;
    for (std::size_t at = text.find(needle); at != std::string::npos;
         at = text.find(needle, at + 1)) {
        ++n;
    }
    return n;
}

std::string textAfter(const std::string& text, const std::string& label, const std::string& stops) {
    const std::size_t at = text.find(label);
    if (at == std::string::npos) return {};
    const std::size_t start = at + label.size();
    const std::size_t end = text.find_first_of(stops, start);
    return text.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

TempDir::TempDir() {
    static std::atomic<int> counter{0};
    std::random_device random;
    path_ = std::filesystem::temp_directory_path() /
            ("blocknest-test-" + std::to_string(getpid()) + "-" + std::to_string(counter++) + "-" +
             std::to_string(random()));
    std::filesystem::create_directories(path_);
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(path_, ignored);
}

std::filesystem::path TempDir::write(const std::string& name, const std::string& contents) const {
    const std::filesystem::path file = path_ / name;
    std::ofstream out(file, std::ios::binary);
    out << contents;
    return file;
}

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream contents;
    contents << in.rdbuf();
    return contents.str();
}

RunResult runBlocknestBinary(const std::vector<std::string>& args,
                             const std::filesystem::path& workingDir, const std::string& input,
                             const std::vector<std::string>& environment) {
    const TempDir io;
    const std::filesystem::path inFile = io.write("stdin", input);
    const std::filesystem::path outFile = io.path() / "stdout";
    const std::filesystem::path errFile = io.path() / "stderr";
    std::vector<std::string> argv{BLOCKNEST_BINARY};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> cargs;
    for (std::string& a : argv) cargs.push_back(a.data());
    cargs.push_back(nullptr);

    const pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        const int in = open(inFile.c_str(), O_RDONLY);
        const int out = open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (in < 0 || out < 0 || err < 0 || chdir(workingDir.c_str()) != 0) _exit(127);
        dup2(in, STDIN_FILENO);
        dup2(out, STDOUT_FILENO);
        dup2(err, STDERR_FILENO);
        for (const std::string& setting : environment) {
            const std::size_t eq = setting.find('=');
            setenv(setting.substr(0, eq).c_str(), setting.substr(eq + 1).c_str(), 1);
        }
        execv(cargs[0], cargs.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    RunResult result;
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.out = readFile(outFile);
    result.err = readFile(errFile);
    return result;
}

std::vector<std::vector<std::pair<double, double>>> canonicalLoops(const std::vector<Loop>& loops,
                                                                   int significantDigits) {
    const auto round = [significantDigits](double value) {
        std::ostringstream out;
        out.precision(significantDigits);
        out << value;
        return std::stod(out.str());
    };
    std::vector<std::vector<std::pair<double, double>>> result;
    for (const Loop& loop : loops) {
        std::vector<std::pair<double, double>> corners;
        for (const Vertex& v : loop.vertices()) corners.emplace_back(round(v.x), round(v.y));
        double twiceArea = 0;
        for (std::size_t i = 0, j = corners.size() - 1; i < corners.size(); j = i++)
            twiceArea +=
                corners[j].first * corners[i].second - corners[i].first * corners[j].second;
        if (twiceArea < 0) std::reverse(corners.begin(), corners.end());
        std::rotate(corners.begin(), std::min_element(corners.begin(), corners.end()),
                    corners.end());
        result.push_back(std::move(corners));
    }
    std::sort(result.begin(), result.end());
    return result;
}

std::vector<Part> guillotinePieces(std::mt19937& random, double length, double width, int count) {
    std::uniform_real_distribution<double> unit(0.25, 0.75);
    struct Piece {
        double w, h;
    };
    std::vector<Piece> pieces{{length, width}};
    while (static_cast<int>(pieces.size()) < count) {
        auto largest = std::max_element(pieces.begin(), pieces.end(),
                                        [](auto& a, auto& b) { return a.w * a.h < b.w * b.h; });
        const Piece p = *largest;
        pieces.erase(largest);
        if (p.w >= p.h) {
            const double c = std::round(p.w * unit(random));
            pieces.push_back({c, p.h});
            pieces.push_back({p.w - c, p.h});
        } else {
            const double c = std::round(p.h * unit(random));
            pieces.push_back({p.w, c});
            pieces.push_back({p.w, p.h - c});
        }
    }
    std::vector<Part> parts;
    for (const Piece& p : pieces) {
        parts.push_back(makePart("Piece", {{0, 0}, {p.w, 0}, {p.w, p.h}, {0, p.h}}));
    }
    return parts;
}

}  // namespace blocknest::testing_support
