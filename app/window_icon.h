// The window icon, from the PNG images compiled into the program.
#pragma once

#include <QIcon>
#include <QImage>

#include <future>
#include <vector>

// Decodes the icon's images, one per size. Needs no application object and may run
// on any thread.
std::vector<QImage> ReadWindowIconImages();

// Images being read elsewhere (StartupAhead); WindowIcon() takes them once instead of
// reading its own.
void SetWindowIconImagesAhead(std::shared_future<std::vector<QImage>> images);

// The icon: the images read ahead when there are any, else read now.
QIcon WindowIcon();
