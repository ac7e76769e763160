// Finished jobs: the newest few kept, for a while, and other users' names
// kept from anyone but their owner and the administrator.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <functional>
#include <regex>
#include <set>
#include <thread>

#include "app/private_app.h"

namespace zova::testing {
namespace {

using namespace std::chrono_literals;

struct Asker {
  Asker(std::string u = "", std::string p = "", bool s = false)
      : user(std::move(u)), password(std::move(p)), owner_socket(s) {}
  std::string user;      // requesting-user-name, "" for none
  std::string password;  // HTTP Basic, "" for none
  bool owner_socket;     // the local socket
};

// One IPP request to the printer; the response's job groups as sets of
// attribute names, and their job-ids.
struct Answer {
  ipp_status_t status = IPP_STATUS_ERROR_INTERNAL;
  std::vector<std::set<std::string>> jobs;
  std::vector<int> ids;
};

Answer Ask(const PrivateApp& app, const Asker& who, ipp_op_t op,
           const std::function<void(ipp_t*)>& add = {}) {
  ipp_t* request = ippNewRequest(op);
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr,
               app.PrinterUri("teller").c_str());
  if (!who.user.empty()) {
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr,
                 who.user.c_str());
  }
  if (add) add(request);
  http_t* http = who.owner_socket ? httpConnect2(app.LocalSocket().c_str(), app.port(), nullptr,
                                                 AF_LOCAL, HTTP_ENCRYPTION_NEVER, 1, 10000, nullptr)
                                  : httpConnect2("127.0.0.1", app.port(), nullptr, AF_INET,
                                                 HTTP_ENCRYPTION_NEVER, 1, 10000, nullptr);
  Answer answer;
  if (http == nullptr) return answer;
  if (!who.password.empty()) {
    const std::string plain = "anyone:" + who.password;
    char encoded[256];
    httpEncode64_2(encoded, sizeof encoded, plain.data(), static_cast<int>(plain.size()));
    httpSetAuthString(http, "Basic", encoded);
  }
  ipp_t* response = cupsDoRequest(http, request, "/ipp/print/teller");
  httpClose(http);
  if (response == nullptr) return answer;
  answer.status = ippGetStatusCode(response);
  bool in_job = false;  // job groups are parted by separators
  for (ipp_attribute_t* a = ippFirstAttribute(response); a; a = ippNextAttribute(response)) {
    if (ippGetGroupTag(a) != IPP_TAG_JOB || ippGetName(a) == nullptr) {
      in_job = false;
      continue;
    }
    if (!in_job) answer.jobs.emplace_back();
    in_job = true;
    answer.jobs.back().insert(ippGetName(a));
    if (strcmp(ippGetName(a), "job-id") == 0) answer.ids.push_back(ippGetInteger(a, 0));
  }
  ippDelete(response);
  return answer;
}

// Create-Job as `user`, named; finished by cancelling it.
int FinishedJob(const PrivateApp& app, const std::string& user, const std::string& name) {
  const Answer created = Ask(app, {user}, IPP_OP_CREATE_JOB, [&](ipp_t* r) {
    ippAddString(r, IPP_TAG_OPERATION, IPP_TAG_NAME, "job-name", nullptr, name.c_str());
    ippAddString(r, IPP_TAG_JOB, IPP_TAG_NAME, "document-name-supplied", nullptr,
                 (name + ".pdf").c_str());
  });
  if (created.ids.empty()) return 0;
  const int id = created.ids[0];
  Ask(app, {user, "", true}, IPP_OP_CANCEL_JOB,
      [&](ipp_t* r) { ippAddInteger(r, IPP_TAG_OPERATION, IPP_TAG_INTEGER, "job-id", id); });
  return id;
}

std::vector<int> FinishedIds(const PrivateApp& app) {
  return Ask(app, {"", "", true}, IPP_OP_GET_JOBS,
             [](ipp_t* r) {
               ippAddString(r, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "which-jobs", nullptr,
                            "completed");
             })
      .ids;
}

size_t JobsInStateFile(const PrivateApp& app) {
  std::ifstream in(app.dir() / "state" / "zova-printer-app.state");
  const std::string text((std::istreambuf_iterator<char>(in)), {});
  const std::regex job("\nJob ");
  return std::distance(std::sregex_iterator(text.begin(), text.end(), job), {});
}

std::unique_ptr<PrivateApp> Server(const std::vector<std::string>& options) {
  std::string error;
  auto app = PrivateApp::Start(&error, options);
  EXPECT_TRUE(app) << error;
  if (app && !app->AddPrinter("teller", "zova-qrt", &error)) ADD_FAILURE() << error;
  return app;
}

TEST(AppHistoryTest, KeepsTheNewestFinishedJobsForAWhile) {
  const struct {
    std::vector<std::string> options;
    int jobs;
    size_t kept;
  } kCases[] = {{{}, 600, 100}, {{"max-completed-jobs=7"}, 20, 7}};
  for (const auto& c : kCases) {
    auto app = Server(c.options);
    ASSERT_TRUE(app);
    std::vector<int> ids;
    for (int i = 0; i < c.jobs; ++i) ids.push_back(FinishedJob(*app, "clerk", "Loan"));
    ASSERT_EQ(std::count(ids.begin(), ids.end(), 0), 0);
    // The newest, newest first, as Get-Jobs lists them.
    const std::vector<int> newest(ids.rbegin(), ids.rbegin() + c.kept);
    std::vector<int> listed;
    for (auto waited = 0s; waited < 10s && (listed = FinishedIds(*app)) != newest; waited += 1s) {
      std::this_thread::sleep_for(1s);
    }
    EXPECT_EQ(listed, newest);
    for (auto waited = 0s; waited < 10s && JobsInStateFile(*app) != c.kept; waited += 1s) {
      std::this_thread::sleep_for(1s);
    }
    EXPECT_EQ(JobsInStateFile(*app), c.kept);
  }
  // And no longer than asked.
  auto app = Server({"job-history-seconds=2"});
  ASSERT_TRUE(app);
  ASSERT_NE(FinishedJob(*app, "clerk", "Loan"), 0);
  EXPECT_EQ(FinishedIds(*app).size(), 1u);
  std::vector<int> listed{0};
  for (auto waited = 0s; waited < 10s && !(listed = FinishedIds(*app)).empty(); waited += 1s) {
    std::this_thread::sleep_for(1s);
  }
  EXPECT_TRUE(listed.empty());
}

