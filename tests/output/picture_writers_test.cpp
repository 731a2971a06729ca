#include "output/picture_writers.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "common/byte_stream.h"
#include "common/errors.h"
#include "tiles/png_image.h"

namespace qm {
namespace {

std::uint32_t Be32(const std::uint8_t* p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
         p[3];
}

// Rows that repeat their neighbours in places and are noise elsewhere, as scaled
// tile art is.
std::vector<std::uint8_t> Picture(int width, int height, unsigned seed) {
  std::mt19937 random(seed);
  const std::size_t stride = 3 * static_cast<std::size_t>(width);
  std::vector<std::uint8_t> pixels(stride * static_cast<std::size_t>(height));
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = pixels.data() + stride * y;
    if (y > 0 && random() % 3 != 0) {
      std::memcpy(row, row - stride, stride);
      row[random() % stride] ^= 0x5A;
    } else {
      for (std::size_t i = 0; i < stride; ++i) row[i] = static_cast<std::uint8_t>(random());
    }
  }
  return pixels;
}

TEST(PngWriter, SegmentedStreamsDecodeToTheRowsGiven) {
  // Segments of a few rows, of one row, or of the whole picture: each a deflate
  // stream of its own, joined into one zlib stream whose Adler-32 covers them all.
  struct Case {
    int width, height;
    std::size_t segment_bytes;
  } cases[] = {{1, 1, 1},           {5, 7, 1},      {33, 40, 100}, {64, 64, 3 * 64 * 5 + 5},
               {300, 90, 1u << 20}, {17, 200, 4096}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height) + ", segments of " +
                 std::to_string(c.segment_bytes));
    const std::vector<std::uint8_t> pixels = Picture(c.width, c.height, c.width * 31 + c.height);
    const std::size_t stride = 3 * static_cast<std::size_t>(c.width);
    MemorySink sink;
    {
      auto writer = MakePngWriter(sink, c.width, c.height, c.segment_bytes);
      for (int y = 0; y < c.height; ++y) writer->WriteRow(pixels.data() + stride * y);
      writer->Finish();
    }
    const std::vector<std::uint8_t>& file = sink.Bytes();

    // Both decoders agree with what was written.
    for (bool direct : {true, false}) {
      const PngImage image = direct ? [&] {
        MemorySource source(file);
        return PngImage::Load(source);
      }()
                                    : DecodePngWithLibpng(file);
      ASSERT_EQ(image.ColorType(), PngColorType::RGB);
      ASSERT_EQ(image.Width(), c.width);
      ASSERT_EQ(image.Height(), c.height);
      for (int y = 0; y < c.height; ++y) {
        ASSERT_EQ(std::memcmp(image.Row(y), pixels.data() + stride * y, stride), 0)
            << (direct ? "direct" : "libpng") << " decoder, row " << y;
      }
    }

    // The IDAT chunks together are one zlib stream that zlib itself accepts,
    // checksum included, and that holds a filter byte and a row for every row.
    std::vector<std::uint8_t> stream;
    for (std::size_t at = 8; at + 12 <= file.size();) {
      const std::uint32_t length = Be32(file.data() + at);
      const std::uint8_t* name = file.data() + at + 4;
      const std::uint32_t crc = Be32(name + 4 + length);
      EXPECT_EQ(crc32(0, name, 4 + length), crc) << "chunk CRC";
      if (std::memcmp(name, "IDAT", 4) == 0)
        stream.insert(stream.end(), name + 4, name + 4 + length);
      at += 12 + length;
    }
    std::vector<std::uint8_t> raw((stride + 1) * c.height + 1);
    uLongf raw_size = raw.size();
    ASSERT_EQ(uncompress(raw.data(), &raw_size, stream.data(), stream.size()), Z_OK);
    EXPECT_EQ(raw_size, (stride + 1) * c.height);
  }
}

TEST(PngWriter, TooFewRowsIsAFailureNotAFile) {
  MemorySink sink;
  auto writer = MakePngWriter(sink, 4, 10, 20);
  const std::vector<std::uint8_t> row(12, 7);
  for (int y = 0; y < 6; ++y) writer->WriteRow(row.data());
  EXPECT_THROW(writer->Finish(), UserError);
}

// A sink that fails after a number of bytes, as a full disk does.
class FailingSink : public ByteSink {
 public:
  explicit FailingSink(std::size_t allowed) : allowed_(allowed) {}
  void Write(const void*, std::size_t size) override {
    if (size > allowed_) throw UserError("The disk is full.");
    allowed_ -= size;
  }

 private:
  std::size_t allowed_;
};

TEST(PngWriter, ASinkFailureWhileSegmentsAreInFlightReachesTheCaller) {
  const std::vector<std::uint8_t> pixels = Picture(200, 300, 9);
  for (std::size_t allowed : {std::size_t{0}, std::size_t{100}, std::size_t{20000}}) {
    FailingSink sink(allowed);
    try {
      auto writer = MakePngWriter(sink, 200, 300, 2000);
      for (int y = 0; y < 300; ++y) writer->WriteRow(pixels.data() + 600 * y);
      writer->Finish();
      ADD_FAILURE() << "no failure with " << allowed << " bytes allowed";
    } catch (const UserError& error) {
      EXPECT_EQ(std::string(error.what()), "The disk is full.") << allowed;
    }
  }
}

}  // namespace
}  // namespace qm
