#include "Output.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "TempDir.h"

namespace vespin::cli {
namespace {

off_t WrittenSoFar(int fd) {
  struct stat st {};
  return fstat(fd, &st) == 0 ? st.st_size : -1;
}

// Standard output reaches the file at the moments stdio would write it, so that messages on
// standard error land between the same bytes; and all of it arrives, in order.
TEST(OutputTest, WritesWhatStdioWritesWhenStdioWritesIt) {
  test::TempDir dir;
  const int ours = open(dir.File("ours").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  std::FILE* theirs = std::fopen(dir.File("stdio").c_str(), "w");
  ASSERT_GE(ours, 0);
  ASSERT_NE(theirs, nullptr);
  std::string all;
  {
    Output out(ours, Output::Buffering::kBlock);
    const std::size_t sizes[] = {10, 4000, 100, 5000, 9000, 1, 4095, 8192, 3, 0, 20000};
    for (const std::size_t n : sizes) {
      const std::string piece(n, static_cast<char>('a' + all.size() % 26));
      all += piece;
      out << piece;
      std::fwrite(piece.data(), 1, piece.size(), theirs);
      EXPECT_EQ(WrittenSoFar(ours), WrittenSoFar(fileno(theirs))) << "after " << all.size();
    }
    out << 'x' << 42 << std::string_view("-") << static_cast<std::size_t>(7);
    all += "x42-7";
  }
  std::fclose(theirs);
  close(ours);
  EXPECT_EQ(test::ReadBytes(dir.File("ours")), all);
}

}  // namespace
}  // namespace vespin::cli
