// pelmora-host batch without child processes: the folder walk, the manifest,
// the figures file, the scheduling of jobs and the whole command over a fake
// launcher that plays the children.
#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "host/audio/DiskFile.h"
#include "host/batch/ArgumentQuoting.h"
#include "host/batch/BatchCommand.h"
#include "host/batch/BatchFiles.h"
#include "host/batch/BatchManifest.h"
#include "host/batch/BatchScheduler.h"
#include "host/commands/Correction.h"
#include "host/commands/FiguresFile.h"
#include "tests/host/TempPath.h"

namespace fs = std::filesystem;

namespace {

class Folder {
 public:
  explicit Folder(const std::string& name) : path_(tempPath("batch-" + name)) {
    fs::remove_all(path_);
    fs::create_directories(path_);
  }
  ~Folder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  const std::string& path() const { return path_; }
  std::string at(const std::string& relative) const { return (fs::path(path_) / relative).string(); }
  void write(const std::string& relative, const std::string& text = "RIFF") const {
    fs::create_directories(fs::path(at(relative)).parent_path());
    std::ofstream(at(relative), std::ios::binary) << text;
  }

 private:
  std::string path_;
};

std::string readText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(BatchFiles, FindsWavFilesAtAnyDepthSortedWithSlashes) {
  Folder in("walk");
  in.write("b.wav");
  in.write("a/x.WAV");
  in.write("a/deeper/y.wav");
  in.write("a/notes.txt");
  in.write("a/curve.pvc");
  in.write("c.wav.tmp");
  fs::create_directories(in.at("empty.wav"));  // a folder, not a file
  std::vector<std::string> found;
  std::string problem;
  ASSERT_TRUE(host::findWavFiles(in.path(), "", found, problem)) << problem;
  EXPECT_EQ(found, (std::vector<std::string>{"a/deeper/y.wav", "a/x.WAV", "b.wav"}));
}

TEST(BatchFiles, LeavesOutTheOutputFolderInsideTheInput) {
  Folder in("inside");
  in.write("take.wav");
  in.write("out/take.wav");
  in.write("outer/take.wav");
  std::vector<std::string> found;
  std::string problem;
  ASSERT_TRUE(host::findWavFiles(in.path(), in.at("out"), found, problem)) << problem;
  EXPECT_EQ(found, (std::vector<std::string>{"outer/take.wav", "take.wav"}));
  // The output folder the input itself: nothing is left out.
  ASSERT_TRUE(host::findWavFiles(in.path(), in.path(), found, problem));
  EXPECT_EQ(found.size(), 3u);
}

TEST(BatchFiles, SaysWhenTheFolderIsMissing) {
  std::vector<std::string> found;
  std::string problem;
  EXPECT_FALSE(host::findWavFiles(tempPath("batch-no-such-folder"), "", found, problem));
  EXPECT_TRUE(has(problem, "is not a folder")) << problem;
}

TEST(BatchFiles, RelativePathsLandUnderTheOutputFolder) {
  Folder out("under");
  const std::string file = host::underFolder(out.path(), "a/b/take.wav");
  EXPECT_EQ(fs::path(file), fs::path(out.path()) / "a" / "b" / "take.wav");
  std::string problem;
  ASSERT_TRUE(host::makeFoldersFor(file, problem)) << problem;
  EXPECT_TRUE(fs::is_directory(fs::path(out.path()) / "a" / "b"));
  EXPECT_FALSE(host::fileExists(file));
}

host::ManifestRow row(const std::string& file, const std::string& status) {
  host::ManifestRow r;
  r.file = file;
  r.algorithm = "hum";
  r.status = status;
  r.seconds = 1.25;
  return r;
}

TEST(BatchManifest, CsvQuotesCommasQuotesAndLineBreaksAndReadsThemBack) {
  std::vector<host::ManifestRow> rows = {row("plain.wav", host::kStatusDone), row("a, b/\"c\".wav", host::kStatusFailed),
                                         row("two\nlines.wav", host::kStatusFailed)};
  rows[0].figures.beforeRmsPercent = 0.184;
  rows[0].figures.afterPeakPercent = 0.0125;
  rows[1].exitCode = 5;
  rows[1].reason = "dewow stopped at the check of the output: it has \"more\" wow, so it was not kept";
  const std::string csv = host::manifestCsv(rows);
  EXPECT_TRUE(has(csv, "\"a, b/\"\"c\"\".wav\",hum,failed,5,\"dewow stopped")) << csv;
  EXPECT_TRUE(has(csv, "plain.wav,hum,done,0,,0.184,,,0.0125,1.2")) << csv;
  const std::vector<host::ManifestRow> back = host::parseManifestCsv(csv);
  ASSERT_EQ(back.size(), 3u);
  for (std::size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(back[i].file, rows[i].file);
    EXPECT_EQ(back[i].status, rows[i].status);
    EXPECT_EQ(back[i].reason, rows[i].reason);
    EXPECT_EQ(back[i].exitCode, rows[i].exitCode);
  }
  EXPECT_DOUBLE_EQ(*back[0].figures.beforeRmsPercent, 0.184);
  EXPECT_FALSE(back[0].figures.afterRmsPercent);
}

TEST(BatchManifest, CsvReadingSkipsLinesThatAreNoRows) {
  const std::string text =
      "file,algorithm,status,exit,reason,before_rms_percent,before_peak_percent,after_rms_percent,after_peak_percent,"
      "seconds\r\n"
      "short,row\r\n"
      ",hum,done,0,,,,,,1.0\r\n"  // no file
      "x.wav,hum,done,zero,,,,,,1.0\r\n"
      "\r\n"
      "good.wav,hum,done,0,,,,,,2.5\n";
  const auto rows = host::parseManifestCsv(text);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].file, "good.wav");
  EXPECT_DOUBLE_EQ(rows[0].seconds, 2.5);
}

