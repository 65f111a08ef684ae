// SPDX-License-Identifier: GPL-3.0-or-later
// Compressed and non-RGB video through FFmpeg's decoders, delivered as 24-bit
// top-down pictures.
//
// Image i of the stream is the i-th picture the decoder gives when it is fed
// every chunk from the first, in file order. To reach it without decoding from
// the start, decoding starts at a key frame:
//  - codecs without picture reordering: at the key frame at or before the
//    chunk, and each packet carries its entry number as timestamp, so the
//    picture whose timestamp is the entry is image i;
//  - codecs that reorder (B-frames): pictures come out in display order, and
//    those of chunks from key frame K on are exactly images K, K+1, ... in
//    that order (chunks before K show before it). Decoding starts one key
//    frame earlier, so that pictures just after K that refer back to the
//    previous group decode completely, and pictures are counted from the
//    first one whose chunk is K or later.
// The decoder stays open between calls, so reading forward goes on where the
// last call stopped.
#include <algorithm>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/log.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

#include <mutex>

#include "image/FastDIB.h"
#include "sources/AviDecode.h"
#include "sources/FfmpegPtr.h"

namespace avi {
namespace {

using ff::TAvFree;
using ff::TCodecContextPtr;
using ff::TFramePtr;
using ff::TPacketPtr;
using ff::TSwsPtr;

class TCodecDecoder final : public TFrameDecoder {
 public:
  TCodecDecoder(const TBitmapHeader& format, TCodecContextPtr ctx) : Format_(format), Ctx_(std::move(ctx)) {
    const AVCodecDescriptor* d = avcodec_descriptor_get(Ctx_->codec_id);
    Reorder_ = d && (d->props & AV_CODEC_PROP_REORDER);
    IntraOnly_ = d && (d->props & AV_CODEC_PROP_INTRA_ONLY);
    if (Ctx_->codec_id == AV_CODEC_ID_RAWVIDEO && Ctx_->pix_fmt != AV_PIX_FMT_NONE) {
      RawSize1_ = av_image_get_buffer_size(Ctx_->pix_fmt, format.Width, format.AbsHeight, 1);
      RawSize4_ = av_image_get_buffer_size(Ctx_->pix_fmt, format.Width, format.AbsHeight, 4);
    }
    Frame_.reset(av_frame_alloc());
    Packet_.reset(av_packet_alloc());
  }
  bool Ready() const { return Frame_ && Packet_; }

  bool ReadImage(const TFileReader& file, const std::vector<TChunkRef>& frames, int32_t index,
                 TFastDIB& dest) override {
    if (Decode(file, frames, index) < 0) return false;
    const int w = Format_.Width, h = Format_.AbsHeight;
    dest.SetSize(w, h, 24, 0);
    if (!dest.Bits || dest.Width() != w || dest.AbsHeight != h || dest.Bpp() != 24) return false;
    if (Direct(dest)) return Convert(dest.Bits, dest.RowSize);
    if (!ConvertPadded()) return false;
    const size_t used = size_t(3 * w), stride = size_t(dest.RowSize);
    for (int y = 0; y < h; ++y) {
      std::memcpy(dest.Scanlines[size_t(y)], Rgb_.get() + int64_t(y) * RgbStride_, used);
      std::memset(dest.Scanlines[size_t(y)] + used, 0, stride - used);
    }
    return true;
  }

