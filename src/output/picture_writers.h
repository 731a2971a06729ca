#pragma once
// Streaming encoders for exported pictures: rows go in one at a time and out to a
// ByteSink, so no encoder ever needs the whole picture.
#include <cstdint>
#include <memory>

#include "common/byte_stream.h"
#include "output/image_export.h"

namespace qm {

class PictureWriter {
 public:
  virtual ~PictureWriter() = default;
  // BMP stores its bottom row first; the others top-down.
  virtual bool BottomUp() const { return false; }
  // One row of 3 * width bytes of 8-bit RGB, in the writer's row order.
  virtual void WriteRow(const std::uint8_t* rgb) = 0;
  // After the last row. Throws UserError on a failure of the encoder or the sink.
  virtual void Finish() = 0;
};

// PNG: 8-bit RGB, fast zlib settings (export pictures are big and redrawn at will).
// JPEG: quality 90, baseline, colour. BMP: 24-bit, uncompressed, bottom-up.
std::unique_ptr<PictureWriter> MakePictureWriter(PictureFormat format, ByteSink& sink, int width,
                                                 int height);

}  // namespace qm
