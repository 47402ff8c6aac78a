// Nests two rectangles on a 200 x 100 sheet with the installed library and prints where they go.
#include <blocknest/blocknest.hpp>
#include <cstdio>

int main() {
    blocknest::JobDescription job;
    job.sheet = blocknest::SheetSize{200, 100};
    job.parts = {{"plate", {{0, 0}, {60, 0}, {60, 30}, {0, 30}}, {}, 1},
                 {"bar", {{0, 0}, {90, 0}, {90, 15}, {0, 15}}, {}, 1}};
    job.writeLayout = false;  // no Layout.dxf and Results.txt in the current folder
    blocknest::SilentConsole console;
    const blocknest::JobResult result = blocknest::runJob(job, console);
    for (const blocknest::PartPlacement& p : result.placements) {
        std::printf("%s: sheet %d, turned %g degrees, moved by (%g, %g)\n", p.name.c_str(), p.sheet,
                    p.rotation, p.x, p.y);
    }
    for (const blocknest::LeftOffPart& part : result.leftOff) {
        std::printf("%s: left off (%s)\n", part.name.c_str(), part.reason.c_str());
    }
    std::printf("density %.2f%%, library %s\n", result.figures ? result.figures->density : 0.0,
                blocknest::libraryVersion());
    return result.exitCode;
}
