#include "host/batch/BatchCommand.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <iomanip>
#include <map>
#include <ostream>
#include <system_error>
#include <thread>

#include "host/audio/AudioFiles.h"
#include "host/audio/DiskFile.h"
#include "host/batch/BatchFiles.h"
#include "host/batch/BatchManifest.h"
#include "host/commands/Correction.h"
#include "host/commands/CurveHandoff.h"
#include "host/commands/DewowArguments.h"
#include "host/commands/FiguresFile.h"

namespace host {

const char* const kBatchUsage =
    "usage: pelmora-host batch IN_DIR OUT_DIR --algorithm hum|pilot|spectral|cog|partials [--jobs N]\n"
    "                          [--curve-from FILE.wav|FILE.pvc] [--redo] [dewow's other options]\n"
    "batch runs \"pelmora-host dewow IN OUT --algorithm ALG ...\" on every .wav file under IN_DIR,\n"
    "at any depth, writing each to the same place under OUT_DIR; N runs at once (default: one per\n"
    "core). --curve-from FILE.wav finds the curve once on FILE.wav (the other options go to that\n"
    "dewow) and corrects every file along it with \"correct --curve\"; --curve-from FILE.pvc\n"
    "corrects along that curve (the other options go to correct). OUT_DIR/manifest.csv and\n"
    "manifest.json say, after each file, what became of it: its exit status, the last error\n"
    "line of a failed run, the wow before and after (% RMS and peak) and the seconds taken;\n"
    "each run's output is in OUT_DIR/batch-logs. A rerun skips the files the manifest has as\n"
    "done whose output is there, unless --redo. The exit status is 0 when every file is done.\n";

namespace {

namespace fs = std::filesystem;

constexpr int kMostJobs = 64;  // what one wait can watch on Windows
constexpr const char* kLogFolder = "batch-logs";

bool endsWithNoCase(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && sameTitle(text.substr(text.size() - end.size()), end);
}

std::string wholePath(const std::string& path) {
  std::error_code error;
  fs::path whole = fs::absolute(pathFromUtf8(path), error);
  if (error) return path;
  whole = whole.lexically_normal();
  if (!whole.has_filename() && whole.has_relative_path()) whole = whole.parent_path();  // "folder/" and "folder/."
  whole.make_preferred();
  return utf8FromPath(whole);
}

std::string stemOf(const std::string& path) { return utf8FromPath(pathFromUtf8(path).stem()); }

std::string joinNames(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) text += (text.empty() ? "" : ", ") + name;
  return text;
}

// What batch itself keeps apart: the names of a child's own files.
bool namesItsOwnFiles(const std::string& option) {
  return option == "--curve-out" || option == "--picture" || option == "--figures";
}

}  // namespace

