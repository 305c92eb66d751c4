// Differences between two parameter blocks, parameter by parameter, as lines to show.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "param_table.h"

namespace vorlane::cli {

struct ParamChange {
  ParamId id;
  std::uint8_t before = 0;
  std::uint8_t after = 0;
};

// Every parameter whose byte differs, in block order.
std::vector<ParamChange> BlockChanges(const ParamBlock& before, const ParamBlock& after);

// "x.deadzone-start: 0.5 -> 1.5"; a value outside its box is marked so.
std::string ChangeLine(const ParamChange& change);

}  // namespace vorlane::cli
