#include "host/batch/BatchFiles.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

#include "host/audio/DiskFile.h"

namespace host {

namespace fs = std::filesystem;

namespace {

bool isWavName(const fs::path& path) {
  std::string extension = utf8FromPath(path.extension());
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return extension == ".wav";
}

// The whole, normal form of a folder, for telling whether one lies in another.
fs::path wholeFolder(const std::string& folder) {
  std::error_code error;
  fs::path whole = fs::weakly_canonical(pathFromUtf8(folder), error);
  if (error) whole = fs::absolute(pathFromUtf8(folder), error);
  return whole.lexically_normal();
}

bool within(const fs::path& path, const fs::path& folder) {
  auto p = path.begin();
  for (auto f = folder.begin(); f != folder.end(); ++f, ++p) {
    if (f->empty()) continue;  // a trailing separator
    if (p == path.end() || *p != *f) return false;
  }
  return true;
}

}  // namespace

bool findWavFiles(const std::string& folder, const std::string& skip, std::vector<std::string>& found,
                  std::string& problem) {
  found.clear();
  const fs::path root = wholeFolder(folder);
  std::error_code error;
  if (!fs::is_directory(root, error)) {
    problem = folder + " is not a folder";
    return false;
  }
  const fs::path skipped = skip.empty() ? fs::path() : wholeFolder(skip);
  const bool skipInside = !skipped.empty() && skipped != root && within(skipped, root);
  fs::recursive_directory_iterator it(root, fs::directory_options::skip_permission_denied, error);
  if (error) {
    problem = "cannot read the folder " + folder + ": " + error.message();
    return false;
  }
  for (const fs::recursive_directory_iterator end; it != end; it.increment(error)) {
    if (error) {
      problem = "cannot read the folder " + folder + ": " + error.message();
      return false;
    }
    if (skipInside && it->is_directory(error) && it->path().lexically_normal() == skipped) {
      it.disable_recursion_pending();
      continue;
    }
    if (!it->is_regular_file(error) || !isWavName(it->path())) continue;
    const std::u8string relative = it->path().lexically_relative(root).generic_u8string();
    found.emplace_back(relative.begin(), relative.end());
  }
  std::sort(found.begin(), found.end());
  return true;
}

std::string underFolder(const std::string& folder, const std::string& relative) {
  fs::path path = pathFromUtf8(folder) / pathFromUtf8(relative);
  path.make_preferred();
  return utf8FromPath(path);
}

bool makeFoldersFor(const std::string& file, std::string& problem) {
  const fs::path folder = pathFromUtf8(file).parent_path();
  if (folder.empty()) return true;
  std::error_code error;
  fs::create_directories(folder, error);
  if (fs::is_directory(folder, error)) return true;
  problem = "cannot make the folder " + utf8FromPath(folder);
  return false;
}

bool fileExists(const std::string& path) {
  std::error_code error;
  return fs::is_regular_file(pathFromUtf8(path), error);
}

}  // namespace host
