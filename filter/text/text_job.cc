#include "text/text_job.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <initializer_list>
#include <memory>

#include "text/charset_decoder.h"

namespace zova::text {
namespace {

struct OptionSources {
  const OptionLookup& job;
  const OptionLookup& queue;
  const OptionName& shownAs;
  Messages& messages;
};

// A bad job value falls back to the queue's default when that one is good,
// else to ours; the warning names what is printed with.
template <typename Parse>
auto ReadOption(const OptionSources& from, std::string_view name, std::string_view ours,
                const char* allowed, Parse parse) {
  const OptionLookup& job = from.job;
  const OptionLookup& queue = from.queue;
  const std::optional<std::string> given = job ? job(name) : std::nullopt;
  if (given && !given->empty()) {
    if (auto value = parse(*given)) return *value;
  }
  std::string fallback(ours);
  if (const std::optional<std::string> dflt = queue ? queue(name) : std::nullopt;
      dflt && !dflt->empty() && parse(*dflt)) {
    fallback = *dflt;
  }
  if (given && !given->empty()) {
    const std::string shown = from.shownAs ? from.shownAs(name) : std::string(name);
    from.messages.Warning("Unknown %s value \"%s\" (%s); printing with %s", shown.c_str(),
                          given->c_str(), allowed, fallback.c_str());
  }
  return *parse(fallback);
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return tolower(static_cast<unsigned char>(x)) == tolower(static_cast<unsigned char>(y));
         });
}

// A parser of keywords, case-insensitive.
template <typename T>
auto OneOf(std::initializer_list<std::pair<const char*, T>> keywords) {
  return [values = std::vector<std::pair<const char*, T>>(keywords)](
             std::string_view v) -> std::optional<T> {
    for (const auto& [keyword, value] : values) {
      if (EqualsIgnoringCase(v, keyword)) return value;
    }
    return std::nullopt;
  };
}

std::optional<double> Points(std::string_view text) {
  double value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  // Up to the printer's longest form, 22 inches.
  if (ec != std::errc() || end != text.data() + text.size() || !(value >= 0 && value <= 1584)) {
    return std::nullopt;
  }
  return value;
}

std::optional<int> Number(std::string_view text) {
  int value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || value < 1) return std::nullopt;
  return value;
}

// Units of an offset in hundredths of a millimetre, to the nearest.
int OffsetUnits(int hundredths) {
  return static_cast<int>(std::lround(hundredths * double{kUnitsPerInch} / 2540));
}

unsigned Shifted(unsigned margin, int by) {
  return static_cast<unsigned>(std::max(0, static_cast<int>(margin) + by));
}

// The pages in the job's ranges go on to the printer, each announced and
// counted once the printer stream has taken it; the others are dropped.
class PageSelector final : public LineReceiver {
 public:
  PageSelector(const std::vector<PageRange>& ranges, const std::vector<uint8_t>& job_start,
               LineReceiver& writer, OutputSink& sink, JobScope& job, Messages& messages,
               int& announced)
      : ranges_(ranges),
        jobStart_(job_start),
        writer_(writer),
        sink_(sink),
        job_(job),
        messages_(messages),
        announced_(announced) {}

  void Line(std::u32string_view text) override {
    if (!Selected()) return;
    Begin();
    writer_.Line(text);
  }
  void PageEnd() override {
    if (Selected()) {
      Begin();
      writer_.PageEnd();
      if (sink_.ok()) job_.PagePrinted();
    }
    ++page_;
    begun_ = false;
  }
  // No page after this one is wanted.
  bool Done() const {
    return !ranges_.empty() && std::all_of(ranges_.begin(), ranges_.end(),
                                           [&](const PageRange& r) { return r.last < page_; });
  }
  bool pageOpen() const { return begun_; }

 private:
  bool Selected() const {
    return ranges_.empty() || std::any_of(ranges_.begin(), ranges_.end(), [&](const PageRange& r) {
             return r.first <= page_ && page_ <= r.last;
           });
  }
  void Begin() {
    if (begun_) return;
    begun_ = true;
    // The setup goes with the first page: a job without one leaves the
    // printer as it was.
    if (announced_ == 0) sink_.Put(jobStart_.data(), jobStart_.size());
    messages_.Info("Printing page %d", ++announced_);
  }

  const std::vector<PageRange>& ranges_;
  const std::vector<uint8_t>& jobStart_;
  LineReceiver& writer_;
  OutputSink& sink_;
  JobScope& job_;
  Messages& messages_;
  int& announced_;
  int page_ = 1;
  bool begun_ = false;
};

enum class Copy { kPrinted, kFailed, kCanceled };

