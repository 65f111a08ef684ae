// SPDX-License-Identifier: GPL-3.0-or-later
// JPEG pictures decoded with libjpeg (the start-up picture is one).
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

// Largest side we accept; a header claiming more is refused before any
// pixel memory is taken.
inline constexpr int kJpegMaxSide = 16384;

// Decodes JPEG file bytes into a 24-bit RGB picture. Greyscale pictures come
// back as RGB too. A null image when the data is not a JPEG libjpeg can read
// (truncated, corrupt, CMYK, or larger than kJpegMaxSide).
QImage DecodeJpeg(const QByteArray& data);

// Decodes the JPEG stored under a Qt resource path (":/..."); null when the
// resource is missing or unreadable.
QImage LoadJpegResource(const QString& path);
