// The text route on any bytes, as any job would send them: the first bytes
// choose the options (table, pitch, spacing, wrap, command set, charset,
// margins, offsets), the rest is the document. Whatever the text, the
// printer must get a stream it parses whole: the strict decoder reads it
// back without an error, with as many pages as the job printed.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "pipeline/job_scope.h"
#include "preview/stream_decoder.h"
#include "text/text_job.h"

namespace {

uint8_t Take(const uint8_t*& data, size_t& size) {
  if (size == 0) return 0;
  --size;
  return *data++;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zova;
  text::TextJob job;
  static constexpr text::Pitch kPitches[] = {text::Pitch::k10, text::Pitch::k12, text::Pitch::k15,
                                             text::Pitch::k17, text::Pitch::k20};
  static constexpr const char* kCharsets[] = {"UTF-8", "ISO-8859-2", "UTF-16LE", "CP1252"};
  const uint8_t a = Take(data, size), b = Take(data, size), c = Take(data, size);
  const auto& tables = text::CharacterTables();
  job.options.table = &tables[a % tables.size()];
  job.options.pitch = kPitches[(a >> 3) % 5];
  job.options.spacing = a & 0x80 ? text::LineSpacing::k8 : text::LineSpacing::k6;
  job.options.wrap = (b & 1) != 0;
  job.options.quality = b & 2 ? text::Quality::kLetter : text::Quality::kDraft;
  job.commands = b & 4 ? CommandSetId::kNative : CommandSetId::kLq;
  job.okidataPrefix = (b & 8) != 0;
  job.options.charset = kCharsets[(b >> 4) & 3];
  job.options.left = (c & 15) * 9;  // points
  job.options.top = (c >> 4) * 9;
  job.offsets = {static_cast<int>(b & 0x40 ? 1000 : -1000) * (c & 1),
                 static_cast<int>(b & 0x80 ? 1000 : -1000) * ((c >> 1) & 1)};
  job.pageWidth = 2976;  // A4
  job.pageLength = 4209;
  job.copies = 1 + (c >> 7);

  const int fd = memfd_create("text", MFD_CLOEXEC);
  if (fd < 0 || write(fd, data, size) != static_cast<ssize_t>(size)) abort();
  char* bytes = nullptr;
  size_t length = 0;
  FILE* out = open_memstream(&bytes, &length);
  int printed = 0;
  {
    NoMessages quiet;
    OutputState state(out, quiet);
    JobScope scope(JobSettings{}, state, quiet, CancelToken([] { return false; }));
    printed = RunJob(scope, [&] { text::PrintText(scope, fd, job, quiet); }).pages;
  }
  fclose(out);
  close(fd);
  // A job without a page sends the printer its preamble and job end only.
  if (printed == 0) {
    free(bytes);
    return 0;
  }
  const preview::DecodedStream decoded =
      preview::DecodeStream(reinterpret_cast<const uint8_t*>(bytes), length);
  if (decoded.error) {
    fprintf(stderr, "byte %zu: %s\n", decoded.error->offset, decoded.error->message.c_str());
    abort();
  }
  if (decoded.pages.size() != static_cast<size_t>(printed)) abort();
  free(bytes);
  return 0;
}
