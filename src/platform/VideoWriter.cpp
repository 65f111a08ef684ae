// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/VideoWriter.h"

#include <algorithm>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/log.h>
#include <libswscale/swscale.h>
}

#include "base/AtomicFile.h"
#include "platform/VideoWriterImpl.h"

std::vector<TRGBQuad> GreyPalette(int n) {
  std::vector<TRGBQuad> p;
  if (n < 1 || n > 256) return p;
  for (int i = 0; i < n; ++i) {
    const uint8_t v = uint8_t(n > 1 ? (i * 255 + (n - 1) / 2) / (n - 1) : 0);
    p.push_back(TRGBQuad{v, v, v, 0});
  }
  return p;
}

namespace {

bool Fail(std::string* error, const std::string& message) {
  if (error) *error = message;
  return false;
}

// YUY2 (packed 4:2:2, raw) and MJPEG through libavformat's AVI muxer.
class TLavfWriter final : public TVideoWriter::TImpl {
 public:
  ~TLavfWriter() override { Release(); }

  bool Open(const std::string& path, const TVideoWriterOptions& o, std::string* error) override {
    if (av_log_get_level() > AV_LOG_ERROR) av_log_set_level(AV_LOG_ERROR);
    O_ = o;
    if (avformat_alloc_output_context2(&Oc_, nullptr, "avi", path.c_str()) < 0 || !Oc_)
      return Fail(error, "cannot set up the AVI muxer");
    St_ = avformat_new_stream(Oc_, nullptr);
    if (!St_) return Fail(error, "cannot add a video stream");
    St_->time_base = AVRational{1, std::max(1, o.FrameRate)};
    if (o.Codec == TVideoCodec::Mjpeg) {
      const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_MJPEG);
      if (!codec || !(Enc_ = avcodec_alloc_context3(codec))) return Fail(error, "no MJPEG encoder");
      Enc_->width = o.Width;
      Enc_->height = o.Height;
      Enc_->time_base = St_->time_base;
      Enc_->pix_fmt = AV_PIX_FMT_YUVJ420P;
      Enc_->flags |= AV_CODEC_FLAG_QSCALE;
      Enc_->global_quality = FF_QP2LAMBDA * std::clamp(o.MjpegQuality, 2, 31);
      if (avcodec_open2(Enc_, codec, nullptr) < 0) return Fail(error, "cannot open the MJPEG encoder");
      if (avcodec_parameters_from_context(St_->codecpar, Enc_) < 0) return Fail(error, "cannot set the stream");
      Format_ = AV_PIX_FMT_YUVJ420P;
    } else {
      AVCodecParameters* p = St_->codecpar;
      p->codec_type = AVMEDIA_TYPE_VIDEO;
      p->codec_id = AV_CODEC_ID_RAWVIDEO;
      p->codec_tag = MKTAG('Y', 'U', 'Y', '2');
      p->format = AV_PIX_FMT_YUYV422;
      p->width = o.Width;
      p->height = o.Height;
      p->bits_per_coded_sample = 16;
      Format_ = AV_PIX_FMT_YUYV422;
    }
    Sws_ = sws_getContext(o.Width, o.Height, AV_PIX_FMT_BGR24, o.Width, o.Height, Format_, SWS_BICUBIC, nullptr,
                          nullptr, nullptr);
    Frame_ = av_frame_alloc();
    Packet_ = av_packet_alloc();
    if (!Sws_ || !Frame_ || !Packet_) return Fail(error, "out of memory");
    Frame_->format = Format_;
    Frame_->width = o.Width;
    Frame_->height = o.Height;
    if (av_frame_get_buffer(Frame_, 0) < 0) return Fail(error, "out of memory");
    Bgr_ = av_frame_alloc();
    if (!Bgr_) return Fail(error, "out of memory");
    Bgr_->format = AV_PIX_FMT_BGR24;
    Bgr_->width = o.Width;
    Bgr_->height = o.Height;
    if (av_frame_get_buffer(Bgr_, 0) < 0) return Fail(error, "out of memory");
    if (avio_open(&Oc_->pb, path.c_str(), AVIO_FLAG_WRITE) < 0) return Fail(error, "cannot create " + path);
    if (avformat_write_header(Oc_, nullptr) < 0) return Fail(error, "cannot write " + path);
    HeaderWritten_ = true;
    return true;
  }

