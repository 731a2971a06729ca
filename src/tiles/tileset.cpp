#include "tiles/tileset.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <exception>
#include <functional>
#include <future>
#include <thread>

#include "common/errors.h"
#include "common/file_io.h"

namespace qm {

namespace {

constexpr const char* kDefaultTileset = "default.qts";

// Tile records are read chunk by chunk in small pieces; a buffer in front of the
// file turns those into a few large reads.
class BufferedSource : public ByteSource {
 public:
  explicit BufferedSource(ByteSource& inner) : inner_(inner), buffer_(256 * 1024) {}

  std::size_t Read(void* data, std::size_t size) override {
    auto* out = static_cast<std::uint8_t*>(data);
    std::size_t done = 0;
    while (done < size) {
      if (pos_ == end_) {
        if (ended_) break;
        // Large requests bypass the buffer.
        if (size - done >= buffer_.size()) {
          const std::size_t want = size - done;
          const std::size_t n = inner_.Read(out + done, want);
          done += n;
          if (n < want) ended_ = true;
          break;
        }
        end_ = inner_.Read(buffer_.data(), buffer_.size());
        pos_ = 0;
        if (end_ < buffer_.size()) ended_ = true;
        if (end_ == 0) break;
      }
      const std::size_t n = std::min(size - done, end_ - pos_);
      std::memcpy(out + done, buffer_.data() + pos_, n);
      pos_ += n;
      done += n;
    }
    return done;
  }

 private:
  ByteSource& inner_;
  std::vector<std::uint8_t> buffer_;
  std::size_t pos_ = 0;
  std::size_t end_ = 0;
  bool ended_ = false;
};

// Keeps a copy of every byte read through it.
class RecordingSource : public ByteSource {
 public:
  explicit RecordingSource(ByteSource& inner) : inner_(inner) {}
  std::size_t Read(void* data, std::size_t size) override {
    const std::size_t n = inner_.Read(data, size);
    const auto* p = static_cast<const std::uint8_t*>(data);
    bytes_.insert(bytes_.end(), p, p + n);
    return n;
  }
  std::vector<std::uint8_t> Take() { return std::move(bytes_); }

