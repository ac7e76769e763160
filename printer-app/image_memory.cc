// One budget for the decoded images of every job of the server: PAPPL's
// limit, and the one this driver had, hold per image, so N printers took N
// times as much.
#include <condition_variable>
#include <mutex>

#include "image_documents.h"

namespace zova::app {
namespace {

std::mutex mutex;
std::condition_variable released;
size_t budget = kDefaultImageMemory;
size_t in_use = 0;

constexpr size_t kMiB = size_t{1} << 20;

std::string MiB(size_t bytes) { return std::to_string((bytes + kMiB - 1) / kMiB) + " MiB"; }

}  // namespace

ImageMemoryGrant& ImageMemoryGrant::operator=(ImageMemoryGrant&& other) noexcept {
  if (this != &other) {
    ImageMemoryGrant old(std::move(*this));
    bytes_ = std::exchange(other.bytes_, 0);
  }
  return *this;
}

ImageMemoryGrant::~ImageMemoryGrant() {
  if (bytes_ == 0) return;
  {
    const std::lock_guard lock(mutex);
    in_use -= bytes_;
  }
  released.notify_all();
}

void SetImageMemory(size_t bytes) {
  const std::lock_guard lock(mutex);
  budget = bytes;
}

size_t ImageMemory() {
  const std::lock_guard lock(mutex);
  return budget;
}

bool ReserveImageMemory(DecodedImage& image, const char* kind, size_t working,
                        const CancelToken& cancel, std::string* error) {
  const auto w = static_cast<size_t>(image.width), h = static_cast<size_t>(image.height);
  const size_t bytes = w * h * static_cast<size_t>(image.depth) + working;
  const std::string size = std::to_string(w) + "x" + std::to_string(h);
  std::unique_lock lock(mutex);
  if (bytes > budget) {
    *error = std::string("The ") + kind + " image is too large to print (" + size + "): it needs " +
             MiB(bytes) + ", the server's image memory is " + MiB(budget) + ".";
    return false;
  }
  const auto deadline = std::chrono::steady_clock::now() + kImageMemoryWait;
  // Cancel is asked four times a second; a release wakes the waiters at once.
  while (in_use + bytes > budget) {
    if (cancel.canceled()) {
      *error = std::string("Cancelled while waiting to read the ") + kind + " image.";
      return false;
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      *error = std::string("The ") + kind + " image (" + size + ", " + MiB(bytes) + ") waited " +
               std::to_string(kImageMemoryWait.count()) +
               " minutes for the server's image memory, which other jobs' images "
               "held. Print it again later.";
      return false;
    }
    released.wait_for(lock, std::chrono::milliseconds(250));
  }
  in_use += bytes;
  lock.unlock();
  image.memory = ImageMemoryGrant(bytes);
  return true;
}

}  // namespace zova::app
