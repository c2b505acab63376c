#include "Output.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
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

// A full disk: the command says so on standard error and fails, whatever it found.
TEST(OutputTest, AnAnswerThatCannotBeWrittenIsAFailure) {
  test::TempDir dir;
  const struct {
    const char* command;
    int exitCode;
  } cases[] = {{"holidays 2026", 1}, {"--help", 1}};
  for (const auto& c : cases) {
    const std::string run = std::string("'") + VESPIN_CLI_PROGRAM + "' " + c.command +
                            " >/dev/full 2>'" + dir.File("err").string() + "'";
    const int status = std::system(run.c_str());
    ASSERT_TRUE(WIFEXITED(status)) << c.command;
    EXPECT_EQ(WEXITSTATUS(status), c.exitCode) << c.command;
    const std::string err = test::ReadBytes(dir.File("err"));
    EXPECT_NE(err.find("cannot write the output"), std::string::npos) << c.command << ": " << err;
  }
}

}  // namespace
}  // namespace vespin::cli
