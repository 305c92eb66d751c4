#include "block_diff.h"

namespace vorlane::cli {

namespace {

std::string Shown(ParamId id, std::uint8_t byte) {
  std::string text = FormatByte(id.kind, byte);
  if (!ByteInBox(id, byte)) text += " (outside " + FormatRange(id) + ")";
  return text;
}

}  // namespace

std::vector<ParamChange> BlockChanges(const ParamBlock& before, const ParamBlock& after) {
  std::vector<ParamChange> changes;
  for (std::size_t i = 0; i < before.size(); ++i) {
    if (before[i] != after[i]) changes.push_back({ParamAt(i), before[i], after[i]});
  }
  return changes;
}

std::string ChangeLine(const ParamChange& change) {
  return ParamName(change.id) + ": " + Shown(change.id, change.before) + " -> " +
         Shown(change.id, change.after);
}

}  // namespace vorlane::cli
