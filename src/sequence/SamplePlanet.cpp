// SPDX-License-Identifier: GPL-3.0-or-later
#include "sequence/SamplePlanet.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "sources/SerFormat.h"

namespace {

uint64_t SplitMix(uint64_t x) {
  x += 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

// Small deterministic generator for one frame.
struct TRandom {
  uint64_t State;
  uint32_t Next() {
    State = State * 6364136223846793005ull + 1442695040888963407ull;
    return uint32_t(State >> 33);
  }
  int Range(int lo, int hi) { return lo + int(Next() % uint32_t(hi - lo + 1)); }  // [lo, hi]
};

TRandom FrameRandom(const TSampleOptions& o, int index, uint64_t salt) {
  return TRandom{SplitMix(SplitMix(o.Seed) ^ (uint64_t(uint32_t(index)) << 8) ^ salt)};
}

bool Listed(const std::vector<int>& frames, int index) {
  return std::find(frames.begin(), frames.end(), index) != frames.end();
}

int RadiusOf(const TSampleOptions& o) {
  return o.Radius > 0 ? o.Radius : std::max(2, std::min(o.Width, o.Height) / 5);
}

// Box blur of radius 2 along rows then columns, twice: a soft, seeing-like defocus.
void Blur(TFastDIB& img) {
  const int w = img.Width(), h = img.AbsHeight;
  std::vector<int> line;
  for (int pass = 0; pass < 2; ++pass) {
    for (int y = 0; y < h; ++y) {
      uint8_t* row = img.Scanlines[size_t(y)];
      for (int c = 0; c < 3; ++c) {
        line.assign(size_t(w), 0);
        for (int x = 0; x < w; ++x) line[size_t(x)] = row[3 * x + c];
        for (int x = 0; x < w; ++x) {
          int sum = 0, n = 0;
          for (int k = std::max(0, x - 2); k <= std::min(w - 1, x + 2); ++k, ++n) sum += line[size_t(k)];
          row[3 * x + c] = uint8_t(sum / n);
        }
      }
    }
    for (int x = 0; x < w; ++x)
      for (int c = 0; c < 3; ++c) {
        line.assign(size_t(h), 0);
        for (int y = 0; y < h; ++y) line[size_t(y)] = img.Scanlines[size_t(y)][3 * x + c];
        for (int y = 0; y < h; ++y) {
          int sum = 0, n = 0;
          for (int k = std::max(0, y - 2); k <= std::min(h - 1, y + 2); ++k, ++n) sum += line[size_t(k)];
          img.Scanlines[size_t(y)][3 * x + c] = uint8_t(sum / n);
        }
      }
  }
}

// Separable Gaussian blur of standard deviation sigma, edges repeated.
void GaussianBlur(TFastDIB& img, double sigma) {
  const int w = img.Width(), h = img.AbsHeight, r = int(std::ceil(3 * sigma));
  std::vector<double> k(size_t(2 * r + 1));
  double total = 0;
  for (int i = -r; i <= r; ++i) total += k[size_t(i + r)] = std::exp(-0.5 * i * i / (sigma * sigma));
  for (double& v : k) v /= total;
  std::vector<double> line;
  auto pass = [&](int count, int len, auto at) {
    for (int a = 0; a < count; ++a)
      for (int c = 0; c < 3; ++c) {
        line.assign(size_t(len), 0);
        for (int i = 0; i < len; ++i) line[size_t(i)] = at(a, i)[c];
        for (int i = 0; i < len; ++i) {
          double sum = 0;
          for (int j = -r; j <= r; ++j) sum += k[size_t(j + r)] * line[size_t(std::clamp(i + j, 0, len - 1))];
          at(a, i)[c] = uint8_t(std::clamp(sum + 0.5, 0.0, 255.0));
        }
      }
  };
  pass(h, w, [&](int y, int x) { return img.Scanlines[size_t(y)] + 3 * x; });
  pass(w, h, [&](int x, int y) { return img.Scanlines[size_t(y)] + 3 * x; });
}

}  // namespace

TSampleFrame SampleFrameInfo(const TSampleOptions& o, int index) {
  TSampleFrame f;
  f.Radius = RadiusOf(o);
  f.Blurred = Listed(o.BlurredFrames, index);
  TRandom rnd = FrameRandom(o, index, 1);
  const int j = std::max(0, o.Jitter);
  f.CenterX = o.Width / 2 + rnd.Range(-j, j);
  f.CenterY = o.Height / 2 + rnd.Range(-j, j);
  if (Listed(o.EmptyFrames, index)) {
    f.State = TPlanetState::Absent;
  } else if (Listed(o.PartialFrames, index)) {
    // Half the disc past one of the four edges.
    switch (rnd.Range(0, 3)) {
      case 0: f.CenterX = 0; break;
      case 1: f.CenterX = o.Width - 1; break;
      case 2: f.CenterY = 0; break;
      default: f.CenterY = o.Height - 1; break;
    }
    f.State = TPlanetState::Partial;
  } else {
    const bool inside = f.CenterX - f.Radius >= 1 && f.CenterY - f.Radius >= 1 && f.CenterX + f.Radius < o.Width - 1 &&
                        f.CenterY + f.Radius < o.Height - 1;
    f.State = inside ? TPlanetState::Whole : TPlanetState::Partial;
  }
  f.X = f.CenterX;
  f.Y = f.CenterY;
  if (o.SubPixelCentres) {
    TRandom fraction = FrameRandom(o, index, 3);
    f.X += double(fraction.Next() % 1000) / 1000.0 - 0.5;
    f.Y += double(fraction.Next() % 1000) / 1000.0 - 0.5;
  }
  if (size_t(index) < o.BlurSigmas.size() && index >= 0) f.BlurSigma = o.BlurSigmas[size_t(index)];
  return f;
}

TSampleFrame RenderSampleFrame(const TSampleOptions& o, int index, TFastDIB& dest) {
  const TSampleFrame f = SampleFrameInfo(o, index);
  dest.SetSize(o.Width, o.Height, 24, 0);
  if (!dest.Bits) return f;
  // Sky: dark, with a little noise in each channel.
  TRandom noise = FrameRandom(o, index, 2);
  for (int y = 0; y < o.Height; ++y) {
    uint8_t* row = dest.Scanlines[size_t(y)];
    for (int x = 0; x < 3 * o.Width; ++x) row[x] = uint8_t(6 + (noise.Next() & 7));
  }
  if (f.State != TPlanetState::Absent) {
    const double r = f.Radius;
    const double bandPhase = double(SplitMix(o.Seed) % 628) / 100.0;
    const int x0 = std::max(0, f.CenterX - f.Radius - 1), x1 = std::min(o.Width - 1, f.CenterX + f.Radius + 1);
    const int y0 = std::max(0, f.CenterY - f.Radius - 1), y1 = std::min(o.Height - 1, f.CenterY + f.Radius + 1);
    for (int y = y0; y <= y1; ++y) {
      TColorBGR* row = dest.Pixels24(y);
      for (int x = x0; x <= x1; ++x) {
        const double dx = x - f.X, dy = y - f.Y;
        const double d = std::sqrt(dx * dx + dy * dy);
        const double cover = std::clamp(r + 0.5 - d, 0.0, 1.0);  // anti-aliased limb
        if (cover <= 0) continue;
        const double mu = std::sqrt(std::max(0.0, 1.0 - (d * d) / (r * r)));
        const double limb = 1.0 - 0.6 * (1.0 - mu);
        const double band = 1.0 + 0.18 * std::sin(dy / r * 9.0 + bandPhase);
        const double level = 215.0 * limb * band * cover;
        auto mixIn = [&](uint8_t sky, double tint) {
          return uint8_t(std::clamp(sky * (1.0 - cover) + level * tint, 0.0, 255.0));
        };
        TColorBGR& p = row[x];
        p = TColorBGR{mixIn(p.b, 0.72), mixIn(p.g, 0.90), mixIn(p.r, 1.05)};
      }
    }
  }
  if (f.Blurred) Blur(dest);
  if (f.BlurSigma > 0) GaussianBlur(dest, f.BlurSigma);
  return f;
}

bool WriteSampleVideo(const std::string& path, const TSampleOptions& o, std::string* error) {
  if (o.Frames < 0) {
    if (error) *error = "negative frame count";
    return false;
  }
  TVideoWriterOptions w;
  w.Codec = o.Format;
  w.Width = o.Width;
  w.Height = o.Height;
  w.FrameRate = o.FrameRate;
  TVideoWriter writer;
  if (!writer.Open(path, w, error)) return false;
  TFastDIB frame;
  for (int i = 0; i < o.Frames; ++i) {
    RenderSampleFrame(o, i, frame);
    if (!writer.WriteFrame(frame, error)) return false;
  }
  return writer.Close(error);
}

bool ParseSampleFormat(const std::string& text, TVideoCodec& codec) {
  std::string t = text;
  for (char& c : t) c = char(std::tolower(static_cast<unsigned char>(c)));
  if (t == "8") codec = TVideoCodec::Pal8;
  else if (t == "16") codec = TVideoCodec::Rgb555;
  else if (t == "24") codec = TVideoCodec::Bgr24;
  else if (t == "32") codec = TVideoCodec::Bgra32;
  else if (t == "yuy2") codec = TVideoCodec::Yuy2;
  else if (t == "mjpeg") codec = TVideoCodec::Mjpeg;
  else return false;
  return true;
}

bool WriteSampleSer(const std::string& path, const TSampleOptions& options, int32_t colourId, int depth,
                    std::string* error) {
  auto fail = [error](const std::string& why) {
    if (error) *error = why;
    return false;
  };
  if (ser::Planes(colourId) != 1 || depth < 1 || depth > 16) return fail("SER samples are mono or Bayer, 1 to 16 bits");
  ser::THeader header;
  header.ColourId = colourId;
  header.Width = options.Width;
  header.Height = options.Height;
  header.Depth = depth;
  header.FrameCount = options.Frames;
  header.Instrument = "stellon-cli sample";
  ser::TWriter writer;
  if (const TStatus s = writer.Open(path, header, false); !s) return fail(s.Message());
  const std::string layout = ser::ColourName(colourId);
  const uint32_t maxValue = (1u << depth) - 1;
  const size_t pixels = size_t(options.Width) * size_t(options.Height);
  std::vector<uint16_t> wide(pixels);
  std::vector<uint8_t> narrow(pixels);
  TFastDIB frame;
  for (int i = 0; i < options.Frames; ++i) {
    RenderSampleFrame(options, i, frame);
    for (int y = 0; y < options.Height; ++y) {
      const TColorBGR* row = frame.Pixels24(y);
      for (int x = 0; x < options.Width; ++x) {
        const TColorBGR c = row[x];
        uint32_t v;
        if (colourId == ser::Mono) {
          v = (uint32_t(c.r) * 77 + uint32_t(c.g) * 150 + uint32_t(c.b) * 29 + 128) >> 8;
        } else {
          const char filter = layout[size_t((y & 1) * 2 + (x & 1))];
          v = filter == 'R' ? c.r : filter == 'G' ? c.g : c.b;
        }
        v = (v * maxValue + 127) / 255;
        wide[size_t(y) * size_t(options.Width) + size_t(x)] = uint16_t(v);
        narrow[size_t(y) * size_t(options.Width) + size_t(x)] = uint8_t(v);
      }
    }
    const TStatus s = depth > 8 ? writer.AddFrame(wide.data()) : writer.AddFrame(narrow.data());
    if (!s) return fail(s.Message());
  }
  if (const TStatus s = writer.Finish(); !s) return fail(s.Message());
  return true;
}

TStatus EnsureSampleVideoIn(const std::vector<std::string>& folders, const TSampleOptions& options,
                            std::string& path) {
  namespace fs = std::filesystem;
  std::string reasons;
  for (const std::string& folder : folders) {
    const fs::path target = fs::path(folder) / "sample.avi";
    std::error_code ec;
    std::string why;
    struct stat st {};
    if (!fs::path(folder).is_absolute()) {
      reasons += (reasons.empty() ? "" : "; ") + folder + ": not an absolute folder";
      continue;
    }
    if (fs::is_regular_file(target, ec) && fs::file_size(target, ec) > 0 && !ec) {
      path = target.string();
      return TStatus::Ok();
    }
    if (!fs::create_directories(folder, ec) && ec) {
      why = ec.message();
    } else if (::stat(folder.c_str(), &st) != 0 || st.st_uid != ::geteuid()) {
      why = "the folder belongs to another user";
    } else {
      // The video writer writes atomically: a failure leaves nothing under the name.
      if (WriteSampleVideo(target.string(), options, &why)) {
        path = target.string();
        return TStatus::Ok();
      }
      if (why.empty()) why = "the video could not be written";
    }
    reasons += (reasons.empty() ? "" : "; ") + folder + ": " + why;
  }
  return TStatus::Fail("no folder takes the sample video (" + reasons + ")");
}
