#include "param_file.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <map>
#include <optional>

#include "cli_error.h"
#include "param_table.h"

namespace vorlane::cli {

namespace {

// Numbers are read at long double precision, as the window reads what is typed.
using ReadJson = nlohmann::basic_json<std::map, std::vector, std::string, bool, std::int64_t,
                                      std::uint64_t, long double>;

std::string HexBlock(const ParamBlock& block) {
  std::string text;
  for (const std::uint8_t byte : block) {
    char hex[3];
    std::snprintf(hex, sizeof hex, "%02x", static_cast<unsigned>(byte));
    text += hex;
  }
  return text;
}

std::optional<ParamBlock> BlockOfHex(std::string_view text) {
  ParamBlock block{};
  if (text.size() != 2 * block.size()) return std::nullopt;
  const auto nibble = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  for (std::size_t i = 0; i < block.size(); ++i) {
    const int high = nibble(text[2 * i]);
    const int low = nibble(text[2 * i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    block[i] = static_cast<std::uint8_t>(high << 4 | low);
  }
  return block;
}

const ReadJson& Field(const ReadJson& object, const char* name) {
  const auto found = object.find(name);
  if (found == object.end()) throw BadInput(std::string("the file has no \"") + name + "\"");
  return *found;
}

std::string TextField(const ReadJson& object, const char* name) {
  const ReadJson& field = Field(object, name);
  if (!field.is_string()) throw BadInput(std::string("\"") + name + "\" is no text");
  return field.get<std::string>();
}

ParamBlock ReadParameters(const ReadJson& parameters) {
  if (!parameters.is_object()) throw BadInput("\"parameters\" is no object");
  for (const auto& [axisName, kinds] : parameters.items()) {
    if (!AxisOfName(axisName)) {
      throw BadInput("unknown axis \"" + axisName + "\" in \"parameters\" (axes: " +
                     AxisNameList() + ")");
    }
    if (!kinds.is_object()) throw BadInput("\"parameters\".\"" + axisName + "\" is no object");
    for (const auto& [kindName, value] : kinds.items()) {
      if (!KindOfName(kindName)) {
        throw BadInput("unknown kind \"" + kindName + "\" for axis " + axisName + " (kinds: " +
                       KindNameList() + ")");
      }
    }
  }
  ParamBlock block{};
  for (std::size_t i = 0; i < block.size(); ++i) {
    const ParamId id = ParamAt(i);
    const std::string name = ParamName(id);
    const auto axis = parameters.find(std::string(kAxisNames[static_cast<std::size_t>(id.axis)]));
    if (axis == parameters.end()) throw BadInput("the file has no values for axis " + name.substr(0, name.find('.')));
    const auto value = axis->find(std::string(KindName(id.kind)));
    if (value == axis->end()) throw BadInput("the file has no value for " + name);
    if (!value->is_number()) throw BadInput(name + " is no number");
    const long double number = value->get<long double>();
    if (!InBox(id, number)) {
      char shown[32];
      std::snprintf(shown, sizeof shown, "%.10g", static_cast<double>(number));
      throw BadInput(name + " is " + shown + ", outside its range " + FormatRange(id));
    }
    block[i] = ByteOfValue(id, number);
  }
  return block;
}

}  // namespace

std::string ParamFileText(const ParamRecord& record) {
  nlohmann::ordered_json parameters = nlohmann::ordered_json::object();
  const ParamBlock shown = WindowBlock(record.raw);
  for (int axis = 0; axis < kAxisCount; ++axis) {
    nlohmann::ordered_json kinds = nlohmann::ordered_json::object();
    for (const ParamKind kind : kParamKinds) {
      const std::uint8_t byte = shown[ParamBlockIndex(axis, kind)];
      // Tenths as the nearest double, which prints as the tenth itself.
      if (kind == ParamKind::Resolution) {
        kinds[std::string(KindName(kind))] = byte;
      } else {
        kinds[std::string(KindName(kind))] = byte / 10.0;
      }
    }
    parameters[std::string(kAxisNames[static_cast<std::size_t>(axis)])] = kinds;
  }
  nlohmann::ordered_json document = {
      {"format", kFileFormat},
      {"version", kFileVersion},
      {"program", record.program},
      {"stick", record.stick},
      {"date", record.date},
      {"calibrated", record.calibrated},
      {"parameters", parameters},
      {"raw-block", HexBlock(record.raw)},
  };
  // Invalid UTF-8 in the stick's name is replaced rather than refused.
  return document.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

ParamFile ParseParamFile(std::string_view text) {
  ReadJson document;
  try {
    document = ReadJson::parse(text);
  } catch (const ReadJson::parse_error& e) {
    throw BadInput("not a JSON document (error at byte " + std::to_string(e.byte) + ")");
  }
  if (!document.is_object() || !document.contains("format") ||
      document["format"] != std::string(kFileFormat)) {
    throw BadInput("not a Vorlane parameter file (no \"format\": \"" + std::string(kFileFormat) + "\")");
  }
  const ReadJson& version = Field(document, "version");
  if (!version.is_number_integer() || version.get<long long>() != kFileVersion) {
    throw BadInput("a parameter file of version " + version.dump() + "; this program reads version " +
                   std::to_string(kFileVersion));
  }
  ParamFile file;
  file.record.program = TextField(document, "program");
  file.record.stick = TextField(document, "stick");
  file.record.date = TextField(document, "date");
  const ReadJson& calibrated = Field(document, "calibrated");
  if (!calibrated.is_boolean()) throw BadInput("\"calibrated\" is neither true nor false");
  file.record.calibrated = calibrated.get<bool>();
  const std::optional<ParamBlock> raw = BlockOfHex(TextField(document, "raw-block"));
  if (!raw) throw BadInput("\"raw-block\" is not 48 hexadecimal digits");
  file.record.raw = *raw;
  file.block = ReadParameters(Field(document, "parameters"));
  return file;
}

}  // namespace vorlane::cli
