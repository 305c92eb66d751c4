// Reading and writing parameter files on disk.
#pragma once

#include <string>

namespace vorlane::cli {

// The whole file. Throws CliError (BadInput) when it cannot be read or is far larger
// than a parameter file.
std::string ReadTextFile(const std::string& path);

// Writes the text to a new file, or replaces an existing one only when replace is
// set. The text goes to a temporary file beside it first, which then takes the name,
// so a failed write never leaves a cut file under that name. Throws CliError
// (BadInput) on any failure.
void WriteTextFile(const std::string& path, const std::string& text, bool replace);

}  // namespace vorlane::cli
