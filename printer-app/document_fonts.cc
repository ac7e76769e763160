#include "document_fonts.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app_system.h"
#include "doctext/document_text.h"
#include "doctext/fonts_page_source.h"
#include "doctext/ghostscript_text.h"
#include "text_options.h"

namespace zova::app {
namespace {

// The drawing's page geometry for txtwrite, which reports at 72 dpi: its
// size in points (from its pixels and resolution), fixed or fitted, and its
// page list.
std::vector<std::string> PageArguments(const std::vector<std::string>& draw) {
  unsigned xdpi = 0, ydpi = 0, width = 0, height = 0;
  std::vector<std::string> page;
  for (const std::string& arg : draw) {
    if (sscanf(arg.c_str(), "-r%ux%u", &xdpi, &ydpi) == 2 ||
        sscanf(arg.c_str(), "-g%ux%u", &width, &height) == 2) {
      continue;
    }
    if (arg == "-dFIXEDMEDIA" || arg == "-dPDFFitPage" || arg.rfind("-sPageList=", 0) == 0) {
      page.push_back(arg);
    }
  }
  if (xdpi > 0 && ydpi > 0 && width > 0 && height > 0) {
    char size[2][64];
    snprintf(size[0], sizeof size[0], "-dDEVICEWIDTHPOINTS=%.6f", width * 72.0 / xdpi);
    snprintf(size[1], sizeof size[1], "-dDEVICEHEIGHTPOINTS=%.6f", height * 72.0 / ydpi);
    page.insert(page.begin(), {size[0], size[1]});
  }
  return page;
}

// A PostScript document as PDF, for pdffonts alone; empty when it cannot be
// made.
std::string AsPdf(const std::string& document, const std::string& scratch,
                  const CancelToken& cancel, Messages& messages) {
  const std::string pdf = scratch + "/fonts.pdf";
  ChildOptions command;
  command.argv = {
      "gs", "-q",    "-dSAFER", "-dBATCH", "-dNOPAUSE", "-sDEVICE=pdfwrite", "-sOutputFile=" + pdf,
      "-f", document};
  command.env = {"TMPDIR=" + scratch};
  command.stdoutFd = kDiscardOutput;
  command.stderrFd = -1;
  command.errorLine = [](std::string_view) {};
  command.memoryLimit = uint64_t{Server().ghostscriptMemoryMb} << 20;
  ChildProcess gs;
  if (gs.Start(command) != 0 ||
      !gs.Wait(cancel, ChildProcess::Clock::now() + Server().ghostscriptJobTime).succeeded()) {
    if (!cancel.canceled()) {
      messages.Warning("The document's fonts could not be read: its text prints as graphics.");
    }
    return {};
  }
  return pdf;
}

}  // namespace

std::unique_ptr<DocumentFonts> DocumentFonts::ForJob(AppJob& app, const pappl_pr_options_t* options,
                                                     const std::string& document,
                                                     const std::string& scratch) {
  const text::TextOptions text = TextOptionsOf(app.job(), options, app.messages());
  if (text.documentText != text::DocumentText::kFonts) return nullptr;
  if (app.outputType() != "LQ") {
    app.messages().Warning(
        "zova-document-text=fonts needs the LQ command set: the native set has no move to a "
        "place on a line, so the document prints as graphics.");
    return nullptr;
  }
  const CancelToken& cancel = app.driver().cancel();
  const bool pdf = strcmp(papplJobGetFormat(app.job()), "application/pdf") == 0;
  const std::string listed = pdf ? document : AsPdf(document, scratch, cancel, app.messages());
  doctext::FontEncodings fonts;
  if (!listed.empty()) fonts = doctext::ListFonts(listed, scratch, cancel, app.messages());
  return std::unique_ptr<DocumentFonts>(new DocumentFonts(document, text, std::move(fonts)));
}

bool DocumentFonts::Print(AppJob& app, PageSource& drawn, const ChildOptions& draw,
                          const PagesOf& pages_of) {
  Messages& messages = app.messages();
  const CancelToken& cancel = app.driver().cancel();
  // The same run, told to leave the text out.
  ChildOptions text_free = draw;
  text_free.argv.insert(text_free.argv.begin() + 1, "-dFILTERTEXT");
  text_free.errorLine = [&](std::string_view line) {
    messages.Debug("Ghostscript without text: %.*s", static_cast<int>(line.size()), line.data());
  };
  ChildOptions text = text_free;
  text.argv = doctext::TextCommand(document_, PageArguments(draw.argv));
  text.errorLine = [&](std::string_view line) {
    messages.Debug("txtwrite: %.*s", static_cast<int>(line.size()), line.data());
  };
  ChildProcess text_free_gs, text_gs;
  const int error = text_free_gs.Start(text_free);
  const int text_error = error != 0 ? error : text_gs.Start(text);
  if (error != 0 || text_error != 0) {
    messages.Warning("Unable to run Ghostscript (gs) for the text: %s: it prints as graphics.",
                     strerror(error != 0 ? error : text_error));
    return app.scope().Print(drawn);
  }
  const std::unique_ptr<PageSource> text_free_pages = pages_of(text_free_gs);
  doctext::DocumentTextReader reader(
      [&](char* buffer, size_t len) { return text_gs.ReadOutput(buffer, len, cancel); });
  doctext::FontsSetup setup;
  setup.fonts = &fonts_;
  setup.quality = options_.quality;
  setup.table = options_.table;
  setup.offsets = app.offsets();
  setup.spoolDirectory = Server().pageSpool;
  doctext::FontsPageSource pages(drawn, *text_free_pages, reader, setup, messages, cancel);
  bool printed = app.scope().Print(pages);
  if (pages.failed()) {
    app.scope().Fail();
    printed = false;
  }
  messages.Debug("%zu characters on %d pages printed in the printer's fonts",
                 pages.charactersAsText(), pages.pagesWithText());
  // Both have written everything once the drawing has; after a failure or a
  // cancel they may be blocked on output nobody reads.
  const bool stop = !printed || cancel.canceled();
  const auto end = [&](ChildProcess& gs, const char* what) {
    const ChildStatus status =
        stop ? gs.Stop()
             : gs.Wait(cancel, ChildProcess::Clock::now() + Server().ghostscriptPageTime);
    if (!stop && !status.succeeded()) {
      messages.Warning("%s %s: the text after that printed as graphics.", what,
                       DescribeExit(status).c_str());
    }
    return status.cpuSeconds;
  };
  const double text_free_seconds = end(text_free_gs, "Ghostscript without text");
  const double text_seconds = end(text_gs, "Ghostscript's txtwrite");
  messages.Debug("Processor time: Ghostscript without text %.2f s, txtwrite %.2f s",
                 text_free_seconds, text_seconds);
  return printed;
}

}  // namespace zova::app
