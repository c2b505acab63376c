#include "SubscribeCommands.h"

#include <algorithm>
#include <filesystem>
#include <functional>
#include <optional>
#include <system_error>

#include "Commands.h"
#include "FolderLock.h"
#include "events/EngineHost.h"
#include "events/EventFile.h"
#include "events/ExtensionSection.h"
#include "remote/CacheFolder.h"
#include "text/Sjis.h"

namespace vespin::cli {
namespace {

struct Edit {
  std::filesystem::path file;
  std::string user;
  bool userGiven = false;
  std::vector<std::string> words;  // NAME [URL]
};

// [--file F] [--user U] WORDS…; false for a bad option.
bool ReadArgs(const Args& args, Edit& e, bool userAllowed) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--file" || (userAllowed && a == "--user")) {
      if (i + 1 >= args.size() || args[i + 1].empty()) return false;
      if (a == "--file") {
        e.file = args[++i];
      } else {
        e.user = args[++i];
        e.userGiven = true;
      }
    } else if (!a.empty() && a.front() == '-') {
      return false;
    } else {
      e.words.push_back(a);
    }
  }
  return true;
}

// Loads the file under the folder's lock, lets `change` edit the settings, and saves. The lock
// is held until the file is written, as an import holds it.
int Change(const std::filesystem::path& file, std::FILE* err,
           const std::function<int(Settings&)>& change) {
  const std::filesystem::path folder = file.parent_path().empty() ? "." : file.parent_path();
  FolderLock lock(folder);
  if (lock.HeldElsewhere()) {
    std::fprintf(err, "VESPIN is running in %s: close it first, or it will write over the change\n",
                 folder.c_str());
    return kExitProblem;
  }
  EventStore store;
  Settings settings;
  if (!Load(file, store, settings, err)) return kExitProblem;
  const Settings before = settings;
  if (const int rc = change(settings); rc != kExitOk) return rc;
  if (settings.extensions == before.extensions) return kExitOk;
  TerminalNotifier notifier(err);
  return EventFile(file, notifier).IniSave(store, settings) ? kExitOk : kExitProblem;
}

int Subscribe(const Args& args, std::FILE* out, std::FILE* err, const Environment& env) {
  Edit e{env.workDir / kEventFileName, {}, false, {}};
  if (!ReadArgs(args, e, true)) return kExitUsage;
  if (e.words.size() != 2) return kExitUsage;
  const std::string& nameUtf8 = e.words[0];
  const auto name = sjis::FromUtf8(nameUtf8);
  if (!name) return Refuse(err, "name " + Quoted(nameUtf8) + " cannot be written in Shift_JIS");
  Subscription wanted{*name, e.words[1], e.user};
  if (std::string problem = SubscriptionProblem(wanted); !problem.empty()) {
    return Refuse(err, sjis::ToUtf8(problem));
  }
  std::string said;
  const int rc = Change(e.file, err, [&](Settings& settings) {
    auto& subs = settings.extensions.subscriptions;
    const auto same = std::find_if(subs.begin(), subs.end(),
                                   [&](const Subscription& s) { return s.name == wanted.name; });
    if (same == subs.end()) {
      subs.push_back(wanted);
      said = "subscribed";
    } else {
      // The address or the user of an existing name changes; its place in the list stays.
      if (!e.userGiven && same->url == wanted.url) wanted.user = same->user;
      const bool changed = !(*same == wanted);
      *same = wanted;
      said = changed ? "changed" : "unchanged";
    }
    return kExitOk;
  });
  if (rc == kExitOk)
    std::fprintf(out, "%s %s %s\n", said.c_str(), nameUtf8.c_str(), wanted.url.c_str());
  return rc;
}

int Unsubscribe(const Args& args, std::FILE* out, std::FILE* err, const Environment& env) {
  Edit e{env.workDir / kEventFileName, {}, false, {}};
  if (!ReadArgs(args, e, false) || e.words.size() != 1) return kExitUsage;
  const std::string& nameUtf8 = e.words[0];
  const int rc = Change(e.file, err, [&](Settings& settings) {
    auto& subs = settings.extensions.subscriptions;
    const auto found = std::find_if(subs.begin(), subs.end(), [&](const Subscription& s) {
      return sjis::ToUtf8(s.name) == nameUtf8;
    });
    if (found == subs.end()) {
      std::fprintf(err, "%s: no subscription named %s\n", e.file.c_str(), nameUtf8.c_str());
      return kExitProblem;
    }
    subs.erase(found);
    return kExitOk;
  });
  if (rc != kExitOk) return rc;
  // The copy of a calendar nobody subscribes to any more is only in the way.
  const std::filesystem::path folder = e.file.parent_path().empty() ? "." : e.file.parent_path();
  std::error_code ec;
  std::filesystem::remove_all(remote::SubscriptionFolder(remote::CacheFolder(folder), nameUtf8),
                              ec);
  std::fprintf(out, "unsubscribed %s\n", nameUtf8.c_str());
  return kExitOk;
}

}  // namespace

int RunSubscribeCommand(const std::vector<std::string>& args, std::FILE* out, std::FILE* err,
                        const Environment& env) {
  const Args rest(args.begin() + 1, args.end());
  return args.front() == "subscribe" ? Subscribe(rest, out, err, env)
                                     : Unsubscribe(rest, out, err, env);
}

}  // namespace vespin::cli