 private:
  // Leaves the picture of image `index` in Frame_ and returns the entry it
  // comes from; -1 when it cannot be decoded.
  int32_t Decode(const TFileReader& file, const std::vector<TChunkRef>& frames, int32_t index) {
    const int32_t count = int32_t(frames.size());
    if (index < 0 || index >= count) return -1;
    const int32_t target = frames[size_t(index)].Source;
    if (target < 0) return -1;
    if (target == Held_) return target;
    if (Ctx_->codec_id == AV_CODEC_ID_RAWVIDEO) {
      const int64_t bytes = frames[size_t(target)].Size;
      if (bytes != RawSize1_ && bytes != RawSize4_) return -1;
    }

    // Where a fresh decode would start, and the entry its counting starts at.
    int32_t anchor = IntraOnly_ ? target : frames[size_t(target)].PrevKey;
    int32_t start = anchor;
    if (anchor < 0) {
      anchor = start = FirstData(frames);
    } else if (Reorder_ && anchor > 0) {
      const int32_t before = frames[size_t(anchor) - 1].PrevKey;
      start = before >= 0 ? before : FirstData(frames);
    }
    const bool goOn = Started_ && Fed_ >= start && (Reorder_ ? Cursor_ <= target : LastPts_ < target);
    if (!goOn) Restart(start, anchor);
    Held_ = -1;

    // Each turn either takes a picture or feeds a packet; a stream that gives
    // neither ends the loop.
    int64_t budget = 4 * int64_t(count - Fed_) + 64;
    while (budget-- > 0) {
      int r = avcodec_receive_frame(Ctx_.get(), Frame_.get());
      if (r == 0) {
        const int64_t pts = Frame_->pts;
        int32_t shown = -1;
        if (pts == AV_NOPTS_VALUE) {
        } else if (Reorder_) {
          if (pts >= Anchor_) {
            shown = Cursor_;
            Cursor_ = NextData(frames, Cursor_);
          }
        } else {
          LastPts_ = pts;
          shown = int32_t(std::min<int64_t>(pts, count));
        }
        if (shown == target) {
          Held_ = target;
          return target;
        }
        av_frame_unref(Frame_.get());
        if (shown > target) return -1;  // that picture is missing from the stream
        continue;
      }
      if (r != AVERROR(EAGAIN)) {  // drained, or a decoder failure
        Started_ = false;
        return -1;
      }
      if (Fed_ < count) {
        const int32_t i = Fed_++;
        const TChunkRef& ref = frames[size_t(i)];
        if (ref.Size == 0) continue;  // a dropped frame: nothing to decode
        if (av_new_packet(Packet_.get(), int(ref.Size)) < 0) {
          Started_ = false;
          return -1;
        }
        if (ReadChunk(file, ref, Packet_->data)) {
          Packet_->pts = Packet_->dts = i;
          if (ref.Key) Packet_->flags |= AV_PKT_FLAG_KEY;
          r = avcodec_send_packet(Ctx_.get(), Packet_.get());
        }
        av_packet_unref(Packet_.get());
        if (r == AVERROR(EAGAIN) || r == AVERROR(ENOMEM)) {
          Started_ = false;
          return -1;
        }
        // A damaged packet is skipped, as the decoder would drop it anyway.
      } else if (!Draining_) {
        Draining_ = true;
        avcodec_send_packet(Ctx_.get(), nullptr);
      } else {
        break;
      }
    }
    Started_ = false;
    return -1;
  }

  static int32_t FirstData(const std::vector<TChunkRef>& frames) {
    for (size_t i = 0; i < frames.size(); ++i)
      if (frames[i].Size > 0) return int32_t(i);
    return int32_t(frames.size());
  }
  static int32_t NextData(const std::vector<TChunkRef>& frames, int32_t i) {
    do ++i;
    while (size_t(i) < frames.size() && frames[size_t(i)].Size == 0);
    return i;
  }

  void Restart(int32_t start, int32_t anchor) {
    if (Started_ || Draining_ || Fed_ > 0) avcodec_flush_buffers(Ctx_.get());
    Started_ = true;
    Draining_ = false;
    Fed_ = start;
    Anchor_ = anchor;
    Cursor_ = anchor;
    LastPts_ = -1;
    Held_ = -1;
    av_frame_unref(Frame_.get());
  }

  // swscale may write whole vectors past the end of a row, so in general it
  // writes into padded rows of its own. The one exception is its converter of
  // 4:2:0 pictures of even height to BGR24, which writes rows in blocks of
  // eight pixels and no further than the row's stride: when the width is a
  // multiple of eight and the picture's rows are unpadded and contiguous, it
  // writes straight into them, the same pixels without a copy.
  bool Direct(const TFastDIB& dest) const {
    const AVFrame* f = Frame_.get();
    return f->format == AV_PIX_FMT_YUV420P && Format_.Width % 8 == 0 && Format_.AbsHeight % 2 == 0 &&
           dest.RowSize == 3 * Format_.Width && Format_.AbsHeight > 0 &&
           dest.Scanlines.back() == dest.Bits + int64_t(dest.RowSize) * (Format_.AbsHeight - 1);
  }

  // Converts the held picture to BGR24 rows in Rgb_, top-down.
  bool ConvertPadded() {
    const int w = Format_.Width, h = Format_.AbsHeight;
    RgbStride_ = FFALIGN(3 * w, 64);
    const size_t rgbBytes = size_t(RgbStride_) * size_t(h) + 64;
    if (RgbBytes_ != rgbBytes) {
      Rgb_.reset(static_cast<uint8_t*>(av_malloc(rgbBytes)));
      RgbBytes_ = Rgb_ ? rgbBytes : 0;
      if (!Rgb_) return false;
    }
    return Convert(Rgb_.get(), RgbStride_);
  }

