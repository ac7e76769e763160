// Speed of the two screens and of the whole tool, and the tool's peak memory
// for short and tall pages of the same width.
//
//   build/bench/zova_id_bench
//
// items_per_second is pixels per second; peak_rss_kB is the tool's own peak
// resident memory, which must not grow with the page height.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "pipeline/child_process.h"
#include "testpage/synthetic_photo.h"
#include "zova_ID/halftone.h"
#include "zova_ID/screen.h"

namespace zova {
namespace {

constexpr int kA4Width360 = 2976;  // A4 width in pixels at 360 dpi
constexpr int kSampleRows = 64;

// kSampleRows rows from the middle of an A4 photo, reused round-robin.
const std::vector<std::vector<uint8_t>>& PhotoRows() {
  static const std::vector<std::vector<uint8_t>> rows = [] {
    std::vector<std::vector<uint8_t>> r(kSampleRows, std::vector<uint8_t>(3 * kA4Width360));
    for (int i = 0; i < kSampleRows; ++i) {
      SyntheticPhotoRow(kA4Width360, 4209, 1700 + 37 * i, r[i].data());
    }
    return r;
  }();
  return rows;
}

void RunScreen(benchmark::State& state, std::unique_ptr<Screen> screen) {
  const auto& rows = PhotoRows();
  std::vector<uint8_t> packed((kA4Width360 + 7) / 8);
  size_t i = 0;
  for (auto _ : state) {
    screen->Row(rows[i++ % kSampleRows].data(), packed.data());
    benchmark::DoNotOptimize(packed.data());
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kA4Width360);
}

// Arguments: dpi, ydpi.
void BM_OrderedScreen(benchmark::State& state) {
  RunScreen(state, MakeOrderedScreen(kA4Width360, static_cast<int>(state.range(0)),
                                     static_cast<int>(state.range(1))));
}
BENCHMARK(BM_OrderedScreen)->Args({180, 180})->Args({360, 360});

void BM_ErrorDiffusion(benchmark::State& state) {
  RunScreen(state, MakeErrorDiffusionScreen(kA4Width360, static_cast<int>(state.range(0)),
                                            static_cast<int>(state.range(1))));
}
BENCHMARK(BM_ErrorDiffusion)->Args({180, 180})->Args({360, 360});

// What a run pays before its first row: the screen and its tone tables.
// Arguments: mode, dpi, ydpi; 240 dpi keeps the model.
void BM_ScreenSetup(benchmark::State& state) {
  const bool ordered = state.range(0) == 3;
  const int dpi = static_cast<int>(state.range(1));
  const int ydpi = static_cast<int>(state.range(2));
  for (auto _ : state) {
    std::unique_ptr<Screen> screen = ordered ? MakeOrderedScreen(kA4Width360, dpi, ydpi)
                                             : MakeErrorDiffusionScreen(kA4Width360, dpi, ydpi);
    benchmark::DoNotOptimize(screen.get());
  }
}
BENCHMARK(BM_ScreenSetup)
    ->Args({2, 180, 180})
    ->Args({2, 360, 360})
    ->Args({2, 240, 180})
    ->Args({3, 180, 180})
    ->Args({3, 360, 360})
    ->Args({3, 240, 180})
    ->Unit(benchmark::kMicrosecond);

// A spooled page in a private temporary directory.
class SpooledPage {
 public:
  SpooledPage(int width, int height) {
    std::string pattern = (std::filesystem::temp_directory_path() / "zova-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) return;
    dir_ = pattern;
    base_ = dir_ + "/nfet1_1";
    FILE* f = fopen((base_ + ".ppm").c_str(), "wb");
    if (!f) return;
    fprintf(f, "P6\n%d %d\n255\n", width, height);
    std::vector<uint8_t> row(3 * static_cast<size_t>(width));
    for (int y = 0; y < height; ++y) {
      SyntheticPhotoRow(width, height, y, row.data());
      fwrite(row.data(), 1, row.size(), f);
    }
    ok_ = fclose(f) == 0;
  }
  ~SpooledPage() {
    std::error_code ignored;
    if (!dir_.empty()) std::filesystem::remove_all(dir_, ignored);
  }
  bool ok() const { return ok_; }
  const std::string& base() const { return base_; }

 private:
  std::string dir_;
  std::string base_;
  bool ok_ = false;
};

// The whole tool in this process: read the PPM, halftone, write the PBM.
void BM_WholePage(benchmark::State& state) {
  constexpr int kHeight = 1000;
  SpooledPage page(kA4Width360, kHeight);
  if (!page.ok()) return state.SkipWithError("cannot spool the page");
  HalftoneRequest request{page.base(), 360, static_cast<DitherMode>(state.range(0)), 360};
  const volatile std::sig_atomic_t cancelled = 0;
  // The tool's DEBUG line for every run would bury the results.
  const int saved_stderr = dup(2);
  const int null = open("/dev/null", O_WRONLY);
  dup2(null, 2);
  bool failed = false;
  for (auto _ : state) {
    if (RunHalftone(request, cancelled) != kExitOk) {
      failed = true;
      break;
    }
  }
  dup2(saved_stderr, 2);
  close(saved_stderr);
  close(null);
  if (failed) return state.SkipWithError("zova_ID failed");
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kA4Width360 * kHeight);
}
BENCHMARK(BM_WholePage)->Arg(2)->Arg(3)->Unit(benchmark::kMillisecond)->UseRealTime();

// Peak memory of the real program on pages of one width and growing height.
void BM_ToolPeakMemory(benchmark::State& state) {
  const int height = static_cast<int>(state.range(0));
  const int mode = static_cast<int>(state.range(1));
  SpooledPage page(kA4Width360, height);
  if (!page.ok()) return state.SkipWithError("cannot spool the page");
  long peak_kb = 0;
  for (auto _ : state) {
    ChildProcess tool;
    ChildOptions options;
    options.argv = {ZOVA_ID_PATH, page.base(), "360", std::to_string(mode), "360"};
    options.stdoutFd = kDiscardOutput;
    options.stderrFd = -1;  // its DEBUG lines, dropped
    const ChildStatus status = tool.Start(options) == 0 ? tool.Wait() : ChildStatus{};
    if (!status.succeeded()) return state.SkipWithError("zova_ID failed");
    peak_kb = status.peakKb;
  }
  state.counters["peak_rss_kB"] = static_cast<double>(peak_kb);
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kA4Width360 * height);
}
BENCHMARK(BM_ToolPeakMemory)
    ->Args({500, 2})
    ->Args({8000, 2})
    ->Args({500, 3})
    ->Args({8000, 3})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

}  // namespace
}  // namespace zova

BENCHMARK_MAIN();
