// flashsmith-searchtime IMAGE [WIDTHxHEIGHT] [RUNS]: the best time of each
// table search alone and of all four together, in milliseconds, on an
// image already in the page cache, after identification as the profile
// creator does it. One line per search: "NAME MILLISECONDS".
#include <algorithm>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "firmware/BinFile.h"
#include "firmware/Firmware.h"
#include "profilecreator/TableSearch.h"

namespace {

// Milliseconds of wall time, or of this process's processor time with
// FLASHSMITH_CPU_TIME=1 (steadier on a busy machine).
double Now() {
    static const bool cpu = std::getenv("FLASHSMITH_CPU_TIME") && std::string(std::getenv("FLASHSMITH_CPU_TIME")) == "1";
    timespec ts;
    clock_gettime(cpu ? CLOCK_PROCESS_CPUTIME_ID : CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

double Best(int runs, const flashsmith::firmware::BinFile& file, int64_t start, const flashsmith::profilecreator::TableSearchRequest& request) {
    double best = 1e9;
    for (int i = 0; i < runs; ++i) {
        const double t0 = Now();
        const flashsmith::profilecreator::TableSearchResult r = flashsmith::profilecreator::SearchTables(file, start, request, flashsmith::base::NullProgress());
        const double t1 = Now();
        // keep the result alive so the work cannot be dropped
        if (r.ImageTable == -2) std::puts("");
        best = std::min(best, t1 - t0);
    }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: flashsmith-searchtime IMAGE [WIDTHxHEIGHT] [RUNS]\n");
        return 2;
    }
    int w = 176, h = 220;
    if (argc > 2 && std::sscanf(argv[2], "%dx%d", &w, &h) != 2) {
        std::fprintf(stderr, "error: display size %s\n", argv[2]);
        return 2;
    }
    const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 5;
    std::string error;
    std::unique_ptr<flashsmith::firmware::BinFile> file;
    if (!flashsmith::firmware::BinFile::Open(argv[1]).Take(file, &error)) {
        std::fprintf(stderr, "error: %s\n", error.c_str());
        return 1;
    }
    const int64_t start = std::max<int64_t>(0, flashsmith::firmware::FindStartAddr(*file, flashsmith::base::NullProgress()));
    flashsmith::profilecreator::TableSearchRequest one;
    one.DisplayWidth = w;
    one.DisplayHeight = h;
    flashsmith::profilecreator::TableSearchRequest all = one;
    all.SearchImages = all.SearchSounds = all.SearchJava = all.SearchLanguages = true;
    Best(1, *file, start, all);  // map every page once
    struct Row {
        const char* name;
        bool flashsmith::profilecreator::TableSearchRequest::*flag;
    } rows[] = {{"images", &flashsmith::profilecreator::TableSearchRequest::SearchImages},
                {"sounds", &flashsmith::profilecreator::TableSearchRequest::SearchSounds},
                {"java", &flashsmith::profilecreator::TableSearchRequest::SearchJava},
                {"languages", &flashsmith::profilecreator::TableSearchRequest::SearchLanguages}};
    for (const Row& row : rows) {
        flashsmith::profilecreator::TableSearchRequest r = one;
        r.*row.flag = true;
        std::printf("%s %.3f\n", row.name, Best(runs, *file, start, r));
    }
    std::printf("all %.3f\n", Best(runs, *file, start, all));
    return 0;
}
