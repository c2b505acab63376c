#include "Http.h"

#include <arpa/inet.h>
#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <memory>
#include <string_view>

namespace vespin::sync {
namespace {

struct Transfer {
  Response* response;
  std::size_t maxBytes;
  bool tooLarge = false;
};

std::size_t OnBody(char* data, std::size_t size, std::size_t count, void* user) {
  auto* t = static_cast<Transfer*>(user);
  const std::size_t n = size * count;
  // Streamed and dropped past the bound, never held: a server may send gigabytes.
  if (t->response->body.size() + n > t->maxBytes) {
    t->tooLarge = true;
    return 0;
  }
  t->response->body.append(data, n);
  return n;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() &&
         std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) {
           return std::tolower(static_cast<unsigned char>(a)) ==
                  std::tolower(static_cast<unsigned char>(b));
         });
}

std::string Trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' '))
    text.remove_suffix(1);
  return std::string(text);
}

std::size_t OnHeader(char* data, std::size_t size, std::size_t count, void* user) {
  auto* r = static_cast<Transfer*>(user)->response;
  const std::size_t n = size * count;
  const std::string_view line(data, n);
  // Each response of a redirect chain starts anew: only the last one's headers count.
  if (StartsWithNoCase(line, "HTTP/")) {
    r->etag.clear();
    r->lastModified.clear();
    r->contentType.clear();
    r->retryAfter.clear();
    return n;
  }
  const auto take = [&line](std::string_view name, std::string& into) {
    if (StartsWithNoCase(line, name)) into = Trimmed(line.substr(name.size()));
  };
  take("etag:", r->etag);
  take("last-modified:", r->lastModified);
  take("content-type:", r->contentType);
  take("retry-after:", r->retryAfter);
  return n;
}

NetError ErrorOf(CURLcode code) {
  switch (code) {
    case CURLE_OK:
      return NetError::kNone;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_CONNECT:
      return NetError::kConnect;
    case CURLE_OPERATION_TIMEDOUT:
      return NetError::kTimeout;
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
      return NetError::kCertificate;
    case CURLE_FILESIZE_EXCEEDED:
      return NetError::kTooLarge;
    case CURLE_TOO_MANY_REDIRECTS:
      return NetError::kRedirects;
    case CURLE_UNSUPPORTED_PROTOCOL:
    case CURLE_URL_MALFORMAT:
      return NetError::kAddress;
    default:
      return NetError::kOther;
  }
}

struct CurlGlobal {
  CurlGlobal() { curl_global_init(CURL_GLOBAL_DEFAULT); }
  ~CurlGlobal() { curl_global_cleanup(); }
};

std::string UrlPart(CURLU* url, CURLUPart part, unsigned flags = 0) {
  char* text = nullptr;
  if (curl_url_get(url, part, &text, flags) != CURLUE_OK || !text) return {};
  std::string out(text);
  curl_free(text);
  return out;
}

}  // namespace

HttpClient::HttpClient(Limits limits, Credentials credentials)
    : limits_(limits), credentials_(std::move(credentials)) {
  static CurlGlobal global;
  curl_ = curl_easy_init();
}

HttpClient::~HttpClient() {
  curl_easy_cleanup(static_cast<CURL*>(curl_));
}

// Everything one request needs while it is on the wire.
struct HttpClient::Exchange {
  Exchange() = default;
  Exchange(const Exchange&) = delete;
  Exchange& operator=(const Exchange&) = delete;
  Response response;
  Transfer transfer{&response, 0};
  curl_slist* headers = nullptr;
  char curlError[CURL_ERROR_SIZE] = {};
  ~Exchange() { curl_slist_free_all(headers); }
};