TEST(BatchManifest, JsonEscapesQuotesBackslashesAndControlCharacters) {
  std::vector<host::ManifestRow> rows = {row("a\\b \"c\"\t\x01.wav", host::kStatusDone)};
  rows[0].figures.afterRmsPercent = 0.03;
  const std::string json = host::manifestJson(rows);
  EXPECT_TRUE(has(json, "\"file\": \"a\\\\b \\\"c\\\"\\t\\u0001.wav\"")) << json;
  EXPECT_TRUE(has(json, "\"before_rms_percent\": null")) << json;
  EXPECT_TRUE(has(json, "\"after_rms_percent\": 0.03")) << json;
  EXPECT_EQ(host::manifestJson({}), "[\n]\n");
}

TEST(BatchManifest, WritesBothFilesWholeAndReadsTheCsvBack) {
  Folder out("manifest");
  std::string problem;
  ASSERT_TRUE(host::writeManifest(out.path(), {row("x.wav", host::kStatusDone)}, problem)) << problem;
  ASSERT_TRUE(host::writeManifest(out.path(), {row("x.wav", host::kStatusDone), row("y.wav", host::kStatusFailed)},
                                  problem));
  EXPECT_EQ(host::readManifest(out.path()).size(), 2u);
  EXPECT_TRUE(has(readText(out.at("manifest.json")), "\"y.wav\""));
  // Nothing else is left in the folder: the working names were renamed.
  EXPECT_EQ(std::distance(fs::directory_iterator(out.path()), fs::directory_iterator()), 2);
  EXPECT_TRUE(host::readManifest(out.at("none")).empty());
}

TEST(FiguresFile, RoundTripsFiguresAndNulls) {
  host::RunFigures figures;
  figures.beforeRmsPercent = 0.1837;
  figures.beforePeakPercent = 0.3288;
  const std::string text = host::figuresJson(figures);
  EXPECT_EQ(text,
            "{\"before_rms_percent\":0.1837,\"before_peak_percent\":0.3288,\"after_rms_percent\":null,"
            "\"after_peak_percent\":null}\n");
  const auto back = host::parseFiguresJson(text);
  ASSERT_TRUE(back);
  EXPECT_DOUBLE_EQ(*back->beforePeakPercent, 0.3288);
  EXPECT_FALSE(back->afterRmsPercent);
  EXPECT_FALSE(host::parseFiguresJson(""));
  EXPECT_FALSE(host::parseFiguresJson("{\"before_rms_percent\":0.1}"));
  EXPECT_FALSE(host::parseFiguresJson(
      "{\"before_rms_percent\":x,\"before_peak_percent\":1,\"after_rms_percent\":1,\"after_peak_percent\":1}"));
}

