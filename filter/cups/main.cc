// rastertozova: CUPS filter for the ZOVA-QRT 24-pin dot-matrix printers.
//
//   rastertozova job-id user title copies options [file]
//
// Reads CUPS raster (24-bit RGB) from the file or stdin, the PPD from $PPD,
// and writes the printer's command stream to stdout.
#include "cups/cups_raster_source.h"
#include "cups/filter_main.h"

int main(int argc, char* argv[]) {
  using namespace zova;
  FilterInput input;
  input.what = "raster file";
  input.open = [](int fd, Messages& messages) -> std::unique_ptr<PageSource> {
    // Input that is not raster at all holds no page: the job goes on to its
    // end and fails like any job without pages.
    auto raster = std::make_unique<CupsRasterSource>(fd, messages);
    if (!raster->ok()) messages.Error("The input is not a CUPS raster stream");
    return raster;
  };
  return RunFilterJob(argc, argv, "rastertozova", input);
}
