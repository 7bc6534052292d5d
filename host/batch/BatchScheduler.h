// Runs a list of jobs as child processes, a given number at once.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace host {

// Starts children and waits for them; the one part of a batch that differs
// between systems (and a fake one in tests).
class ChildLauncher {
 public:
  virtual ~ChildLauncher() = default;
  // Starts the host's own program with these arguments, its output and
  // errors written to logPath. An id for the child, or nothing with a message.
  virtual std::optional<int> start(const std::vector<std::string>& args, const std::string& logPath,
                                   std::string& problem) = 0;
  // Waits until one of the children started and not yet reported ends: its
  // id and exit code.
  virtual std::pair<int, int> waitAny() = 0;
};

struct BatchJob {
  std::string name;   // as progress and the manifest show it
  std::string title;  // the file's title: no two jobs with the same one run at once
  std::vector<std::string> args;
  std::string logPath;
};

struct JobOutcome {
  bool started = false;
  int exitCode = 0;
  std::string problem;  // why it could not start
  double seconds = 0.0;
};

struct JobEvents {
  std::function<void(std::size_t job)> started;
  std::function<void(std::size_t job, const JobOutcome& outcome)> finished;
};

// Runs every job, at most atOnce at a time, in order except that a job
// waits while another with the same title runs: the plug-in takes a file's
// curve from a place named after the file's title. A job that cannot start
// is finished at once with its problem. Returns when all have finished.
void runJobs(const std::vector<BatchJob>& jobs, int atOnce, ChildLauncher& launcher, const JobEvents& events);

// Titles compare as Windows compares file names, ignoring the case of ASCII letters.
bool sameTitle(const std::string& a, const std::string& b);

}  // namespace host
