#include "common/file_io.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "common/errors.h"
#include "testing/temp_dir.h"

namespace qm {
namespace {

using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

void Save(const std::string& path, const std::string& text) {
  AtomicFileWriter writer(path);
  writer.Write(text.data(), text.size());
  writer.Commit();
}

TEST(AtomicFileWriterTest, ReplacesOnlyOnCommit) {
  TempDir dir;
  const std::string path = dir.File("a.txt");
  WriteBytes(path, {'o', 'l', 'd'});
  {
    AtomicFileWriter writer(path);
    writer.Write("new", 3);
    EXPECT_EQ(ReadBytes(path).size(), 3u);
    // Dropped without Commit: the old file stays and the temporary file goes.
  }
  EXPECT_EQ(ReadBytes(path), (std::vector<unsigned char>{'o', 'l', 'd'}));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
  Save(path, "new content");
  EXPECT_EQ(ReadBytes(path).size(), 11u);
}

TEST(AtomicFileWriterTest, KeepsModeAndWritesThroughSymbolicLinks) {
  TempDir dir;
  const std::string real = dir.File("real.map");
  const std::string link = dir.File("link.map");
  WriteBytes(real, {'x'});
  ASSERT_EQ(::chmod(real.c_str(), 0640), 0);
  ASSERT_EQ(::symlink(real.c_str(), link.c_str()), 0);
  Save(link, "through the link");
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(ReadBytes(real).size(), 16u);
  struct stat st {};
  ASSERT_EQ(::stat(real.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST(AtomicFileWriterTest, LargeWritesArriveWhole) {
  TempDir dir;
  std::string big(3 << 20, '\0');
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 31);
  AtomicFileWriter writer(dir.File("big"));
  writer.Write("a", 1);
  writer.Write(big.data(), big.size());
  writer.Write("z", 1);
  writer.Commit();
  const auto bytes = ReadBytes(dir.File("big"));
  ASSERT_EQ(bytes.size(), big.size() + 2);
  EXPECT_EQ(bytes.front(), 'a');
  EXPECT_EQ(bytes.back(), 'z');
  EXPECT_EQ(static_cast<char>(bytes[1 + 12345]), big[12345]);
}

TEST(InputFileTest, ReadsShortAtTheEndAndNamesMissingFiles) {
  TempDir dir;
  WriteBytes(dir.File("f"), {1, 2, 3});
  InputFile file(dir.File("f"));
  EXPECT_EQ(file.Size(), 3u);
  char buffer[8];
  EXPECT_EQ(file.Read(buffer, sizeof buffer), 3u);
  EXPECT_EQ(file.Read(buffer, sizeof buffer), 0u);
  try {
    InputFile missing(dir.File("none"));
    FAIL() << "opened a missing file";
  } catch (const UserError& error) {
    EXPECT_EQ(std::string(error.what()),
              "Cannot open file \"" + dir.File("none") + "\". No such file or directory");
  }
}

TEST(PathTest, DirectoryAndNameParts) {
  EXPECT_EQ(DirectoryOf("/a/b/c.map"), "/a/b");
  EXPECT_EQ(DirectoryOf("c.map"), ".");
  EXPECT_EQ(DirectoryOf("/c.map"), "/");
  EXPECT_EQ(FileNameOf("/a/b/c.map"), "c.map");
  EXPECT_EQ(FileNameOf("c.map"), "c.map");
  EXPECT_EQ(JoinPath("/a/", "b"), "/a/b");
  EXPECT_EQ(JoinPath("/a", "b"), "/a/b");
}

}  // namespace
}  // namespace qm