 private:
  ByteSource& inner_;
  std::vector<std::uint8_t> bytes_;
};

void ReadHeader(ByteSource& source, std::array<std::uint8_t, kTilesetHeaderBytes>& header) {
  std::array<std::uint8_t, kTilesetHeaderBytes> read{};
  if (source.Read(read.data(), read.size()) != read.size()) {
    throw UserError("This is not a tileset file: it ends inside the " +
                    std::to_string(kTilesetHeaderBytes) + "-byte header.");
  }
  header = read;
}

std::uint64_t DecodedBytes(const PngImage& image) {
  const std::uint64_t pixels = std::uint64_t(image.Width()) * std::uint64_t(image.Height());
  return pixels * (image.ColorBytesPerPixel() + (image.HasAlpha() ? 1 : 0));
}

void CheckTotal(std::uint64_t& total, const PngImage& image,
                std::uint64_t limit = kMaxTilesetDecodedBytes) {
  total += DecodedBytes(image);
  if (total > limit) {
    throw UserError("The tileset is too large: its images would take more than " +
                    std::to_string(limit >> 20) + " MiB.");
  }
}

std::string TileFailure(int tile, const UserError& error) {
  return "Tile " + std::to_string(tile) + ": " + error.what();
}

// The name part of a file name as any caller may give it, also one written with
// the backslashes of the system tileset names come from.
std::string NamePart(const std::string& file_name) {
  const auto cut = file_name.find_last_of("/\\");
  return cut == std::string::npos ? file_name : file_name.substr(cut + 1);
}

}  // namespace

std::int32_t TTileProperties::DefaultLayer() const {
  const std::uint32_t v = std::uint32_t{bytes_[0]} | (std::uint32_t{bytes_[1]} << 8) |
                          (std::uint32_t{bytes_[2]} << 16) | (std::uint32_t{bytes_[3]} << 24);
  return static_cast<std::int32_t>(v);
}

void TTileProperties::SetDefaultLayer(std::int32_t layer) {
  const auto v = static_cast<std::uint32_t>(layer);
  for (int i = 0; i < 4; ++i) bytes_[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

std::string TTileProperties::TileName() const {
  const std::size_t length = std::min<std::size_t>(bytes_[kTileNameOffset], kTileNameCapacity);
  return std::string(reinterpret_cast<const char*>(bytes_.data() + kTileNameOffset + 1), length);
}

void TTileProperties::SetTileName(const std::string& name) {
  const std::size_t length = std::min(name.size(), kTileNameCapacity);
  std::fill(bytes_.begin() + kTileNameOffset,
            bytes_.begin() + kTileNameOffset + 1 + kTileNameCapacity, 0);
  bytes_[kTileNameOffset] = static_cast<std::uint8_t>(length);
  std::memcpy(bytes_.data() + kTileNameOffset + 1, name.data(), length);
}

bool TTileProperties::ReservedBytesZero() const {
  return std::all_of(bytes_.begin() + kTileNameOffset + 1 + kTileNameCapacity, bytes_.end(),
                     [](std::uint8_t b) { return b == 0; });
}

void TTileProperties::ReadProperties(ByteSource& source) {
  std::size_t done = 0;
  // A source may hand out fewer bytes than asked before it ends.
  while (done < bytes_.size()) {
    const std::size_t n = source.Read(bytes_.data() + done, bytes_.size() - done);
    if (n == 0) break;
    done += n;
  }
}

void Tileset::Clear() {
  images_.clear();
  properties_.clear();
}

void Tileset::AddTile(PngImage image, TTileProperties properties) {
  images_.push_back(std::make_unique<PngImage>(std::move(image)));
  properties_.push_back(std::make_unique<TTileProperties>(properties));
}

int HeaderTileCount(const std::array<std::uint8_t, kTilesetHeaderBytes>& header) {
  return header[kTileCountOffset] | (header[kTileCountOffset + 1] << 8);
}

void SetHeaderTileCount(std::array<std::uint8_t, kTilesetHeaderBytes>& header, int count) {
  if (count < 0 || count > 0xFFFF) {
    throw UserError("A tileset holds at most 65535 tiles, not " + std::to_string(count) + ".");
  }
  header[kTileCountOffset] = static_cast<std::uint8_t>(count);
  header[kTileCountOffset + 1] = static_cast<std::uint8_t>(count >> 8);
}

// Tiles are read in file order in batches and each batch is decoded on several
// threads; the images then join the tileset in order with the checks of a plain
// one-by-one load, so a bad tile or the size limit stops it at the same tile
// with the same tiles before it. A batch is bounded in tiles and in the pixels
// its headers announce, so decoding ahead of a failure costs little memory.
constexpr int kBatchTiles = 64;
constexpr std::uint64_t kBatchPixelBytes = 16u << 20;

struct PendingTile {
  PngDatastream datastream;
  TTileProperties properties;
  PngImage image;
  std::exception_ptr failure;  // decoding failed
};

// Width x height x 4 from the IHDR chunk, which ReadDatastream has checked.
std::uint64_t AnnouncedBytes(const PngDatastream& datastream) {
  const std::uint8_t* ihdr = datastream.Bytes().data() + 16;
  auto be32 = [](const std::uint8_t* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
           std::uint32_t{p[3]};
  };
  return std::uint64_t{be32(ihdr)} * be32(ihdr + 4) * 4;
}

void DecodeRange(std::vector<PendingTile>& tiles, std::size_t from, std::size_t to) {
  for (std::size_t i = from; i < to; ++i) {
    try {
      tiles[i].image = PngImage::Decode(tiles[i].datastream);
    } catch (...) {
      tiles[i].failure = std::current_exception();
    }
    tiles[i].datastream = PngDatastream();
  }
}

void DecodeBatch(std::vector<PendingTile>& tiles) {
  const unsigned cores = std::thread::hardware_concurrency();
  const std::size_t threads =
      std::min<std::size_t>(std::clamp(cores, 1u, 4u), std::max<std::size_t>(tiles.size() / 8, 1));
  std::vector<std::future<void>> helpers;
  for (std::size_t t = 1; t < threads; ++t) {
    helpers.push_back(std::async(std::launch::async, DecodeRange, std::ref(tiles),
                                 tiles.size() * t / threads, tiles.size() * (t + 1) / threads));
  }
  DecodeRange(tiles, 0, tiles.size() / threads);
  for (auto& helper : helpers) helper.get();
}

class TilesetLoader {
 public:
  static void Read(ByteSource& file, Tileset& tileset, std::uint64_t limit) {
    BufferedSource source(file);
    std::array<std::uint8_t, kTilesetHeaderBytes> header{};
    ReadHeader(source, header);
    tileset.header_ = header;
    tileset.Clear();
    const int count = HeaderTileCount(header);
    tileset.images_.reserve(static_cast<std::size_t>(std::min(count, 4096)));
    tileset.properties_.reserve(static_cast<std::size_t>(std::min(count, 4096)));
    std::uint64_t total = 0;
    int tile = 0;
    std::vector<PendingTile> batch;
    while (tile < count) {
      // Read a batch; a tile that cannot be read ends it and fails after the
      // tiles before it have joined.
      batch.clear();
      std::exception_ptr read_failure;
      std::uint64_t announced = 0;
      while (tile + static_cast<int>(batch.size()) < count &&
             static_cast<int>(batch.size()) < kBatchTiles && announced < kBatchPixelBytes) {
        PendingTile pending;
        try {
          pending.datastream = PngImage::ReadDatastream(source);
        } catch (const UserError& error) {
          read_failure = std::make_exception_ptr(
              UserError(TileFailure(tile + static_cast<int>(batch.size()), error)));
          break;
        }
        pending.properties.ReadProperties(source);
        announced += AnnouncedBytes(pending.datastream);
        batch.push_back(std::move(pending));
      }
      DecodeBatch(batch);
      for (PendingTile& pending : batch) {
        try {
          if (pending.failure) std::rethrow_exception(pending.failure);
          CheckTotal(total, pending.image, limit);
        } catch (const UserError& error) {
          throw UserError(TileFailure(tile, error));
        }
        tileset.AddTile(std::move(pending.image), pending.properties);
        ++tile;
      }
      if (read_failure) std::rethrow_exception(read_failure);
    }
  }

  static void SetFileName(Tileset& tileset, const std::string& name) { tileset.file_name_ = name; }
};

void ReadTileset(ByteSource& source, Tileset& tileset, std::uint64_t max_decoded_bytes) {
  TilesetLoader::Read(source, tileset, max_decoded_bytes);
}

std::vector<RawTile> ReadRawTiles(ByteSource& file,
                                  std::array<std::uint8_t, kTilesetHeaderBytes>& header) {
  BufferedSource source(file);
  ReadHeader(source, header);
  const int count = HeaderTileCount(header);
  std::vector<RawTile> tiles;
  std::uint64_t total = 0;
  for (int tile = 0; tile < count; ++tile) {
    RawTile raw;
    try {
      RecordingSource recorder(source);
      CheckTotal(total, PngImage::Load(recorder));
      raw.png = recorder.Take();
    } catch (const UserError& error) {
      throw UserError(TileFailure(tile, error));
    }
    raw.properties.ReadProperties(source);
    tiles.push_back(std::move(raw));
  }
  return tiles;
}

void WriteRawTiles(const std::array<std::uint8_t, kTilesetHeaderBytes>& header,
                   const std::vector<RawTile>& tiles, ByteSink& sink) {
  auto out = header;
  SetHeaderTileCount(out, static_cast<int>(tiles.size()));
  sink.Write(out.data(), out.size());
  for (const RawTile& tile : tiles) {
    sink.Write(tile.png.data(), tile.png.size());
    sink.Write(tile.properties.Bytes().data(), kTilePropertiesBytes);
  }
}

void WriteTileset(const Tileset& tileset, ByteSink& sink) {
  auto header = tileset.TilesetHeader();
  SetHeaderTileCount(header, tileset.TileCount());
  sink.Write(header.data(), header.size());
  for (int tile = 0; tile < tileset.TileCount(); ++tile) {
    tileset.Image(tile).Save(sink);
    sink.Write(tileset.Properties(tile).Bytes().data(), kTilePropertiesBytes);
  }
}

bool LoadTileset(Tileset& tileset, const std::string& file_name,
                 const std::string& program_directory, UserDialogs& dialogs,
                 const std::function<void()>& loaded) {
  std::string name = NamePart(file_name);
  if (name.empty()) name = kDefaultTileset;
  TilesetLoader::SetFileName(tileset, name);
  const std::string path = JoinPath(JoinPath(program_directory, "Tilesets"), name);
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return false;
  std::unique_ptr<InputFile> file;
  try {
    // Reading is all a tileset needs: a read-only or shared file loads as well.
    file = std::make_unique<InputFile>(path);
  } catch (const UserError& error) {
    dialogs.ShowError(error.what());
    return false;
  }
  try {
    ReadTileset(*file, tileset);
  } catch (const UserError& error) {
    dialogs.ShowError("Tileset \"" + name + "\": " + error.what());
    return false;
  } catch (const std::bad_alloc&) {
    dialogs.ShowError("Not enough memory to load the tileset \"" + name + "\".");
    return false;
  }
  if (loaded) loaded();
  return true;
}

}  // namespace qm
