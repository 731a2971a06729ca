#include "common/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "common/errors.h"

namespace qm {

InputFile::InputFile(const std::string& path) : path_(path) {
  fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd_ < 0) throw UserError(CannotOpenMessage(path, SystemReason(errno)));
  struct stat st {};
  if (::fstat(fd_, &st) != 0 || S_ISDIR(st.st_mode)) {
    const int err = S_ISDIR(st.st_mode) ? EISDIR : errno;
    ::close(fd_);
    fd_ = -1;
    throw UserError(CannotOpenMessage(path, SystemReason(err)));
  }
  size_ = static_cast<std::uint64_t>(st.st_size);
}

InputFile::~InputFile() {
  if (fd_ >= 0) ::close(fd_);
}

std::size_t InputFile::Read(void* data, std::size_t size) {
  auto* p = static_cast<char*>(data);
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::read(fd_, p + done, size - done);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      throw UserError("Cannot read file \"" + path_ + "\". " + SystemReason(errno));
    }
    done += static_cast<std::size_t>(n);
  }
  return done;
}

namespace {
constexpr std::size_t kWriteBuffer = 1 << 20;
}

AtomicFileWriter::AtomicFileWriter(const std::string& path) : path_(path), target_(path) {
  struct stat st {};
  const bool exists = ::stat(path.c_str(), &st) == 0;  // follows a symbolic link
  if (exists && !S_ISREG(st.st_mode)) {
    // A device or pipe cannot be replaced by renaming; write into it directly.
    fd_ = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd_ < 0) throw UserError(CannotCreateMessage(path, SystemReason(errno)));
    direct_ = true;
    buffer_.reserve(kWriteBuffer);
    return;
  }
  if (exists) {
    // Saving through a symbolic link updates the file it points to.
    if (char* real = ::realpath(path.c_str(), nullptr)) {
      target_ = real;
      std::free(real);
    }
  }
  // The temporary file lives beside the target so the final rename stays on one
  // file system and is atomic.
  std::string pattern = JoinPath(DirectoryOf(target_), "." + FileNameOf(target_) + ".XXXXXX");
  fd_ = ::mkstemp(pattern.data());
  if (fd_ < 0) throw UserError(CannotCreateMessage(path, SystemReason(errno)));
  temp_path_ = pattern;
  // mkstemp creates the file 0600: keep the mode of the file being replaced, or
  // give a new file the mode a plain create would.
  mode_t mode = st.st_mode & 07777;
  if (!exists) {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
  }
  ::fchmod(fd_, mode);
  buffer_.reserve(kWriteBuffer);
}

AtomicFileWriter::~AtomicFileWriter() {
  if (fd_ >= 0) ::close(fd_);
  if (!committed_ && !temp_path_.empty()) ::unlink(temp_path_.c_str());
}

void AtomicFileWriter::Write(const void* data, std::size_t size) {
  const auto* p = static_cast<const char*>(data);
  if (buffer_.size() + size > kWriteBuffer) Flush();
  if (size >= kWriteBuffer) {
    buffer_.assign(p, size);
    Flush();
    return;
  }
  buffer_.append(p, size);
}

void AtomicFileWriter::Flush() {
  std::size_t done = 0;
  while (done < buffer_.size()) {
    const ssize_t n = ::write(fd_, buffer_.data() + done, buffer_.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      FailWrite(errno);
    }
    done += static_cast<std::size_t>(n);
  }
  buffer_.clear();
}

void AtomicFileWriter::FailWrite(int errnum) {
  throw UserError(CannotWriteMessage(path_, SystemReason(errnum)));
}

void AtomicFileWriter::Commit() {
  Flush();
  // Devices and pipes may not support fsync; for them EINVAL is no failure.
  if (::fsync(fd_) != 0 && !(direct_ && (errno == EINVAL || errno == ENOTSUP))) FailWrite(errno);
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) FailWrite(errno);
  if (!direct_ && ::rename(temp_path_.c_str(), target_.c_str()) != 0) FailWrite(errno);
  committed_ = true;
}

std::string DirectoryOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string FileNameOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string JoinPath(const std::string& directory, const std::string& name) {
  if (directory.empty()) return name;
  if (directory.back() == '/') return directory + name;
  return directory + "/" + name;
}

}  // namespace qm
