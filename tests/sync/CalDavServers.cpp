#include "CalDavServers.h"

#include <gtest/gtest.h>

#include <fstream>

#include "CalendarText.h"
#include "IcalExport.h"
#include "Publish.h"
#include "TempDir.h"
#include "events/EventFile.h"

namespace vespin::test {

const char* NameOf(CalDavKind kind) {
  return kind == CalDavKind::kRadicale ? "Radicale" : "Xandikos";
}

std::unique_ptr<CalDavServer> StartCalDav(CalDavKind kind, const std::string& htpasswd) {
  auto server = std::make_unique<CalDavServer>();
  server->kind = kind;
  server->password = htpasswd;
  if (kind == CalDavKind::kRadicale) {
    std::vector<std::string> argv = {kSystemPython,
                                     "-m",
                                     "radicale",
                                     "--config=",
                                     "--storage-filesystem-folder={dir}/store",
                                     "--server-hosts=127.0.0.1:{port}",
                                     "--rights-type=authenticated",
                                     "--logging-level=info"};
    if (htpasswd.empty()) {
      argv.push_back("--auth-type=none");
    } else {
      argv.push_back("--auth-type=htpasswd");
      argv.push_back("--auth-htpasswd-filename={dir}/users");
      argv.push_back("--auth-htpasswd-encryption=plain");
      argv.push_back("--auth-delay=0");
    }
    server->process = ServerProcess::Start(argv);
    if (server->process && !htpasswd.empty()) {
      std::ofstream(server->process->Dir() / "users") << "alice:" << htpasswd << "\n";
    }
  } else {
    server->process = ServerProcess::Start(
        {"/usr/bin/xandikos", "-d", "{dir}/root", "-l", "127.0.0.1", "-p", "{port}", "--defaults"});
  }
  if (!server->process) return nullptr;
  server->base = "http://127.0.0.1:" + std::to_string(server->process->Port());
  return server;
}

std::string CalDavServer::NewCollection(std::string_view name) const {
  sync::HttpClient http({}, {"alice", password});
  std::string url;
  if (kind == CalDavKind::kRadicale) {
    http.Send({"MKCOL", base + "/alice/", {}, {}});
    url = base + "/alice/" + std::string(name) + "/";
  } else {
    url = base + "/user/calendars/" + std::string(name) + "/";
  }
  const sync::Response r = http.Send({"MKCALENDAR", url, {}, {}});
  if (r.status != 201) {
    ADD_FAILURE() << "MKCALENDAR " << url << ": " << r.status << " " << r.errorDetail;
    return {};
  }
  return url;
}

long PutResource(const std::string& url, std::string_view ics, const std::string& extraHeader) {
  sync::HttpClient http;
  sync::Request r{"PUT", url, {"Content-Type: text/calendar; charset=utf-8"}, std::string(ics)};
  if (!extraHeader.empty()) r.headers.push_back(extraHeader);
  return http.Send(r).status;
}

long DeleteResource(const std::string& url) {
  sync::HttpClient http;
  return http.Send({"DELETE", url, {}, {}}).status;
}

std::string DayText(std::time_t now, int days) {
  const std::time_t t = now + std::time_t{days} * 86400;
  std::tm tm{};
  gmtime_r(&t, &tm);
  char buffer[16];
  return std::string(buffer, std::strftime(buffer, sizeof buffer, "%Y%m%d", &tm));
}

std::vector<std::string> PublishedResourceNames(const std::filesystem::path& file) {
  EventStore store;
  Settings settings;
  ParseEventFile(test::ReadBytes(file), store, settings);
  ical::ExportOptions opt;
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  opt.from = EncodeDate(local.tm_year + 1900, 1, 1);
  opt.until = EncodeDate(local.tm_year + 1902, 12, 31);
  opt.zone = ical::LocalZoneName();
  const auto parts = sync::SplitCalendar(ical::ExportEvents(store, opt).ics);
  std::vector<std::string> names;
  if (!parts) return names;
  for (const auto& [uid, text] : sync::CalendarsByUid(*parts)) {
    names.push_back(sync::ResourceName(uid));
  }
  return names;
}

}  // namespace vespin::test
