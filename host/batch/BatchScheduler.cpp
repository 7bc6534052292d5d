#include "host/batch/BatchScheduler.h"

#include <algorithm>
#include <chrono>
#include <cctype>

namespace host {

namespace {

struct Running {
  std::size_t job;
  int child;
  std::chrono::steady_clock::time_point start;
};

double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

bool sameTitle(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
           return std::tolower(x) == std::tolower(y);
         });
}

void runJobs(const std::vector<BatchJob>& jobs, int atOnce, ChildLauncher& launcher, const JobEvents& events) {
  const std::size_t limit = static_cast<std::size_t>(std::max(1, atOnce));
  std::vector<bool> taken(jobs.size(), false);
  std::vector<Running> running;
  std::size_t finished = 0;
  while (finished < jobs.size()) {
    // Start what may start, first in the list first.
    for (std::size_t i = 0; i < jobs.size() && running.size() < limit; ++i) {
      if (taken[i]) continue;
      const bool titleBusy = std::any_of(running.begin(), running.end(),
                                         [&](const Running& r) { return sameTitle(jobs[r.job].title, jobs[i].title); });
      if (titleBusy) continue;
      taken[i] = true;
      std::string problem;
      const auto start = std::chrono::steady_clock::now();
      const std::optional<int> child = launcher.start(jobs[i].args, jobs[i].logPath, problem);
      if (!child) {
        ++finished;
        if (events.finished) events.finished(i, JobOutcome{false, -1, problem, 0.0});
        continue;
      }
      running.push_back({i, *child, start});
      if (events.started) events.started(i);
    }
    if (running.empty()) continue;  // every job left failed to start, or all are done
    const auto [child, code] = launcher.waitAny();
    const auto it = std::find_if(running.begin(), running.end(), [&](const Running& r) { return r.child == child; });
    if (it == running.end()) continue;  // not one of ours: nothing to tell
    const Running done = *it;
    running.erase(it);
    ++finished;
    if (events.finished) events.finished(done.job, JobOutcome{true, code, std::string(), secondsSince(done.start)});
  }
}

}  // namespace host
