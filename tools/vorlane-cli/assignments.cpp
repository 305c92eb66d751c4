#include "assignments.h"

#include <algorithm>
#include <charconv>

#include "cli_error.h"

namespace vorlane::cli {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

ParamId ParseParamName(std::string_view name, const std::string& argument) {
  const std::size_t dot = name.find('.');
  const std::string_view axisName = name.substr(0, dot);
  const std::optional<int> axis = AxisOfName(axisName);
  if (!axis) {
    throw BadInput("unknown axis '" + std::string(axisName) + "' in '" + argument +
                   "' (axes: " + AxisNameList() + ")");
  }
  const std::string_view kindName = dot == std::string_view::npos ? "" : name.substr(dot + 1);
  const std::optional<ParamKind> kind = KindOfName(kindName);
  if (!kind) {
    throw BadInput("unknown kind '" + std::string(kindName) + "' in '" + argument +
                   "' (kinds: " + KindNameList() + ")");
  }
  return {*axis, *kind};
}

}  // namespace

std::optional<long double> ParseDecimal(std::string_view text) {
  std::string_view number = text;
  bool negative = false;
  if (!number.empty() && (number.front() == '+' || number.front() == '-')) {
    negative = number.front() == '-';
    number.remove_prefix(1);
  }
  if (std::ranges::none_of(number, IsDigit) ||
      !std::ranges::all_of(number, [](char c) { return IsDigit(c) || c == '.'; }) ||
      std::ranges::count(number, '.') > 1) {
    return std::nullopt;
  }
  long double value = 0;
  const auto [end, error] =
      std::from_chars(number.data(), number.data() + number.size(), value, std::chars_format::fixed);
  if (error != std::errc() || end != number.data() + number.size()) return std::nullopt;
  return negative ? -value : value;
}

std::vector<Assignment> ParseAssignments(const std::vector<std::string>& arguments) {
  std::vector<Assignment> assignments;
  for (const std::string& argument : arguments) {
    const std::size_t equals = argument.find('=');
    if (equals == std::string::npos) {
      throw BadInput("'" + argument + "' is no AXIS.KIND=VALUE (for example x.deadzone-start=1.5)");
    }
    const ParamId id = ParseParamName(std::string_view(argument).substr(0, equals), argument);
    const std::string_view valueText = std::string_view(argument).substr(equals + 1);
    const std::optional<long double> value = ParseDecimal(valueText);
    if (!value) {
      throw BadInput("'" + std::string(valueText) + "' in '" + argument + "' is no decimal number");
    }
    if (!InBox(id, *value)) {
      throw BadInput("'" + argument + "': " + ParamName(id) + " takes values from " +
                     FormatRange(id));
    }
    if (std::ranges::any_of(assignments, [&](const Assignment& a) { return a.id == id; })) {
      throw BadInput(ParamName(id) + " is given more than once");
    }
    assignments.push_back({id, *value});
  }
  return assignments;
}

ParamBlock Assign(ParamBlock block, const std::vector<Assignment>& assignments) {
  for (const Assignment& a : assignments) {
    block[ParamBlockIndex(a.id.axis, a.id.kind)] = ByteOfValue(a.id, a.value);
  }
  return block;
}

}  // namespace vorlane::cli
