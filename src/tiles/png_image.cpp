#include "tiles/png_image.h"

#include <png.h>
#include <zlib.h>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include <algorithm>
#include <array>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <exception>
#include <new>
#include <span>

#include "common/errors.h"
#include "common/file_io.h"

namespace qm {

namespace {

constexpr std::array<std::uint8_t, 8> kSignature = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
// libpng wants chunk lengths below 2^31.
constexpr std::uint32_t kMaxChunkLength = 0x7FFFFFFFu;
// Chunk data is fetched in pieces of this size, so a chunk that claims a huge length
// only costs memory for the bytes that are really there.
constexpr std::size_t kReadPiece = 64 * 1024;

std::uint32_t BigEndian32(const std::uint8_t* p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
         std::uint32_t{p[3]};
}

[[noreturn]] void Invalid(const std::string& reason) {
  throw UserError("Invalid PNG image: " + reason + ".");
}

// What the decoder callbacks share. Nothing in here may throw while libpng is on
// the stack: a failure is turned into png_error, which longjmps back out.
struct Decoder {
  png_structp png = nullptr;
  png_infop info = nullptr;
  PngImage* image = nullptr;
  int width = 0;
  int height = 0;
  int channels = 0;        // interleaved channels per decoded pixel
  bool split_rows = true;  // false: rows collect in `interleaved` (interlaced images)
  bool alpha = false;
  std::vector<std::uint8_t> interleaved;
  int rows_seen = 0;  // rows of the last pass
  bool info_done = false;
  bool ended = false;
  char message[256] = {};
};

void OnError(png_structp png, png_const_charp message) {
  auto* d = static_cast<Decoder*>(png_get_error_ptr(png));
  std::snprintf(d->message, sizeof d->message, "%s", message ? message : "unknown error");
  png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp) {}

void SplitRow(Decoder& d, const std::uint8_t* src, int y) {
  std::uint8_t* color = d.image->Row(y);
  const int w = d.width;
  switch (d.image->ColorType()) {
    case PngColorType::RGBA: {
      std::uint8_t* a = d.image->AlphaRow(y);
      for (int x = 0; x < w; ++x) {
        color[0] = src[0];
        color[1] = src[1];
        color[2] = src[2];
        a[x] = src[3];
        color += 3;
        src += 4;
      }
      break;
    }
    case PngColorType::GreyAlpha: {
      std::uint8_t* a = d.image->AlphaRow(y);
      for (int x = 0; x < w; ++x) {
        color[x] = src[2 * x];
        a[x] = src[2 * x + 1];
      }
      break;
    }
    default:
      std::memcpy(color, src, d.image->RowBytes());
      break;
  }
}

void OnInfo(png_structp png, png_infop info) {
  auto* d = static_cast<Decoder*>(png_get_progressive_ptr(png));
  png_uint_32 w = 0, h = 0;
  int depth = 0, color = 0, interlace = 0;
  png_get_IHDR(png, info, &w, &h, &depth, &color, &interlace, nullptr, nullptr);
  if (depth == 16) png_set_scale_16(png);
  if (depth < 8) png_set_packing(png);  // one byte a pixel; palette indices stay indices
  if ((color == PNG_COLOR_TYPE_GRAY) && depth < 8) png_set_expand_gray_1_2_4_to_8(png);
  // A tRNS colour key on a grey or true-colour image is a transparent colour: it
  // becomes a real alpha plane, which is what every drawing path understands.
  const bool keyed = color != PNG_COLOR_TYPE_PALETTE && png_get_valid(png, info, PNG_INFO_tRNS);
  if (keyed) png_set_tRNS_to_alpha(png);
  const int passes = png_set_interlace_handling(png);
  png_read_update_info(png, info);

  PngColorType type = PngColorType::RGB;
  switch (color) {
    case PNG_COLOR_TYPE_GRAY:
      type = keyed ? PngColorType::GreyAlpha : PngColorType::Grey;
      break;
    case PNG_COLOR_TYPE_GRAY_ALPHA:
      type = PngColorType::GreyAlpha;
      break;
    case PNG_COLOR_TYPE_PALETTE:
      type = PngColorType::Palette;
      break;
    case PNG_COLOR_TYPE_RGB:
      type = keyed ? PngColorType::RGBA : PngColorType::RGB;
      break;
    default:
      type = PngColorType::RGBA;
      break;
  }
  d->width = static_cast<int>(w);
  d->height = static_cast<int>(h);
  d->channels = png_get_channels(png, info);
  d->split_rows = passes == 1;
  d->alpha = type == PngColorType::GreyAlpha || type == PngColorType::RGBA;

  const int expected = (type == PngColorType::RGB         ? 3
                        : type == PngColorType::RGBA      ? 4
                        : type == PngColorType::GreyAlpha ? 2
                                                          : 1);
  if (d->channels != expected || png_get_rowbytes(png, info) != std::size_t(d->channels) * w) {
    png_error(png, "unsupported pixel layout");
  }

  std::vector<PngRgb> palette;
  std::vector<std::uint8_t> palette_alpha;
  bool ok = true;
  try {
    *d->image = PngImage::Blank(type, d->width, d->height);
    if (!d->split_rows) d->interleaved.assign(std::size_t(d->channels) * w * h, 0);
    if (type == PngColorType::Palette) {
      png_colorp entries = nullptr;
      int count = 0;
      if (png_get_PLTE(png, info, &entries, &count) & PNG_INFO_PLTE) {
        palette.resize(static_cast<std::size_t>(count));
        for (int i = 0; i < count; ++i)
          palette[i] = {entries[i].red, entries[i].green, entries[i].blue};
      }
      palette_alpha.assign(palette.size(), 255);
      png_bytep trans = nullptr;
      int trans_count = 0;
      if (png_get_tRNS(png, info, &trans, &trans_count, nullptr) & PNG_INFO_tRNS) {
        for (int i = 0; i < trans_count && i < count; ++i) palette_alpha[i] = trans[i];
      }
      d->image->SetPalette(std::move(palette), std::move(palette_alpha));
    }
  } catch (...) {
    ok = false;
  }
  if (!ok) png_error(png, "out of memory");
  d->info_done = true;
}

void OnRow(png_structp png, png_bytep row, png_uint_32 row_num, int pass) {
  auto* d = static_cast<Decoder*>(png_get_progressive_ptr(png));
  if (row == nullptr || static_cast<int>(row_num) >= d->height) return;
  if (d->split_rows) {
    SplitRow(*d, row, static_cast<int>(row_num));
  } else {
    png_progressive_combine_row(
        png, d->interleaved.data() + std::size_t(row_num) * d->channels * d->width, row);
  }
  (void)pass;
  d->rows_seen = static_cast<int>(row_num) + 1;
}

void OnEnd(png_structp png, png_infop) {
  auto* d = static_cast<Decoder*>(png_get_progressive_ptr(png));
  d->ended = true;
}

// The setjmp frame: only trivially destructible objects live here, since libpng
// leaves it with longjmp on an error.
bool Feed(Decoder& d, std::uint8_t* data, std::size_t size) {
  if (setjmp(png_jmpbuf(d.png))) return false;
  png_process_data(d.png, d.info, data, size);
  return true;
}

bool Start(Decoder& d) {
  if (setjmp(png_jmpbuf(d.png))) return false;
  png_set_progressive_read_fn(d.png, &d, OnInfo, OnRow, OnEnd);
  png_set_user_limits(d.png, kMaxPngDimension, kMaxPngDimension);
  png_set_crc_action(d.png, PNG_CRC_ERROR_QUIT, PNG_CRC_ERROR_QUIT);
  return true;
}

class ReadStructs {
 public:
  explicit ReadStructs(Decoder& d) : d_(d) {
    d.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &d, OnError, OnWarning);
    if (d.png) d.info = png_create_info_struct(d.png);
    if (!d.png || !d.info) throw std::bad_alloc();
  }
  ~ReadStructs() { png_destroy_read_struct(&d_.png, d_.info ? &d_.info : nullptr, nullptr); }

