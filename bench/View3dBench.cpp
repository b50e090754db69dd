// Load time of the shipped model file and the cost of one immediate-mode redraw.
// DrawScene needs a display: run under xvfb-run -a -s "-screen 0 3840x2160x24".

#include "view3d/AttitudeView.h"
#include "view3d/SceneModelLoader.h"

#include <GL/gl.h>
#include <QApplication>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>

namespace {

using namespace orvanta::view3d;

std::size_t Triangles(const SceneModel& model) {
    std::size_t n = 0;
    for (const MeshObject& o : model.objects) {
        n += o.faces.size();
    }
    return n;
}

void BM_LoadShippedModel(benchmark::State& state) {
    std::size_t triangles = 0;
    for (auto _ : state) {
        SceneModel model;
        if (!LoadSceneModel(model, ORVANTA_MODEL_FILE)) {
            state.SkipWithError("model file missing");
            return;
        }
        triangles = Triangles(model);
        benchmark::DoNotOptimize(model);
    }
    state.counters["triangles"] = static_cast<double>(triangles);
}
BENCHMARK(BM_LoadShippedModel)->Unit(benchmark::kMillisecond);

void BM_ComputeVertexNormals(benchmark::State& state) {
    SceneModel model;
    LoadSceneModel(model, ORVANTA_MODEL_FILE);
    for (auto _ : state) {
        ComputeVertexNormals(model);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_ComputeVertexNormals)->Unit(benchmark::kMillisecond);

void BM_DrawScene(benchmark::State& state) {
    if (qApp == nullptr) {
        state.SkipWithError("no display (DISPLAY unset)");
        return;
    }
    const std::array<float, 3> attitude{-20.0f, 28.0f, 35.0f};
    AttitudeView view(&attitude, ORVANTA_MODEL_FILE);
    view.resize(460, 290);
    view.show();
    view.grabFramebuffer(); // sets up the context and loads the model
    view.KillTimer();
    view.makeCurrent();
    for (auto _ : state) {
        view.DrawScene();
        glFinish(); // llvmpipe rasterises asynchronously
    }
    view.doneCurrent();
    state.counters["triangles"] = static_cast<double>(Triangles(view.Model()));
}
BENCHMARK(BM_DrawScene)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    std::unique_ptr<QApplication> app;
    static int qtArgc = 1;
    static char name[] = "view3d_bench";
    static char* qtArgv[] = {name, nullptr};
    if (std::getenv("DISPLAY") != nullptr) {
        app = std::make_unique<QApplication>(qtArgc, qtArgv);
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
