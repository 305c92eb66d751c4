// The window icon, from the PNG images compiled into the program.
#pragma once

#include <QIcon>
#include <QImage>

#include <vector>

// Decodes the icon's images, one per size. Needs no application object and may run
// on any thread.
std::vector<QImage> ReadWindowIconImages();

// The images are being read on another thread (StartupAhead), which hands them over
// with ProvideWindowIconImages: the next WindowIcon() waits for them and takes them
// instead of reading its own.
void ExpectWindowIconImagesAhead();
void ProvideWindowIconImages(std::vector<QImage> images);

// The icon: the images read ahead when they are expected, else read now.
QIcon WindowIcon();