  // Converts the held picture to BGR24 rows from `rows` on, `stride` bytes
  // apart, top-down; refuses a picture whose size is not the stream's.
  bool Convert(uint8_t* rows, int stride) {
    const AVFrame* f = Frame_.get();
    const int w = Format_.Width, h = Format_.AbsHeight;
    if (f->width != w || f->height != h || f->format < 0 || !f->data[0]) return false;
    const auto format = AVPixelFormat(f->format);
    if (!sws_isSupportedInput(format)) return false;
    Sws_.reset(sws_getCachedContext(Sws_.release(), w, h, format, w, h, AV_PIX_FMT_BGR24, SWS_BICUBIC, nullptr,
                                    nullptr, nullptr));
    if (!Sws_) return false;
    uint8_t* dst[4] = {rows, nullptr, nullptr, nullptr};
    const int dstStride[4] = {stride, 0, 0, 0};
    return sws_scale(Sws_.get(), f->data, f->linesize, 0, h, dst, dstStride) == h;
  }

  TBitmapHeader Format_;
  TCodecContextPtr Ctx_;
  TFramePtr Frame_;
  TPacketPtr Packet_;
  TSwsPtr Sws_;
  std::unique_ptr<uint8_t, TAvFree> Rgb_;  // swscale's output when padded, top-down
  size_t RgbBytes_ = 0;
  int RgbStride_ = 0;
  bool Reorder_ = false;
  bool IntraOnly_ = false;
  int64_t RawSize1_ = -1, RawSize4_ = -1;  // exact chunk sizes of a raw YUV/grey picture

  bool Started_ = false;   // the decoder holds a decode that began at a key frame
  bool Draining_ = false;  // the end of the stream has been signalled
  int32_t Fed_ = 0;        // next entry to feed
  int32_t Anchor_ = 0;     // reordering codecs: pictures of entries >= Anchor_ are counted...
  int32_t Cursor_ = 0;     // ...and the next one counted is the image of entry Cursor_
  int64_t LastPts_ = -1;   // other codecs: entry of the last picture seen
  int32_t Held_ = -1;      // entry whose picture Frame_ holds
};

}  // namespace

std::unique_ptr<TFrameDecoder> CreateCodecDecoder(const TBitmapHeader& format, const std::vector<uint8_t>& strf) {
  // Damaged captures make decoders complain on every frame; the program
  // reports unreadable images itself.
  static std::once_flag quiet;
  std::call_once(quiet, [] { av_log_set_level(AV_LOG_QUIET); });
  const AVCodecTag* const tags[] = {avformat_get_riff_video_tags(), nullptr};
  AVCodecID id = av_codec_get_id(tags, format.Compression);
  if (id == AV_CODEC_ID_NONE && format.Compression == 0) id = AV_CODEC_ID_RAWVIDEO;
  if (id == AV_CODEC_ID_NONE) return nullptr;
  const AVCodec* codec = avcodec_find_decoder(id);
  if (!codec) return nullptr;
  TCodecContextPtr ctx(avcodec_alloc_context3(codec));
  if (!ctx) return nullptr;
  ctx->width = format.Width;
  ctx->height = format.AbsHeight;
  ctx->codec_tag = format.Compression;
  ctx->bits_per_coded_sample = format.BitCount;
  ctx->thread_count = 1;
  ctx->max_pixels = TFastDIB::kMaxPixels;
  const size_t headerBytes = std::clamp<size_t>(format.HeaderSize, 40, strf.size());
  const size_t extra = strf.size() - headerBytes;
  if (extra > 0) {
    ctx->extradata = static_cast<uint8_t*>(av_mallocz(extra + AV_INPUT_BUFFER_PADDING_SIZE));
    if (!ctx->extradata) return nullptr;
    std::memcpy(ctx->extradata, strf.data() + headerBytes, extra);
    ctx->extradata_size = int(extra);
  }
  if (avcodec_open2(ctx.get(), codec, nullptr) < 0) return nullptr;
  auto decoder = std::make_unique<TCodecDecoder>(format, std::move(ctx));
  if (!decoder->Ready()) return nullptr;
  return decoder;
}

}  // namespace avi
