#include "common/byte_stream.h"

#include <algorithm>
#include <cstring>

namespace qm {

std::size_t MemorySource::Read(void* data, std::size_t size) {
  const std::size_t n = std::min(size, bytes_.size() - position_);
  if (n > 0) std::memcpy(data, bytes_.data() + position_, n);
  position_ += n;
  return n;
}

void MemorySink::Write(const void* data, std::size_t size) {
  const auto* p = static_cast<const std::uint8_t*>(data);
  bytes_.insert(bytes_.end(), p, p + size);
}

}  // namespace qm
