#include "output/picture_writers.h"

#include <isa-l/igzip_lib.h>
#include <png.h>
#include <zlib.h>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <deque>
#include <exception>
#include <future>
#include <string>
#include <thread>
#include <vector>

// jpeglib.h needs size_t and FILE declared before it.
#include <jerror.h>
#include <jpeglib.h>

#include "common/errors.h"

namespace qm {
namespace {

// --- PNG -------------------------------------------------------------------
//
// libpng reports failures by longjmp. Every call into it runs in a frame that
// holds only trivially destructible objects, and a failing sink is caught in the
// write callback and turned into png_error, then rethrown once libpng is off the
// stack.
//
// libpng writes the signature, IHDR and IEND and frames the chunks; the image
// data is compressed here, because one zlib stream on one thread is most of the
// time a big export takes. The rows are cut into segments of about
// kPngSegmentBytes, each filtered and deflated as a raw stream of its own on a
// worker thread and ended on a byte boundary (a sync flush, the last one the
// final block). Segments written one after another behind the two zlib header
// bytes are one valid deflate stream; its Adler-32 is joined from the segments'
// own with adler32_combine. Segments go to the file in order, on the caller's
// thread.
//
// The deflater is ISA-L's igzip: on exported tile art it runs several times
// faster than zlib at its fastest level, for files a few percent larger.

struct PngState {
  ByteSink* sink = nullptr;
  std::exception_ptr failure;
  char message[200] = {};
};

void PngOnError(png_structp png, png_const_charp message) {
  auto* state = static_cast<PngState*>(png_get_error_ptr(png));
  std::snprintf(state->message, sizeof state->message, "%s", message ? message : "");
  png_longjmp(png, 1);
}

void PngOnWarning(png_structp, png_const_charp) {}

void PngOnWrite(png_structp png, png_bytep data, png_size_t size) {
  auto* state = static_cast<PngState*>(png_get_io_ptr(png));
  bool failed = false;
  try {
    state->sink->Write(data, size);
  } catch (...) {
    state->failure = std::current_exception();
    failed = true;
  }
  if (failed) png_error(png, "write failed");
}

void PngOnFlush(png_structp) {}

bool PngBegin(png_structp png, png_infop info, int width, int height) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
               PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  return true;
}

bool PngChunk(png_structp png, const char* name, const std::uint8_t* data, std::size_t size) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_write_chunk(png, reinterpret_cast<png_const_bytep>(name), data, size);
  return true;
}

// One segment of rows: each row stored behind its filter byte, exactly as the
// zlib stream holds it once filtered, so filtering works in place.
struct PngSegment {
  std::vector<std::uint8_t> rows;   // (1 + row bytes) per row
  std::vector<std::uint8_t> prior;  // the raw row above the first; empty at the top
  bool last = false;
};

// The buffers a worker deflates with, handed back and forth with the writer.
struct DeflateBuffers {
  std::vector<std::uint8_t> output;
  std::vector<std::uint8_t> level;  // igzip's hash tables and token buffer
};

struct DeflatedSegment {
  DeflateBuffers buffers;          // output holds the segment's deflate bytes
  std::vector<std::uint8_t> rows;  // the segment's buffer, handed back for the next one
  uLong adler = 0;                 // of the filtered bytes
  std::size_t size = 0;            // filtered bytes
  bool last = false;
};

// igzip's level 2 with the Up filter: exported pictures are tile art scaled up,
// so most rows repeat the one above and filter to zeros, which pass in long
// matches; on noisy art Up still beats unfiltered rows in size and speed. Level 2
// costs no measurable time over level 1 and makes files about 5% smaller; level
// 0's fixed codes make them 30% larger.
constexpr std::uint32_t kPngLevel = 2;
constexpr std::size_t kPngLevelBuffer = ISAL_DEF_LVL2_DEFAULT;

