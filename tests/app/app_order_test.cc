// Jobs against the printer application's ordering and cancel handling: a
// burst prints one job at a time in submission order, and a cancelled job
// ends its page and leaves no spool file.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <mutex>
#include <numeric>
#include <regex>
#include <sstream>
#include <thread>

#include "app/app_test_fixture.h"
#include "preview/stream_decoder.h"
#include "support/memory_sink.h"

namespace zova::testing {
namespace {

using namespace std::chrono_literals;
using preview::DecodedStream;
using preview::DecodeStream;

int ImpressionsCompleted(const PrivateApp& app, const std::string& printer, int job) {
  const std::vector<std::string> done =
      app.JobAttributes(printer, job)["job-impressions-completed"];
  return done.empty() ? -1 : atoi(done[0].c_str());
}

class AppOrderTest : public AppTest {
 protected:
  static constexpr int kJobs = 8;

  // Eight one-page jobs, pictures and text pages, and what the filter
  // prints for each.
  void MakeJobs() {
    const cups_page_header2_t h = PwgHeader("iso_b6_125x176mm", 180);
    for (int i = 0; i < kJobs; ++i) {
      const ReferencePage page = i % 3 == 0 ? PhotoPage(h) : TextPage(h, 100 + i);
      files_.push_back(TempFile("burst-" + std::to_string(i) + ".png"));
      ASSERT_TRUE(WritePng(files_.back(), page.image, 180));
      std::string error;
      expected_.push_back(FilterStream({page}, "LQ", PpdPath("zovaqrt.ppd"), &error));
      ASSERT_FALSE(expected_.back().empty()) << error;
    }
  }

  IppJob Submit(const std::string& printer, int document) {
    return app_->Print(printer, files_[static_cast<size_t>(document)], "image/png",
                       {"media=iso_b6_125x176mm"});
  }

  void WaitForAll(const std::string& printer, const std::vector<std::pair<int, int>>& jobs) {
    for (const auto& [id, document] : jobs) {
      ASSERT_GT(id, 0) << "document " << document << " was refused";
      EXPECT_EQ(app_->WaitForJobEnd(printer, id, kJobTimeout), kJobCompleted) << "job " << id;
    }
  }

  // For a failure: how many bytes of each document's stream match at `at`,
  // and the server's lines on its jobs.
  std::string Diagnosis(const std::vector<uint8_t>& out, size_t at) const {
    std::string text = "bytes matching:";
    for (const std::vector<uint8_t>& e : expected_) {
      const auto n = static_cast<long>(std::min(out.size() - at, e.size()));
      const auto match = std::mismatch(e.begin(), e.begin() + n, out.begin() + long(at)).first;
      text += ' ';
      text += std::to_string(match - e.begin());
      text += '/';
      text += std::to_string(e.size());
    }
    const std::regex job_line("Created job|Starting job|already printed|impressions-completed=");
    std::istringstream log(app_->Log());
    for (std::string line; std::getline(log, line);) {
      if (std::regex_search(line, job_line)) text += "\n" + line;
    }
    return text;
  }

