#include "engines/InstanceTable.h"

#include <utility>

namespace humengine {

std::uint32_t InstanceTable::add(std::shared_ptr<HumEngine> engine) {
  std::lock_guard lock(mutex_);
  // Ids are not reused until the counter wraps, so a destroyed handle stays
  // unknown for as long as any caller could plausibly still hold it.
  while (next_ == 0 || engines_.count(next_) != 0) ++next_;
  std::uint32_t id = next_++;
  engines_.emplace(id, std::move(engine));
  return id;
}

std::shared_ptr<HumEngine> InstanceTable::find(std::uint32_t id) const {
  std::lock_guard lock(mutex_);
  auto it = engines_.find(id);
  return it == engines_.end() ? nullptr : it->second;
}

bool InstanceTable::remove(std::uint32_t id) {
  std::lock_guard lock(mutex_);
  return engines_.erase(id) != 0;
}

std::size_t InstanceTable::size() const {
  std::lock_guard lock(mutex_);
  return engines_.size();
}

}  // namespace humengine
