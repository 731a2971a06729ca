#pragma once
// The two ends every file reader and writer works against, so that the same code
// reads a file, a memory block (tests, fuzzing) or the middle of a bigger stream.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace qm {

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Reads up to size bytes; returns how many were read. Fewer than asked means
  // the source has ended. Throws UserError on a read failure.
  virtual std::size_t Read(void* data, std::size_t size) = 0;
};

class ByteSink {
 public:
  virtual ~ByteSink() = default;
  // Writes all bytes or throws UserError.
  virtual void Write(const void* data, std::size_t size) = 0;
};

class MemorySource : public ByteSource {
 public:
  // Reads the bytes in place: they must outlive the source.
  explicit MemorySource(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
  MemorySource(std::vector<std::uint8_t>&&) = delete;
  std::size_t Read(void* data, std::size_t size) override;
  std::size_t Position() const { return position_; }

 private:
  std::span<const std::uint8_t> bytes_;
  std::size_t position_ = 0;
};

class MemorySink : public ByteSink {
 public:
  void Write(const void* data, std::size_t size) override;
  const std::vector<std::uint8_t>& Bytes() const { return bytes_; }

 private:
  std::vector<std::uint8_t> bytes_;
};

}  // namespace qm
