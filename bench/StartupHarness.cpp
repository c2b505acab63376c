// Start-up time to the first painted window, and resident memory after start-up, of several
// programs measured from outside under a running X server (no hooks in the programs):
//
//   StartupHarness [--events N] RUNS FOLDER YARDSTICK PROGRAM...
//
// Each run starts each program in FOLDER (where it finds vespin.ini), waits for its first window
// to be mapped and for the window's bottom-right pixel to differ from the bare root (its first
// paint), notes the time and the CPU time so far, waits half a second, reads VmRSS and the CPU
// time again (what the whole start cost, work left for after the paint included) from /proc and
// ends the program with SIGTERM (after which it writes the file back, unchanged). The programs take
// turns, so a slow moment of the machine falls on all alike. Prints the medians and their ratios
// against the yardstick (the first program).
//
// FOLDER gets a vespin.ini with N events (1,000 unless told), a third of each kind, on other days
// than today (so that no notice opens at start-up), three months and every underline on: the
// heaviest first drawing.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const std::size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

std::string Two(int n) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "%02d", n);
  return buf;
}

void WriteEventFile(const std::string& folder, int events) {
  const int yearly = events / 3;
  const int monthly = events / 3;
  const int weekly = events - yearly - monthly;
  const std::time_t now = std::time(nullptr);
  std::tm today{};
  localtime_r(&now, &today);
  const int weekday = today.tm_wday + 1;  // 1 = Sunday
  std::ostringstream out;
  const auto line = [&out](const std::string& s) { out << s << "\r\n"; };
  line("[\x8f\x54\x8a\xd4]");  // [週間]
  for (int i = 0, w = 1; i < weekly; ++i, w = w % 7 + 1) {
    if (w == weekday) w = w % 7 + 1;
    line("1" + std::to_string(w) + "," + Two(i % 24) + ":" + Two(i % 60) + ",w" +
         std::to_string(i) + "," + Two(i % 15 + 1));
  }
  line("[\x8c\x8e\x8a\xd4]");  // [月間]
  for (int i = 0, d = 1; i < monthly; ++i, d = d % 28 + 1) {
    if (d == today.tm_mday) d = d % 28 + 1;
    line("1" + Two(d) + "," + Two(i % 24) + ":" + Two(i % 60) + ",m" + std::to_string(i) + "," +
         Two(i % 15 + 1));
  }
  line("[\x94\x4e\x8a\xd4]");  // [年間]
  for (int i = 0, m = 1; i < yearly; ++i, m = m % 12 + 1) {
    if (m == today.tm_mon + 1) m = m % 12 + 1;
    line(Two(m) + Two(i % 28 + 1) + "," + Two(i % 24) + ":" + Two(i % 60) + ",y" +
         std::to_string(i) + "," + Two(i % 15 + 1) + ",FALSE");
  }
  line("[\x90\xdd\x92\xe8]");  // [設定]
  // 9999: flush right on any screen; ＭＳ ゴシック in Shift_JIS.
  line(
      "9999,0,14745599,DARK,\x82\x6c\x82\x72\x20\x83\x53\x83\x56\x83\x62\x83\x4e,FALSE,9,1,TRUE,"
      "TRUE,TRUE,FALSE,FALSE,3");
  line("[\x83\x6f\x81\x5b\x83\x57\x83\x87\x83\x93]");  // [バージョン]
  line("vespin Ver3.2(2005.04.18)");
  std::ofstream(folder + "/vespin.ini", std::ios::binary) << out.str();
}

long RssKib(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string key;
  while (status >> key) {
    if (key == "VmRSS:") {
      long kib = 0;
      status >> kib;
      return kib;
    }
    status.ignore(4096, '\n');
  }
  return -1;
}

// CPU time the process has used so far, all its threads together, in milliseconds: each
// thread's time on a CPU from the scheduler's nanosecond count (the tick counts of
// /proc/PID/stat would round a start-up of a few dozen milliseconds too coarsely).
double CpuMs(pid_t pid) {
  const std::filesystem::path tasks = "/proc/" + std::to_string(pid) + "/task";
  std::error_code error;
  double ns = 0;
  bool any = false;
  for (const auto& task : std::filesystem::directory_iterator(tasks, error)) {
    std::ifstream in(task.path() / "schedstat");
    double onCpu = 0;
    if (in >> onCpu) {
      ns += onCpu;
      any = true;
    }
  }
  return any ? ns / 1e6 : -1;
}

struct Sample {
  double startupMs = -1;
  double cpuMs = -1;         // at the first paint
  double settledCpuMs = -1;  // half a second later: what the start cost in all
  long rssKib = -1;
};

// The first map of a window on the root after `since`, or XCB_NONE after `timeout`.
xcb_window_t WaitForMap(xcb_connection_t* c, std::chrono::milliseconds timeout) {
  const auto end = Clock::now() + timeout;
  const int fd = xcb_get_file_descriptor(c);
  while (Clock::now() < end) {
    while (xcb_generic_event_t* e = xcb_poll_for_event(c)) {
      const bool map = (e->response_type & ~0x80) == XCB_MAP_NOTIFY;
      const xcb_window_t w = map ? reinterpret_cast<xcb_map_notify_event_t*>(e)->window : XCB_NONE;
      const bool override = map && reinterpret_cast<xcb_map_notify_event_t*>(e)->override_redirect;
      std::free(e);
      if (map && !override) return w;
    }
    pollfd p{fd, POLLIN, 0};
    poll(&p, 1, 5);
  }
  return XCB_NONE;
}

