// Google Benchmark's main, plus "--program_openmp": the run then takes the OpenMP settings the program
// gives itself at start-up, by the same call and in a fresh process image as the program does, instead of
// libgomp's defaults. The settings in force are named in the report's context.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "app/platform/openmp_environment.h"

namespace {

std::string variable(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr ? std::string("(unset)") : std::string(value);
}

}  // namespace

int main(int argc, char** argv) {
    int kept = 0;
    bool program = false;
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "--program_openmp") == 0) {
            program = true;
        } else {
            argv[kept++] = argv[i];
        }
    }
    argv[kept] = nullptr;
    argc = kept;
    // The fresh image gets the arguments without the flag and keeps the settings made here.
    if (program) zk::app::platform::preferPassiveOpenMpWait(argv);

    benchmark::AddCustomContext("OMP_WAIT_POLICY", variable("OMP_WAIT_POLICY"));
    benchmark::AddCustomContext("GOMP_SPINCOUNT", variable("GOMP_SPINCOUNT"));
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
