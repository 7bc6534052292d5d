#include "host/batch/BatchManifest.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "host/audio/DiskFile.h"
#include "host/audio/WavFileOutput.h"
#include "host/batch/BatchFiles.h"
#include "host/commands/CurveHandoff.h"
#include "host/commands/NumberText.h"

namespace host {

namespace {

constexpr const char* kCsvHeader =
    "file,algorithm,status,exit,reason,before_rms_percent,before_peak_percent,after_rms_percent,after_peak_percent,"
    "seconds";
constexpr std::size_t kCsvColumns = 10;

std::string csvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + '"';
}

std::string numberText(double value, const char* format) {
  char text[40];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

std::string optionalText(const std::optional<double>& value, const char* none) {
  return value && std::isfinite(*value) ? numberText(*value, "%.6g") : none;
}

std::string jsonString(const std::string& text) {
  std::string quoted = "\"";
  for (char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '"') quoted += "\\\"";
    else if (c == '\\') quoted += "\\\\";
    else if (c == '\n') quoted += "\\n";
    else if (c == '\r') quoted += "\\r";
    else if (c == '\t') quoted += "\\t";
    else if (u < 0x20 || u == 0x7f) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(u));
      quoted += escaped;
    }
    else quoted += c;
  }
  return quoted + '"';
}

// A CSV text's records, each a list of fields; quoted fields may hold
// commas, doubled quotes and line breaks.
std::vector<std::vector<std::string>> csvRecords(const std::string& text) {
  std::vector<std::vector<std::string>> records;
  std::vector<std::string> record;
  std::string field;
  bool quoted = false;
  bool any = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted) {
      if (c != '"') field += c;
      else if (i + 1 < text.size() && text[i + 1] == '"') field += text[++i];
      else quoted = false;
      continue;
    }
    if (c == '"') {
      quoted = true;
      any = true;
    } else if (c == ',') {
      record.push_back(std::move(field));
      field.clear();
      any = true;
    } else if (c == '\n' || c == '\r') {
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      if (any || !field.empty()) {
        record.push_back(std::move(field));
        records.push_back(std::move(record));
      }
      record.clear();
      field.clear();
      any = false;
    } else {
      field += c;
      any = true;
    }
  }
  if (any || !field.empty()) {
    record.push_back(std::move(field));
    records.push_back(std::move(record));
  }
  return records;
}

std::optional<double> optionalNumber(const std::string& text) {
  double value = 0.0;
  return parseNumber(text, value) ? std::optional<double>(value) : std::nullopt;
}

bool writeWhole(const std::string& path, const std::string& text, std::string& problem) {
  const std::string working = temporaryNameBeside(path, "manifest");
  bool written = false;
  {
    DiskFile file(working, DiskFile::Mode::Create);
    written = file.isOpen() && file.writeAt(0, text.data(), text.size()) && file.close();
  }
  if (written && replaceFile(working, path)) return true;
  removeFile(working);
  problem = "cannot write the manifest " + path;
  return false;
}

}  // namespace

std::string manifestCsv(const std::vector<ManifestRow>& rows) {
  std::string text = std::string(kCsvHeader) + "\r\n";
  for (const ManifestRow& row : rows) {
    text += csvField(row.file) + ',' + csvField(row.algorithm) + ',' + csvField(row.status) + ',' +
            std::to_string(row.exitCode) + ',' + csvField(row.reason) + ',' +
            optionalText(row.figures.beforeRmsPercent, "") + ',' + optionalText(row.figures.beforePeakPercent, "") +
            ',' + optionalText(row.figures.afterRmsPercent, "") + ',' +
            optionalText(row.figures.afterPeakPercent, "") + ',' + numberText(row.seconds, "%.1f") + "\r\n";
  }
  return text;
}

std::string manifestJson(const std::vector<ManifestRow>& rows) {
  std::string text = "[\n";
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const ManifestRow& row = rows[i];
    text += "  {\"file\": " + jsonString(row.file) + ", \"algorithm\": " + jsonString(row.algorithm) +
            ", \"status\": " + jsonString(row.status) + ", \"exit\": " + std::to_string(row.exitCode) +
            ", \"reason\": " + jsonString(row.reason) +
            ", \"before_rms_percent\": " + optionalText(row.figures.beforeRmsPercent, "null") +
            ", \"before_peak_percent\": " + optionalText(row.figures.beforePeakPercent, "null") +
            ", \"after_rms_percent\": " + optionalText(row.figures.afterRmsPercent, "null") +
            ", \"after_peak_percent\": " + optionalText(row.figures.afterPeakPercent, "null") +
            ", \"seconds\": " + numberText(row.seconds, "%.1f") + "}" + (i + 1 < rows.size() ? ",\n" : "\n");
  }
  return text + "]\n";
}

std::vector<ManifestRow> parseManifestCsv(const std::string& text) {
  std::vector<ManifestRow> rows;
  const auto records = csvRecords(text);
  for (std::size_t i = 0; i < records.size(); ++i) {
    const auto& r = records[i];
    if (r.size() != kCsvColumns || (i == 0 && r[0] == "file")) continue;
    ManifestRow row;
    double exitCode = 0.0;
    if (r[0].empty() || !parseNumber(r[3], exitCode) || !parseNumber(r[9], row.seconds)) continue;
    row.file = r[0];
    row.algorithm = r[1];
    row.status = r[2];
    row.exitCode = static_cast<int>(exitCode);
    row.reason = r[4];
    row.figures.beforeRmsPercent = optionalNumber(r[5]);
    row.figures.beforePeakPercent = optionalNumber(r[6]);
    row.figures.afterRmsPercent = optionalNumber(r[7]);
    row.figures.afterPeakPercent = optionalNumber(r[8]);
    rows.push_back(std::move(row));
  }
  return rows;
}

bool writeManifest(const std::string& folder, const std::vector<ManifestRow>& rows, std::string& problem) {
  return writeWhole(underFolder(folder, kManifestJson), manifestJson(rows), problem) &&
         writeWhole(underFolder(folder, kManifestCsv), manifestCsv(rows), problem);
}

std::vector<ManifestRow> readManifest(const std::string& folder) {
  std::string text;
  if (!readTextFile(underFolder(folder, kManifestCsv), text)) return {};
  return parseManifestCsv(text);
}

}  // namespace host
