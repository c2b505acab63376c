#pragma once
#include <filesystem>
#include <string>
#include <string_view>

namespace vespin::test {

// A fresh folder under the system's temporary directory, removed with everything in it.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  std::filesystem::path File(std::string_view name) const { return path_ / name; }
  // Writes raw bytes; returns the file's path.
  std::filesystem::path Write(std::string_view name, std::string_view bytes) const;
  std::string Read(std::string_view name) const;

 private:
  std::filesystem::path path_;
};

// The whole content of a file as raw bytes ("" when it cannot be read).
std::string ReadBytes(const std::filesystem::path& file);

}  // namespace vespin::test
