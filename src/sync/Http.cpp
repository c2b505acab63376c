#include "Http.h"

#include <arpa/inet.h>
#include <curl/curl.h>

#include <algorithm>
#include <cctype>
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

std::string UrlPart(CURLU* url, CURLUPart part) {
  char* text = nullptr;
  if (curl_url_get(url, part, &text, 0) != CURLUE_OK || !text) return {};
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

Response HttpClient::Send(const Request& request) {
  Response response;
  CURL* c = static_cast<CURL*>(curl_);
  if (!c) {
    response.error = NetError::kOther;
    response.errorDetail = "libcurl could not start";
    return response;
  }
  // One handle for every request of a run, so the connection (and its TLS session) is reused;
  // each request sets its own options from a clean slate.
  curl_easy_reset(c);
  Transfer transfer{&response, limits_.maxBytes};
  curl_slist* headers = nullptr;
  for (const std::string& h : request.headers) headers = curl_slist_append(headers, h.c_str());
  // Without this curl waits a second for "100 Continue" before each larger body.
  headers = curl_slist_append(headers, "Expect:");
  char curlError[CURL_ERROR_SIZE] = {};

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
  curl_easy_setopt(c, CURLOPT_ERRORBUFFER, curlError);
  curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers);
  curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &OnBody);
  curl_easy_setopt(c, CURLOPT_WRITEDATA, &transfer);
  curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, &OnHeader);
  curl_easy_setopt(c, CURLOPT_HEADERDATA, &transfer);
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

  const CURLcode code = curl_easy_perform(c);
  long redirects = 0;
  curl_easy_getinfo(c, CURLINFO_REDIRECT_COUNT, &redirects);
  requests_ += 1 + static_cast<int>(redirects);
  curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &response.status);
  if (char* effective = nullptr;
      curl_easy_getinfo(c, CURLINFO_EFFECTIVE_URL, &effective) == CURLE_OK && effective) {
    response.effectiveUrl = effective;
  }
  curl_slist_free_all(headers);
  if (code != CURLE_OK) {
    response.error = transfer.tooLarge ? NetError::kTooLarge : ErrorOf(code);
    response.errorDetail = curlError[0] ? curlError : curl_easy_strerror(code);
    if (response.error == NetError::kTooLarge) {
      response.errorDetail =
          "the answer is larger than " + std::to_string(limits_.maxBytes >> 20) + " MiB";
    }
    response.body.clear();
  }
  return response;
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

std::string ResolveHref(const std::string& base, const std::string& href) {
  CURLU* u = curl_url();
  std::string out;
  if (curl_url_set(u, CURLUPART_URL, base.c_str(), 0) == CURLUE_OK &&
      curl_url_set(u, CURLUPART_URL, href.c_str(), 0) == CURLUE_OK) {
    out = UrlPart(u, CURLUPART_URL);
  }
  curl_url_cleanup(u);
  return out;
}

}  // namespace vespin::sync
