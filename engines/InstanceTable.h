// Engine instances by 32-bit id. Callers hold ids, never pointers, so a
// stale or forged handle is refused instead of dereferenced, and the same
// code builds where pointers are 64 bits wide.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "engines/HumEngine.h"

namespace humengine {

class InstanceTable {
 public:
  // A new id for engine, never 0 and never one that is in use.
  std::uint32_t add(std::shared_ptr<HumEngine> engine);
  // The engine of id, or null. The caller's copy keeps it alive even if
  // another thread removes it meanwhile.
  std::shared_ptr<HumEngine> find(std::uint32_t id) const;
  bool remove(std::uint32_t id);
  std::size_t size() const;

 private:
  mutable std::mutex mutex_;
  std::unordered_map<std::uint32_t, std::shared_ptr<HumEngine>> engines_;
  std::uint32_t next_ = 1;
};

}  // namespace humengine