// Waits until the window's bottom-right pixel is no longer the root's black.
bool WaitForPaint(xcb_connection_t* c, xcb_window_t w, std::chrono::milliseconds timeout) {
  const auto end = Clock::now() + timeout;
  while (Clock::now() < end) {
    auto* geo = xcb_get_geometry_reply(c, xcb_get_geometry(c, w), nullptr);
    if (geo && geo->width > 2 && geo->height > 2) {
      auto* img = xcb_get_image_reply(
          c,
          xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, w, static_cast<int16_t>(geo->width - 2),
                        static_cast<int16_t>(geo->height - 2), 1, 1, ~0u),
          nullptr);
      bool painted = false;
      if (img) {
        const uint8_t* data = xcb_get_image_data(img);
        const int len = xcb_get_image_data_length(img);
        for (int i = 0; i < len && i < 3; ++i) painted = painted || data[i] != 0;
        std::free(img);
      }
      std::free(geo);
      if (painted) return true;
    } else {
      std::free(geo);
    }
    std::this_thread::sleep_for(std::chrono::microseconds(500));
  }
  return false;
}

Sample RunOnce(xcb_connection_t* c, const std::string& program, const std::string& folder) {
  Sample s;
  while (xcb_generic_event_t* e = xcb_poll_for_event(c)) std::free(e);
  const auto t0 = Clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    if (chdir(folder.c_str()) != 0) _exit(127);
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    const int devnull = open("/dev/null", O_WRONLY);
    if (devnull >= 0) dup2(devnull, STDERR_FILENO);
    execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  const xcb_window_t w = WaitForMap(c, std::chrono::seconds(20));
  if (w != XCB_NONE && WaitForPaint(c, w, std::chrono::seconds(20))) {
    s.startupMs = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
    s.cpuMs = CpuMs(pid);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    s.rssKib = RssKib(pid);
    s.settledCpuMs = CpuMs(pid);
  }
  kill(pid, SIGTERM);
  waitpid(pid, nullptr, 0);
  return s;
}

}  // namespace

int main(int argc, char** argv) {
  const char* const program = argv[0];
  int events = 1000;
  if (argc > 2 && std::string(argv[1]) == "--events") {
    events = std::atoi(argv[2]);
    argc -= 2;
    argv += 2;
  }
  if (argc < 4 || events < 3) {
    std::fprintf(stderr, "usage: %s [--events N] RUNS FOLDER YARDSTICK PROGRAM...\n", program);
    return 2;
  }
  const int runs = std::atoi(argv[1]);
  const std::string folder = argv[2];
  std::vector<std::string> programs(argv + 3, argv + argc);
  WriteEventFile(folder, events);

  int screenNo = 0;
  xcb_connection_t* c = xcb_connect(nullptr, &screenNo);
  if (xcb_connection_has_error(c)) {
    std::fprintf(stderr, "no X server\n");
    return 1;
  }
  const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
  const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
  xcb_change_window_attributes(c, screen->root, XCB_CW_EVENT_MASK, &mask);
  xcb_flush(c);

  std::vector<std::vector<double>> startup(programs.size()), cpu(programs.size()),
      settled(programs.size()), rss(programs.size());
  RunOnce(c, programs[0], folder);  // warm the file cache; not counted
  for (int r = 0; r < runs; ++r) {
    for (std::size_t p = 0; p < programs.size(); ++p) {
      const Sample s = RunOnce(c, programs[p], folder);
      if (s.startupMs < 0 || s.cpuMs < 0 || s.rssKib < 0) {
        std::fprintf(stderr, "%s: no painted window\n", programs[p].c_str());
        return 1;
      }
      startup[p].push_back(s.startupMs);
      cpu[p].push_back(s.cpuMs);
      settled[p].push_back(s.settledCpuMs);
      rss[p].push_back(static_cast<double>(s.rssKib));
    }
  }
  std::printf("%-40s %12s %8s %10s %10s %8s %8s %8s %8s\n", "program", "start-up ms", "CPU ms",
              "CPU+0.5s", "RSS KiB", "x start", "x CPU", "x CPU+.5", "x RSS");
  for (std::size_t p = 0; p < programs.size(); ++p) {
    const double st = Median(startup[p]);
    const double cpuMs = Median(cpu[p]);
    const double all = Median(settled[p]);
    const double m = Median(rss[p]);
    std::printf("%-40s %12.1f %8.1f %10.1f %10.0f %8.2f %8.2f %8.2f %8.2f\n", programs[p].c_str(),
                st, cpuMs, all, m, st / Median(startup[0]), cpuMs / Median(cpu[0]),
                all / Median(settled[0]), m / Median(rss[0]));
  }
  std::printf("(medians of %d runs each, %d events)\n", runs, events);
  xcb_disconnect(c);
  return 0;
}