DeflatedSegment DeflateSegment(PngSegment segment, DeflateBuffers buffers, std::size_t row_bytes) {
  std::vector<std::uint8_t>& rows = segment.rows;
  const std::size_t stride = row_bytes + 1;
  const std::size_t count = rows.size() / stride;
  // Bottom-up, so that every row is filtered against the raw row above it.
  for (std::size_t y = count; y-- > 0;) {
    std::uint8_t* row = rows.data() + y * stride + 1;
    const std::uint8_t* above = y > 0 ? row - stride : segment.prior.data();
    row[-1] = 2;                                    // Up
    if (y == 0 && segment.prior.empty()) continue;  // the top row: Up over zeros
    std::size_t i = 0;
#ifdef __SSE2__
    for (; i + 16 <= row_bytes; i += 16) {
      const __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + i));
      const __m128i up = _mm_loadu_si128(reinterpret_cast<const __m128i*>(above + i));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(row + i), _mm_sub_epi8(here, up));
    }
#endif
    for (; i < row_bytes; ++i) row[i] = static_cast<std::uint8_t>(row[i] - above[i]);
  }

  DeflatedSegment out;
  out.last = segment.last;
  out.size = rows.size();
  out.adler = isal_adler32(1, rows.data(), rows.size());
  out.buffers = std::move(buffers);
  std::vector<std::uint8_t>& level = out.buffers.level;
  level.resize(kPngLevelBuffer);
  // The stream holds igzip's history window, about 80 KiB: on the heap.
  auto z = std::make_unique<isal_zstream>();
  isal_deflate_init(z.get());
  z->level = kPngLevel;
  z->level_buf = level.data();
  z->level_buf_size = static_cast<std::uint32_t>(level.size());
  z->gzip_flag = IGZIP_DEFLATE;
  z->end_of_stream = segment.last ? 1 : 0;
  z->flush = segment.last ? NO_FLUSH : SYNC_FLUSH;
  z->next_in = rows.data();
  z->avail_in = static_cast<std::uint32_t>(rows.size());
  // Room for a little more than the rows themselves; grown if ever short.
  std::vector<std::uint8_t>& bytes = out.buffers.output;
  bytes.resize(rows.size() + rows.size() / 64 + 1024);
  for (;;) {
    z->next_out = bytes.data() + z->total_out;
    z->avail_out = static_cast<std::uint32_t>(bytes.size() - z->total_out);
    if (isal_deflate(z.get()) != COMP_OK) {
      throw UserError("Cannot write PNG image: the compressor failed.");
    }
    const bool done = z->avail_in == 0 && z->avail_out > 0 &&
                      (!segment.last || z->internal_state.state == ZSTATE_END);
    if (done) break;
    bytes.resize(bytes.size() * 2);
  }
  bytes.resize(z->total_out);
  out.rows = std::move(rows);
  return out;
}

class PngWriter : public PictureWriter {
 public:
  PngWriter(ByteSink& sink, int width, int height, std::size_t segment_bytes)
      : row_bytes_(3 * static_cast<std::size_t>(width)), height_(height) {
    state_.sink = &sink;
    rows_per_segment_ = std::max<std::size_t>(1, segment_bytes / (row_bytes_ + 1));
    const unsigned cores = std::thread::hardware_concurrency();
    in_flight_ = std::clamp<std::size_t>(cores == 0 ? 2 : cores, 2, 4);
    png_ = png_create_write_struct(PNG_LIBPNG_VER_STRING, &state_, PngOnError, PngOnWarning);
    info_ = png_ ? png_create_info_struct(png_) : nullptr;
    if (!png_ || !info_) {
      png_destroy_write_struct(&png_, info_ ? &info_ : nullptr);
      throw std::bad_alloc();
    }
    png_set_write_fn(png_, &state_, PngOnWrite, PngOnFlush);
    try {
      Check(PngBegin(png_, info_, width, height));
    } catch (...) {
      png_destroy_write_struct(&png_, &info_);
      throw;
    }
  }
  ~PngWriter() override {
    // Workers still running hold only their own segments; wait for them quietly.
    for (auto& pending : pending_) {
      if (pending.valid()) pending.wait();
    }
    png_destroy_write_struct(&png_, &info_);
  }
  PngWriter(const PngWriter&) = delete;
  PngWriter& operator=(const PngWriter&) = delete;

