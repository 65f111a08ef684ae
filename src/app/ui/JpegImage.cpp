// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ui/JpegImage.h"

#include <QFile>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

#include <jpeglib.h>

namespace {

// libjpeg reports fatal errors through error_exit, which must not return:
// we jump back to the decoding routine. Nothing with a destructor lives in
// that routine's frame, so the jump skips no clean-up.
struct TJpegError {
  jpeg_error_mgr Manager;
  std::jmp_buf Jump;
};

void OnJpegError(j_common_ptr info) {
  auto* error = reinterpret_cast<TJpegError*>(info->err);
  std::longjmp(error->Jump, 1);
}

void IgnoreJpegMessage(j_common_ptr) {}

// Decodes into `rows` (width * 3 bytes per row, top row first). False on any
// libjpeg error or an unsupported picture.
bool DecodeRgb(const unsigned char* data, unsigned long size, std::vector<unsigned char>* rows, int* width,
               int* height) {
  jpeg_decompress_struct info;
  TJpegError error;
  info.err = jpeg_std_error(&error.Manager);
  error.Manager.error_exit = OnJpegError;
  error.Manager.output_message = IgnoreJpegMessage;
  if (setjmp(error.Jump)) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, data, size);
  if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK || info.image_width == 0 || info.image_height == 0 ||
      info.image_width > unsigned(kJpegMaxSide) || info.image_height > unsigned(kJpegMaxSide) ||
      (info.jpeg_color_space != JCS_GRAYSCALE && info.jpeg_color_space != JCS_YCbCr &&
       info.jpeg_color_space != JCS_RGB)) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  info.out_color_space = JCS_RGB;
  jpeg_start_decompress(&info);
  if (info.output_components != 3) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  *width = int(info.output_width);
  *height = int(info.output_height);
  const size_t stride = size_t(*width) * 3;
  rows->assign(stride * size_t(*height), 0);
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = rows->data() + stride * info.output_scanline;
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return true;
}

}  // namespace

QImage DecodeJpeg(const QByteArray& data) {
  if (data.isEmpty()) return QImage();
  std::vector<unsigned char> rows;
  int width = 0, height = 0;
  if (!DecodeRgb(reinterpret_cast<const unsigned char*>(data.constData()), static_cast<unsigned long>(data.size()),
                 &rows, &width, &height))
    return QImage();
  QImage image(width, height, QImage::Format_RGB888);
  if (image.isNull()) return QImage();
  for (int y = 0; y < height; ++y) std::memcpy(image.scanLine(y), rows.data() + size_t(y) * width * 3, size_t(width) * 3);
  return image;
}

QImage LoadJpegResource(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return QImage();
  return DecodeJpeg(file.readAll());
}
