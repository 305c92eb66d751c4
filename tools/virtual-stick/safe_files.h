// The files the tool writes at paths given on its command line, the log and the ready
// file. It usually runs as root, so neither is written through a symbolic link, over a
// file of another user or over a file that has other hard links: such a path is
// refused with an error that says why.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace virtualstick {

// Opens path for writing from its start: creates it (mode 0644 less the umask) or
// empties a regular file of this user's own; a character device such as a terminal
// or /dev/null is written as it is. what names the file in errors ("log").
// Throws std::system_error.
std::FILE* OpenOwnFileForWriting(const std::string& path, std::string_view what);

// Puts contents at path whole: writes them to a new temporary file in the same
// directory, which then takes path's place, so that a reader sees the file either
// absent or complete. An existing path is replaced only when it is a regular file of
// this user's own. Throws std::system_error.
void ReplaceOwnFile(const std::string& path, std::string_view contents, std::string_view what);

}  // namespace virtualstick