  void WriteRow(const std::uint8_t* rgb) override {
    if (segment_.rows.capacity() == 0) {
      segment_.rows = TakeSpare(spare_rows_);
      segment_.rows.reserve(rows_per_segment_ * (row_bytes_ + 1));
    }
    segment_.rows.push_back(0);
    segment_.rows.insert(segment_.rows.end(), rgb, rgb + row_bytes_);
    ++rows_written_;
    if (segment_.rows.size() == rows_per_segment_ * (row_bytes_ + 1) || rows_written_ == height_) {
      segment_.last = rows_written_ == height_;
      // The next segment filters its first row against this one's last.
      std::vector<std::uint8_t> last_row(rgb, rgb + row_bytes_);
      Submit(std::move(segment_));
      segment_ = PngSegment{};
      segment_.prior = std::move(last_row);
    }
  }

  void Finish() override {
    if (rows_written_ != height_) {
      throw UserError("Cannot write PNG image: " + std::to_string(rows_written_) + " of " +
                      std::to_string(height_) + " rows were given.");
    }
    while (!pending_.empty()) WriteOldest();
    Check(PngChunk(png_, "IEND", nullptr, 0));
  }

 private:
  void Submit(PngSegment segment) {
    while (pending_.size() >= in_flight_) WriteOldest();
    DeflateBuffers buffers;
    if (!spare_buffers_.empty()) {
      buffers = std::move(spare_buffers_.back());
      spare_buffers_.pop_back();
    }
    pending_.push_back(std::async(std::launch::async, DeflateSegment, std::move(segment),
                                  std::move(buffers), row_bytes_));
  }

  // Segment buffers go round rather than being freed and allocated again: the
  // allocator keeps freed blocks of this size in the worker threads' arenas,
  // and the process would grow by a segment for every thread that ever ran.
  static std::vector<std::uint8_t> TakeSpare(std::vector<std::vector<std::uint8_t>>& spares) {
    if (spares.empty()) return {};
    std::vector<std::uint8_t> buffer = std::move(spares.back());
    spares.pop_back();
    buffer.clear();
    return buffer;
  }

  // Waits for the oldest segment and writes it as one IDAT chunk, the zlib
  // header in front of the first and the stream's Adler-32 behind the last.
  void WriteOldest() {
    DeflatedSegment done = pending_.front().get();
    pending_.pop_front();
    ++segments_written_;
    const bool first = segments_written_ == 1;
    const bool last = done.last;
    adler_ =
        first ? done.adler : adler32_combine(adler_, done.adler, static_cast<z_off_t>(done.size));
    std::vector<std::uint8_t>& data = done.buffers.output;
    if (first) {
      // CMF: deflate with a 32 KiB window; FLG: the fastest level, no dictionary,
      // check bits making the pair a multiple of 31.
      data.insert(data.begin(), {0x78, 0x01});
    }
    if (last) {
      for (int shift = 24; shift >= 0; shift -= 8) {
        data.push_back(static_cast<std::uint8_t>(adler_ >> shift));
      }
    }
    if (!data.empty()) Check(PngChunk(png_, "IDAT", data.data(), data.size()));
    spare_rows_.push_back(std::move(done.rows));
    spare_buffers_.push_back(std::move(done.buffers));
  }

  void Check(bool ok) {
    if (state_.failure) std::rethrow_exception(state_.failure);
    if (!ok) throw UserError(std::string("Cannot write PNG image: ") + state_.message + ".");
  }

  PngState state_;
  png_structp png_ = nullptr;
  png_infop info_ = nullptr;
  std::size_t row_bytes_;
  int height_;
  int rows_written_ = 0;
  std::size_t rows_per_segment_ = 1;
  std::size_t in_flight_ = 2;
  PngSegment segment_;
  std::deque<std::future<DeflatedSegment>> pending_;
  std::vector<std::vector<std::uint8_t>> spare_rows_;
  std::vector<DeflateBuffers> spare_buffers_;
  int segments_written_ = 0;
  uLong adler_ = 1;
};

