#pragma once
// The GIF codec's start and end, run once each by the program: the picture format
// registration and the display's colour depth for the defaults.

// Registers TGIFImage as "GIF" ("GIF Image"); a display of 8 bits per pixel or fewer makes
// new images draw through the web palette.
void GIFCodecStartup(int displayBitsPerPixel, int displayPlanes = 1);
// Unregisters TGIFImage. The extension registries stay until the process ends: another
// thread may still be reading a file.
void GIFCodecShutdown();
