#pragma once

#include <chrono>
#include <functional>

// Waiting in tests that run Qt: every wait runs the thread's events and ends
// at a deadline on the clock, never after a count of loop turns.
namespace kelsor::test {

// Until `done` holds; false when `within` passed first.
bool WaitFor(const std::function<bool()>& done,
             std::chrono::milliseconds within = std::chrono::seconds(30));

// For `span`: the time a "nothing happens" check gives things to happen.
void RunEventsFor(std::chrono::milliseconds span);

}  // namespace kelsor::test
