#include "Publish.h"

#include <charconv>
#include <chrono>
#include <set>

#include "Dav.h"
#include "Store.h"
#include "events/WholeFile.h"

namespace vespin::sync {
namespace {

constexpr std::string_view kMagic = "vespin-sync publish 1\n";

// Writes on the wire at once: servers that take writes one at a time still read, check and
// parse the next ones meanwhile, and a handful keeps a small server from being swamped.
constexpr int kParallelWrites = 6;
// Answers, or the time, between two saves of the state during a run.
constexpr int kWritesPerSave = 100;
constexpr std::chrono::seconds kSaveInterval{1};

// 64-bit FNV-1a over the text without its DTSTAMP lines: the stamp follows the event file's last
// change, which is no change of this event.
std::string TextHash(std::string_view text) {
  std::uint64_t h = 14695981039346656037ULL;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find('\n', pos);
    end = end == std::string_view::npos ? text.size() : end + 1;
    const std::string_view line = text.substr(pos, end - pos);
    if (line.substr(0, 8) != "DTSTAMP:") {
      for (const char c : line) {
        h ^= static_cast<unsigned char>(c);
        h *= 1099511628211ULL;
      }
    }
    pos = end;
  }
  char buffer[17];
  std::snprintf(buffer, sizeof buffer, "%016llx", static_cast<unsigned long long>(h));
  return buffer;
}

// The path a href names, decoded, without a trailing slash.
std::string PathOf(const std::string& base, const std::string& href) {
  std::string path = HrefPath(base, href);
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

std::string Encoded(std::string_view name) {
  std::string out;
  for (const char ch : name) {
    const auto c = static_cast<unsigned char>(ch);
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
        c == '_' || c == '.' || c == '~' || c == '@') {
      out.push_back(ch);
    } else {
      constexpr char kHex[] = "0123456789ABCDEF";
      out.push_back('%');
      out.push_back(kHex[c >> 4]);
      out.push_back(kHex[c & 0xF]);
    }
  }
  return out;
}

Problem ProblemOfStatus(long status) {
  return status == 401   ? Problem::kAuthentication
         : status == 403 ? Problem::kForbidden
         : status == 404 ? Problem::kNotFound
                         : Problem::kServer;
}

Problem ProblemOfError(NetError e) {
  switch (e) {
    case NetError::kTimeout:
      return Problem::kNoAnswer;
    case NetError::kCertificate:
      return Problem::kCertificate;
    case NetError::kTooLarge:
      return Problem::kTooLarge;
    case NetError::kAddress:
      return Problem::kAddress;
    case NetError::kRedirects:
      return Problem::kServer;
    default:
      return Problem::kConnect;
  }
}

std::string Why(const Response& r) {
  return r.error != NetError::kNone ? r.errorDetail : "HTTP " + std::to_string(r.status);
}

}  // namespace

std::string ResourceName(std::string_view uid) {
  return std::string(uid) + ".ics";
}

std::string FormatPublishState(const PublishState& s) {
  std::string out(kMagic);
  out += "url=" + s.url + "\n\n";
  for (const auto& [name, copy] : s.resources) {
    if (name.find_first_of("\t\r\n") != std::string::npos ||
        copy.etag.find_first_of("\t\r\n") != std::string::npos) {
      continue;
    }
    out += name + '\t' + copy.etag + '\t' + copy.hash + '\n';
  }
  return out;
}

std::optional<PublishState> ParsePublishState(std::string_view rest) {
  if (rest.substr(0, kMagic.size()) != kMagic) return std::nullopt;
  rest.remove_prefix(kMagic.size());
  PublishState s;
  bool header = true;
  while (!rest.empty()) {
    const std::size_t end = rest.find('\n');
    if (end == std::string_view::npos) return std::nullopt;
    const std::string_view line = rest.substr(0, end);
    rest.remove_prefix(end + 1);
    if (header) {
      if (line.empty()) {
        header = false;
      } else if (line.substr(0, 4) == "url=") {
        s.url = std::string(line.substr(4));
      }
      continue;
    }
    const std::size_t a = line.find('\t');
    const std::size_t b = a == std::string_view::npos ? a : line.find('\t', a + 1);
    if (b == std::string_view::npos) return std::nullopt;
    s.resources[std::string(line.substr(0, a))] = {std::string(line.substr(a + 1, b - a - 1)),
                                                   std::string(line.substr(b + 1))};
  }
  if (header) return std::nullopt;
  return s;
}

