// The images that the Fusion style reads from Qt's resources while it paints. It reads
// them without naming their format, so the first read of each has every image format
// plugin (and the libraries they need) loaded to recognise it. Read here as PNG and
// put into the pixmap cache under the key the style looks up, they are found there.
#pragma once

// Call on the UI thread once the application object exists. An image that cannot be
// read is left to the style, which then reads it as it would have. Returns the number
// of images cached.
int CacheStyleImages();