 private:
  Decoder& d_;
};

// Reads exactly n bytes or reports that the datastream was cut short.
void ReadExactly(ByteSource& source, std::uint8_t* data, std::size_t n) {
  if (source.Read(data, n) != n) Invalid("the data ends before the IEND chunk");
}

void CheckHeader(const std::uint8_t* ihdr) {
  const std::uint32_t w = BigEndian32(ihdr);
  const std::uint32_t h = BigEndian32(ihdr + 4);
  const int color = ihdr[9];
  if (w == 0 || h == 0) Invalid("the image has no pixels");
  if (w > std::uint32_t(kMaxPngDimension) || h > std::uint32_t(kMaxPngDimension)) {
    Invalid("the image is " + std::to_string(w) + " x " + std::to_string(h) +
            " pixels, larger than the " + std::to_string(kMaxPngDimension) + " x " +
            std::to_string(kMaxPngDimension) + " this program accepts");
  }
  // Colour bytes plus alpha plane as stored here, and the interleaved row buffer an
  // interlaced image needs besides.
  const std::uint64_t per_pixel = (color == 2 || color == 6) ? 4 : 2;
  const std::uint64_t decoded = std::uint64_t{w} * h * per_pixel;
  if (decoded > kMaxPngDecodedBytes) {
    Invalid("the image would take " + std::to_string(decoded >> 20) +
            " MiB decoded, more than the " + std::to_string(kMaxPngDecodedBytes >> 20) +
            " MiB this program accepts");
  }
}

// 255 * 255 products divided by 255 with rounding, without a division.
inline std::uint8_t Div255(unsigned v) {
  return static_cast<std::uint8_t>((v + 128 + ((v + 128) >> 8)) >> 8);
}

inline void Blend(std::uint8_t* d, std::uint8_t r, std::uint8_t g, std::uint8_t b, unsigned a) {
  if (a == 255) {
    d[0] = r;
    d[1] = g;
    d[2] = b;
  } else if (a != 0) {
    const unsigned ia = 255 - a;
    d[0] = Div255(r * a + d[0] * ia);
    d[1] = Div255(g * a + d[1] * ia);
    d[2] = Div255(b * a + d[2] * ia);
  }
}

}  // namespace