  std::vector<std::string> files_;
  std::vector<std::vector<uint8_t>> expected_;
};

TEST_F(AppOrderTest, BurstPrintsWholeJobsInSubmissionOrder) {
  AddPrinter("burst", "zova-qrt");
  MakeJobs();
  // One client, as fast as it can: each job is in when the next is sent, so
  // job IDs are the submission order. PAPPL alone would print the first job
  // and then the newest.
  std::filesystem::remove(app_->Output("burst"));
  std::vector<std::pair<int, int>> jobs;  // job ID, document
  for (int i = 0; i < kJobs; ++i) {
    const IppJob job = Submit("burst", i);
    ASSERT_GT(job.id, 0) << job.error;
    jobs.emplace_back(job.id, i);
  }
  WaitForAll("burst", jobs);

  // The device file holds the jobs' streams one after the other, each whole.
  const std::vector<uint8_t> output = ReadBytes(app_->Output("burst"));
  size_t at = 0;
  for (const auto& [id, document] : jobs) {
    SCOPED_TRACE("job " + std::to_string(id));
    const std::vector<uint8_t>& stream = expected_[static_cast<size_t>(document)];
    ASSERT_LE(at + stream.size(), output.size());
    EXPECT_TRUE(std::equal(stream.begin(), stream.end(), output.begin() + static_cast<long>(at)))
        << "not the stream of document " << document << " at byte " << at;
    at += stream.size();
  }
  EXPECT_EQ(at, output.size()) << "bytes after the last job";
}

TEST_F(AppOrderTest, ClientsAtOnceGetEveryJobPrintedWholeOnce) {
  AddPrinter("clients", "zova-qrt");
  MakeJobs();
  // Four clients at once, two jobs each: PAPPL starts jobs side by side,
  // and sometimes one job twice. Which job is in first depends on the
  // uploads, so only one job at a time and each once are certain.
  std::filesystem::remove(app_->Output("clients"));
  std::vector<std::pair<int, int>> jobs;
  std::mutex jobs_mutex;
  std::vector<std::thread> clients;
  for (int c = 0; c < 4; ++c) {
    clients.emplace_back([&, c] {
      for (int i = c; i < kJobs; i += 4) {
        const IppJob job = Submit("clients", i);
        const std::lock_guard lock(jobs_mutex);
        jobs.emplace_back(job.id, i);
      }
    });
  }
  for (std::thread& client : clients) client.join();
  WaitForAll("clients", jobs);
  // A job PAPPL started twice counts its one page once.
  for (const auto& [id, document] : jobs) {
    EXPECT_EQ(ImpressionsCompleted(*app_, "clients", id), 1) << "job " << id;
  }

  const std::vector<uint8_t> output = ReadBytes(app_->Output("clients"));
  std::vector<int> left(kJobs);
  std::iota(left.begin(), left.end(), 0);
  size_t at = 0;
  while (at < output.size() && !left.empty()) {
    const auto whole = std::find_if(left.begin(), left.end(), [&](int document) {
      const std::vector<uint8_t>& stream = expected_[static_cast<size_t>(document)];
      return at + stream.size() <= output.size() &&
             std::equal(stream.begin(), stream.end(), output.begin() + static_cast<long>(at));
    });
    ASSERT_NE(whole, left.end()) << "no job's whole stream at byte " << at << " of "
                                 << output.size() << "; " << Diagnosis(output, at);
    at += expected_[static_cast<size_t>(*whole)].size();
    left.erase(whole);
  }
  EXPECT_TRUE(left.empty()) << left.size() << " jobs missing";
  EXPECT_EQ(at, output.size()) << "bytes after the last job";
}

// A PostScript document of `pages` pages of text.
void WriteLongDocument(const std::string& path, int pages) {
  std::ofstream ps(path);
  ps << "%!PS\n/Courier findfont 11 scalefont setfont\n";
  for (int p = 1; p <= pages; ++p) {
    for (int line = 0; line < 60; ++line) {
      ps << "40 " << 800 - 12 * line << " moveto (Page " << p << " line " << line
         << ": the quick brown fox jumps over the lazy dog) show\n";
    }
    ps << "showpage\n";
  }
}

TEST_F(AppOrderTest, CancelledJobEndsItsPageAndLeavesNoSpoolFile) {
  AddPrinter("cancel", "zova-qrt");
  const std::string doc = TempFile("long.ps");
  WriteLongDocument(doc, 40);
  std::filesystem::remove(app_->Output("cancel"));
  const IppJob job = app_->Print("cancel", doc, "application/postscript");
  ASSERT_GT(job.id, 0) << job.error;

  bool printing = false;
  for (auto waited = 0ms; !printing && waited < kJobTimeout; waited += 50ms) {
    printing = ImpressionsCompleted(*app_, "cancel", job.id) >= 1;
    if (!printing) std::this_thread::sleep_for(50ms);
  }
  ASSERT_TRUE(printing) << app_->Log();
  ASSERT_TRUE(app_->CancelJob("cancel", job.id));
  EXPECT_EQ(app_->WaitForJobEnd("cancel", job.id, kJobTimeout), kJobCanceled);

  // PAPPL reports the cancel when the job's thread is done: the page has
  // been ended and the job end written.
  const std::vector<uint8_t> bytes = ReadBytes(app_->Output("cancel"));
  const DecodedStream stream = DecodeStream(bytes);
  ASSERT_FALSE(stream.error) << "byte " << stream.error->offset << ": " << stream.error->message;
  ASSERT_GE(stream.pages.size(), 1u);
  EXPECT_LT(stream.pages.size(), 40u) << "the job ran to its end before the cancel";
  EXPECT_EQ(Hex({bytes.end() - 3, bytes.end()}), "0C 1B 40");

  const std::string printer_id = app_->PrinterAttributes("cancel")["printer-id"].at(0);
  const std::string prefix =
      "nfet" + std::to_string(app_->pid()) + "-" + printer_id + "-" + std::to_string(job.id) + "_";
  // The pages spool in the application's own directory, none in /tmp.
  for (const std::filesystem::path& dir :
       {app_->dir() / "state/spool/pages", std::filesystem::path("/tmp")}) {
    for (const std::filesystem::directory_entry& entry : std::filesystem::directory_iterator(dir)) {
      EXPECT_NE(entry.path().filename().string().rfind(prefix, 0), 0u)
          << "spool file left behind: " << entry.path();
    }
  }
}

}  // namespace
}  // namespace zova::testing