BatchArguments parseBatchArguments(const std::vector<std::string>& args) {
  BatchArguments parsed;
  std::vector<std::string> positional;
  for (std::size_t i = 1; i < args.size() && parsed.problem.empty(); ++i) {
    const std::string& a = args[i];
    if (a == "--help" || a == "-h") {
      parsed.help = true;
      return parsed;
    }
    const bool ours = a == "--algorithm" || a == "--jobs" || a == "--curve-from";
    if (ours && i + 1 >= args.size()) {
      parsed.problem = a + " needs a value";
    } else if (a == "--algorithm") {
      parsed.algorithm = args[++i];
    } else if (a == "--curve-from") {
      parsed.curveFrom = args[++i];
    } else if (a == "--jobs") {
      const std::string& value = args[++i];
      int jobs = 0;
      const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), jobs);
      if (ec != std::errc() || end != value.data() + value.size() || jobs < 1 || jobs > kMostJobs)
        parsed.problem = "--jobs needs a number from 1 to " + std::to_string(kMostJobs);
      parsed.jobs = jobs;
    } else if (a == "--redo") {
      parsed.redo = true;
    } else if (namesItsOwnFiles(a)) {
      parsed.problem = a + " names one file, and batch runs many: batch names each run's files itself";
    } else if (positional.size() < 2 && a.rfind("--", 0) != 0 && parsed.passedOn.empty()) {
      positional.push_back(a);
    } else {
      parsed.passedOn.push_back(a);
    }
  }
  if (!parsed.problem.empty()) return parsed;
  const bool curveFile = endsWithNoCase(parsed.curveFrom, ".pvc");
  if (positional.size() != 2) {
    parsed.problem = "batch needs IN_DIR and OUT_DIR";
  } else if (!parsed.curveFrom.empty() && !curveFile && !endsWithNoCase(parsed.curveFrom, ".wav")) {
    parsed.problem = "--curve-from needs a .wav file to find the curve on or a .pvc curve file";
  } else if (parsed.algorithm.empty() && !curveFile) {
    parsed.problem = "batch needs --algorithm hum, pilot, spectral, cog or partials";
  } else if (!parsed.algorithm.empty() && curveFile) {
    parsed.problem = "--curve-from FILE.pvc takes no --algorithm: the curve is there already";
  } else if (!curveFile) {
    // The options are dewow's: said once now, not once per file.
    std::vector<std::string> dewow = {"dewow", "in.wav", "out.wav", "--algorithm", parsed.algorithm};
    dewow.insert(dewow.end(), parsed.passedOn.begin(), parsed.passedOn.end());
    const DewowArguments checked = parseDewowArguments(dewow);
    if (!checked.problem.empty()) parsed.problem = checked.problem;
  }
  if (parsed.problem.empty()) {
    parsed.input = positional[0];
    parsed.output = positional[1];
  }
  return parsed;
}

std::string lastErrorLine(const std::string& log) {
  std::string last;
  std::size_t at = 0;
  constexpr std::string_view kPrefix = "pelmora-host: ";
  while (at < log.size()) {
    std::size_t end = log.find('\n', at);
    if (end == std::string::npos) end = log.size();
    std::string line = log.substr(at, end - at);
    at = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.rfind(kPrefix, 0) != 0) continue;
    if (!line.empty() && line.back() == '%') continue;  // progress
    last = line.substr(kPrefix.size());
  }
  return last;
}

namespace {

class Batch {
 public:
  Batch(const BatchArguments& arguments, ChildLauncher& launcher, std::ostream& out, std::ostream& err)
      : arguments_(arguments), launcher_(launcher), out_(out), err_(err) {}
  int run();

 private:
  bool findCurve(std::string& curve);
  void finished(std::size_t job, const JobOutcome& outcome);
  void saveManifest();
  void tellProgress();

  struct Work {
    std::string file;  // relative
    std::string output;
    std::string figures;
    std::string log;
  };