PngImage PngImage::Blank(PngColorType type, int width, int height) {
  if (width < 0 || height < 0) throw UserError("Invalid image size.");
  PngImage image;
  image.type_ = type;
  image.width_ = width;
  image.height_ = height;
  const std::size_t pixels = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  image.color_.assign(pixels * image.ColorBytesPerPixel(), 0);
  if (image.HasAlpha()) image.alpha_.assign(pixels, 0);
  return image;
}

namespace {

// Decodes a complete datastream through libpng's progressive reader.
PngImage DecodeWithLibpng(std::span<const std::uint8_t> stream) {
  PngImage image;
  Decoder d;
  d.image = &image;
  ReadStructs structs(d);
  auto fail = [&d]() { Invalid(d.message); };
  if (!Start(d)) fail();
  std::vector<std::uint8_t> piece;
  for (std::size_t at = 0; at < stream.size(); at += kReadPiece) {
    const std::size_t n = std::min(kReadPiece, stream.size() - at);
    piece.assign(stream.begin() + static_cast<std::ptrdiff_t>(at),
                 stream.begin() + static_cast<std::ptrdiff_t>(at + n));
    if (!Feed(d, piece.data(), n)) fail();
  }
  if (!d.info_done || !d.ended) Invalid("the image data is incomplete");
  if (!d.split_rows) {
    for (int y = 0; y < d.height; ++y) {
      SplitRow(d, d.interleaved.data() + std::size_t(y) * d.channels * d.width, y);
    }
  } else if (d.rows_seen < d.height) {
    Invalid("the image data is incomplete");
  }
  return image;
}

inline std::uint8_t Paeth(int a, int b, int c) {
  // Branch-light form of the predictor: distances from p = a + b - c.
  const int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
  const int ab = pa <= pb ? a : b;
  return static_cast<std::uint8_t>(std::min(pa, pb) <= pc ? ab : c);
}

#ifdef __SSE2__
// Sub and Paeth depend on the pixel to the left, so a row is undone one pixel
// after another; but the three or four bytes of a pixel are independent, and
// 16-bit lanes do them at once. The Paeth choice is the predictor's: the
// nearest of left, above and upper-left, ties going in that order.
inline __m128i LoadPixel(const std::uint8_t* p, int bpp) {
  std::uint32_t v = 0;
  std::memcpy(&v, p, static_cast<std::size_t>(bpp));
  return _mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(v)), _mm_setzero_si128());
}

inline void StorePixel(std::uint8_t* p, __m128i v, int bpp) {
  const std::uint32_t bytes = static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(v, v)));
  std::memcpy(p, &bytes, static_cast<std::size_t>(bpp));
}