TEST(BatchLog, TheReasonIsTheLastErrorLineThatIsNoProgress) {
  const std::string log =
      "algorithm: Hum\n"
      "pelmora-host: measuring the wow of the input 50%\r\n"
      "pelmora-host: the plug-in refused the file\r\n"
      "wow before: 0.1 % RMS\n"
      "pelmora-host: measuring the wow of the output 100%\n";
  EXPECT_EQ(host::lastErrorLine(log), "the plug-in refused the file");
  EXPECT_EQ(host::lastErrorLine("usage: pelmora-host dewow\n"), "");
}

TEST(ArgumentQuoting, QuotesWhatTheChildWouldSplitOtherwise) {
  EXPECT_EQ(host::quotedArgument("plain"), "plain");
  EXPECT_EQ(host::quotedArgument(""), "\"\"");
  EXPECT_EQ(host::quotedArgument("C:\\My Music\\a.wav"), "\"C:\\My Music\\a.wav\"");
  // Backslashes before the closing quote and before a quote are doubled.
  EXPECT_EQ(host::quotedArgument("C:\\My Music\\"), "\"C:\\My Music\\\\\"");
  EXPECT_EQ(host::quotedArgument("say \\\"hi\""), "\"say \\\\\\\"hi\\\"\"");
  EXPECT_EQ(host::quotedArgument("C:\\no\\blanks\\"), "C:\\no\\blanks\\");
  EXPECT_EQ(host::commandLineOf({"dewow", "a b.wav", "--param", "FFT Length=4096"}),
            "dewow \"a b.wav\" --param \"FFT Length=4096\"");
}

// Plays the children: each ends, oldest first, when waited for. A run
// whose input is named in failing ends with 5 and an error line; the others
// write their output and figures as dewow does.
class FakeLauncher : public host::ChildLauncher {
 public:
  std::optional<int> start(const std::vector<std::string>& args, const std::string& logPath,
                           std::string& problem) override {
    const std::string input = args.size() > 1 ? fs::path(args[1]).filename().string() : std::string();
    if (unstartable.count(input)) {
      problem = "no such program";
      return std::nullopt;
    }
    started.push_back(args);
    running.push_back({next, args, logPath});
    mostAtOnce = std::max(mostAtOnce, running.size());
    if (onStart) onStart(args);
    return next++;
  }

  std::pair<int, int> waitAny() override {
    const Child child = running.front();
    running.pop_front();
    const std::string input = fs::path(child.args[1]).filename().string();
    std::ofstream log(child.logPath, std::ios::binary);
    log << "pelmora-host: measuring the wow of the input 100%\n";
    const auto figures = std::find(child.args.begin(), child.args.end(), "--figures");
    if (figures != child.args.end()) {
      host::RunFigures f;
      f.beforeRmsPercent = 0.18;
      if (!failing.count(input)) f.afterRmsPercent = 0.03;
      host::writeFiguresFile(*(figures + 1), f);
    }
    if (failing.count(input)) {
      log << "pelmora-host: dewow stopped at \"Create PVC\": the editor said \"No hum, found\"\n";
      return {child.id, host::kExitRefused};
    }
    std::ofstream(child.args[2], std::ios::binary) << "RIFF";
    if (curveOut(child.args)) std::ofstream(*curveOut(child.args), std::ios::binary) << "0 1.0\n";
    return {child.id, 0};
  }

  static std::optional<std::string> curveOut(const std::vector<std::string>& args) {
    const auto it = std::find(args.begin(), args.end(), "--curve-out");
    if (it == args.end() || it + 1 == args.end()) return std::nullopt;
    return *(it + 1);
  }

  struct Child {
    int id;
    std::vector<std::string> args;
    std::string logPath;
  };
  std::deque<Child> running;
  std::vector<std::vector<std::string>> started;
  std::map<std::string, int> failing;
  std::map<std::string, int> unstartable;
  std::size_t mostAtOnce = 0;
  std::function<void(const std::vector<std::string>&)> onStart;
  int next = 100;
};

std::vector<host::BatchJob> jobsNamed(const std::vector<std::string>& titles) {
  std::vector<host::BatchJob> jobs;
  const std::string log = tempPath("batch-scheduler.log");
  for (std::size_t i = 0; i < titles.size(); ++i)
    jobs.push_back({"job" + std::to_string(i), titles[i], {"dewow", titles[i] + ".wav", tempPath("batch-x.wav")}, log});
  return jobs;
}

