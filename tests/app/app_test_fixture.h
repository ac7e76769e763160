// One printer application per test suite, with printers of both models that
// print to files, and the helpers the tests share: jobs run to their end,
// the printer stream read back, and the pages as PAPPL rasters them.
#pragma once

#include <cups/raster.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/image_files.h"
#include "app/private_app.h"
#include "app/reference_stream.h"

namespace zova::testing {

// Generous: the sanitizer build runs the pipeline several times slower.
inline constexpr auto kJobTimeout = std::chrono::seconds(240);

// The raster header PAPPL makes for a job on this media at this resolution.
cups_page_header2_t PwgHeader(const char* media, unsigned dpi);

// A page of the header's size: lines of text, or a photo.
ReferencePage TextPage(const cups_page_header2_t& header, unsigned seed);
ReferencePage PhotoPage(const cups_page_header2_t& header);

std::string PpdPath(const char* name);
std::vector<uint8_t> ReadBytes(const std::filesystem::path& path);

class AppTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite();
  static void TearDownTestSuite();

  // Adds a printer of the driver once per suite.
  void AddPrinter(const std::string& printer, const std::string& driver);
  // Prints the document and waits for the job to complete; the printer
  // stream of that job alone.
  std::vector<uint8_t> PrintJob(const std::string& printer, const std::string& file,
                                const std::string& format,
                                const std::vector<std::string>& attributes = {});
  std::string TempFile(const std::string& name) const;

  static std::unique_ptr<PrivateApp> app_;
};

}  // namespace zova::testing
