// The arguments of "set": AXIS.KIND=VALUE, each naming one parameter and its new value.
#pragma once

#include <string_view>
#include <vector>

#include "param_table.h"

namespace vorlane::cli {

// A decimal number as the window's boxes take it: an optional sign, digits, at most
// one '.' among them (".5" and "5." count), read at long double precision. Nothing
// for any other text (exponents, "inf", "nan", hexadecimal, blanks).
std::optional<long double> ParseDecimal(std::string_view text);

struct Assignment {
  ParamId id;
  long double value = 0;  // inside the box's range
};

// Throws CliError (BadInput) with one line naming the faulty argument: no '=', an
// unknown axis or kind, a value that is no number or lies outside the box's range,
// or a parameter given twice.
std::vector<Assignment> ParseAssignments(const std::vector<std::string>& arguments);

// The block with the assigned values put in as Save converts them.
ParamBlock Assign(ParamBlock block, const std::vector<Assignment>& assignments);

}  // namespace vorlane::cli