inline __m128i Abs16(__m128i x) {
  const __m128i negative = _mm_cmplt_epi16(x, _mm_setzero_si128());
  return _mm_sub_epi16(_mm_xor_si128(x, negative), negative);
}

inline __m128i Select(__m128i mask, __m128i yes, __m128i no) {
  return _mm_or_si128(_mm_and_si128(mask, yes), _mm_andnot_si128(mask, no));
}

template <int kBpp>
void UnpaethPixels(std::uint8_t* row, const std::uint8_t* prior, std::size_t n) {
  const __m128i byte = _mm_set1_epi16(0xFF);
  __m128i a = _mm_setzero_si128();  // left
  __m128i c = _mm_setzero_si128();  // upper left
  for (std::size_t i = 0; i + kBpp <= n; i += kBpp) {
    const __m128i b = LoadPixel(prior + i, kBpp);
    const __m128i x = LoadPixel(row + i, kBpp);
    const __m128i pa = Abs16(_mm_sub_epi16(b, c));
    const __m128i pb = Abs16(_mm_sub_epi16(a, c));
    const __m128i pc = Abs16(_mm_sub_epi16(_mm_add_epi16(a, b), _mm_add_epi16(c, c)));
    const __m128i smallest = _mm_min_epi16(pc, _mm_min_epi16(pa, pb));
    const __m128i nearest =
        Select(_mm_cmpeq_epi16(smallest, pa), a, Select(_mm_cmpeq_epi16(smallest, pb), b, c));
    a = _mm_and_si128(_mm_add_epi16(x, nearest), byte);
    StorePixel(row + i, a, kBpp);
    c = b;
  }
}

template <int kBpp>
void UnsubPixels(std::uint8_t* row, std::size_t n) {
  const __m128i byte = _mm_set1_epi16(0xFF);
  __m128i a = _mm_setzero_si128();
  for (std::size_t i = 0; i + kBpp <= n; i += kBpp) {
    a = _mm_and_si128(_mm_add_epi16(LoadPixel(row + i, kBpp), a), byte);
    StorePixel(row + i, a, kBpp);
  }
}
#endif

// Undoes a row's filter in place; `prior` is the row above, already unfiltered
// (all zero for the first row). The first pixel has no left neighbour, so it gets
// its own loop and the rest run without a test per byte.
template <int kBpp>
bool UnfilterRow(int filter, std::uint8_t* row, const std::uint8_t* prior, std::size_t n) {
  switch (filter) {
    case 0:
      return true;
    case 1:
#ifdef __SSE2__
      if constexpr (kBpp >= 3) {
        UnsubPixels<kBpp>(row, n);
        return true;
      }
#endif
      for (std::size_t i = kBpp; i < n; ++i)
        row[i] = static_cast<std::uint8_t>(row[i] + row[i - kBpp]);
      return true;
    case 2:
      for (std::size_t i = 0; i < n; ++i) row[i] = static_cast<std::uint8_t>(row[i] + prior[i]);
      return true;
    case 3:
      for (std::size_t i = 0; i < kBpp && i < n; ++i)
        row[i] = static_cast<std::uint8_t>(row[i] + (prior[i] >> 1));
      for (std::size_t i = kBpp; i < n; ++i) {
        row[i] = static_cast<std::uint8_t>(row[i] + ((row[i - kBpp] + prior[i]) >> 1));
      }
      return true;
    case 4:
#ifdef __SSE2__
      if constexpr (kBpp >= 3) {
        UnpaethPixels<kBpp>(row, prior, n);
        return true;
      }
#endif
      for (std::size_t i = 0; i < kBpp && i < n; ++i)
        row[i] = static_cast<std::uint8_t>(row[i] + prior[i]);
      for (std::size_t i = kBpp; i < n; ++i) {
        row[i] =
            static_cast<std::uint8_t>(row[i] + Paeth(row[i - kBpp], prior[i], prior[i - kBpp]));
      }
      return true;
    default:
      return false;
  }
}

bool Unfilter(int filter, std::uint8_t* row, const std::uint8_t* prior, std::size_t n, int bpp) {
  switch (bpp) {
    case 1:
      return UnfilterRow<1>(filter, row, prior, n);
    case 2:
      return UnfilterRow<2>(filter, row, prior, n);
    case 3:
      return UnfilterRow<3>(filter, row, prior, n);
    default:
      return UnfilterRow<4>(filter, row, prior, n);
  }
}

