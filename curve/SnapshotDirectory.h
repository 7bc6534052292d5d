// Where the undo snapshots go: the plug-in's fixed folder on Windows where it
// can be created and written, otherwise a TempPVC folder in the user's
// temporary directory (on POSIX the fixed path would only make a folder with
// backslashes in its name). The result ends with a path separator.
#pragma once

#include <string>

inline constexpr const char* kFixedSnapshotDirectory = "C:\\Program Files\\Steinberg\\VstPlugins\\TempPVC";

std::string makeSnapshotDirectory();
// The curve the plug-in takes for a newly opened file with this title: the
// file named after it in the snapshot folder (given with its separator).
inline std::string handoffCurvePath(const std::string& folder, const std::string& title) {
  return folder + title + ".pvc";
}
// Creates a backslash path folder by folder, as the fixed folder is made.
void createFixedDirectory(const std::string& path);
// Creates one folder unless it is there already. True when it is there.
bool ensureDirectory(const std::string& path);
// True when a file can be created and removed in the folder (given with its separator).
bool directoryWritable(const std::string& folder);