// One copy: the file from its start, decoded, paged and written.
Copy PrintCopy(int fd, const TextJob& text, const std::vector<uint8_t>& job_start, unsigned top,
               const TextFrame& frame, TextEncoder& encoder, JobScope& job, OutputSink& sink,
               Messages& messages, int& announced, size_t& invalid, unsigned& cut) {
  if (lseek(fd, 0, SEEK_SET) < 0) {
    messages.Error("Unable to read the text again for the next copy: %s", strerror(errno));
    return Copy::kFailed;
  }
  std::string error;
  const std::unique_ptr<CharsetDecoder> decoder =
      CharsetDecoder::Create(text.options.charset, &error);
  if (!decoder) {
    messages.Error("%s", error.c_str());
    return Copy::kFailed;
  }
  const TextCommands commands =
      text.commands == CommandSetId::kLq ? TextCommands::kLq : TextCommands::kNative;
  TextPageWriter writer(commands, {top, frame.leftShift}, encoder, sink);
  PageSelector selector(text.ranges, job_start, writer, sink, job, messages, announced);
  Paginator paginator(frame.columns, frame.lines, text.options.wrap, selector);

  std::vector<uint8_t> buffer(64 * 1024);
  std::vector<char32_t> points;
  Copy result = Copy::kPrinted;
  for (;;) {
    if (job.cancel().canceled()) {
      result = Copy::kCanceled;
      break;
    }
    const ssize_t n = read(fd, buffer.data(), buffer.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      messages.Error("Unable to read the text: %s", strerror(errno));
      result = Copy::kFailed;
      break;
    }
    points.clear();
    if (n == 0) {
      decoder->Finish(points);
    } else {
      decoder->Feed(buffer.data(), static_cast<size_t>(n), points);
    }
    for (char32_t c : points) {
      paginator.Put(c);
      if (selector.Done()) break;
    }
    if (!sink.ok()) return Copy::kFailed;
    if (n == 0 || selector.Done()) break;
  }
  // The page in hand is ended, cancelled or not, so that the paper leaves
  // the printer; a failed read prints nothing more.
  if (result != Copy::kFailed || selector.pageOpen()) paginator.Finish();
  invalid = decoder->invalid();
  cut = paginator.cutLines();
  return sink.ok() ? result : Copy::kFailed;
}

}  // namespace

TextOptions ReadTextOptions(const OptionLookup& job, const OptionLookup& queue, Messages& messages,
                            const OptionName& shownAs) {
  const OptionSources from{job, queue, shownAs, messages};
  TextOptions o;
  o.pitch = ReadOption(from, kCpiOption, "10", "10, 12, 15, 17 or 20", ParsePitch);
  o.spacing = ReadOption(from, kLpiOption, "6", "6 or 8",
                         OneOf<LineSpacing>({{"6", LineSpacing::k6}, {"8", LineSpacing::k8}}));
  o.wrap = ReadOption(from, kWrapOption, "true", "true or false",
                      OneOf<bool>({{"true", true},
                                   {"yes", true},
                                   {"on", true},
                                   {"false", false},
                                   {"no", false},
                                   {"off", false}}));
  const char* points = "points from 0 to 1584";
  o.left = ReadOption(from, kPageLeftOption, "18", points, Points);
  o.right = ReadOption(from, kPageRightOption, "18", points, Points);
  o.top = ReadOption(from, kPageTopOption, "36", points, Points);
  o.bottom = ReadOption(from, kPageBottomOption, "36", points, Points);
  o.quality = ReadOption(from, kQualityOption, "Draft", "Draft or LQ",
                         OneOf<Quality>({{"Draft", Quality::kDraft}, {"LQ", Quality::kLetter}}));
  o.table = ReadOption(from, kTableOption, "PC437",
                       "PC437, PC850, PC858, PC852, PC866, ISO8859-1 or ISO8859-15",
                       [](std::string_view v) -> std::optional<const CharacterTable*> {
                         if (const CharacterTable* table = FindCharacterTable(v)) return table;
                         return std::nullopt;
                       });
  o.as = ReadOption(from, kTextAsOption, "Text", "Text or Graphics",
                    OneOf<TextAs>({{"Text", TextAs::kText}, {"Graphics", TextAs::kGraphics}}));
  o.charset = ReadOption(from, kCharsetOption, "UTF-8", "a character set iconv knows",
                         [](std::string_view v) -> std::optional<std::string> {
                           std::string error;
                           if (CharsetDecoder::Create(v, &error)) return std::string(v);
                           return std::nullopt;
                         });
  o.documentText = ReadOption(from, kDocumentTextOption, "Graphics", "Graphics or Fonts",
                              OneOf<DocumentText>({{"Graphics", DocumentText::kGraphics},
                                                   {"Fonts", DocumentText::kFonts}}));
  return o;
}

std::optional<std::vector<PageRange>> ParsePageRanges(std::string_view text) {
  std::vector<PageRange> ranges;
  while (!text.empty()) {
    const size_t comma = text.find(',');
    const std::string_view item = text.substr(0, comma);
    text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
    if (comma != std::string_view::npos && text.empty()) return std::nullopt;
    PageRange range;
    const size_t dash = item.find('-');
    const std::string_view first = item.substr(0, dash);
    const std::string_view last = dash == std::string_view::npos ? first : item.substr(dash + 1);
    if (first.empty() && last.empty()) return std::nullopt;
    if (!first.empty()) {
      const std::optional<int> n = Number(first);
      if (!n) return std::nullopt;
      range.first = *n;
    }
    if (!last.empty()) {
      const std::optional<int> n = Number(last);
      if (!n) return std::nullopt;
      range.last = *n;
    }
    if (range.last < range.first) return std::nullopt;
    ranges.push_back(range);
  }
  return ranges;
}

