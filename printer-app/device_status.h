// What the printer itself says: paper out, offline, an error. Between jobs
// the driver's status callback asks the device; during a job, DeviceWatch
// asks before the page writer hands it data (at least every few seconds)
// and while a write stalls, and the job waits, still processing, until the
// printer can take data again.
#pragma once

#include <pappl/pappl.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "pipeline/cancel.h"

namespace zova::app {

// Whether a device can be asked for its status: USB, and the schemes added
// by the application. A network printer is judged by its connection.
bool AsksDevice(const std::string& uri);

// pappl_pr_status_cb_t: PAPPL calls it only while the printer is idle.
bool PrinterStatus(pappl_printer_t* printer);

class DeviceWatch {
 public:
  DeviceWatch(pappl_device_t* device, pappl_job_t* job, const CancelToken& cancel);
  ~DeviceWatch();
  DeviceWatch(const DeviceWatch&) = delete;
  DeviceWatch& operator=(const DeviceWatch&) = delete;

  // Before a write: waits while the printer says it cannot print; false on
  // a cancel.
  bool Ready();
  void WriteStarted();
  void WriteEnded();

 private:
  using Clock = std::chrono::steady_clock;
  // Asks the device and shows the answer; the reasons that stop printing.
  pappl_preason_t Ask(std::unique_lock<std::mutex>& lock);
  void WatchStalls();

  pappl_device_t* device_;
  pappl_job_t* job_;
  pappl_printer_t* printer_;
  const CancelToken& cancel_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stop_ = false;
  bool writing_ = false;
  Clock::time_point write_start_{};
  Clock::time_point asked_{};
  pappl_preason_t shown_ = PAPPL_PREASON_NONE;
  Clock::time_point waiting_since_{};
  std::thread stalls_;
};

}  // namespace zova::app
