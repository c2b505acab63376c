#include "remote/CacheFolder.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <system_error>

namespace vespin::remote {
namespace {

std::filesystem::path HomeFolder() {
  if (const char* home = std::getenv("HOME"); home && *home) return home;
  if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) return pw->pw_dir;
  return "/";
}

// FNV-1a: a stable spread of the path over 64 bits, enough to keep a user's folders apart.
std::uint64_t Fnv1a64(std::string_view bytes) {
  std::uint64_t hash = 14695981039346656037ULL;
  for (const char c : bytes) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 1099511628211ULL;
  }
  return hash;
}

}  // namespace

std::filesystem::path CacheRoot() {
  const char* xdg = std::getenv("XDG_CACHE_HOME");
  const std::filesystem::path base = xdg && *xdg && std::filesystem::path(xdg).is_absolute()
                                         ? std::filesystem::path(xdg)
                                         : HomeFolder() / ".cache";
  return base / "vespin";
}

std::string FolderKey(const std::filesystem::path& dataFolder) {
  std::error_code ec;
  std::filesystem::path canonical = std::filesystem::weakly_canonical(dataFolder, ec);
  if (ec) canonical = std::filesystem::absolute(dataFolder, ec).lexically_normal();
  std::string text = canonical.string();
  while (text.size() > 1 && text.back() == '/') text.pop_back();
  char key[17];
  std::snprintf(key, sizeof key, "%016llx", static_cast<unsigned long long>(Fnv1a64(text)));
  return key;
}

std::filesystem::path CacheFolder(const std::filesystem::path& dataFolder) {
  return CacheRoot() / FolderKey(dataFolder);
}

std::filesystem::path SubscriptionFolder(const std::filesystem::path& cacheFolder,
                                         std::string_view nameUtf8) {
  std::string safe;
  for (std::size_t i = 0; i < nameUtf8.size(); ++i) {
    const auto c = static_cast<unsigned char>(nameUtf8[i]);
    if (c == '/' || c == '%' || c < 0x20 || c == 0x7F || (i == 0 && c == '.')) {
      constexpr char kHex[] = "0123456789ABCDEF";
      safe.push_back('%');
      safe.push_back(kHex[c >> 4]);
      safe.push_back(kHex[c & 0xF]);
    } else {
      safe.push_back(static_cast<char>(c));
    }
  }
  if (safe.empty()) safe.push_back('%');
  return cacheFolder / kCalendarsFolder / safe;
}

}  // namespace vespin::remote
