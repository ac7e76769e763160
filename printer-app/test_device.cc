#include "test_device.h"

#include <dirent.h>
#include <fcntl.h>
#include <pappl/pappl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "pappl_fixes/pappl_fixes.h"

namespace zova::app {
namespace {

constexpr char kScheme[] = "zova-test";
constexpr char kDirVariable[] = "ZOVA_TEST_DEVICE_DIR";

struct TestPrinter {
  std::string base;  // DIR/NAME
  int out = -1;
  std::atomic<uint64_t> taken{0};
  std::atomic<bool> stopped{false};
};

std::string Directory() {
  const char* dir = getenv(kDirVariable);
  return dir != nullptr ? dir : "";
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

pappl_preason_t StateOf(TestPrinter& printer) {
  std::istringstream state(ReadAll(printer.base + ".state"));
  std::string word;
  uint64_t after = 0;
  state >> word >> after;
  pappl_preason_t reasons = PAPPL_PREASON_NONE;
  if (word == "media-empty" || (word == "media-empty-after" && printer.taken >= after)) {
    reasons = PAPPL_PREASON_MEDIA_EMPTY;
  } else if (word == "offline") {
    reasons = PAPPL_PREASON_OFFLINE;
  } else if (word == "error") {
    reasons = PAPPL_PREASON_OTHER;
  }
  if (reasons != PAPPL_PREASON_NONE) printer.stopped = true;
  return reasons;
}

// How far it may go before it runs out, from "media-empty-after N".
uint64_t Room(TestPrinter& printer, uint64_t wanted) {
  std::istringstream state(ReadAll(printer.base + ".state"));
  std::string word;
  uint64_t after = 0;
  state >> word >> after;
  if (word != "media-empty-after" || printer.taken >= after) return wanted;
  return std::min(wanted, after - printer.taken);
}

void NoteResumed(TestPrinter& printer) {
  struct stat info;
  if (!printer.stopped.exchange(false) || stat((printer.base + ".state").c_str(), &info) != 0) {
    return;
  }
  timespec now;
  clock_gettime(CLOCK_REALTIME, &now);
  const long ms =
      (now.tv_sec - info.st_mtim.tv_sec) * 1000 + (now.tv_nsec - info.st_mtim.tv_nsec) / 1000000;
  std::ofstream(printer.base + ".events", std::ios::app) << "resumed-ms " << ms << "\n";
}

bool List(pappl_device_cb_t cb, void* data, pappl_deverror_cb_t, void*) {
  DIR* dir = opendir(Directory().c_str());
  if (dir == nullptr) return false;
  bool stop = false;
  while (dirent* entry = readdir(dir)) {
    const std::string file = entry->d_name;
    if (file.size() <= 3 || file.compare(file.size() - 3, 3, ".id") != 0) continue;
    const std::string name = file.substr(0, file.size() - 3);
    const std::string id = ReadAll(Directory() + "/" + file);
    if ((stop = cb(("Test printer " + name).c_str(), (std::string(kScheme) + ":///" + name).c_str(),
                   id.c_str(), data))) {
      break;
    }
  }
  closedir(dir);
  return stop;
}

bool Open(pappl_device_t* device, const char* device_uri, const char*) {
  const char* name = strstr(device_uri, ":///");
  if (name == nullptr || strchr(name + 4, '/') != nullptr || name[4] == '\0' || name[4] == '.') {
    papplDeviceError(device, "Bad test device URI '%s'.", device_uri);
    return false;
  }
  auto* printer = new TestPrinter;
  printer->base = Directory() + "/" + (name + 4);
  printer->out =
      open((printer->base + ".out").c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
  if (printer->out < 0) {
    papplDeviceError(device, "Unable to open %s.out: %s", printer->base.c_str(), strerror(errno));
    delete printer;
    return false;
  }
  papplDeviceSetData(device, printer);
  return true;
}

void Close(pappl_device_t* device) {
  auto* printer = static_cast<TestPrinter*>(papplDeviceGetData(device));
  close(printer->out);
  delete printer;
}

ssize_t Write(pappl_device_t* device, const void* buffer, size_t bytes) {
  auto* printer = static_cast<TestPrinter*>(papplDeviceGetData(device));
  const char* data = static_cast<const char*>(buffer);
  size_t done = 0;
  while (done < bytes) {
    if (StateOf(*printer) != PAPPL_PREASON_NONE) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
      continue;
    }
    NoteResumed(*printer);
    const ssize_t n = write(printer->out, data + done, Room(*printer, bytes - done));
    if (n < 0) return -1;
    done += static_cast<size_t>(n);
    printer->taken += static_cast<uint64_t>(n);
  }
  return static_cast<ssize_t>(bytes);
}

pappl_preason_t Status(pappl_device_t* device) {
  return StateOf(*static_cast<TestPrinter*>(papplDeviceGetData(device)));
}

char* Id(pappl_device_t* device, char* buffer, size_t size) {
  const auto* printer = static_cast<TestPrinter*>(papplDeviceGetData(device));
  std::string id = ReadAll(printer->base + ".id");
  while (!id.empty() && (id.back() == '\n' || id.back() == '\r')) id.pop_back();
  snprintf(buffer, size, "%s", id.c_str());
  return buffer;
}

}  // namespace

void AddTestDeviceScheme() {
  if (Directory().empty()) return;
  // After PAPPL's own schemes (pappl_fixes/device_schemes.cc).
  pappl_fixes::AddDeviceScheme(kScheme, PAPPL_DEVTYPE_CUSTOM_LOCAL, List, Open, Close, nullptr,
                               Write, Status, Id);
}

}  // namespace zova::app