// --- JPEG ------------------------------------------------------------------
//
// The same discipline for libjpeg, whose error_exit must not return.

struct JpegError {
  jpeg_error_mgr manager;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

void JpegOnError(j_common_ptr info) {
  auto* error = reinterpret_cast<JpegError*>(info->err);
  (*info->err->format_message)(info, error->message);
  std::longjmp(error->jump, 1);
}

void JpegOnMessage(j_common_ptr, int) {}

constexpr std::size_t kJpegBuffer = 1 << 16;

struct JpegDestination {
  jpeg_destination_mgr manager;
  ByteSink* sink;
  std::exception_ptr failure;
  std::uint8_t buffer[kJpegBuffer];
};

void JpegInitDestination(j_compress_ptr info) {
  auto* dest = reinterpret_cast<JpegDestination*>(info->dest);
  dest->manager.next_output_byte = dest->buffer;
  dest->manager.free_in_buffer = kJpegBuffer;
}

// Hands `size` bytes of the buffer to the sink; a sink failure ends the encoder.
void JpegDrain(j_compress_ptr info, std::size_t size) {
  auto* dest = reinterpret_cast<JpegDestination*>(info->dest);
  bool failed = false;
  try {
    dest->sink->Write(dest->buffer, size);
  } catch (...) {
    dest->failure = std::current_exception();
    failed = true;
  }
  if (failed) {
    info->err->msg_code = JERR_FILE_WRITE;
    (*info->err->error_exit)(reinterpret_cast<j_common_ptr>(info));
  }
}

boolean JpegEmptyBuffer(j_compress_ptr info) {
  auto* dest = reinterpret_cast<JpegDestination*>(info->dest);
  JpegDrain(info, kJpegBuffer);
  dest->manager.next_output_byte = dest->buffer;
  dest->manager.free_in_buffer = kJpegBuffer;
  return TRUE;
}

void JpegTermDestination(j_compress_ptr info) {
  auto* dest = reinterpret_cast<JpegDestination*>(info->dest);
  JpegDrain(info, kJpegBuffer - dest->manager.free_in_buffer);
}

bool JpegBegin(jpeg_compress_struct* info, JpegError* error, int width, int height) {
  if (setjmp(error->jump)) return false;
  info->image_width = static_cast<JDIMENSION>(width);
  info->image_height = static_cast<JDIMENSION>(height);
  info->input_components = 3;
  info->in_color_space = JCS_RGB;
  jpeg_set_defaults(info);
  jpeg_set_quality(info, 90, TRUE);
  jpeg_start_compress(info, TRUE);
  return true;
}

bool JpegRow(jpeg_compress_struct* info, JpegError* error, const std::uint8_t* row) {
  if (setjmp(error->jump)) return false;
  JSAMPROW rows[1] = {const_cast<JSAMPROW>(row)};
  jpeg_write_scanlines(info, rows, 1);
  return true;
}

bool JpegEnd(jpeg_compress_struct* info, JpegError* error) {
  if (setjmp(error->jump)) return false;
  jpeg_finish_compress(info);
  return true;
}

class JpegWriter : public PictureWriter {
 public:
  JpegWriter(ByteSink& sink, int width, int height) : dest_(new JpegDestination()) {
    if (width > JPEG_MAX_DIMENSION || height > JPEG_MAX_DIMENSION) {
      throw UserError("The picture is too large for a JPEG file: at most " +
                      std::to_string(JPEG_MAX_DIMENSION) + " pixels a side.");
    }
    info_.err = jpeg_std_error(&error_.manager);
    error_.manager.error_exit = JpegOnError;
    error_.manager.emit_message = JpegOnMessage;
    jpeg_create_compress(&info_);
    dest_->sink = &sink;
    dest_->manager.init_destination = JpegInitDestination;
    dest_->manager.empty_output_buffer = JpegEmptyBuffer;
    dest_->manager.term_destination = JpegTermDestination;
    info_.dest = &dest_->manager;
    try {
      Check(JpegBegin(&info_, &error_, width, height));
    } catch (...) {
      jpeg_destroy_compress(&info_);
      throw;
    }
  }
  ~JpegWriter() override { jpeg_destroy_compress(&info_); }
  JpegWriter(const JpegWriter&) = delete;
  JpegWriter& operator=(const JpegWriter&) = delete;

