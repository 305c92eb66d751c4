#include "path_appearances.h"

#include <algorithm>

namespace vorlane {

void PathAppearances::noteRemoved(const std::string& path) { ++removals_[path]; }

void PathAppearances::keepOnly(const std::vector<std::string>& paths) {
  std::erase_if(removals_, [&paths](const auto& entry) {
    return std::find(paths.begin(), paths.end(), entry.first) == paths.end();
  });
}

unsigned PathAppearances::removalsOf(const std::string& path) const {
  const auto it = removals_.find(path);
  return it == removals_.end() ? 0 : it->second;
}

}  // namespace vorlane
