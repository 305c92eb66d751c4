// The font compiled into the program as the resource MYFONT1.
#pragma once

#include <QString>

// Family of the embedded font; the window asks for it by this name.
inline constexpr const char* kWindowFontFamily = "Roboto Condensed";

// Registers the embedded font for this process only. A missing resource is skipped
// silently; returns whether a font was registered.
bool RegisterEmbeddedFont(const QString& resource = QStringLiteral(":/MYFONT1"));
