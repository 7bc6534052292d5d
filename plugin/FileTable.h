// The host's files as the plug-in knows them: the ids of the current list and,
// per known id, the undo step to return to when the file is taken up again.
#pragma once

#include <cstdint>
#include <vector>

class FileTable {
 public:
  struct Entry {
    std::int32_t uniqueId = 0;
    std::int32_t step = 0;
  };

  // Replaces the id list by n zeroed entries unless it already has n.
  void setFileCount(int n);
  // Sets id i of the list; an index outside the list is ignored.
  void setFileId(int i, std::int32_t uniqueId);
  // Rebuilds the id-to-step table for the current list, keeping the steps of
  // the ids it already knew.
  void rebuildFileSteps();
  // The step stored with the id, 0 if the id is not known.
  std::int32_t stepOfFile(std::int32_t uniqueId) const;
  // Stores the step (negative as 0) with the first entry of that id.
  void setStepOfFile(std::int32_t uniqueId, std::int32_t step);
  // Empties both tables.
  void forget();
  // Every entry's step to 0.
  void zeroSteps() {
    for (Entry& entry : fileSteps_) entry.step = 0;
  }

  int fileIdCapacity() const { return static_cast<int>(fileIds_.size()); }
  int knownFileCount() const { return static_cast<int>(fileSteps_.size()); }
  const std::vector<std::int32_t>& fileIds() const { return fileIds_; }
  const std::vector<Entry>& fileSteps() const { return fileSteps_; }

 private:
  std::vector<std::int32_t> fileIds_;
  std::vector<Entry> fileSteps_;
};
