#pragma once
// The frames of a chart that is an animated GIF, read for the window to play.

#include <memory>
#include <string>

class TGIFImage;

// The file's GIF with its frames when it holds more than one; none for a file that is no
// GIF, holds one frame, or cannot be read (the still picture shows then). Runs on a worker.
std::shared_ptr<TGIFImage> ReadAnimatedGif(const std::string& fileName);