bool ChunkNameValid(const std::uint8_t* name) {
  for (int i = 0; i < 4; ++i) {
    const std::uint8_t c = name[i];
    if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))) return false;
  }
  return true;
}

// The direct decoder for the layout nearly every tile has: 8 bits a sample, not
// interlaced. libpng inflates one row at a time, and rows under 258 bytes (every
// tile up to 64 RGBA pixels wide) keep zlib off its fast path; inflating the whole
// image at once makes loading a big tileset about twice as fast. Returns false for
// anything else (and for colour keys), which libpng then decodes.
bool DecodeDirect(std::span<const std::uint8_t> stream, PngImage& out) {
  const std::uint8_t* ihdr = stream.data() + 16;
  const std::uint32_t width = BigEndian32(ihdr), height = BigEndian32(ihdr + 4);
  const int depth = ihdr[8], color = ihdr[9];
  if (depth != 8 || ihdr[12] != 0) return false;
  if (color != 0 && color != 2 && color != 3 && color != 4 && color != 6) return false;
  if (ihdr[10] != 0 || ihdr[11] != 0) Invalid("the IHDR chunk names an unknown method");
  const int channels = color == 2 ? 3 : color == 6 ? 4 : color == 4 ? 2 : 1;
  const std::size_t row_bytes = std::size_t(width) * channels;

  std::vector<PngRgb> palette;
  std::vector<std::uint8_t> palette_alpha;
  bool have_plte = false, have_trns = false, seen_idat = false, idat_ended = false;
  z_stream z{};
  if (inflateInit(&z) != Z_OK) throw std::bad_alloc();
  struct InflateEnd {
    z_stream* z;
    ~InflateEnd() { inflateEnd(z); }
  } end{&z};
  // Filter byte plus row, for every row.
  std::vector<std::uint8_t> raw((row_bytes + 1) * height);
  z.next_out = raw.data();
  z.avail_out = static_cast<uInt>(raw.size());
  bool inflated = false;

  std::size_t at = 8;
  for (;;) {
    const std::uint32_t length = BigEndian32(stream.data() + at);
    const std::uint8_t* name = stream.data() + at + 4;
    const std::uint8_t* data = name + 4;
    const std::uint32_t crc = BigEndian32(data + length);
    if (!ChunkNameValid(name)) Invalid("a chunk has an invalid name");
    uLong actual = crc32(0, name, 4 + length);
    if (actual != crc) Invalid(std::string(reinterpret_cast<const char*>(name), 4) + ": CRC error");
    const auto is = [name](const char* n) { return std::memcmp(name, n, 4) == 0; };
    if (is("IDAT")) {
      if (idat_ended) Invalid("the image data chunks are not consecutive");
      if (color == 3 && !have_plte) Invalid("a palette image has no PLTE chunk before its data");
      seen_idat = true;
      if (!inflated && length > 0) {
        z.next_in = const_cast<Bytef*>(data);
        z.avail_in = length;
        const int rc = inflate(&z, Z_NO_FLUSH);
        if (rc == Z_STREAM_END) {
          inflated = true;
        } else if (rc != Z_OK && !(rc == Z_BUF_ERROR && z.avail_out == 0)) {
          Invalid("the image data cannot be decompressed");
        } else if (z.avail_out == 0 && z.avail_in > 0) {
          // More data than the image holds: the rows are complete, the rest is ignored.
          inflated = true;
        }
      }
    } else {
      if (seen_idat) idat_ended = true;
      if (is("IEND")) {
        break;
      } else if (is("PLTE")) {
        if (have_plte || seen_idat || length % 3 != 0 || length == 0 || length > 768) {
          Invalid("the PLTE chunk is invalid");
        }
        have_plte = true;
        if (color == 3) {
          for (std::uint32_t i = 0; i < length; i += 3)
            palette.push_back({data[i], data[i + 1], data[i + 2]});
        }
      } else if (is("tRNS")) {
        if (color != 3) return false;  // a colour key: libpng turns it into alpha
        if (have_trns || !have_plte) Invalid("the tRNS chunk is invalid");
        have_trns = true;
        // As libpng does: a late tRNS is ignored, entries past the palette dropped.
        if (!seen_idat)
          palette_alpha.assign(data, data + std::min<std::size_t>(length, palette.size()));
      } else if (is("IHDR") && at != 8) {
        Invalid("the datastream has a second IHDR chunk");
      } else if (!(name[0] & 0x20) && !is("IHDR")) {
        Invalid("the datastream has an unknown critical chunk");
      }
    }
    at += 12 + std::size_t{length};
  }
  if (!seen_idat) Invalid("the datastream has no image data");
  if (z.avail_out != 0) Invalid("the image data is incomplete");

  PngImage image = PngImage::Blank(static_cast<PngColorType>(color), static_cast<int>(width),
                                   static_cast<int>(height));
  if (color == 3) image.SetPalette(std::move(palette), std::move(palette_alpha));
  std::vector<std::uint8_t> zero(row_bytes, 0);
  Decoder split;
  split.image = &image;
  split.width = static_cast<int>(width);
  for (std::uint32_t y = 0; y < height; ++y) {
    std::uint8_t* row = raw.data() + y * (row_bytes + 1);
    const std::uint8_t* prior = y == 0 ? zero.data() : row - row_bytes;
    if (!Unfilter(row[0], row + 1, prior, row_bytes, channels))
      Invalid("a row has an unknown filter type");
    SplitRow(split, row + 1, static_cast<int>(y));
  }
  out = std::move(image);
  return true;
}

}  // namespace

