// SPDX-License-Identifier: GPL-3.0-or-later
// Videos in any container FFmpeg can read (MP4, MKV, MOV, WebM, ...).
#pragma once

#include <memory>
#include <string>

#include "sources/ImageSource.h"

// Opens the first video stream of `path`. Images are numbered in display
// order; reading image i decodes from the key frame before it, or goes on
// from the last image read when i lies a little ahead of it. Images are
// 24-bit. Memory: one decoder and a few numbers per image, whatever the
// length of the video.
TStatus OpenMediaSource(const std::string& path, std::unique_ptr<TImageSource>& source);
