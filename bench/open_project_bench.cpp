// Opening a Project through the UiController: 200 Measurements of the shipped 128-microphone profile
// (48 kHz, 4800 frames = 0.1 s of raw each) with 5 saved AnalysisRuns each (a 70 x 43 map apiece), so
// 200 manifests and 1000 analysis.json files are read, and the newest Measurement is selected with its
// frozen profile verified and its newest run's map loaded. The files are in the page cache (written just
// before), so the figure is the controller's and the store's own cost, not the disk's.
#include <benchmark/benchmark.h>

#include <QTemporaryDir>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/ui_controller.h"
#include "controller_bench_main.h"
#include "core/beamforming/heatmap_grid.h"
#include "core/storage/analysis_run_store.h"
#include "core/storage/project_store.h"
#include "core/storage/recording.h"

namespace {

const char* kProfile = ZK_PROFILES_DIR "/TM27-128-H1.6.2.device.json";
constexpr int kMeasurements = 200;
constexpr int kRunsEach = 5;
constexpr std::uint64_t kFrames = 4800;

zk::core::HeatmapGrid benchMap() {
    zk::core::HeatmapGrid grid;
    grid.width = 70;
    grid.height = 43;
    for (std::uint64_t c = 0; c < grid.width; ++c) grid.azimuthDeg.push_back(-34.5 + static_cast<double>(c));
    for (std::uint64_t r = 0; r < grid.height; ++r)
        grid.elevationDeg.push_back(-21.0 + static_cast<double>(r));
    std::vector<double> power(grid.width * grid.height);
    for (std::size_t i = 0; i < power.size(); ++i) power[i] = 1.0 + static_cast<double>(i % 97);
    return zk::core::finalizeHeatmap(std::move(grid), std::move(power));
}

// The Project, made once for every case.
struct LargeProject {
    QTemporaryDir folder;
    QString path;

    LargeProject() {
        path = folder.filePath(QStringLiteral("project"));
        zk::core::createProject(path.toStdString(), "Bench");
        std::ifstream in(kProfile, std::ios::binary);
        const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        const zk::core::HeatmapGrid map = benchMap();
        zk::core::AnalysisRunParameters parameters;
        parameters.algorithmId = "DAS";
        parameters.frequencyHz = 4000.0;
        parameters.frameSize = 1024;
        parameters.hopSize = 512;
        zk::core::AnalysisRunProvenance provenance;
        provenance.recomputeMode = "full";
        for (int m = 0; m < kMeasurements; ++m) {
            const std::string id = "m_" + std::to_string(1000 + m);
            zk::core::Recording recording(path.toStdString(), id, text, "Synthetic");
            recording.append(std::vector<std::int16_t>(kFrames * 128, 7));
            const std::filesystem::path dir = recording.finalize({}).measurement.directory;
            for (int r = 0; r < kRunsEach; ++r)
                zk::core::createAnalysisRun(dir, id, "a_" + std::to_string(r), parameters, 1.0, 2.0, 0.0,
                                            "bench", provenance, map);
        }
    }
};

void BM_OpenProject(benchmark::State& state) {
    static LargeProject project;
    zk::app::UiController ui;
    for (auto _ : state) {
        ui.openProject(project.path);
        if (ui.measurementCount() != kMeasurements || ui.analysisRunCount() != kRunsEach) {
            state.SkipWithError(ui.statusText().toStdString().c_str());
            return;
        }
    }
    state.counters["measurements"] = kMeasurements;
    state.counters["runs"] = kMeasurements * kRunsEach;
}
BENCHMARK(BM_OpenProject)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    return zk::bench::runControllerBenchmarks(argc, argv, "zk-open-project-bench");
}