  void WriteRow(const std::uint8_t* rgb) override { Check(JpegRow(&info_, &error_, rgb)); }
  void Finish() override { Check(JpegEnd(&info_, &error_)); }

 private:
  void Check(bool ok) {
    if (dest_->failure) std::rethrow_exception(dest_->failure);
    if (!ok) throw UserError(std::string("Cannot write JPEG image: ") + error_.message + ".");
  }

  jpeg_compress_struct info_{};
  JpegError error_{};
  std::unique_ptr<JpegDestination> dest_;
};

// --- BMP -------------------------------------------------------------------

void Put16(std::uint8_t* at, std::uint32_t v) {
  at[0] = static_cast<std::uint8_t>(v);
  at[1] = static_cast<std::uint8_t>(v >> 8);
}
void Put32(std::uint8_t* at, std::uint32_t v) {
  Put16(at, v);
  Put16(at + 2, v >> 16);
}

class BmpWriter : public PictureWriter {
 public:
  BmpWriter(ByteSink& sink, int width, int height) : sink_(sink), width_(width) {
    const std::uint64_t row_bytes = (3 * static_cast<std::uint64_t>(width) + 3) & ~std::uint64_t{3};
    const std::uint64_t image_bytes = row_bytes * static_cast<std::uint64_t>(height);
    if (image_bytes + 54 > 0xFFFFFFFFu) throw UserError("The picture is too large for a BMP file.");
    row_.assign(static_cast<std::size_t>(row_bytes), 0);
    std::uint8_t header[54] = {'B', 'M'};
    Put32(header + 2, static_cast<std::uint32_t>(54 + image_bytes));
    Put32(header + 10, 54);  // pixel data offset
    Put32(header + 14, 40);  // BITMAPINFOHEADER
    Put32(header + 18, static_cast<std::uint32_t>(width));
    Put32(header + 22, static_cast<std::uint32_t>(height));  // positive: bottom-up
    Put16(header + 26, 1);                                   // planes
    Put16(header + 28, 24);                                  // bits per pixel
    Put32(header + 30, 0);                                   // BI_RGB, uncompressed
    Put32(header + 34, static_cast<std::uint32_t>(image_bytes));
    Put32(header + 38, 2835);  // 72 dpi
    Put32(header + 42, 2835);
    sink_.Write(header, sizeof header);
  }

  bool BottomUp() const override { return true; }

  void WriteRow(const std::uint8_t* rgb) override {
    std::uint8_t* out = row_.data();
    for (int x = 0; x < width_; ++x, rgb += 3, out += 3) {
      out[0] = rgb[2];
      out[1] = rgb[1];
      out[2] = rgb[0];
    }
    sink_.Write(row_.data(), row_.size());
  }

  void Finish() override {}

 private:
  ByteSink& sink_;
  int width_;
  std::vector<std::uint8_t> row_;
};

}  // namespace

std::unique_ptr<PictureWriter> MakePngWriter(ByteSink& sink, int width, int height,
                                             std::size_t segment_bytes) {
  return std::make_unique<PngWriter>(sink, width, height, segment_bytes);
}

std::unique_ptr<PictureWriter> MakePictureWriter(PictureFormat format, ByteSink& sink, int width,
                                                 int height) {
  switch (format) {
    case PictureFormat::Bmp:
      return std::make_unique<BmpWriter>(sink, width, height);
    case PictureFormat::Jpeg:
      return std::make_unique<JpegWriter>(sink, width, height);
    case PictureFormat::Png:
      break;
  }
  return MakePngWriter(sink, width, height, kPngSegmentBytes);
}

}  // namespace qm
