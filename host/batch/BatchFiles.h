// The WAV files of a folder tree, named by their paths relative to it, and
// the same paths under another folder.
#pragma once

#include <string>
#include <vector>

namespace host {

// Every file under folder, at any depth, whose name ends in .wav (any case),
// as relative paths with '/' between the parts, sorted. Files under skip
// (the output folder, when it lies inside) are left out. False with a
// message when folder cannot be read.
bool findWavFiles(const std::string& folder, const std::string& skip, std::vector<std::string>& found,
                  std::string& problem);

// folder joined with a relative path, in the system's own separators.
std::string underFolder(const std::string& folder, const std::string& relative);

// Makes the folders a file is to go in. False with a message.
bool makeFoldersFor(const std::string& file, std::string& problem);

bool fileExists(const std::string& path);

}  // namespace host