// Sets every option of `c` from a clean slate for `request` (which must outlive the transfer:
// curl reads the body from it).
void HttpClient::Prepare(void* handle, const Request& request, Exchange& x) const {
  CURL* c = static_cast<CURL*>(handle);
  curl_easy_reset(c);
  x.transfer.maxBytes = limits_.maxBytes;
  for (const std::string& h : request.headers) x.headers = curl_slist_append(x.headers, h.c_str());
  // Without this curl waits a second for "100 Continue" before each larger body.
  x.headers = curl_slist_append(x.headers, "Expect:");

  curl_easy_setopt(c, CURLOPT_URL, request.url.c_str());
  curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(c, CURLOPT_MAXREDIRS, limits_.maxRedirects);
  // A redirected PROPFIND or REPORT stays what it is (curl would otherwise keep the method
  // only as long as it is not turned into a GET by a 301 to 303).
  curl_easy_setopt(c, CURLOPT_POSTREDIR, static_cast<long>(CURL_REDIR_POST_ALL));
  curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, limits_.connectSeconds);
  curl_easy_setopt(c, CURLOPT_TIMEOUT, limits_.totalSeconds);
  curl_easy_setopt(c, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(limits_.maxBytes));
  curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(c, CURLOPT_ACCEPT_ENCODING, "");
  curl_easy_setopt(c, CURLOPT_USERAGENT, "vespin-sync");
  curl_easy_setopt(c, CURLOPT_ERRORBUFFER, x.curlError);
  curl_easy_setopt(c, CURLOPT_HTTPHEADER, x.headers);
  curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &OnBody);
  curl_easy_setopt(c, CURLOPT_WRITEDATA, &x.transfer);
  curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, &OnHeader);
  curl_easy_setopt(c, CURLOPT_HEADERDATA, &x.transfer);
  if (!credentials_.user.empty()) {
    curl_easy_setopt(c, CURLOPT_USERNAME, credentials_.user.c_str());
    curl_easy_setopt(c, CURLOPT_HTTPAUTH, CURLAUTH_BASIC);
  }
  if (!credentials_.password.empty()) {
    curl_easy_setopt(c, CURLOPT_PASSWORD, credentials_.password.c_str());
  } else {
    curl_easy_setopt(c, CURLOPT_NETRC, static_cast<long>(CURL_NETRC_OPTIONAL));
  }
  if (request.method == "GET") {
    curl_easy_setopt(c, CURLOPT_HTTPGET, 1L);
  } else if (request.method == "HEAD") {
    curl_easy_setopt(c, CURLOPT_NOBODY, 1L);
  } else {
    curl_easy_setopt(c, CURLOPT_CUSTOMREQUEST, request.method.c_str());
    if (!request.body.empty() || request.method == "PUT") {
      curl_easy_setopt(c, CURLOPT_POSTFIELDS, request.body.data());
      curl_easy_setopt(c, CURLOPT_POSTFIELDSIZE_LARGE,
                       static_cast<curl_off_t>(request.body.size()));
    }
  }
}

void HttpClient::Finish(void* handle, int result, Exchange& x) {
  CURL* c = static_cast<CURL*>(handle);
  const auto code = static_cast<CURLcode>(result);
  Response& response = x.response;
  long redirects = 0;
  curl_easy_getinfo(c, CURLINFO_REDIRECT_COUNT, &redirects);
  requests_ += 1 + static_cast<int>(redirects);
  curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &response.status);
  if (char* effective = nullptr;
      curl_easy_getinfo(c, CURLINFO_EFFECTIVE_URL, &effective) == CURLE_OK && effective) {
    response.effectiveUrl = effective;
  }
  if (code != CURLE_OK) {
    response.error = x.transfer.tooLarge ? NetError::kTooLarge : ErrorOf(code);
    response.errorDetail = x.curlError[0] ? x.curlError : curl_easy_strerror(code);
    if (response.error == NetError::kTooLarge) {
      response.errorDetail =
          "the answer is larger than " + std::to_string(limits_.maxBytes >> 20) + " MiB";
    }
    response.body.clear();
  }
}

Response HttpClient::Send(const Request& request) {
  CURL* c = static_cast<CURL*>(curl_);
  if (!c) {
    Response response;
    response.error = NetError::kOther;
    response.errorDetail = "libcurl could not start";
    return response;
  }
  // One handle for every request of a run, so the connection (and its TLS session) is reused;
  // each request sets its own options from a clean slate.
  Exchange x;
  Prepare(c, request, x);
  Finish(c, curl_easy_perform(c), x);
  return std::move(x.response);
}

