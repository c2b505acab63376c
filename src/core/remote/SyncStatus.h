#pragma once
// What the last fetch of a subscription came to, as the network helper leaves it beside the
// calendar: key=value lines (UTF-8), read by the panel's window and by the companion.
//
//   url=https://example.com/dav/alice/work/
//   attempt=2026-12-09T10:15:00+09:00
//   success=2026-12-09T10:15:00+09:00
//   error=サーバーに接続できません
//   detail=Could not connect to server (example.com:443)
//   unencrypted=no
//   events=123
//   retry=2026-12-09T10:17:00+09:00

#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace vespin::remote {

struct SyncStatus {
  std::string url;
  std::string attempt;       // the last try, ISO 8601 with its offset; empty when never tried
  std::string success;       // the last try that succeeded; empty when none did
  std::string error;         // in plain words for the user; empty when the last try succeeded
  std::string detail;        // the same for the terminal, with what the server or the library said
  bool unencrypted = false;  // plain http:// to another machine
  int events = 0;            // events in the last good copy
  // The server asked (Retry-After) not to be asked before then; empty when it did not. A
  // scheduled run passes over the address until then; a run the user asks for goes anyway.
  std::string retry;

  friend bool operator==(const SyncStatus&, const SyncStatus&) = default;
};

// Lines it does not know are passed over, so that an older reader reads a newer file.
std::optional<SyncStatus> ReadSyncStatus(const std::filesystem::path& file);
std::string FormatSyncStatus(const SyncStatus& status);

// The moment an ISO 8601 time with its offset names, as the status file writes them
// ("2026-12-09T10:15:00+09:00", "…Z"); nullopt for any other text.
std::optional<std::time_t> ParseIsoTime(std::string_view text);

}  // namespace vespin::remote