PngImage DecodePngWithLibpng(std::span<const std::uint8_t> stream) {
  return DecodeWithLibpng(stream);
}

PngImage PngImage::Load(ByteSource& source) {
  return Decode(ReadDatastream(source));
}

PngDatastream PngImage::ReadDatastream(ByteSource& source) {
  std::vector<std::uint8_t> stream(kSignature.size());
  if (source.Read(stream.data(), stream.size()) != stream.size() ||
      !std::equal(kSignature.begin(), kSignature.end(), stream.begin())) {
    Invalid("the data does not start with the PNG signature");
  }
  // Chunk by chunk, so that the read stops right after IEND's CRC: whatever follows
  // in the source (the next tile's properties) stays unread. Data is fetched in
  // pieces, so a chunk claiming a huge length costs only the bytes really there.
  bool first = true;
  for (;;) {
    const std::size_t start = stream.size();
    stream.resize(start + 8);
    ReadExactly(source, stream.data() + start, 8);
    const std::uint32_t length = BigEndian32(stream.data() + start);
    if (length > kMaxChunkLength) Invalid("a chunk length is out of range");
    const bool is_iend = std::memcmp(stream.data() + start + 4, "IEND", 4) == 0;
    if (first && (std::memcmp(stream.data() + start + 4, "IHDR", 4) != 0 || length != 13)) {
      Invalid("the first chunk is not a valid IHDR chunk");
    }
    std::uint64_t left = std::uint64_t{length} + 4;  // data and CRC
    while (left > 0) {
      const std::size_t piece = static_cast<std::size_t>(std::min<std::uint64_t>(left, kReadPiece));
      const std::size_t at = stream.size();
      stream.resize(at + piece);
      ReadExactly(source, stream.data() + at, piece);
      left -= piece;
    }
    // Sizes are checked on IHDR, before anything is decoded or allocated for pixels.
    if (first) CheckHeader(stream.data() + start + 8);
    first = false;
    if (is_iend) break;
  }
  PngDatastream datastream;
  datastream.bytes_ = std::move(stream);
  return datastream;
}

PngImage PngImage::Decode(const PngDatastream& datastream) {
  PngImage image;
  if (DecodeDirect(datastream.bytes_, image)) return image;
  return DecodeWithLibpng(datastream.bytes_);
}

PngImage PngImage::LoadFile(const std::string& path) {
  InputFile file(path);
  return Load(file);
}

