// SPDX-License-Identifier: GPL-3.0-or-later
#include "sources/MediaSource.h"

#include <algorithm>
#include <cctype>
#include <mutex>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

#include "sources/FfmpegPtr.h"

namespace {

std::string AvError(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return text;
}


// Name shown for the container: the usual file extension when it is one of
// the known ones, else FFmpeg's first name for the format.
std::string FormatName(const std::string& path, const AVInputFormat* format) {
  std::string ext;
  const size_t dot = path.find_last_of('.');
  if (dot != std::string::npos && path.find_first_of("/\\", dot) == std::string::npos) ext = path.substr(dot + 1);
  for (char& c : ext) c = char(std::toupper(static_cast<unsigned char>(c)));
  if (ext == "MP4" || ext == "MKV" || ext == "MOV" || ext == "M4V") return ext;
  if (ext == "WEBM") return "WebM";
  std::string name = format && format->name ? format->name : "video";
  name = name.substr(0, name.find(','));
  for (char& c : name) c = char(std::toupper(static_cast<unsigned char>(c)));
  return name;
}

class TMediaSource final : public TImageSource {
 public:
  TStatus Open(const std::string& path) {
    Path_ = path;
    // Failures reach the user as this reader's messages, not as FFmpeg's log
    // lines on standard error.
    static std::once_flag quiet;
    std::call_once(quiet, [] { av_log_set_level(AV_LOG_QUIET); });
    AVFormatContext* raw = nullptr;
    // Only local files: a playlist-like container must not make the reader
    // fetch from the network or from other protocols.
    AVDictionary* options = nullptr;
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    int err = avformat_open_input(&raw, path.c_str(), nullptr, &options);
    av_dict_free(&options);
    if (err < 0) return Fail("cannot be opened as a video (" + AvError(err) + ")");
    Input_.reset(raw);
    if ((err = avformat_find_stream_info(raw, nullptr)) < 0) return Fail("not a readable video (" + AvError(err) + ")");
    const AVCodec* codec = nullptr;
    Stream_ = av_find_best_stream(raw, AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
    if (Stream_ < 0 || !codec) return Fail(Stream_ == AVERROR_DECODER_NOT_FOUND ? "no decoder for its video" : "no video stream");
    const AVCodecParameters* par = raw->streams[Stream_]->codecpar;
    if (par->width < 1 || par->height < 1 || par->width > TFastDIB::kMaxSide || par->height > TFastDIB::kMaxSide ||
        int64_t(par->width) * par->height > TFastDIB::kMaxPixels)
      return Fail("picture size " + std::to_string(par->width) + " x " + std::to_string(par->height) + " is not supported");
    for (unsigned i = 0; i < raw->nb_streams; ++i)
      if (int(i) != Stream_) raw->streams[i]->discard = AVDISCARD_ALL;

    Codec_.reset(avcodec_alloc_context3(codec));
    Frame_.reset(av_frame_alloc());
    Packet_.reset(av_packet_alloc());
    if (!Codec_ || !Frame_ || !Packet_) return Fail("not enough memory");
    // As for AVI videos: the decoder refuses pictures larger than an image can be.
    Codec_->max_pixels = TFastDIB::kMaxPixels;
    if ((err = avcodec_parameters_to_context(Codec_.get(), par)) < 0 ||
        (err = avcodec_open2(Codec_.get(), codec, nullptr)) < 0)
      return Fail("its video cannot be decoded (" + AvError(err) + ")");

    TStatus indexed = Index();
    if (!indexed) return indexed;
    Facts_.Format = FormatName(path, raw->iformat);
    Facts_.ImageCount = int32_t(std::min<size_t>(Display_.size(), INT32_MAX));
    Facts_.Width = par->width;
    Facts_.Height = par->height;
    Facts_.BitsPerPixel = 24;
    return TStatus::Ok();
  }

  const TSourceFacts& Facts() const override { return Facts_; }

  TStatus ReadImage(int index, TFastDIB& dest) override {
    if (index < 0 || index >= Facts_.ImageCount)
      return TStatus::Fail(Path_ + ": image " + std::to_string(index + 1) + " does not exist");
    const int64_t target = Display_[size_t(index)];
    // Going on from the last picture is exact when the target lies after it
    // (the decoder gives pictures in display order); it beats a seek when the
    // target is close.
    const bool goOn = Positioned_ && !Drained_ && index > LastIndex_ && index - LastIndex_ <= kReadAheadLimit;
    for (int attempt = goOn ? 0 : 1; attempt < 3; ++attempt) {
      if (attempt == 1 && !SeekBefore(target)) continue;
      if (attempt == 2 && !SeekStart()) break;
      const int got = DecodeUntil(target);
      if (got > 0) {
        LastIndex_ = index;
        return Deliver(dest, index);
      }
      if (got < 0) break;  // decoding error
    }
    Positioned_ = false;
    return TStatus::Fail(Path_ + ": image " + std::to_string(index + 1) + " cannot be decoded");
  }

 private:
  static constexpr int kReadAheadLimit = 48;
  static constexpr int kMaxOvershoot = 32;  // pictures past the target before giving up a try
  // Pictures listed at most, as for AVI videos: the index is a few numbers per
  // picture, and a damaged file must not make it grow without end.
  static constexpr size_t kMaxImages = size_t(1) << 24;

  struct TKey {
    int64_t Pts;
    int64_t SeekTs;
  };

  TStatus Fail(const std::string& why) const { return TStatus::Fail(Path_ + ": " + why); }

  // One pass over the packets: the display times of every picture and the
  // key frames, without decoding.
  TStatus Index() {
    AVFormatContext* in = Input_.get();
    bool missing = false;
    for (;;) {
      const int err = av_read_frame(in, Packet_.get());
      if (err == AVERROR_EOF) break;
      if (err < 0) {
        if (err == AVERROR(EAGAIN)) continue;
        break;  // a damaged tail: the pictures before it stay readable
      }
      if (Packet_->stream_index == Stream_ && !(Packet_->flags & AV_PKT_FLAG_DISCARD)) {
        const int64_t pts = Packet_->pts != AV_NOPTS_VALUE ? Packet_->pts : Packet_->dts;
        if (pts == AV_NOPTS_VALUE) missing = true;
        if (Display_.size() >= kMaxImages) {
          av_packet_unref(Packet_.get());
          break;  // the pictures past the limit are left out
        }
        Display_.push_back(pts);
        if (Packet_->flags & AV_PKT_FLAG_KEY) {
          const int64_t seek = Packet_->dts != AV_NOPTS_VALUE ? std::min(pts, Packet_->dts) : pts;
          Keys_.push_back({pts, seek});
        }
      }
      av_packet_unref(Packet_.get());
    }
    std::sort(Display_.begin(), Display_.end());
    if (missing || std::adjacent_find(Display_.begin(), Display_.end()) != Display_.end())
      return Fail("its video pictures carry no usable times");
    std::sort(Keys_.begin(), Keys_.end(), [](const TKey& a, const TKey& b) { return a.Pts < b.Pts; });
    Positioned_ = false;
    return TStatus::Ok();
  }

  bool SeekBefore(int64_t target) {
    auto it = std::upper_bound(Keys_.begin(), Keys_.end(), target, [](int64_t t, const TKey& k) { return t < k.Pts; });
    if (it == Keys_.begin()) return SeekStart();
    --it;
    if (av_seek_frame(Input_.get(), Stream_, it->SeekTs, AVSEEK_FLAG_BACKWARD) < 0) return SeekStart();
    Restart();
    return true;
  }
  bool SeekStart() {
    const AVStream* st = Input_->streams[Stream_];
    const int64_t start = st->start_time != AV_NOPTS_VALUE ? st->start_time : 0;
    if (av_seek_frame(Input_.get(), Stream_, std::min(start, Display_.empty() ? start : Display_.front()),
                      AVSEEK_FLAG_BACKWARD) < 0 &&
        avformat_seek_file(Input_.get(), -1, INT64_MIN, 0, 0, AVSEEK_FLAG_BYTE) < 0)
      return false;
    Restart();
    return true;
  }
  void Restart() {
    avcodec_flush_buffers(Codec_.get());
    Positioned_ = true;
    Drained_ = false;
  }

  // Decodes until the picture of display time `target` is in Frame_: 1 when
  // found, 0 when not found on this try, -1 on a decoding error.
  int DecodeUntil(int64_t target) {
    int overshoot = 0;
    for (;;) {
      int err = avcodec_receive_frame(Codec_.get(), Frame_.get());
      if (err == 0) {
        const int64_t t = Frame_->best_effort_timestamp != AV_NOPTS_VALUE ? Frame_->best_effort_timestamp : Frame_->pts;
        if (t == target) return 1;
        if (t > target && ++overshoot > kMaxOvershoot) return 0;
        continue;
      }
      if (err == AVERROR_EOF) {
        Drained_ = true;
        return 0;
      }
      if (err != AVERROR(EAGAIN)) return -1;
      if (Drained_) return 0;
      // Feed the next packet of the stream, or the end.
      for (;;) {
        err = av_read_frame(Input_.get(), Packet_.get());
        if (err < 0) {
          avcodec_send_packet(Codec_.get(), nullptr);
          Drained_ = true;
          break;
        }
        if (Packet_->stream_index != Stream_) {
          av_packet_unref(Packet_.get());
          continue;
        }
        err = avcodec_send_packet(Codec_.get(), Packet_.get());
        av_packet_unref(Packet_.get());
        // A damaged packet is skipped; its picture is then simply missing.
        if (err < 0 && err != AVERROR_INVALIDDATA) return -1;
        break;
      }
    }
  }

  TStatus Deliver(TFastDIB& dest, int index) {
    const int w = Frame_->width, h = Frame_->height;
    // A stream whose pictures change size midway: those of another size than
    // the video's are refused, so that every image has the size announced.
    if (w != Facts_.Width || h != Facts_.Height)
      return TStatus::Fail(Path_ + ": image " + std::to_string(index + 1) + " has another size than the video (" +
                           std::to_string(w) + " x " + std::to_string(h) + ")");
    dest.SetSize(w, h, 24, 0);
    if (!dest.Bits || dest.Width() != w || dest.AbsHeight != h || dest.Bpp() != 24)
      return TStatus::Fail(Path_ + ": image " + std::to_string(index + 1) + " has an unusable size");
    Sws_.reset(sws_getCachedContext(Sws_.release(), w, h, AVPixelFormat(Frame_->format), w, h, AV_PIX_FMT_BGR24,
                                    SWS_BICUBIC, nullptr, nullptr, nullptr));
    if (!Sws_) return TStatus::Fail(Path_ + ": image " + std::to_string(index + 1) + " has an unusable pixel format");
    if (Frame_->colorspace != AVCOL_SPC_UNSPECIFIED || Frame_->color_range == AVCOL_RANGE_JPEG) {
      const int* coefs = sws_getCoefficients(Frame_->colorspace != AVCOL_SPC_UNSPECIFIED ? int(Frame_->colorspace)
                                                                                       : SWS_CS_DEFAULT);
      int* invTable = nullptr;
      int* table = nullptr;
      int srcRange = 0, dstRange = 0, brightness = 0, contrast = 0, saturation = 0;
      if (sws_getColorspaceDetails(Sws_.get(), &invTable, &srcRange, &table, &dstRange, &brightness, &contrast,
                                   &saturation) >= 0)
        sws_setColorspaceDetails(Sws_.get(), coefs, Frame_->color_range == AVCOL_RANGE_JPEG, table, dstRange,
                                 brightness, contrast, saturation);
    }
    uint8_t* planes[4] = {dest.Bits, nullptr, nullptr, nullptr};
    int strides[4] = {dest.RowSize, 0, 0, 0};
    sws_scale(Sws_.get(), Frame_->data, Frame_->linesize, 0, h, planes, strides);
    return TStatus::Ok();
  }

  std::string Path_;
  TSourceFacts Facts_;
  ff::TInputPtr Input_;
  ff::TCodecContextPtr Codec_;
  ff::TFramePtr Frame_;
  ff::TPacketPtr Packet_;
  ff::TSwsPtr Sws_;
  int Stream_ = -1;
  std::vector<int64_t> Display_;  // display time of image i
  std::vector<TKey> Keys_;        // key frames by display time
  bool Positioned_ = false, Drained_ = false;
  int LastIndex_ = -1;
};

}  // namespace

TStatus OpenMediaSource(const std::string& path, std::unique_ptr<TImageSource>& source) {
  source.reset();
  auto media = std::make_unique<TMediaSource>();
  TStatus status = media->Open(path);
  if (status) source = std::move(media);
  return status;
}
