// SPDX-License-Identifier: GPL-3.0-or-later
// Owning pointers for FFmpeg's objects, shared by the readers that decode
// through FFmpeg (the AVI codecs and the media source). Private to
// src/sources.
#pragma once

#include <cstdint>
#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/mem.h>
#include <libswscale/swscale.h>
}

namespace ff {

struct TInputClose {
  void operator()(AVFormatContext* f) const { avformat_close_input(&f); }
};
struct TCodecContextFree {
  void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct TFrameFree {
  void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct TPacketFree {
  void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct TSwsFree {
  void operator()(SwsContext* s) const { sws_freeContext(s); }
};
struct TAvFree {
  void operator()(uint8_t* p) const { av_free(p); }
};

using TInputPtr = std::unique_ptr<AVFormatContext, TInputClose>;
using TCodecContextPtr = std::unique_ptr<AVCodecContext, TCodecContextFree>;
using TFramePtr = std::unique_ptr<AVFrame, TFrameFree>;
using TPacketPtr = std::unique_ptr<AVPacket, TPacketFree>;
using TSwsPtr = std::unique_ptr<SwsContext, TSwsFree>;

}  // namespace ff
