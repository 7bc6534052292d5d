// What a batch did with each file, kept in its output folder as
// manifest.csv and manifest.json, and read back by a rerun to skip what is
// done.
#pragma once

#include <string>
#include <vector>

#include "host/commands/FiguresFile.h"

namespace host {

inline constexpr const char* kManifestCsv = "manifest.csv";
inline constexpr const char* kManifestJson = "manifest.json";
inline constexpr const char* kStatusDone = "done";
inline constexpr const char* kStatusFailed = "failed";

struct ManifestRow {
  std::string file;       // relative to the input folder, '/' between the parts
  std::string algorithm;  // or "curve NAME.pvc"
  std::string status;     // kStatusDone or kStatusFailed
  int exitCode = 0;
  std::string reason;  // the run's last error line; empty when done
  RunFigures figures;
  double seconds = 0.0;
};

std::string manifestCsv(const std::vector<ManifestRow>& rows);
std::string manifestJson(const std::vector<ManifestRow>& rows);
// The rows of a manifest.csv; lines that are not rows are left out.
std::vector<ManifestRow> parseManifestCsv(const std::string& text);

// Writes both files into folder, each under a working name first and then
// renamed, so that either file is always whole. False with a message.
bool writeManifest(const std::string& folder, const std::vector<ManifestRow>& rows, std::string& problem);
// The rows of folder's manifest.csv; none when there is none.
std::vector<ManifestRow> readManifest(const std::string& folder);

}  // namespace host
