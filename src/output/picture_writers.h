#pragma once
// Streaming encoders for exported pictures: rows go in one at a time and out to a
// ByteSink, so no encoder ever needs the whole picture.
#include <cstddef>
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

// PNG: 8-bit RGB, fast zlib settings (export pictures are big and redrawn at will),
// compressed in segments on worker threads. JPEG: quality 90, baseline, colour.
// BMP: 24-bit, uncompressed, bottom-up.
std::unique_ptr<PictureWriter> MakePictureWriter(PictureFormat format, ByteSink& sink, int width,
                                                 int height);

// Rows a PNG writer gathers before a worker compresses them: large enough that a
// segment boundary costs nothing measurable in size, small enough that a few in
// flight stay a few megabytes.
inline constexpr std::size_t kPngSegmentBytes = 1u << 20;
// The PNG writer with segments of about `segment_bytes` of row data (at least one
// row each); tests use small ones to cross many boundaries.
std::unique_ptr<PictureWriter> MakePngWriter(ByteSink& sink, int width, int height,
                                             std::size_t segment_bytes);

}  // namespace qm
