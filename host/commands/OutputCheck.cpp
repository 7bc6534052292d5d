#include "host/commands/OutputCheck.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <filesystem>
#include <string_view>
#include <system_error>

#include "host/audio/DiskFile.h"
#include "host/audio/WavFileOutput.h"

namespace host {

namespace fs = std::filesystem;

namespace {

std::string upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

// Windows takes these names as devices, with any extension and with
// trailing blanks or dots.
bool isDeviceName(const std::string& fileName) {
  std::string stem = fileName.substr(0, fileName.find('.'));
  while (!stem.empty() && (stem.back() == ' ' || stem.back() == '.')) stem.pop_back();
  stem = upper(stem);
  static constexpr std::array<std::string_view, 6> kNames = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
  if (std::find(kNames.begin(), kNames.end(), stem) != kNames.end()) return true;
  return stem.size() == 4 && (stem.rfind("COM", 0) == 0 || stem.rfind("LPT", 0) == 0) && stem[3] >= '0' &&
         stem[3] <= '9';
}

std::string fileNameOf(const std::string& path) {
  const std::size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

std::string folderOf(const std::string& path) {
  const std::size_t slash = path.find_last_of("/\\");
  if (slash == std::string::npos) return ".";
  if (slash == 0) return path.substr(0, 1);
  return path.substr(0, slash);
}

std::string whyNotOutput(const std::string& input, const std::string& output) {
  const std::string name = fileNameOf(output);
  if (name.empty()) return "the output name names no file";
  if (isDeviceName(name)) return "\"" + name + "\" is the name of a device under Windows, not of a file";
  const fs::path target = pathFromUtf8(output);
  const fs::path folder = pathFromUtf8(folderOf(output));
  std::error_code error;
  const fs::file_status status = fs::status(target, error);
  if (fs::is_directory(status)) return "it is a folder";
  if (fs::exists(status)) {
    if (fs::equivalent(pathFromUtf8(input), target, error))
      return "it is the input file; write the corrected file under another name";
    if (!fs::is_regular_file(status)) return "it is not a plain file";
    if ((status.permissions() & fs::perms::owner_write) == fs::perms::none) return "it is read-only";
  }
  const fs::file_status folderStatus = fs::status(folder, error);
  if (!fs::exists(folderStatus)) return "the folder " + folderOf(output) + " does not exist";
  if (!fs::is_directory(folderStatus)) return folderOf(output) + " is not a folder";
  // The new file is written beside its target first: that must be possible.
  const std::string probe = temporaryNameBeside(output, "probe");
  DiskFile file(probe, DiskFile::Mode::Create);
  if (!file.isOpen()) return "no file can be created in the folder " + folderOf(output);
  file.close();
  removeFile(probe);
  return {};
}

}  // namespace host
