#include "output/picture_writers.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
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
  // Level 1 without row filters: on exported tile art this was both the fastest
  // setting and within a few percent of the smallest at level 1, and a whole
  // level at a large cell size is hundreds of megabytes to squeeze.
  png_set_compression_level(png, 1);
  png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
  png_write_info(png, info);
  return true;
}

bool PngRow(png_structp png, const std::uint8_t* row) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_write_row(png, row);
  return true;
}

bool PngEnd(png_structp png, png_infop info) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_write_end(png, info);
  return true;
}

class PngWriter : public PictureWriter {
 public:
  PngWriter(ByteSink& sink, int width, int height) {
    state_.sink = &sink;
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
  ~PngWriter() override { png_destroy_write_struct(&png_, &info_); }
  PngWriter(const PngWriter&) = delete;
  PngWriter& operator=(const PngWriter&) = delete;

  void WriteRow(const std::uint8_t* rgb) override { Check(PngRow(png_, rgb)); }
  void Finish() override { Check(PngEnd(png_, info_)); }

 private:
  void Check(bool ok) {
    if (state_.failure) std::rethrow_exception(state_.failure);
    if (!ok) throw UserError(std::string("Cannot write PNG image: ") + state_.message + ".");
  }

  PngState state_;
  png_structp png_ = nullptr;
  png_infop info_ = nullptr;
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
  return std::make_unique<PngWriter>(sink, width, height);
}

}  // namespace qm
