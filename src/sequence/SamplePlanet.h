// SPDX-License-Identifier: GPL-3.0-or-later
// A synthetic planet video, the kind a webcam records at the telescope: a
// banded, limb-darkened disc on a dark, noisy sky, moved by a few pixels of
// seeing from frame to frame. Optional bad frames: blurred, planet partly out
// of the picture, or no planet at all. Everything is a function of the seed
// and the frame number, so any frame can be rendered again on its own.
//
// Used by the tests, the benchmarks, "stellon-cli sample" and the program's
// start-up sample.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/Status.h"
#include "image/FastDIB.h"
#include "platform/VideoWriter.h"

enum class TPlanetState { Whole, Partial, Absent };

struct TSampleOptions {
  int Frames = 100;
  int Width = 320;
  int Height = 240;
  uint32_t Seed = 1;
  TVideoCodec Format = TVideoCodec::Bgr24;
  int FrameRate = 25;
  int Radius = 0;                  // disc radius in pixels; 0: a fifth of the smaller side
  int Jitter = 3;                  // largest shift from the picture's centre, in pixels
  std::vector<int> BlurredFrames;  // frame numbers (from 0) rendered out of focus
  std::vector<int> PartialFrames;  // frame numbers whose planet crosses the picture's edge
  std::vector<int> EmptyFrames;    // frame numbers without a planet
  // Known sub-pixel centres: each frame's centre gets a fraction of a pixel
  // (-0.5 to 0.5 per axis) on top of its whole-pixel jitter.
  bool SubPixelCentres = false;
  // Known blur: frame i is convolved with a Gaussian of sigma BlurSigmas[i]
  // pixels (0 or past the end: none).
  std::vector<double> BlurSigmas;
};

// What frame `index` shows: the disc's centre (pixels, top-left origin) and
// radius, and whether it lies wholly inside the picture.
struct TSampleFrame {
  TPlanetState State = TPlanetState::Whole;
  int CenterX = 0;
  int CenterY = 0;
  int Radius = 0;
  bool Blurred = false;
  double X = 0;          // the exact centre (CenterX, CenterY unless SubPixelCentres)
  double Y = 0;
  double BlurSigma = 0;  // Gaussian blur applied, pixels
};

TSampleFrame SampleFrameInfo(const TSampleOptions& options, int index);
// Renders frame `index` into dest as a 24-bit top-down picture.
TSampleFrame RenderSampleFrame(const TSampleOptions& options, int index, TFastDIB& dest);
// Writes the whole video. False with a message when it cannot.
bool WriteSampleVideo(const std::string& path, const TSampleOptions& options, std::string* error);

// Writes the video as a SER capture (through the atomic writer): colourId
// MONO gives the grey of each pixel, a Bayer ID the colour its filter lets
// through; depth 1..8 stores bytes, 9..16 two bytes (little-endian), the
// 8-bit value scaled to the depth's full range.
bool WriteSampleSer(const std::string& path, const TSampleOptions& options, int32_t colourId, int depth,
                    std::string* error);
// Makes sure a sample video "sample.avi" exists in the first of `folders`
// where it already is or can be written (a folder is made when missing; one
// that belongs to another user, or a relative one, is passed over). `path` gets its path. When no
// folder takes it, the failure names every folder tried and why.
TStatus EnsureSampleVideoIn(const std::vector<std::string>& folders, const TSampleOptions& options, std::string& path);

// "8", "16", "24", "32", "yuy2", "mjpeg" (case-insensitive) -> codec.
bool ParseSampleFormat(const std::string& text, TVideoCodec& codec);