TEST(BatchScheduler, RunsAtMostNAtOnceAndFinishesEveryJob) {
  FakeLauncher launcher;
  std::vector<std::size_t> finished;
  const auto jobs = jobsNamed({"a", "b", "c", "d", "e"});
  host::runJobs(jobs, 2, launcher, {nullptr, [&](std::size_t job, const host::JobOutcome& o) {
                                      EXPECT_TRUE(o.started);
                                      finished.push_back(job);
                                    }});
  EXPECT_EQ(launcher.mostAtOnce, 2u);
  EXPECT_EQ(finished, (std::vector<std::size_t>{0, 1, 2, 3, 4}));
  launcher.mostAtOnce = 0;
  host::runJobs(jobs, 8, launcher, {});
  EXPECT_EQ(launcher.mostAtOnce, 5u);
  std::remove(tempPath("batch-x.wav").c_str());
  std::remove(tempPath("batch-scheduler.log").c_str());
}

TEST(BatchScheduler, RecordsFailuresAndJobsThatCannotStart) {
  FakeLauncher launcher;
  launcher.failing["b.wav"] = 1;
  launcher.unstartable["c.wav"] = 1;
  std::map<std::size_t, host::JobOutcome> outcomes;
  host::runJobs(jobsNamed({"a", "b", "c", "d"}), 3, launcher,
                {nullptr, [&](std::size_t job, const host::JobOutcome& o) { outcomes[job] = o; }});
  ASSERT_EQ(outcomes.size(), 4u);
  EXPECT_EQ(outcomes[0].exitCode, 0);
  EXPECT_EQ(outcomes[1].exitCode, host::kExitRefused);
  EXPECT_FALSE(outcomes[2].started);
  EXPECT_EQ(outcomes[2].problem, "no such program");
  EXPECT_EQ(outcomes[3].exitCode, 0);
  std::remove(tempPath("batch-x.wav").c_str());
  std::remove(tempPath("batch-scheduler.log").c_str());
}

TEST(BatchScheduler, NeverRunsTwoJobsWithTheSameTitleAtOnce) {
  FakeLauncher launcher;
  std::vector<std::string> titlesRunning;
  const auto jobs = jobsNamed({"take", "Take", "other", "take"});
  launcher.onStart = [&](const std::vector<std::string>&) {
    std::vector<std::string> titles;
    for (const auto& child : launcher.running) titles.push_back(child.args[1]);
    for (std::size_t i = 0; i < titles.size(); ++i)
      for (std::size_t k = i + 1; k < titles.size(); ++k) EXPECT_FALSE(host::sameTitle(titles[i], titles[k]));
  };
  std::size_t finished = 0;
  host::runJobs(jobs, 4, launcher, {nullptr, [&](std::size_t, const host::JobOutcome&) { ++finished; }});
  EXPECT_EQ(finished, 4u);
  EXPECT_EQ(launcher.mostAtOnce, 2u);  // one "take" and "other"
  std::remove(tempPath("batch-x.wav").c_str());
  std::remove(tempPath("batch-scheduler.log").c_str());
}

struct BatchRun {
  int status;
  std::string out;
  std::string err;
};

BatchRun batch(FakeLauncher& launcher, std::vector<std::string> args) {
  args.insert(args.begin(), "batch");
  std::ostringstream out, err;
  const int status = host::runBatchCommand(args, launcher, out, err);
  return {status, out.str(), err.str()};
}

