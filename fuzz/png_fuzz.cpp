// Feeds arbitrary bytes to the PNG reader. Whatever decodes must behave as an
// image: the same pixels as libpng alone gives, every pixel readable, drawable,
// and saved and read back unchanged.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "common/byte_stream.h"
#include "common/errors.h"
#include "tiles/png_image.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  qm::MemorySource source({data, size});
  qm::PngImage image;
  try {
    image = qm::PngImage::Load(source);
  } catch (const qm::UserError&) {
    return 0;
  }
  if (source.Position() > size || image.Empty()) std::abort();

  // The direct decoder and libpng must see the same picture.
  try {
    const qm::PngImage reference = qm::DecodePngWithLibpng({data, source.Position()});
    if (reference.Width() != image.Width() || reference.Height() != image.Height()) std::abort();
    for (int y = 0; y < image.Height(); ++y) {
      for (int x = 0; x < image.Width(); ++x) {
        std::uint8_t p[4], q[4];
        image.PixelRgba(x, y, p);
        reference.PixelRgba(x, y, q);
        if (std::memcmp(p, q, 4) != 0) std::abort();
      }
    }
  } catch (const qm::UserError&) {
  }

  std::uint8_t rgba[4];
  for (int y = 0; y < image.Height(); y += 7) {
    for (int x = 0; x < image.Width(); x += 7) image.PixelRgba(x, y, rgba);
  }
  std::vector<std::uint8_t> target(17 * 9 * 3, 0x55);
  image.DrawScaled({target.data(), 17, 9, 17 * 3});

  // Large images are decoded but not re-encoded, to keep each run quick.
  if (std::uint64_t(image.Width()) * image.Height() <= 512 * 512) {
    qm::MemorySink sink;
    image.Save(sink);
    qm::MemorySource again(sink.Bytes());
    const qm::PngImage copy = qm::PngImage::Load(again);
    if (copy.ColorType() != image.ColorType() || copy.Width() != image.Width() ||
        copy.Height() != image.Height()) {
      std::abort();
    }
    for (int y = 0; y < image.Height(); ++y) {
      if (std::memcmp(copy.Row(y), image.Row(y), image.RowBytes()) != 0) std::abort();
      if (image.HasAlpha() &&
          std::memcmp(copy.AlphaRow(y), image.AlphaRow(y), image.Width()) != 0) {
        std::abort();
      }
    }
  }
  image.AddAlpha();
  image.DrawScaled({target.data(), 17, 9, 17 * 3});
  return 0;
}
