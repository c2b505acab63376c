#pragma once
// One HTTP(S) connection to calendar servers, through libcurl: every request bounded in time and
// size, certificates checked against the system's, redirects followed a few times at most, and
// each request counted (a fetch that found nothing new should cost a handful of them).

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "IcalLimits.h"

namespace vespin::sync {

struct Limits {
  long connectSeconds = 10;
  long totalSeconds = 60;  // a whole request, from the first byte sent to the last received
  // The bound an import puts on a file, and the reader of the cache: an answer it would refuse
  // is not worth receiving.
  std::size_t maxBytes = ical::kMaxCalendarBytes;
  long maxRedirects = 5;
};

struct Credentials {
  std::string user;      // empty: none, unless ~/.netrc names one for the host
  std::string password;  // empty with a user: the one ~/.netrc holds
};

// What went wrong below HTTP, or kNone when a status code came back.
enum class NetError {
  kNone,
  kConnect,      // refused, unreachable, no such host
  kTimeout,      // no answer, or no whole answer, within the limits
  kCertificate,  // the server's certificate could not be verified
  kTooLarge,     // the body went beyond Limits::maxBytes
  kRedirects,    // more redirects than Limits::maxRedirects (a loop)
  kAddress,      // a scheme other than http(s), or an address curl cannot read
  kOther,
};

struct Request {
  std::string method = "GET";
  std::string url;
  std::vector<std::string> headers;  // "Name: value"
  std::string body;
};

struct Response {
  NetError error = NetError::kNone;
  std::string errorDetail;  // what curl said, in English
  long status = 0;
  std::string body;
  std::string etag;          // as sent, quotes and all
  std::string lastModified;  // as sent
  std::string contentType;
  std::string retryAfter;
  std::string effectiveUrl;  // after redirects
  bool ok() const { return error == NetError::kNone && status >= 200 && status < 300; }
};

class HttpClient {
 public:
  explicit HttpClient(Limits limits = {}, Credentials credentials = {});
  ~HttpClient();
  HttpClient(const HttpClient&) = delete;
  HttpClient& operator=(const HttpClient&) = delete;

  Response Send(const Request& request);
  // Sends `requests` with at most `parallel` of them on the wire at once, each on a connection
  // of its own that later requests reuse. `done(index, response)` is called on this thread as
  // each one ends, in the order they end; once it returns false no further request is started
  // (those on the wire still end and are reported).
  void SendAll(const std::vector<Request>& requests, int parallel,
               const std::function<bool(std::size_t, Response&&)>& done);
  // Requests sent so far, redirects and authentication rounds included.
  int RequestCount() const { return requests_; }

 private:
  struct Exchange;
  void Prepare(void* handle, const Request& request, Exchange& exchange) const;
  void Finish(void* handle, int result, Exchange& exchange);

  void* curl_;
  Limits limits_;
  Credentials credentials_;
  int requests_ = 0;
};

// The longest a server's Retry-After is heeded: a wrong clock or a careless server must not stop
// the schedule for a day.
inline constexpr std::time_t kMaxRetryWait = 3600;

// Until when a 503 or 429 asked not to be asked again (Retry-After in seconds or as an HTTP
// date), at most kMaxRetryWait after `now`; 0 for any other answer, or a time already past.
std::time_t RetryUntil(const Response& response, std::time_t now);

// http://, https:// and webcal:// (which means https://: the calendars offered under webcal://
// are served over https, and a plain-text fallback would hand an attacker the choice).
// Empty when the address has another scheme.
std::string HttpUrl(const std::string& url);
// Plain http:// to a host other than this machine's loopback.
bool Unencrypted(const std::string& url);
// The address `href` (absolute, or a path on the same server) names, seen from `base`.
std::string ResolveHref(const std::string& base, const std::string& href);
// The path of that address, percent-escapes decoded (servers spell one resource differently in
// a listing and in a multiget answer); empty when it cannot be read.
std::string HrefPath(const std::string& base, const std::string& href);

}  // namespace vespin::sync
