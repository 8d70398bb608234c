#include "core/ChainedTags.h"

namespace vandrel {

ChainedTags::Tags ChainedTags::current(const Tags& reported, bool appended) {
  Tags current;
  for (const auto& [key, value] : reported) {
    std::string& shown = current[key];
    shown = value;
    const auto before = reported_.find(key);
    if (!appended || before == reported_.end()) continue;
    const std::string& earlier = before->second;
    if (value == earlier) {
      // This song left the tag as it was: the song that set it still counts.
      shown = current_[key];
    } else if (value.size() > earlier.size() && value.starts_with(earlier) && value[earlier.size()] == ';') {
      shown = value.substr(earlier.size() + 1);
    }
  }
  reported_ = reported;
  current_ = current;
  return current;
}

void ChainedTags::reset() {
  reported_.clear();
  current_.clear();
}

}  // namespace vandrel