PublishOutcome Publish(HttpClient& http, const std::string& url,
                       const std::map<std::string, std::string>& calendars,
                       const std::filesystem::path& stateFile, bool force, std::time_t now) {
  PublishOutcome out;
  const std::string collection = HttpUrl(url);
  if (collection.empty()) {
    out.problem = Problem::kAddress;
    out.detail = url + ": only http://, https:// and webcal:// addresses";
    return out;
  }
  PublishState state;
  if (const auto bytes = ReadWholeFile(stateFile)) {
    state = ParsePublishState(*bytes).value_or(PublishState{});
  }
  // Another address: what VESPIN wrote elsewhere says nothing about this collection.
  if (state.url != url) state = PublishState{url, {}};

  // The listing: what is there, with the ETags that tell whether anyone changed it.
  const std::string self = PathOf(collection, collection);
  std::map<std::string, std::string> onServer;  // name -> etag
  bool isCalendar = false;
  const auto list = [&](const char* what, std::map<std::string, std::string>& names) {
    const Response r = http.Send({"PROPFIND",
                                  collection,
                                  {"Depth: 1", "Content-Type: application/xml; charset=utf-8"},
                                  dav::EtagListing()});
    if (r.error != NetError::kNone || r.status != 207) {
      out.problem =
          r.error != NetError::kNone ? ProblemOfError(r.error) : ProblemOfStatus(r.status);
      out.detail = std::string(what) + ": " + Why(r);
      out.retryUntil = RetryUntil(r, now);
      return false;
    }
    const auto ms = dav::ParseMultistatus(r.body);
    if (!ms) {
      out.problem = Problem::kFormat;
      out.detail = std::string(what) + ": the answer is no WebDAV multistatus";
      return false;
    }
    for (const auto& res : ms->responses) {
      const std::string path = PathOf(collection, res.href);
      if (path == self) {
        isCalendar = res.isCalendar;
      } else if (!res.isCollection && res.status == 200 && path.rfind(self + "/", 0) == 0) {
        names[path.substr(self.size() + 1)] = res.etag;
      }
    }
    return true;
  };
  if (!list("PROPFIND", onServer)) return out;
  if (!isCalendar) {
    out.problem = Problem::kNotFound;
    out.detail = "the address is no calendar collection: nothing was written";
    return out;
  }

  struct Write {
    std::string name;
    bool remove = false;
    bool add = false;  // the resource was not on the server at the listing
    std::string hash;
    std::optional<PublishedCopy> before;  // the state's line before the write
  };
  std::vector<Write> writes;
  std::vector<Request> requests;
  std::set<std::string> wanted;
  for (const auto& [uid, text] : calendars) {
    const std::string name = ResourceName(uid);
    wanted.insert(name);
    const std::string hash = TextHash(text);
    const auto known = state.resources.find(name);
    const auto there = onServer.find(name);
    // A line without a hash: VESPIN was writing this resource when its last run ended, so the
    // copy on the server may be VESPIN's own whatever its ETag says.
    const bool pending = known != state.resources.end() && known->second.hash.empty();
    std::string condition;
    if (there == onServer.end()) {
      condition = "If-None-Match: *";
    } else if (known == state.resources.end() ||
               (known->second.etag != there->second && !pending)) {
      // Not VESPIN's, or changed by someone else since VESPIN wrote it.
      if (!force) {
        out.conflicts.push_back(
            name + (known == state.resources.end()
                        ? ": on the server already, not written by VESPIN; --force replaces it"
                        : ": changed on the server since VESPIN wrote it; --force replaces it"));
        continue;
      }
      condition = "If-Match: " + there->second;
    } else if (known->second.hash == hash) {
      ++out.unchanged;
      continue;
    } else {
      condition = "If-Match: " + there->second;
    }
    Write w{name, false, there == onServer.end(), hash, std::nullopt};
    if (known != state.resources.end()) w.before = known->second;
    writes.push_back(std::move(w));
    requests.push_back({"PUT",
                        collection + Encoded(name),
                        {"Content-Type: text/calendar; charset=utf-8", condition},
                        text});
  }
  for (auto it = state.resources.begin(); it != state.resources.end();) {
    const std::string& name = it->first;
    if (wanted.count(name)) {
      ++it;
      continue;
    }
    const auto there = onServer.find(name);
    if (there == onServer.end()) {  // someone removed it already
      it = state.resources.erase(it);
      continue;
    }
    if (there->second != it->second.etag && !it->second.hash.empty() && !force) {
      out.conflicts.push_back(name +
                              ": changed on the server since VESPIN wrote it; --force removes it");
      ++it;
      continue;
    }
    writes.push_back({name, true, false, {}, it->second});
    requests.push_back({"DELETE", collection + Encoded(name), {"If-Match: " + there->second}, {}});
    ++it;
  }

  // Before the first write the state says which resources VESPIN is about to write, so that a
  // run that ends on the way (a signal, a lost answer) leaves no resource the next run takes
  // for someone else's.
  bool anyPut = false;
  for (const Write& w : writes) {
    if (w.remove) continue;
    state.resources[w.name] = {w.before ? w.before->etag : std::string(), std::string()};
    anyPut = true;
  }
  if (anyPut && !WriteFileAtomically(stateFile, FormatPublishState(state))) {
    out.problem = Problem::kCache;
    out.detail = stateFile.string() + ": cannot write the file: nothing was written";
    return out;
  }

  std::vector<std::string> conflictOf(writes.size()), failureOf(writes.size());
  std::vector<bool> answered(writes.size());
  std::set<std::string> uncertain;  // written or not, nobody knows: the next run sees
  std::vector<std::string> withoutEtag;
  int sinceSaved = 0;
  auto savedAt = std::chrono::steady_clock::now();
  http.SendAll(requests, kParallelWrites, [&](std::size_t i, Response&& r) {
    const Write& w = writes[i];
    answered[i] = true;
    const bool definite = r.error == NetError::kNone && r.status >= 200 && r.status < 500;
    if (w.remove) {
      if (r.error == NetError::kNone && (r.ok() || r.status == 404)) {
        ++out.removed;
        state.resources.erase(w.name);
      } else if (r.error == NetError::kNone && r.status == 412) {
        conflictOf[i] =
            w.name + ": changed on the server since VESPIN wrote it; --force removes it";
      } else {
        failureOf[i] = w.name + ": " + Why(r);
      }
    } else if (r.ok()) {
      (w.add ? out.added : out.changed) += 1;
      state.resources[w.name] = {r.etag, w.hash};
      // A server that does not say the new ETag is asked for it: without it the next publish
      // would take VESPIN's own write for someone else's.
      if (r.etag.empty()) withoutEtag.push_back(w.name);
    } else {
      if (r.error == NetError::kNone && r.status == 412) {
        conflictOf[i] =
            w.name + ": changed on the server since VESPIN wrote it; --force replaces it";
      } else {
        failureOf[i] = w.name + ": " + Why(r);
      }
      // Refused: the server holds what it held before. Anything else may have been written.
      if (definite && w.before) {
        state.resources[w.name] = *w.before;
      } else if (definite) {
        state.resources.erase(w.name);
      } else {
        uncertain.insert(w.name);
      }
    }
    if (!failureOf[i].empty() && out.problem == Problem::kNone) {
      out.problem =
          r.error != NetError::kNone ? ProblemOfError(r.error) : ProblemOfStatus(r.status);
    }
    if (const std::time_t until = RetryUntil(r, now); until > 0) {
      out.retryUntil = std::max(out.retryUntil, until);
      return false;  // the server asked for a rest: the rest waits for the next run
    }
    // Now and then, so that a run that ends on the way resends little.
    const auto clock = std::chrono::steady_clock::now();
    if (++sinceSaved >= kWritesPerSave || clock - savedAt >= kSaveInterval) {
      sinceSaved = 0;
      savedAt = clock;
      WriteFileAtomically(stateFile, FormatPublishState(state));
    }
    return true;
  });
  int unsent = 0;
  for (std::size_t i = 0; i < writes.size(); ++i) {
    if (!conflictOf[i].empty()) out.conflicts.push_back(conflictOf[i]);
    if (!failureOf[i].empty()) out.failures.push_back(failureOf[i]);
    if (answered[i]) continue;
    ++unsent;
    const Write& w = writes[i];
    if (w.remove) continue;
    if (w.before) {
      state.resources[w.name] = *w.before;
    } else {
      state.resources.erase(w.name);
    }
  }
  if (unsent > 0) {
    out.failures.push_back(std::to_string(unsent) + " resource(s) not sent" +
                           (out.retryUntil > 0
                                ? ": the server asked to wait until " + LocalIso(out.retryUntil)
                                : std::string()));
  }
  if (!withoutEtag.empty()) {
    std::map<std::string, std::string> names;
    if (list("PROPFIND after writing", names)) {
      for (const std::string& name : withoutEtag) {
        if (const auto it = names.find(name); it != names.end())
          state.resources[name].etag = it->second;
      }
    }
    for (const std::string& name : withoutEtag) {
      // Still unknown: written, but marked as being written, so the next run rewrites it
      // instead of naming it a conflict.
      if (state.resources[name].etag.empty()) state.resources[name].hash.clear();
    }
  }
  out.published = static_cast<int>(state.resources.size() - uncertain.size());
  if (!WriteFileAtomically(stateFile, FormatPublishState(state))) {
    out.failures.push_back(stateFile.string() + ": cannot write the file");
    if (out.problem == Problem::kNone) out.problem = Problem::kCache;
  }
  return out;
}

}  // namespace vespin::sync
