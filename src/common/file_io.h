#pragma once
// Files on disk. Reading opens for reading only; writing never touches the target
// until every byte is safely on disk beside it.
#include <string>

#include "common/byte_stream.h"

namespace qm {

class InputFile : public ByteSource {
 public:
  // Throws UserError "Cannot open file ..." when the file cannot be opened.
  explicit InputFile(const std::string& path);
  ~InputFile() override;
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  std::size_t Read(void* data, std::size_t size) override;
  // Bytes in the file, as the file system reports them when it was opened.
  std::uint64_t Size() const { return size_; }

 private:
  std::string path_;
  int fd_ = -1;
  std::uint64_t size_ = 0;
};

// Writes a file through a temporary file in the same directory, which Commit()
// flushes to disk and renames over the target. Until then, and whenever anything
// fails, the previous file is untouched; an uncommitted temporary file is removed.
class AtomicFileWriter : public ByteSink {
 public:
  // Throws UserError "Cannot create file ..." when the file cannot be created.
  explicit AtomicFileWriter(const std::string& path);
  ~AtomicFileWriter() override;
  AtomicFileWriter(const AtomicFileWriter&) = delete;
  AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

  void Write(const void* data, std::size_t size) override;
  // Throws UserError naming the file and the system's reason.
  void Commit();

 private:
  void Flush();
  [[noreturn]] void FailWrite(int errnum);

  std::string path_;    // as the caller named it, for messages
  std::string target_;  // the file that gets replaced
  std::string temp_path_;
  bool direct_ = false;
  int fd_ = -1;
  std::string buffer_;
  bool committed_ = false;
};

// The directory part of a path ("." when there is none) and the name part.
std::string DirectoryOf(const std::string& path);
std::string FileNameOf(const std::string& path);
std::string JoinPath(const std::string& directory, const std::string& name);

}  // namespace qm