TEST(AppHistoryTest, BadLimitsStopTheServer) {
  for (const char* option : {"max-completed-jobs=0", "max-completed-jobs=lots",
                             "job-history-seconds=-5", "job-history-seconds=99999999999"}) {
    std::string error;
    EXPECT_FALSE(PrivateApp::Start(&error, {option})) << option;
    EXPECT_NE(
        error.find("ERROR: Bad " + std::string(option).substr(0, std::string(option).find('='))),
        std::string::npos)
        << error;
  }
}

TEST(AppHistoryTest, OtherUsersJobsShowNoNames) {
  auto app = Server({});
  ASSERT_TRUE(app);
  ASSERT_TRUE(app->SetAdminPassword("sesame-123"));
  const int job = FinishedJob(*app, "alice", "Loan 4711 Smith");
  ASSERT_NE(job, 0);
  const std::set<std::string> kNames = {"job-name", "job-originating-user-name",
                                        "document-name-supplied"};
  const auto ask_job = [&](const Asker& who, std::vector<const char*> requested) {
    return Ask(*app, who, IPP_OP_GET_JOB_ATTRIBUTES, [&](ipp_t* r) {
      ippAddInteger(r, IPP_TAG_OPERATION, IPP_TAG_INTEGER, "job-id", job);
      if (!requested.empty()) {
        ippAddStrings(r, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                      static_cast<int>(requested.size()), nullptr, requested.data());
      }
    });
  };
  const Answer owners = ask_job({"alice"}, {});
  ASSERT_EQ(owners.jobs.size(), 1u);
  for (const auto& name : kNames) EXPECT_TRUE(owners.jobs[0].count(name)) << name;

  // Whoever else asks, however, sees all but the names.
  std::set<std::string> without = owners.jobs[0];
  for (const auto& name : kNames) without.erase(name);
  for (const auto& requested :
       std::vector<std::vector<const char*>>{{}, {"all"}, {"job-description", "job-template"}}) {
    for (const Asker& who : {Asker{"mallory"}, Asker{}, Asker{"", "wrong-pass"}}) {
      const Answer seen = ask_job(who, requested);
      ASSERT_EQ(seen.jobs.size(), 1u) << who.user;
      EXPECT_EQ(seen.jobs[0], without) << who.user << " " << requested.size();
    }
  }
  EXPECT_EQ(ask_job({"mallory"}, {"job-name", "job-state"}).jobs[0],
            (std::set<std::string>{"job-state"}));
  // A requested-attributes of the wrong syntax, which PAPPL takes as "all".
  const Answer odd = Ask(*app, {"mallory"}, IPP_OP_GET_JOB_ATTRIBUTES, [&](ipp_t* r) {
    ippAddInteger(r, IPP_TAG_OPERATION, IPP_TAG_INTEGER, "job-id", job);
    ippAddString(r, IPP_TAG_OPERATION, IPP_TAG_NAME, "requested-attributes", nullptr, "job-name");
  });
  ASSERT_EQ(odd.jobs.size(), 1u);
  EXPECT_EQ(odd.jobs[0].count("job-name"), 0u);

  // Get-Jobs: the same, unless every job shown is the asker's.
  const auto list = [&](const Asker& who, bool mine) {
    return Ask(*app, who, IPP_OP_GET_JOBS, [&](ipp_t* r) {
      ippAddString(r, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "which-jobs", nullptr, "all");
      ippAddBoolean(r, IPP_TAG_OPERATION, "my-jobs", mine);
      ippAddString(r, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", nullptr, "all");
    });
  };
  const struct {
    Asker who;
    bool mine;
    bool names;
  } kLists[] = {{{"mallory"}, false, false},
                {{}, false, false},
                {{"alice"}, true, true},
                {{"mallory", "sesame-123"}, false, true},
                {{"", "", true}, false, true}};
  for (const auto& l : kLists) {
    const Answer seen = list(l.who, l.mine);
    ASSERT_EQ(seen.ids, std::vector<int>{job}) << l.who.user;
    EXPECT_EQ(seen.jobs[0].count("job-name"), l.names ? 1u : 0u) << l.who.user;
    EXPECT_EQ(seen.jobs[0].count("job-originating-user-name"), l.names ? 1u : 0u) << l.who.user;
  }
  for (const Asker& who : {Asker{"", "sesame-123"}, Asker{"", "", true}}) {
    EXPECT_EQ(ask_job(who, {}).jobs.at(0), owners.jobs[0]);
  }

  // The printer's web page.
  const auto [status, page] = app->Get("/teller/");
  EXPECT_EQ(status, 200);
  EXPECT_EQ(page.find("alice"), std::string::npos);
  EXPECT_EQ(page.find("Loan 4711"), std::string::npos);
  const std::string admins = app->Get("/teller/", "sesame-123").second;
  EXPECT_NE(admins.find("alice"), std::string::npos);
  EXPECT_NE(admins.find("Loan 4711"), std::string::npos);
}

}  // namespace
}  // namespace zova::testing
