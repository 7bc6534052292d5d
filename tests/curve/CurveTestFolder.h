// A fresh folder per test, removed afterwards, so snapshot sweeps in one
// test never meet another test's (or another program's) files.
#pragma once

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

class CurveTestFolder {
 public:
  CurveTestFolder() {
    std::random_device seed;
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    path_ = std::filesystem::temp_directory_path() /
            ("pelmora-curve-" + std::to_string(stamp) + "-" + std::to_string(seed()));
    std::filesystem::create_directories(path_);
  }
  ~CurveTestFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  CurveTestFolder(const CurveTestFolder&) = delete;
  CurveTestFolder& operator=(const CurveTestFolder&) = delete;

  // The folder with its trailing separator, as the curve keeps it.
  std::string dir() const { return (path_ / "").string(); }
  std::string file(const std::string& name) const { return (path_ / name).string(); }

  void write(const std::string& name, const std::string& bytes) const {
    std::ofstream out(file(name), std::ios::binary);
    out << bytes;
  }
  std::string read(const std::string& name) const {
    std::ifstream in(file(name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  bool exists(const std::string& name) const { return std::filesystem::exists(path_ / name); }

 private:
  std::filesystem::path path_;
};
