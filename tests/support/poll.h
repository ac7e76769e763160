// Waiting for what a test can observe, instead of sleeping for a guess.
#pragma once

#include <chrono>
#include <thread>

namespace zova::testing {

// Asks `done` every `every` until it says yes or `timeout` has passed;
// whether it said yes.
template <typename Done>
bool PollUntil(Done&& done, std::chrono::milliseconds timeout,
               std::chrono::milliseconds every = std::chrono::milliseconds(100)) {
  const auto give_up = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= give_up) return false;
    std::this_thread::sleep_for(every);
  }
  return true;
}

}  // namespace zova::testing