unsigned UnitsFromPoints(double points) {
  return static_cast<unsigned>(std::lround(points * kUnitsPerInch / 72));
}

unsigned UnitsFromHundredthsMm(int hundredths) {
  return static_cast<unsigned>(
      std::max(0L, std::lround(hundredths * double{kUnitsPerInch} / 2540)));
}

void PrintText(JobScope& job, int fd, const TextJob& text, Messages& messages) {
  // The offsets move the frame within the page: what one margin gains the
  // other gives up, down to nothing.
  PageGeometry geometry;
  geometry.width = text.pageWidth;
  geometry.length = text.pageLength;
  geometry.pitch = text.options.pitch;
  geometry.spacing = text.options.spacing;
  const int down = OffsetUnits(text.offsets.top);
  const int right = OffsetUnits(text.offsets.left);
  geometry.left = Shifted(UnitsFromPoints(text.options.left), right);
  geometry.right = Shifted(UnitsFromPoints(text.options.right), -right);
  geometry.top = Shifted(UnitsFromPoints(text.options.top), down);
  geometry.bottom = Shifted(UnitsFromPoints(text.options.bottom), -down);
  std::string error;
  const std::optional<TextFrame> frame = FrameOf(geometry, &error);
  if (!frame) {
    messages.Error("The text cannot be printed on this page: %s.", error.c_str());
    job.Fail();
    return;
  }
  const bool lq = text.commands == CommandSetId::kLq;
  if (!lq) messages.Warning("%s.", NativeTextWarning().c_str());

  // What the first copy found is said once.
  int announced = 0;
  size_t invalid = 0;
  unsigned cut = 0;
  std::string unprintable;
  job.Write(text.commands, [&](OutputSink& sink) {
    std::vector<uint8_t> start;
    if (lq) {
      LqTextSetup setup;
      setup.geometry = geometry;
      setup.frame = *frame;
      setup.quality = text.options.quality;
      setup.table = text.options.table;
      setup.okidataPrefix = text.okidataPrefix;
      start = LqTextJobStart(setup);
    } else {
      start = NativeTextJobStart();
    }
    for (int copy = 1; copy <= std::max(text.copies, 1); ++copy) {
      TextEncoder encoder(*text.options.table);
      size_t copy_invalid = 0;
      unsigned copy_cut = 0;
      const Copy printed = PrintCopy(fd, text, start, geometry.top, *frame, encoder, job, sink,
                                     messages, announced, copy_invalid, copy_cut);
      if (copy == 1) {
        invalid = copy_invalid;
        cut = copy_cut;
        unprintable = encoder.Warning();
      }
      switch (printed) {
        case Copy::kPrinted:
          break;
        case Copy::kCanceled:
          return true;
        case Copy::kFailed:
          return false;
      }
    }
    return true;
  });
  if (invalid > 0) {
    messages.Warning("%zu byte sequence%s of the text %s not valid %s and print%s as ?", invalid,
                     invalid == 1 ? "" : "s", invalid == 1 ? "is" : "are",
                     text.options.charset.c_str(), invalid == 1 ? "s" : "");
  }
  if (cut > 0) {
    messages.Warning("%u line%s longer than %u columns %s cut (wrap=false)", cut,
                     cut == 1 ? "" : "s", frame->columns, cut == 1 ? "was" : "were");
  }
  if (!unprintable.empty()) messages.Warning("%s", unprintable.c_str());
}

int SeekableInput(int fd, const std::string& directory, FileDescriptor& kept, Messages& messages) {
  if (lseek(fd, 0, SEEK_CUR) >= 0) return fd;
  kept = FileDescriptor(open(directory.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600));
  if (!kept.valid()) {
    messages.Error("Unable to keep the text for its copies in %s: %s", directory.c_str(),
                   strerror(errno));
    return -1;
  }
  std::vector<uint8_t> buffer(64 * 1024);
  for (;;) {
    const ssize_t n = read(fd, buffer.data(), buffer.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      messages.Error("Unable to read the text: %s", strerror(errno));
      return -1;
    }
    if (n == 0) return kept.get();
    for (ssize_t done = 0; done < n;) {
      const ssize_t w = write(kept.get(), buffer.data() + done, static_cast<size_t>(n - done));
      if (w < 0 && errno == EINTR) continue;
      if (w < 0) {
        messages.Error("Unable to keep the text for its copies in %s: %s", directory.c_str(),
                       strerror(errno));
        return -1;
      }
      done += w;
    }
  }
}

}  // namespace zova::text