TEST(BatchCommand, RunsDewowPerFileIntoTheSamePlacesAndWritesTheManifest) {
  Folder in("command-in");
  Folder out("command-out");
  in.write("one.wav");
  in.write("sub/two, '2'.wav");  // Windows takes no quotes in names
  in.write("sub/three.wav");
  FakeLauncher launcher;
  launcher.failing["three.wav"] = 1;
  // The manifest is rewritten as each file ends: by the third start it has
  // the first file's row.
  std::vector<std::size_t> rowsAtStart;
  launcher.onStart = [&](const std::vector<std::string>&) {
    rowsAtStart.push_back(host::readManifest(out.path()).size());
  };
  const BatchRun run = batch(launcher, {in.path(), out.path(), "--algorithm", "hum", "--jobs", "2", "--param",
                                        "Bandwidth=2"});
  EXPECT_EQ(run.status, host::kExitRefused) << run.err;
  ASSERT_EQ(launcher.started.size(), 3u);
  const auto& first = launcher.started[0];
  EXPECT_EQ(first[0], "dewow");
  EXPECT_EQ(fs::path(first[1]), fs::path(in.at("one.wav")));
  EXPECT_EQ(fs::path(first[2]), fs::path(out.at("one.wav")));
  EXPECT_EQ(std::vector<std::string>(first.begin() + 3, first.begin() + 7),
            (std::vector<std::string>{"--algorithm", "hum", "--param", "Bandwidth=2"}));
  EXPECT_EQ(first[7], "--figures");
  EXPECT_EQ(rowsAtStart, (std::vector<std::size_t>{0, 0, 1}));
  EXPECT_TRUE(fs::exists(out.at("sub/two, '2'.wav")));
  EXPECT_TRUE(has(run.err, "batch: 1/3 done, 2 running: ")) << run.err;
  EXPECT_TRUE(has(run.err, "sub/three.wav: failed")) << run.err;

  const auto rows = host::readManifest(out.path());
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].file, "one.wav");
  EXPECT_EQ(rows[0].status, host::kStatusDone);
  EXPECT_DOUBLE_EQ(*rows[0].figures.afterRmsPercent, 0.03);
  EXPECT_EQ(rows[1].file, "sub/three.wav");
  EXPECT_EQ(rows[1].status, host::kStatusFailed);
  EXPECT_EQ(rows[1].exitCode, host::kExitRefused);
  EXPECT_EQ(rows[1].reason, "dewow stopped at \"Create PVC\": the editor said \"No hum, found\"");
  EXPECT_DOUBLE_EQ(*rows[1].figures.beforeRmsPercent, 0.18);
  EXPECT_FALSE(rows[1].figures.afterRmsPercent);
  EXPECT_EQ(rows[2].file, "sub/two, '2'.wav");
  EXPECT_TRUE(has(readText(out.at("manifest.csv")), "\"sub/two, '2'.wav\",hum,done"));
  // The figures files are read and gone; the logs stay.
  EXPECT_FALSE(fs::exists(out.at("batch-logs/one.wav.figures.json")));
  EXPECT_TRUE(fs::exists(out.at("batch-logs/sub/three.wav.log")));

  // A rerun runs only the failed file; --redo runs them all.
  launcher.started.clear();
  launcher.failing.clear();
  launcher.onStart = nullptr;
  const BatchRun again = batch(launcher, {in.path(), out.path(), "--algorithm", "hum"});
  EXPECT_EQ(again.status, host::kExitOk) << again.err;
  ASSERT_EQ(launcher.started.size(), 1u);
  EXPECT_EQ(fs::path(launcher.started[0][1]).filename(), "three.wav");
  EXPECT_TRUE(has(again.out, "1 done, 0 failed, 2 done before")) << again.out;
  EXPECT_EQ(host::readManifest(out.path()).size(), 3u);
  // An output gone since is made again even though its row says done.
  fs::remove(out.at("one.wav"));
  launcher.started.clear();
  batch(launcher, {in.path(), out.path(), "--algorithm", "hum"});
  ASSERT_EQ(launcher.started.size(), 1u);
  EXPECT_EQ(fs::path(launcher.started[0][1]).filename(), "one.wav");
  launcher.started.clear();
  batch(launcher, {in.path(), out.path(), "--algorithm", "hum", "--redo"});
  EXPECT_EQ(launcher.started.size(), 3u);
}