void HttpClient::SendAll(const std::vector<Request>& requests, int parallel,
                         const std::function<bool(std::size_t, Response&&)>& done) {
  if (requests.empty()) return;
  parallel = std::clamp(parallel, 1, static_cast<int>(std::min<std::size_t>(requests.size(), 64)));
  CURLM* multi = curl_multi_init();
  struct Slot {
    CURL* easy = nullptr;
    std::unique_ptr<Exchange> exchange;
    std::size_t index = 0;
  };
  std::vector<Slot> slots(static_cast<std::size_t>(parallel));
  for (Slot& s : slots) s.easy = curl_easy_init();
  const bool started = multi && std::all_of(slots.begin(), slots.end(),
                                            [](const Slot& s) { return s.easy != nullptr; });
  std::size_t next = 0;
  bool more = true;  // false once `done` asked for no more
  if (!started) {
    for (; next < requests.size() && more; ++next) {
      Response r;
      r.error = NetError::kOther;
      r.errorDetail = "libcurl could not start";
      more = done(next, std::move(r));
    }
  } else {
    curl_multi_setopt(multi, CURLMOPT_MAX_HOST_CONNECTIONS, static_cast<long>(parallel));
    int running = 0;
    const auto fill = [&] {
      for (Slot& s : slots) {
        while (!s.exchange && more && next < requests.size()) {
          s.index = next++;
          s.exchange = std::make_unique<Exchange>();
          Prepare(s.easy, requests[s.index], *s.exchange);
          curl_easy_setopt(s.easy, CURLOPT_PRIVATE, &s);
          if (curl_multi_add_handle(multi, s.easy) != CURLM_OK) {
            // Never on the wire: answered at once, or the loop would wait for it forever.
            Response r;
            r.error = NetError::kOther;
            r.errorDetail = "libcurl could not start the request";
            s.exchange.reset();
            more = done(s.index, std::move(r)) && more;
            continue;
          }
          ++running;
        }
      }
    };
    fill();
    while (running > 0) {
      int active = 0;
      curl_multi_perform(multi, &active);
      int queued = 0;
      while (CURLMsg* m = curl_multi_info_read(multi, &queued)) {
        if (m->msg != CURLMSG_DONE) continue;
        Slot* s = nullptr;
        curl_easy_getinfo(m->easy_handle, CURLINFO_PRIVATE, &s);
        const CURLcode result = m->data.result;
        curl_multi_remove_handle(multi, s->easy);
        --running;
        Finish(s->easy, result, *s->exchange);
        Response r = std::move(s->exchange->response);
        s->exchange.reset();
        more = done(s->index, std::move(r)) && more;
      }
      fill();
      if (running > 0) curl_multi_poll(multi, nullptr, 0, 1000, nullptr);
    }
  }
  for (Slot& s : slots) curl_easy_cleanup(s.easy);
  if (multi) curl_multi_cleanup(multi);
}

std::time_t RetryUntil(const Response& response, std::time_t now) {
  if (response.error != NetError::kNone || (response.status != 503 && response.status != 429) ||
      response.retryAfter.empty()) {
    return 0;
  }
  const std::string& text = response.retryAfter;
  std::time_t until = 0;
  if (std::all_of(text.begin(), text.end(), [](char ch) { return ch >= '0' && ch <= '9'; })) {
    // Digits beyond an hour's worth say no more than the cap does.
    until = text.size() > 6 ? now + kMaxRetryWait : now + std::stol(text);
  } else {
    until = curl_getdate(text.c_str(), nullptr);
  }
  if (until <= now) return 0;
  return std::min(until, now + kMaxRetryWait);
}

std::string HttpUrl(const std::string& url) {
  const auto scheme = [&url](std::string_view s) { return StartsWithNoCase(url, s); };
  if (scheme("webcal://")) return "https://" + url.substr(9);
  if (scheme("webcals://")) return "https://" + url.substr(10);
  if (scheme("http://") || scheme("https://")) return url;
  return {};
}

bool Unencrypted(const std::string& url) {
  if (!StartsWithNoCase(url, "http://")) return false;
  CURLU* u = curl_url();
  std::string host;
  if (curl_url_set(u, CURLUPART_URL, url.c_str(), 0) == CURLUE_OK)
    host = UrlPart(u, CURLUPART_HOST);
  curl_url_cleanup(u);
  std::transform(host.begin(), host.end(), host.begin(),
                 [](unsigned char ch) { return static_cast<char>(std::tolower(ch)); });
  // 127.0.0.0/8 only as an address: a name like 127.example.com is anywhere.
  in_addr v4{};
  const bool loopback =
      host == "localhost" || host == "[::1]" ||
      (::inet_pton(AF_INET, host.c_str(), &v4) == 1 && (ntohl(v4.s_addr) >> 24) == 127);
  return !loopback;
}

namespace {

std::string HrefPart(const std::string& base, const std::string& href, CURLUPart part,
                     unsigned flags) {
  CURLU* u = curl_url();
  std::string out;
  if (curl_url_set(u, CURLUPART_URL, base.c_str(), 0) == CURLUE_OK &&
      curl_url_set(u, CURLUPART_URL, href.c_str(), 0) == CURLUE_OK) {
    out = UrlPart(u, part, flags);
  }
  curl_url_cleanup(u);
  return out;
}

}  // namespace

std::string ResolveHref(const std::string& base, const std::string& href) {
  return HrefPart(base, href, CURLUPART_URL, 0);
}

std::string HrefPath(const std::string& base, const std::string& href) {
  return HrefPart(base, href, CURLUPART_PATH, CURLU_URLDECODE);
}

}  // namespace vespin::sync