  const BatchArguments& arguments_;
  ChildLauncher& launcher_;
  std::ostream& out_;
  std::ostream& err_;
  std::string input_;
  std::string output_;
  std::string algorithmText_;
  std::vector<std::string> files_;
  std::map<std::string, ManifestRow> rows_;
  std::vector<Work> work_;
  std::vector<std::string> running_;
  std::size_t done_ = 0;
  std::size_t failed_ = 0;
};

// Runs one child on its own, for the curve every file is corrected along.
bool Batch::findCurve(std::string& curve) {
  curve = underFolder(output_, stemOf(arguments_.curveFrom) + ".pvc");
  if (fileExists(curve) && !arguments_.redo) {
    err_ << "batch: the curve found on " << arguments_.curveFrom << " before is used: " << curve << '\n';
    return true;
  }
  BatchJob job;
  job.name = arguments_.curveFrom;
  job.title = titleOf(arguments_.curveFrom);
  job.logPath = underFolder(underFolder(output_, kLogFolder), stemOf(arguments_.curveFrom) + ".curve.log");
  const std::string corrected = underFolder(underFolder(output_, kLogFolder), stemOf(arguments_.curveFrom) + ".curve.wav");
  job.args = {"dewow", wholePath(arguments_.curveFrom), corrected, "--algorithm", arguments_.algorithm,
              "--curve-out", curve};
  job.args.insert(job.args.end(), arguments_.passedOn.begin(), arguments_.passedOn.end());
  std::string problem;
  if (!makeFoldersFor(job.logPath, problem)) {
    err_ << "pelmora-host: " << problem << '\n';
    return false;
  }
  err_ << "batch: finding the curve on " << arguments_.curveFrom << '\n';
  JobOutcome result;
  runJobs({job}, 1, launcher_, {nullptr, [&](std::size_t, const JobOutcome& outcome) { result = outcome; }});
  std::string log;
  readTextFile(job.logPath, log);
  if (result.started && result.exitCode == 0 && fileExists(curve)) {
    err_ << "batch: curve found in " << std::fixed << std::setprecision(1) << result.seconds << std::defaultfloat << " s: " << curve << '\n';
    return true;
  }
  const std::string why = result.started ? lastErrorLine(log) : result.problem;
  err_ << "pelmora-host: batch found no curve on " << arguments_.curveFrom << ": "
       << (why.empty() ? "the run ended with " + std::to_string(result.exitCode) : why) << " (see " << job.logPath
       << ")\n";
  return false;
}

void Batch::tellProgress() {
  err_ << "batch: " << done_ + failed_ << '/' << work_.size() << " done, " << running_.size() << " running";
  if (!running_.empty()) err_ << ": " << joinNames(running_);
  err_ << '\n';
}

void Batch::saveManifest() {
  std::vector<ManifestRow> rows;
  for (const std::string& file : files_) {
    const auto it = rows_.find(file);
    if (it != rows_.end()) rows.push_back(it->second);
  }
  std::string problem;
  if (!writeManifest(output_, rows, problem)) err_ << "pelmora-host: " << problem << '\n';
}

void Batch::finished(std::size_t job, const JobOutcome& outcome) {
  const Work& work = work_[job];
  running_.erase(std::remove(running_.begin(), running_.end(), work.file), running_.end());
  ManifestRow row;
  row.file = work.file;
  row.algorithm = algorithmText_;
  row.exitCode = outcome.exitCode;
  row.seconds = outcome.seconds;
  std::string text;
  if (readTextFile(work.figures, text))
    if (const auto figures = parseFiguresJson(text)) row.figures = *figures;
  removeFile(work.figures);
  const bool done = outcome.started && outcome.exitCode == 0 && fileExists(work.output);
  row.status = done ? kStatusDone : kStatusFailed;
  if (!done) {
    std::string log;
    readTextFile(work.log, log);
    row.reason = !outcome.started ? "could not start: " + outcome.problem : lastErrorLine(log);
    if (row.reason.empty())
      row.reason = outcome.exitCode == 0 ? "the run wrote no output" : "the run ended with " +
                                                                           std::to_string(outcome.exitCode) +
                                                                           " and said nothing";
  }
  (done ? done_ : failed_) += 1;
  err_ << "batch: " << work.file << ": " << (done ? "done" : "failed") << " in " << std::fixed << std::setprecision(1)
       << row.seconds << std::defaultfloat << " s";
  if (!done) err_ << " (exit " << outcome.exitCode << "): " << row.reason;
  err_ << '\n';
  rows_[work.file] = row;
  saveManifest();
  tellProgress();
}

int Batch::run() {
  input_ = wholePath(arguments_.input);
  output_ = wholePath(arguments_.output);
  std::error_code error;
  // Every output would be written over its own input.
  if (fs::equivalent(pathFromUtf8(input_), pathFromUtf8(output_), error) || sameTitle(input_, output_)) {
    err_ << "pelmora-host: OUT_DIR must be another folder than IN_DIR\n";
    return kExitUsage;
  }
  fs::create_directories(pathFromUtf8(output_), error);
  if (!fs::is_directory(pathFromUtf8(output_), error)) {
    err_ << "pelmora-host: cannot make the output folder " << arguments_.output << '\n';
    return kExitOutput;
  }
  std::string problem;
  if (!findWavFiles(input_, output_, files_, problem)) {
    err_ << "pelmora-host: " << problem << '\n';
    return kExitInput;
  }
  if (files_.empty()) {
    err_ << "pelmora-host: there is no .wav file under " << arguments_.input << '\n';
    return kExitInput;
  }
  std::string curve;
  if (endsWithNoCase(arguments_.curveFrom, ".pvc")) {
    curve = wholePath(arguments_.curveFrom);
    if (!fileExists(curve)) {
      err_ << "pelmora-host: " << arguments_.curveFrom << ": there is no such curve file\n";
      return kExitInput;
    }
  } else if (!arguments_.curveFrom.empty() && !findCurve(curve)) {
    return kExitRefused;
  }
  algorithmText_ = curve.empty() ? arguments_.algorithm : "curve " + utf8FromPath(pathFromUtf8(curve).filename());

  // What an earlier run finished stays as it was.
  std::size_t skipped = 0;
  for (ManifestRow& row : readManifest(output_)) {
    if (arguments_.redo || row.status != kStatusDone || !fileExists(underFolder(output_, row.file))) continue;
    if (!std::binary_search(files_.begin(), files_.end(), row.file)) continue;
    rows_[row.file] = row;
    ++skipped;
  }
  std::vector<BatchJob> jobs;
  const std::string logs = underFolder(output_, kLogFolder);
  for (const std::string& file : files_) {
    if (rows_.count(file)) continue;
    Work work{file, underFolder(output_, file), underFolder(logs, file + ".figures.json"),
              underFolder(logs, file + ".log")};
    if (!makeFoldersFor(work.output, problem) || !makeFoldersFor(work.log, problem)) {
      err_ << "pelmora-host: " << problem << '\n';
      return kExitOutput;
    }
    removeFile(work.figures);  // only this run's figures may count
    BatchJob job;
    job.name = file;
    job.title = titleOf(file);
    job.logPath = work.log;
    if (curve.empty()) job.args = {"dewow", underFolder(input_, file), work.output, "--algorithm", arguments_.algorithm};
    else job.args = {"correct", underFolder(input_, file), work.output, "--curve", curve};
    job.args.insert(job.args.end(), arguments_.passedOn.begin(), arguments_.passedOn.end());
    job.args.insert(job.args.end(), {"--figures", work.figures});
    jobs.push_back(std::move(job));
    work_.push_back(std::move(work));
  }
  const int atOnce = arguments_.jobs > 0 ? arguments_.jobs
                                         : std::clamp(static_cast<int>(std::thread::hardware_concurrency()), 1, kMostJobs);
  err_ << "batch: " << files_.size() << " files, " << jobs.size() << " to run, " << skipped
       << " done before; " << atOnce << " at once\n";
  saveManifest();
  JobEvents events;
  events.started = [&](std::size_t job) {
    running_.push_back(work_[job].file);
    tellProgress();
  };
  events.finished = [&](std::size_t job, const JobOutcome& outcome) { finished(job, outcome); };
  runJobs(jobs, atOnce, launcher_, events);
  out_ << "batch: " << done_ << " done, " << failed_ << " failed, " << skipped << " done before; manifest: "
       << underFolder(output_, kManifestCsv) << '\n';
  return failed_ == 0 ? kExitOk : kExitRefused;
}

}  // namespace

int runBatchCommand(const std::vector<std::string>& args, ChildLauncher& launcher, std::ostream& out,
                    std::ostream& err) {
  const BatchArguments parsed = parseBatchArguments(args);
  if (parsed.help) {
    out << kBatchUsage;
    return kExitOk;
  }
  if (!parsed.problem.empty()) {
    err << "pelmora-host: " << parsed.problem << '\n' << kBatchUsage;
    return kExitUsage;
  }
  return Batch(parsed, launcher, out, err).run();
}

}  // namespace host