TEST(BatchCommand, CurveFromAWavFileFindsItOnceAndCorrectsEveryFileAlongIt) {
  Folder in("curve-in");
  Folder out("curve-out");
  in.write("a.wav");
  in.write("b/c.wav");
  Folder reference("curve-reference");
  reference.write("ref.wav");
  FakeLauncher launcher;
  const BatchRun run = batch(launcher, {in.path(), out.path(), "--algorithm", "pilot", "--curve-from",
                                        reference.at("ref.wav"), "--jobs", "2"});
  EXPECT_EQ(run.status, host::kExitOk) << run.err;
  ASSERT_EQ(launcher.started.size(), 3u);
  const auto& detect = launcher.started[0];
  EXPECT_EQ(detect[0], "dewow");
  EXPECT_EQ(fs::path(detect[1]), fs::path(reference.at("ref.wav")));
  const auto curve = FakeLauncher::curveOut(detect);
  ASSERT_TRUE(curve);
  EXPECT_EQ(fs::path(*curve), fs::path(out.at("ref.pvc")));
  for (std::size_t i = 1; i < 3; ++i) {
    EXPECT_EQ(launcher.started[i][0], "correct");
    EXPECT_EQ(launcher.started[i][3], "--curve");
    EXPECT_EQ(launcher.started[i][4], *curve);
  }
  EXPECT_EQ(host::readManifest(out.path())[0].algorithm, "curve ref.pvc");

  // A detection that fails stops the batch before any file.
  Folder out2("curve-out2");
  launcher.started.clear();
  launcher.failing["ref.wav"] = 1;
  const BatchRun failed = batch(launcher, {in.path(), out2.path(), "--algorithm", "pilot", "--curve-from",
                                           reference.at("ref.wav")});
  EXPECT_EQ(failed.status, host::kExitRefused);
  EXPECT_EQ(launcher.started.size(), 1u);
  EXPECT_TRUE(has(failed.err, "found no curve on")) << failed.err;
  EXPECT_TRUE(has(failed.err, "No hum, found")) << failed.err;
}

TEST(BatchCommand, CurveFromAPvcFileGoesStraightToCorrect) {
  Folder in("pvc-in");
  Folder out("pvc-out");
  in.write("a.wav");
  in.write("curve.pvc", "0 1.0\n");
  FakeLauncher launcher;
  const BatchRun run = batch(launcher, {in.path(), out.path(), "--curve-from", in.at("curve.pvc"), "--plugin", "P.dll"});
  EXPECT_EQ(run.status, host::kExitOk) << run.err;
  ASSERT_EQ(launcher.started.size(), 1u);
  EXPECT_EQ(launcher.started[0][0], "correct");
  EXPECT_EQ(launcher.started[0][5], "--plugin");
  const BatchRun missing = batch(launcher, {in.path(), out.path(), "--curve-from", in.at("none.pvc")});
  EXPECT_EQ(missing.status, host::kExitInput);
}

TEST(BatchCommand, RefusesOptionsThatCannotHoldForAWholeFolder) {
  FakeLauncher launcher;
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"in"}, "needs IN_DIR and OUT_DIR"},
      {{"in", "out"}, "needs --algorithm"},
      {{"in", "out", "--algorithm", "hum", "--jobs", "0"}, "--jobs needs a number from 1 to 64"},
      {{"in", "out", "--algorithm", "hum", "--jobs", "65"}, "--jobs needs a number"},
      {{"in", "out", "--algorithm", "hum", "--curve-out", "c.pvc"}, "names one file"},
      {{"in", "out", "--algorithm", "hum", "--picture", "p.bmp"}, "names one file"},
      {{"in", "out", "--algorithm", "spectral"}, "needs --band"},
      {{"in", "out", "--algorithm", "hum", "--bogus"}, "unknown option --bogus"},
      {{"in", "out", "--algorithm", "hum", "--curve-from", "x.pvc"}, "takes no --algorithm"},
      {{"in", "out", "--algorithm", "hum", "--curve-from", "x.flac"}, "--curve-from needs"},
  };
  for (const auto& [args, expected] : cases) {
    const BatchRun run = batch(launcher, args);
    EXPECT_EQ(run.status, host::kExitUsage) << args.back();
    EXPECT_TRUE(has(run.err, expected)) << run.err;
  }
  EXPECT_TRUE(launcher.started.empty());
  Folder same("same");
  same.write("a.wav");
  const BatchRun onItself = batch(launcher, {same.path(), same.path() + "/.", "--algorithm", "hum"});
  EXPECT_EQ(onItself.status, host::kExitUsage);
  EXPECT_TRUE(has(onItself.err, "another folder than IN_DIR")) << onItself.err;
  Folder empty("empty-in");
  Folder out("empty-out");
  EXPECT_EQ(batch(launcher, {empty.path(), out.path(), "--algorithm", "hum"}).status, host::kExitInput);
}

}  // namespace