  bool WriteFrame(const TFastDIB& f, std::string* error) override {
    if (f.Width() != O_.Width || f.AbsHeight != O_.Height || f.Bpp() != 24 || !f.Bits)
      return Fail(error, "frames must be 24-bit pictures of the video's size");
    if (av_frame_make_writable(Frame_) < 0) return Fail(error, "out of memory");
    // swscale reads whole vectors, past the end of the picture's last row:
    // hand it a padded copy.
    for (int y = 0; y < O_.Height; ++y)
      std::memcpy(Bgr_->data[0] + int64_t(y) * Bgr_->linesize[0], f.Scanlines[size_t(y)], size_t(3 * O_.Width));
    sws_scale(Sws_, Bgr_->data, Bgr_->linesize, 0, O_.Height, Frame_->data, Frame_->linesize);
    Frame_->pts = Count_++;
    if (Enc_) {
      if (avcodec_send_frame(Enc_, Frame_) < 0) return Fail(error, "MJPEG encoding failed");
      return Drain(error);
    }
    const int bytes = av_image_get_buffer_size(Format_, O_.Width, O_.Height, 1);
    if (bytes < 0 || av_new_packet(Packet_, bytes) < 0) return Fail(error, "out of memory");
    av_image_copy_to_buffer(Packet_->data, bytes, Frame_->data, Frame_->linesize, Format_, O_.Width, O_.Height, 1);
    Packet_->pts = Packet_->dts = Frame_->pts;
    Packet_->flags |= AV_PKT_FLAG_KEY;
    Packet_->stream_index = St_->index;
    av_packet_rescale_ts(Packet_, AVRational{1, std::max(1, O_.FrameRate)}, St_->time_base);
    return av_interleaved_write_frame(Oc_, Packet_) >= 0 || Fail(error, "cannot write the video file");
  }

  bool WriteDropped(std::string* error) override { return Fail(error, "dropped frames need an uncompressed format"); }

  bool Close(std::string* error) override {
    if (!Oc_) return true;
    bool ok = HeaderWritten_;
    if (ok && Enc_) ok = avcodec_send_frame(Enc_, nullptr) >= 0 && Drain(error);
    if (ok) ok = av_write_trailer(Oc_) >= 0;
    Release();
    return ok || Fail(error, "cannot finish the video file");
  }

 private:
  bool Drain(std::string* error) {
    for (;;) {
      const int r = avcodec_receive_packet(Enc_, Packet_);
      if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return true;
      if (r < 0) return Fail(error, "MJPEG encoding failed");
      Packet_->stream_index = St_->index;
      av_packet_rescale_ts(Packet_, Enc_->time_base, St_->time_base);
      if (av_interleaved_write_frame(Oc_, Packet_) < 0) return Fail(error, "cannot write the video file");
    }
  }

  void Release() {
    if (Oc_) {
      if (Oc_->pb) avio_closep(&Oc_->pb);
      avformat_free_context(Oc_);
      Oc_ = nullptr;
    }
    avcodec_free_context(&Enc_);
    av_frame_free(&Frame_);
    av_frame_free(&Bgr_);
    av_packet_free(&Packet_);
    sws_freeContext(Sws_);
    Sws_ = nullptr;
  }

  TVideoWriterOptions O_;
  AVFormatContext* Oc_ = nullptr;
  AVStream* St_ = nullptr;
  AVCodecContext* Enc_ = nullptr;
  AVFrame* Frame_ = nullptr;  // the picture in the codec's format
  AVFrame* Bgr_ = nullptr;    // padded copy of the picture given
  AVPacket* Packet_ = nullptr;
  SwsContext* Sws_ = nullptr;
  AVPixelFormat Format_ = AV_PIX_FMT_NONE;
  bool HeaderWritten_ = false;
  int64_t Count_ = 0;
};

}  // namespace

std::unique_ptr<TVideoWriter::TImpl> MakeLavfWriter() { return std::make_unique<TLavfWriter>(); }

TVideoWriter::TVideoWriter() = default;

TVideoWriter::~TVideoWriter() {
  if (Impl_) Impl_->Close(nullptr);
  // File_ goes with its temporary file: the destination was never touched.
}

bool TVideoWriter::Open(const std::string& path, const TVideoWriterOptions& options, std::string* error) {
  if (Impl_) Impl_->Close(nullptr);
  Impl_.reset();
  File_.reset();
  if (options.Width < 1 || options.Height < 1 || options.Width > 32767 || options.Height > 32767)
    return Fail(error, "bad video size");
  if ((options.Codec == TVideoCodec::Yuy2 || options.Codec == TVideoCodec::Mjpeg) && (options.Width % 2 != 0))
    return Fail(error, "YUY2 and MJPEG need an even width");
  const bool raw = options.Codec != TVideoCodec::Yuy2 && options.Codec != TVideoCodec::Mjpeg;
  auto file = std::make_unique<TAtomicFile>();
  if (TStatus s = file->Open(path); !s) return Fail(error, s.Message());
  auto impl = raw ? MakeRiffWriter() : MakeLavfWriter();
  // The encoder writes the temporary file by its name; Close renames it.
  if (!impl->Open(file->TempPath(), options, error)) return false;
  Impl_ = std::move(impl);
  File_ = std::move(file);
  return true;
}

bool TVideoWriter::WriteFrame(const TFastDIB& frame, std::string* error) {
  return Impl_ ? Impl_->WriteFrame(frame, error) : Fail(error, "no open video");
}

bool TVideoWriter::WriteDroppedFrame(std::string* error) {
  return Impl_ ? Impl_->WriteDropped(error) : Fail(error, "no open video");
}

bool TVideoWriter::Close(std::string* error) {
  if (!Impl_) return true;
  bool ok = Impl_->Close(error);
  Impl_.reset();
  if (ok) {
    if (TStatus s = File_->Commit(); !s) ok = Fail(error, s.Message());
  }
  File_.reset();
  return ok;
}