namespace {

struct Encoder {
  ByteSink* sink = nullptr;
  std::exception_ptr failure;
  char message[256] = {};
};

void OnWrite(png_structp png, png_bytep data, png_size_t size) {
  auto* e = static_cast<Encoder*>(png_get_io_ptr(png));
  bool ok = true;
  try {
    e->sink->Write(data, size);
  } catch (...) {
    e->failure = std::current_exception();
    ok = false;
  }
  if (!ok) png_error(png, "write failed");
}

void OnFlush(png_structp) {}

void OnWriteError(png_structp png, png_const_charp message) {
  auto* e = static_cast<Encoder*>(png_get_error_ptr(png));
  std::snprintf(e->message, sizeof e->message, "%s", message ? message : "unknown error");
  png_longjmp(png, 1);
}

bool Encode(png_structp png, png_infop info, const PngImage& image, std::uint8_t* row_buffer) {
  if (setjmp(png_jmpbuf(png))) return false;
  int color = PNG_COLOR_TYPE_RGB;
  switch (image.ColorType()) {
    case PngColorType::Grey:
      color = PNG_COLOR_TYPE_GRAY;
      break;
    case PngColorType::RGB:
      color = PNG_COLOR_TYPE_RGB;
      break;
    case PngColorType::Palette:
      color = PNG_COLOR_TYPE_PALETTE;
      break;
    case PngColorType::GreyAlpha:
      color = PNG_COLOR_TYPE_GRAY_ALPHA;
      break;
    case PngColorType::RGBA:
      color = PNG_COLOR_TYPE_RGB_ALPHA;
      break;
  }
  png_set_IHDR(png, info, static_cast<png_uint_32>(image.Width()),
               static_cast<png_uint_32>(image.Height()), 8, color, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (image.ColorType() == PngColorType::Palette) {
    std::array<png_color, 256> entries{};
    const auto& palette = image.Palette();
    // A palette image needs a PLTE; one without colours gets a single black entry.
    const int count = std::clamp(static_cast<int>(palette.size()), 1, 256);
    for (int i = 0; i < count && i < static_cast<int>(palette.size()); ++i) {
      entries[i] = {palette[i].r, palette[i].g, palette[i].b};
    }
    png_set_PLTE(png, info, entries.data(), count);
    const auto& alpha = image.PaletteAlpha();
    int trans = std::min(static_cast<int>(alpha.size()), count);
    while (trans > 0 && alpha[trans - 1] == 255) --trans;
    if (trans > 0) {
      std::array<png_byte, 256> t{};
      std::copy(alpha.begin(), alpha.begin() + trans, t.begin());
      png_set_tRNS(png, info, t.data(), trans, nullptr);
    }
  }
  png_write_info(png, info);
  const int w = image.Width();
  for (int y = 0; y < image.Height(); ++y) {
    const std::uint8_t* c = image.Row(y);
    switch (image.ColorType()) {
      case PngColorType::RGBA: {
        const std::uint8_t* a = image.AlphaRow(y);
        for (int x = 0; x < w; ++x) {
          row_buffer[4 * x] = c[3 * x];
          row_buffer[4 * x + 1] = c[3 * x + 1];
          row_buffer[4 * x + 2] = c[3 * x + 2];
          row_buffer[4 * x + 3] = a[x];
        }
        break;
      }
      case PngColorType::GreyAlpha: {
        const std::uint8_t* a = image.AlphaRow(y);
        for (int x = 0; x < w; ++x) {
          row_buffer[2 * x] = c[x];
          row_buffer[2 * x + 1] = a[x];
        }
        break;
      }
      default:
        std::memcpy(row_buffer, c, image.RowBytes());
        break;
    }
    png_write_row(png, row_buffer);
  }
  png_write_end(png, nullptr);
  return true;
}

}  // namespace

void PngImage::Save(ByteSink& sink) const {
  if (Empty()) throw UserError("Cannot save an image without pixels as PNG.");
  Encoder e;
  e.sink = &sink;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &e, OnWriteError, OnWarning);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!png || !info) {
    png_destroy_write_struct(&png, info ? &info : nullptr);
    throw std::bad_alloc();
  }
  png_set_write_fn(png, &e, OnWrite, OnFlush);
  std::vector<std::uint8_t> row(static_cast<std::size_t>(width_) * 4);
  const bool ok = Encode(png, info, *this, row.data());
  png_destroy_write_struct(&png, &info);
  if (e.failure) std::rethrow_exception(e.failure);
  if (!ok) throw UserError(std::string("Cannot write PNG image: ") + e.message + ".");
}

void PngImage::SaveFile(const std::string& path) const {
  AtomicFileWriter file(path);
  Save(file);
  file.Commit();
}

void PngImage::SetPalette(std::vector<PngRgb> palette, std::vector<std::uint8_t> alpha) {
  alpha.resize(palette.size(), 255);
  palette_ = std::move(palette);
  palette_alpha_ = std::move(alpha);
}

