// Opens a capture that is not an AVI video: SER files by their header, any
// other file through the media reader (MP4, MKV, MOV, WebM, ...).
#pragma once

#include <memory>
#include <string>

#include "sources/ImageSource.h"

// True for a path the AVI reader takes (".avi", any case).
bool IsAviPath(const std::string& path);
// True for the extensions of the captures this reader takes by name: .ser,
// .mp4, .m4v, .mkv, .mov, .webm (any case).
bool IsCapturePath(const std::string& path);
TStatus OpenCaptureSource(const std::string& path, std::unique_ptr<TImageSource>& source);
