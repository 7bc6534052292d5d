#include "plugin/FileTable.h"

#include <cstddef>
#include <unordered_map>

void FileTable::setFileCount(int n) {
  if (n < 0) n = 0;
  if (n == fileIdCapacity()) return;
  fileIds_.assign(static_cast<std::size_t>(n), 0);
}

void FileTable::setFileId(int i, std::int32_t uniqueId) {
  if (i >= 0 && i < fileIdCapacity()) fileIds_[static_cast<std::size_t>(i)] = uniqueId;
}

void FileTable::rebuildFileSteps() {
  std::vector<Entry> old = std::move(fileSteps_);
  std::vector<Entry> fresh(fileIds_.size());
  if (old.empty()) {
    for (std::size_t i = 0; i < fileIds_.size(); ++i) fresh[i].uniqueId = fileIds_[i];
  } else {
    // First entry of each id in the old table, as a linear search would find it.
    std::unordered_map<std::int32_t, std::size_t> firstOf;
    for (std::size_t j = 0; j < old.size(); ++j) firstOf.try_emplace(old[j].uniqueId, j);
    for (std::size_t i = 0; i < fileIds_.size(); ++i) {
      auto found = firstOf.find(fileIds_[i]);
      if (found != firstOf.end()) fresh[i] = old[found->second];
    }
    // Only one new file is expected at a time: the first unmatched entry takes its id.
    if (old.size() < fresh.size()) {
      for (std::size_t i = 0; i < fresh.size(); ++i) {
        if (fresh[i].uniqueId != fileIds_[i]) {
          fresh[i] = Entry{fileIds_[i], 0};
          break;
        }
      }
    }
  }
  fileSteps_ = std::move(fresh);
}

std::int32_t FileTable::stepOfFile(std::int32_t uniqueId) const {
  for (const Entry& entry : fileSteps_)
    if (entry.uniqueId == uniqueId) return entry.step;
  return 0;
}

void FileTable::setStepOfFile(std::int32_t uniqueId, std::int32_t step) {
  for (Entry& entry : fileSteps_) {
    if (entry.uniqueId == uniqueId) {
      entry.step = step < 0 ? 0 : step;
      return;
    }
  }
}

void FileTable::forget() {
  fileIds_.clear();
  fileSteps_.clear();
}