void PngImage::PixelRgba(int x, int y, std::uint8_t rgba[4]) const {
  const std::uint8_t* c = Row(y);
  switch (type_) {
    case PngColorType::RGB:
    case PngColorType::RGBA:
      rgba[0] = c[3 * x];
      rgba[1] = c[3 * x + 1];
      rgba[2] = c[3 * x + 2];
      break;
    case PngColorType::Grey:
    case PngColorType::GreyAlpha:
      rgba[0] = rgba[1] = rgba[2] = c[x];
      break;
    case PngColorType::Palette: {
      const std::size_t index = c[x];
      if (index < palette_.size()) {
        rgba[0] = palette_[index].r;
        rgba[1] = palette_[index].g;
        rgba[2] = palette_[index].b;
        rgba[3] = palette_alpha_[index];
      } else {
        // An index past the palette: libpng lets it through; it shows black.
        rgba[0] = rgba[1] = rgba[2] = 0;
        rgba[3] = 255;
      }
      return;
    }
  }
  rgba[3] = HasAlpha() ? AlphaRow(y)[x] : 255;
}

void PngImage::AddAlpha() {
  if (HasAlpha()) return;
  const std::size_t pixels = static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_);
  if (type_ == PngColorType::Grey) {
    alpha_.assign(pixels, 255);
    type_ = PngColorType::GreyAlpha;
    return;
  }
  if (type_ == PngColorType::Palette) {
    std::vector<std::uint8_t> color(pixels * 3);
    std::vector<std::uint8_t> alpha(pixels);
    for (std::size_t i = 0; i < pixels; ++i) {
      const std::size_t index = color_[i];
      if (index < palette_.size()) {
        color[3 * i] = palette_[index].r;
        color[3 * i + 1] = palette_[index].g;
        color[3 * i + 2] = palette_[index].b;
        alpha[i] = palette_alpha_[index];
      } else {
        alpha[i] = 255;
      }
    }
    color_ = std::move(color);
    alpha_ = std::move(alpha);
    palette_.clear();
    palette_alpha_.clear();
    type_ = PngColorType::RGBA;
    return;
  }
  alpha_.assign(pixels, 255);
  type_ = PngColorType::RGBA;
}

void PngImage::DrawScaled(RgbView target) const {
  if (Empty() || target.data == nullptr || target.width <= 0 || target.height <= 0) return;
  // Nearest pixel by centres: target pixel x samples source column
  // (2x + 1) * width / (2 * target width), which maps equal sizes one to one.
  std::vector<int> columns(static_cast<std::size_t>(target.width));
  for (int x = 0; x < target.width; ++x) {
    columns[x] = static_cast<int>((2ll * x + 1) * width_ / (2ll * target.width));
  }
  for (int y = 0; y < target.height; ++y) {
    const int sy = static_cast<int>((2ll * y + 1) * height_ / (2ll * target.height));
    const std::uint8_t* c = Row(sy);
    std::uint8_t* d = target.data + static_cast<std::size_t>(y) * target.stride;
    switch (type_) {
      case PngColorType::RGB:
        for (int x = 0; x < target.width; ++x, d += 3) {
          const std::uint8_t* s = c + 3 * columns[x];
          d[0] = s[0];
          d[1] = s[1];
          d[2] = s[2];
        }
        break;
      case PngColorType::RGBA: {
        const std::uint8_t* a = AlphaRow(sy);
        for (int x = 0; x < target.width; ++x, d += 3) {
          const int sx = columns[x];
          const std::uint8_t* s = c + 3 * sx;
          Blend(d, s[0], s[1], s[2], a[sx]);
        }
        break;
      }
      case PngColorType::Grey:
        for (int x = 0; x < target.width; ++x, d += 3) d[0] = d[1] = d[2] = c[columns[x]];
        break;
      case PngColorType::GreyAlpha: {
        const std::uint8_t* a = AlphaRow(sy);
        for (int x = 0; x < target.width; ++x, d += 3) {
          const int sx = columns[x];
          Blend(d, c[sx], c[sx], c[sx], a[sx]);
        }
        break;
      }
      case PngColorType::Palette:
        for (int x = 0; x < target.width; ++x, d += 3) {
          const std::size_t index = c[columns[x]];
          if (index < palette_.size()) {
            const PngRgb& p = palette_[index];
            Blend(d, p.r, p.g, p.b, palette_alpha_[index]);
          } else {
            Blend(d, 0, 0, 0, 255);
          }
        }
        break;
    }
  }
}

}  // namespace qm
