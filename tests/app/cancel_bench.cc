// zova_app_cancel_bench: how long a cancel takes to free the printer in each
// stage of a job, on a server of its own: from the cancel of a job held in
// that stage to its end, and to the end of a one-page PostScript job
// submitted at the cancel.
#include <fstream>
#include <functional>
#include <iostream>

#include "app/image_files.h"
#include "app/private_app.h"
#include "app/socket_printer.h"

namespace zova::testing {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// Cancels a job of `file` once `ready` holds, and times its end and the
// next job's; `then` runs at the cancel.
void Measure(PrivateApp& app, const std::string& printer, const std::string& name,
             const std::string& file, const std::string& format,
             const std::function<bool(int)>& ready, const std::string& next,
             const std::function<void()>& then = {}) {
  const IppJob job = app.Print(printer, file, format);
  for (auto waited = 0ms; waited < 120s && !ready(job.id); waited += 20ms) {
    std::this_thread::sleep_for(20ms);
  }
  const auto cancel = Clock::now();
  app.CancelJob(printer, job.id);
  if (then) then();
  const IppJob after = app.Print(printer, next, "application/postscript");
  const int cancelled = app.WaitForJobEnd(printer, job.id, 120s);
  const auto ended = Clock::now();
  const int printed = app.WaitForJobEnd(printer, after.id, 120s);
  std::cout << name << ": cancelled job ended after " << Seconds(ended - cancel) << " s (state "
            << cancelled << "), next job printed after " << Seconds(Clock::now() - cancel)
            << " s (state " << printed << ")\n";
}

int Main() {
  std::string error;
  std::unique_ptr<PrivateApp> app = PrivateApp::Start(&error);
  if (!app) {
    std::cerr << error << "\n";
    return 1;
  }
  const std::filesystem::path dir = app->dir();
  const std::string next = (dir / "next.ps").string();
  std::ofstream(next) << "%!PS\n0 0 moveto 72 72 lineto stroke showpage\n";
  const auto processing = [&](const std::string& printer) {
    return [&app, printer](int id) { return app->JobState(printer, id) == 5; };
  };
  const auto logged = [&](int id, const std::string& text) {
    return app->Log().find("[Job " + std::to_string(id) + "] " + text) != std::string::npos;
  };

  app->AddPrinter("file", "zova-qrt", &error);
  // Decoding: a grey PNG of 16000 x 16000 pixels (256 MB to decode).
  Image big{16000, 16000, 1, std::vector<uint8_t>(size_t{16000} * 16000, 128)};
  const std::string png = (dir / "big.png").string();
  WritePng(png, big, 0);
  Measure(*app, "file", "decoding a PNG", png, "image/png", processing("file"), next);
  // Ghostscript: a page that never ends.
  const std::string loop = (dir / "loop.ps").string();
  std::ofstream(loop) << "%!PS\n{} loop\n";
  Measure(*app, "file", "Ghostscript", loop, "application/postscript", processing("file"), next);
  // Halftoning: a grey 15 x 22 inch page at 360 dpi, once zova_ID has begun.
  const std::string grey = (dir / "grey.ps").string();
  std::ofstream(grey) << "%!PS\n<</PageSize [1080 1584]>> setpagedevice 0.5 setgray "
                         "0 0 1080 1584 rectfill showpage\n";
  const auto screening = [&](int id) { return logged(id, "pic number:"); };
  const IppJob media = app->Print("file", grey, "application/postscript",
                                  {"media=custom_max_15x22in", "printer-resolution=360x360dpi"});
  app->WaitForJobEnd("file", media.id, 120s);
  Measure(*app, "file", "halftoning", grey, "application/postscript", screening, next);
  // Writing: a network printer that takes no data.
  SocketPrinter stalled;
  stalled.Stall();
  app->AddPrinter("stalled", "zova-qrt", &error, stalled.Uri());
  const std::string long_job = (dir / "long.ps").string();
  std::ofstream(long_job) << "%!PS\n1 1 20 { pop 0 0 595 842 rectfill showpage } for\n";
  Measure(
      *app, "stalled", "writing to a printer that takes no data", long_job,
      "application/postscript",
      [&](int id) { return app->JobState("stalled", id) == 5 && logged(id, "V1.0 PAGE: 2 "); },
      next, [&] { stalled.Listen(); });
  return 0;
}

}  // namespace
}  // namespace zova::testing

int main() { return zova::testing::Main(); }
