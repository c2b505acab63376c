#include "Dav.h"

#include <QByteArray>
#include <QString>
#include <QXmlStreamReader>

namespace vespin::sync::dav {
namespace {

const QString kDav = QStringLiteral("DAV:");
const QString kCalDav = QStringLiteral("urn:ietf:params:xml:ns:caldav");
const QString kCalServer = QStringLiteral("http://calendarserver.org/ns/");

constexpr const char* kXmlHead = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n";

std::string Utf8(const QString& s) {
  const QByteArray b = s.toUtf8();
  return std::string(b.constData(), static_cast<std::size_t>(b.size()));
}

// "HTTP/1.1 404 Not Found" -> 404.
int StatusCode(const QString& line) {
  const auto parts = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
  if (parts.size() < 2) return 0;
  bool ok = false;
  const int code = parts[1].toInt(&ok);
  return ok ? code : 0;
}

// Reads one <prop> into `into`; the reader stands on its start element.
void ReadProp(QXmlStreamReader& xml, Resource& into) {
  while (xml.readNextStartElement()) {
    const auto ns = xml.namespaceUri();
    const auto name = xml.name();
    if (ns == kDav && name == u"getetag") {
      into.etag = Utf8(xml.readElementText().trimmed());
    } else if (ns == kCalDav && name == u"calendar-data") {
      into.calendarData = Utf8(xml.readElementText());
    } else if (ns == kCalServer && name == u"getctag") {
      into.ctag = Utf8(xml.readElementText().trimmed());
    } else if (ns == kDav && name == u"sync-token") {
      into.syncToken = Utf8(xml.readElementText().trimmed());
    } else if (ns == kDav && name == u"resourcetype") {
      while (xml.readNextStartElement()) {
        if (xml.namespaceUri() == kCalDav && xml.name() == u"calendar") into.isCalendar = true;
        if (xml.namespaceUri() == kDav && xml.name() == u"collection") into.isCollection = true;
        xml.skipCurrentElement();
      }
    } else {
      xml.skipCurrentElement();
    }
  }
}

void ReadResponse(QXmlStreamReader& xml, Resource& r) {
  while (xml.readNextStartElement()) {
    const auto ns = xml.namespaceUri();
    const auto name = xml.name();
    if (ns == kDav && name == u"href") {
      r.href = Utf8(xml.readElementText().trimmed());
    } else if (ns == kDav && name == u"status") {
      r.status = StatusCode(xml.readElementText());
    } else if (ns == kDav && name == u"propstat") {
      Resource props;
      int status = 200;
      while (xml.readNextStartElement()) {
        if (xml.namespaceUri() == kDav && xml.name() == u"prop") {
          ReadProp(xml, props);
        } else if (xml.namespaceUri() == kDav && xml.name() == u"status") {
          status = StatusCode(xml.readElementText());
        } else {
          xml.skipCurrentElement();
        }
      }
      // Properties the server does not have come back under a 404 propstat, empty.
      if (status >= 200 && status < 300) {
        if (!props.etag.empty()) r.etag = props.etag;
        if (!props.calendarData.empty()) r.calendarData = std::move(props.calendarData);
        if (!props.ctag.empty()) r.ctag = props.ctag;
        if (!props.syncToken.empty()) r.syncToken = props.syncToken;
        r.isCalendar = r.isCalendar || props.isCalendar;
        r.isCollection = r.isCollection || props.isCollection;
      }
    } else {
      xml.skipCurrentElement();
    }
  }
}

}  // namespace

std::optional<Multistatus> ParseMultistatus(std::string_view text) {
  QXmlStreamReader xml(QByteArray::fromRawData(text.data(), static_cast<qsizetype>(text.size())));
  Multistatus out;
  if (!xml.readNextStartElement() || xml.namespaceUri() != kDav || xml.name() != u"multistatus") {
    return std::nullopt;
  }
  while (xml.readNextStartElement()) {
    if (xml.namespaceUri() == kDav && xml.name() == u"response") {
      Resource r;
      ReadResponse(xml, r);
      out.responses.push_back(std::move(r));
    } else if (xml.namespaceUri() == kDav && xml.name() == u"sync-token") {
      out.syncToken = Utf8(xml.readElementText().trimmed());
    } else {
      xml.skipCurrentElement();
    }
  }
  // Everything after the root must be well-formed too: a cut-off answer is no answer.
  while (!xml.atEnd()) xml.readNext();
  if (xml.hasError()) return std::nullopt;
  return out;
}

std::string Escaped(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string CollectionProbe() {
  return std::string(kXmlHead) +
         "<D:propfind xmlns:D=\"DAV:\" xmlns:CS=\"http://calendarserver.org/ns/\">"
         "<D:prop><D:resourcetype/><CS:getctag/><D:sync-token/></D:prop></D:propfind>";
}

std::string EtagListing() {
  return std::string(kXmlHead) +
         "<D:propfind xmlns:D=\"DAV:\"><D:prop><D:resourcetype/><D:getetag/></D:prop>"
         "</D:propfind>";
}

std::string EventQuery() {
  return std::string(kXmlHead) +
         "<C:calendar-query xmlns:D=\"DAV:\" xmlns:C=\"urn:ietf:params:xml:ns:caldav\">"
         "<D:prop><D:getetag/></D:prop>"
         "<C:filter><C:comp-filter name=\"VCALENDAR\"><C:comp-filter name=\"VEVENT\"/>"
         "</C:comp-filter></C:filter></C:calendar-query>";
}

std::string Multiget(const std::vector<std::string>& hrefs) {
  std::string out = std::string(kXmlHead) +
                    "<C:calendar-multiget xmlns:D=\"DAV:\" "
                    "xmlns:C=\"urn:ietf:params:xml:ns:caldav\">"
                    "<D:prop><D:getetag/><C:calendar-data/></D:prop>";
  for (const std::string& href : hrefs) out += "<D:href>" + Escaped(href) + "</D:href>";
  out += "</C:calendar-multiget>";
  return out;
}

std::string SyncCollection(std::string_view token) {
  return std::string(kXmlHead) + "<D:sync-collection xmlns:D=\"DAV:\"><D:sync-token>" +
         Escaped(token) +
         "</D:sync-token><D:sync-level>1</D:sync-level><D:prop><D:getetag/></D:prop>"
         "</D:sync-collection>";
}

}  // namespace vespin::sync::dav
