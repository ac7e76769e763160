// zova-preview: draws what a ZOVA-QRT printer would print from a stream the
// filter wrote, one PNG per page. It reads the stream as it decodes it and
// writes each page as soon as the page ends, so it holds one page at a time
// however long the stream is. With --time (or a time parameter) each page's
// line and each job's total give the modelled printing time (print_time.h).
// With --text it prints the text of the pages instead (page_text.h). With
// --page-size each page is drawn as wide as its paper.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "preview/output_dir.h"
#include "preview/page_files.h"
#include "preview/paper_size.h"
#include "preview/stream_decoder.h"
#include "preview/time_settings.h"
#include "text/character_tables.h"

namespace {

constexpr char kUsage[] =
    "ERROR: Usage: zova-preview STREAM [-o DIR] [--page-size SIZE] [--time] [--time-model FILE] "
    "[--time-set NAME=VALUE]... [--text-table TABLE]  (STREAM - reads stdin)\n"
    "       zova-preview STREAM --text [--text-table TABLE]  (the pages' text, UTF-8)\n"
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
  bool as_text = false;
  bool dir_given = false;
  long paper_width = 0;
  zova::preview::DecodeOptions options;
  std::string why;
  for (int i = 1; i < argc; ++i) {
    if (strcmp(argv[i], "-o") == 0 && i + 1 < argc) {
      dir = argv[++i];
      dir_given = true;
    } else if (strcmp(argv[i], "--page-size") == 0 && i + 1 < argc) {
      const std::optional<long> width = zova::preview::PaperWidth(argv[++i], &why);
      if (!width) {
        fprintf(stderr, "ERROR: Bad --page-size value \"%s\": %s\n", argv[i], why.c_str());
        return 1;
      }
      paper_width = *width;
    } else if (strcmp(argv[i], "--text") == 0) {
      as_text = true;
    } else if (strcmp(argv[i], "--text-table") == 0 && i + 1 < argc) {
      // The panel's table: what the native set and LQ pages without ESC ( t print in.
      const zova::text::CharacterTable* table = zova::text::FindCharacterTable(argv[++i]);
      if (table == nullptr) {
        fprintf(stderr, "ERROR: Bad --text-table value \"%s\": the tables are", argv[i]);
        for (const auto& t : zova::text::CharacterTables()) {
          fprintf(stderr, " %.*s", static_cast<int>(t.name.size()), t.name.data());
        }
        fputs("\n", stderr);
        return 1;
      }
      options.panel_table = static_cast<uint8_t>(table - zova::text::CharacterTables().data());
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
  if (stream == nullptr || (as_text && (timed || dir_given || paper_width > 0))) {
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
  if (!as_text && !output.Create(dir, &why)) {
    fprintf(stderr, "ERROR: cannot create directory %s: %s\n", dir.c_str(), why.c_str());
    return 1;
  }
  // Declared after the directory: on failure the pages go before it.
  zova::preview::PageFiles pages(dir, timed ? &time_model : nullptr, as_text);
  pages.SetPaperWidth(paper_width);
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
    return pages.Add(std::move(page));
  };
  // A capture of a printer's connection may hold several jobs.
  bool job_noted = true;
  const zova::preview::JobStartSink job_start = [&](size_t job, size_t offset) {
    job_noted = job_noted && (job == 1 || pages.StartJob(job, offset));
  };
  const zova::preview::DecodeResult result =
      zova::preview::DecodeIncrementally(read, write, job_start, options);
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
  if (!as_text) output.Keep();
  return 0;
}
