// zova-preview: draws what a ZOVA-QRT printer would print from a stream the
// filter wrote, one PNG per page. It reads the stream as it decodes it and
// writes each page as soon as the page ends, so it holds one page at a time
// however long the stream is. With --time (or a time parameter) each page's
// line and each job's total give the modelled printing time (print_time.h).
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "preview/output_dir.h"
#include "preview/page_files.h"
#include "preview/stream_decoder.h"
#include "preview/time_settings.h"

namespace {

constexpr char kUsage[] =
    "ERROR: Usage: zova-preview STREAM [-o DIR] [--time] [--time-model FILE] "
    "[--time-set NAME=VALUE]...  (STREAM - reads stdin)\n"
    "       zova-preview --time-defaults  (the time model's parameters)\n";

struct Closer {
  void operator()(FILE* file) const {
    if (file != stdin) fclose(file);
  }
};

}  // namespace

int main(int argc, char** argv) {
  const char* stream = nullptr;
  std::string dir = ".";
  zova::preview::TimeModel time_model;
  bool timed = false;
  std::string why;
  for (int i = 1; i < argc; ++i) {
    if (strcmp(argv[i], "-o") == 0 && i + 1 < argc) {
      dir = argv[++i];
    } else if (strcmp(argv[i], "--time") == 0) {
      timed = true;
    } else if (strcmp(argv[i], "--time-defaults") == 0 && argc == 2) {
      fputs(zova::preview::DescribeTimeModel(time_model).c_str(), stdout);
      return 0;
    } else if (strcmp(argv[i], "--time-model") == 0 && i + 1 < argc) {
      timed = true;
      if (!zova::preview::ReadTimeModelFile(argv[++i], &time_model, &why)) {
        fprintf(stderr, "ERROR: %s\n", why.c_str());
        return 1;
      }
    } else if (strcmp(argv[i], "--time-set") == 0 && i + 1 < argc) {
      timed = true;
      if (!zova::preview::SetTimeParameter(argv[++i], &time_model, &why)) {
        fprintf(stderr, "ERROR: --time-set: %s\n", why.c_str());
        return 1;
      }
    } else if (stream == nullptr && (argv[i][0] != '-' || strcmp(argv[i], "-") == 0)) {
      stream = argv[i];
    } else {
      fputs(kUsage, stderr);
      return 1;
    }
  }
  if (stream == nullptr) {
    fputs(kUsage, stderr);
    return 1;
  }
  if (timed && !zova::preview::CheckTimeModel(time_model, &why)) {
    fprintf(stderr, "ERROR: %s\n", why.c_str());
    return 1;
  }

  const std::unique_ptr<FILE, Closer> file(strcmp(stream, "-") == 0 ? stdin : fopen(stream, "rbe"));
  if (!file) {
    fprintf(stderr, "ERROR: cannot read %s: %s\n", stream, strerror(errno));
    return 1;
  }
  zova::preview::OutputDirectory output;
  if (!output.Create(dir, &why)) {
    fprintf(stderr, "ERROR: cannot create directory %s: %s\n", dir.c_str(), why.c_str());
    return 1;
  }
  // Declared after the directory: on failure the pages go before it.
  zova::preview::PageFiles pages(dir, timed ? &time_model : nullptr);
  if (!pages.Open()) return 1;

  int read_errno = 0;
  const zova::preview::StreamReader read = [&](uint8_t* buffer, size_t size) -> ptrdiff_t {
    const size_t n = fread(buffer, 1, size, file.get());
    if (n == 0 && ferror(file.get())) {
      read_errno = errno;
      return -1;
    }
    return static_cast<ptrdiff_t>(n);
  };
  const zova::preview::PageSink write = [&](zova::preview::DecodedPage page) {
    return pages.Add(page);
  };
  // A capture of a printer's connection may hold several jobs.
  bool job_noted = true;
  const zova::preview::JobStartSink job_start = [&](size_t job, size_t offset) {
    job_noted = job_noted && (job == 1 || pages.StartJob(job, offset));
  };
  const zova::preview::DecodeResult result =
      zova::preview::DecodeIncrementally(read, write, job_start);
  if (result.read_failed) {
    fprintf(stderr, "ERROR: cannot read %s: %s\n", stream, strerror(read_errno));
    return 1;
  }
  if (result.error) {
    fprintf(stderr, "ERROR: %s: byte %zu: %s\n", stream, result.error->offset,
            result.error->message.c_str());
    return 1;
  }
  if (result.stopped || !job_noted || !pages.Commit()) return 1;
  output.Keep();
  return 0;
}
