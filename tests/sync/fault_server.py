#!/usr/bin/env python3
"""A web server that fails on purpose, for the network helper's tests: what calendar servers do on
a bad day, on a loopback port. Each path is one fault (see route()). With a certificate and key it
speaks TLS, with a certificate no client can verify.

Under /dav/NAME/ it keeps a small CalDAV collection in memory (PROPFIND, PUT and DELETE with
If-Match and If-None-Match), whose writes fail as told by a POST to /control/NAME with a body of
key=value lines:
  race=RESOURCE   just before answering a PUT of RESOURCE, another client writes it
  fail-after=N    after N writes that went through, every write answers 500
  lost=K          ... of which the first K are stored all the same (the answer is lost)
  retry-after=N   ... or 503 with Retry-After: N instead of 500
  hang=1          ... or no answer at all
  delay=S         every write takes S seconds, several at a time (a server far away)
  clear           no faults from now on
GET /control/NAME answers with the requests the collection saw, one "METHOD NAME" a line.

usage: fault_server.py PORT [CERT KEY]
"""
import email.utils
import hashlib
import http.server
import socketserver
import ssl
import sys
import threading
import time
from xml.sax.saxutils import escape

CALENDAR = (
    b"BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//fault//EN\r\n"
    b"BEGIN:VEVENT\r\nUID:one\r\nDTSTAMP:20260101T000000Z\r\nDTSTART:20261210T010000Z\r\n"
    b"DURATION:PT1H\r\nSUMMARY:one\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n"
)
GIB = 1 << 30
CHUNK = b"X" * 65536
FOREIGN = (
    b"BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//elsewhere//EN\r\nBEGIN:VEVENT\r\n"
    b"UID:elsewhere\r\nDTSTAMP:20260101T000000Z\r\nDTSTART:20261224T100000Z\r\n"
    b"SUMMARY:written elsewhere\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n"
)


class Collection:
    def __init__(self):
        self.items = {}  # resource name -> (etag, body)
        self.faults = {}
        self.writes = 0  # writes that went through
        self.failed = 0  # writes answered with a failure
        self.log = []
        self.serial = 0

    def store(self, name, body):
        self.serial += 1
        etag = '"%s-%d"' % (hashlib.sha1(body).hexdigest()[:12], self.serial)
        self.items[name] = (etag, body)
        return etag


COLLECTIONS = {}
LOCK = threading.Lock()


def collection(name):
    return COLLECTIONS.setdefault(name, Collection())


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def send(self, code, body=b"", ctype="text/plain", headers=()):
        self.send_response(code)
        self.send_header("Content-Type", ctype)
        self.send_header("Content-Length", str(len(body)))
        for name, value in headers:
            self.send_header(name, value)
        self.end_headers()
        self.wfile.write(body)
        return True

    def stream(self, headers, first=b""):
        """Up to 1 GiB, written as long as the client reads it; never held in memory."""
        self.send_response(200)
        for name, value in headers:
            self.send_header(name, value)
        self.end_headers()
        try:
            self.wfile.write(first)
            sent = len(first)
            while sent < GIB:
                self.wfile.write(CHUNK)
                sent += len(CHUNK)
        except (BrokenPipeError, ConnectionResetError, ssl.SSLError):
            pass
        self.close_connection = True

    def multistatus(self, responses):
        body = ['<?xml version="1.0" encoding="utf-8"?>'
                '<D:multistatus xmlns:D="DAV:" xmlns:C="urn:ietf:params:xml:ns:caldav">']
        for href, props in responses:
            body.append("<D:response><D:href>%s</D:href><D:propstat><D:prop>%s</D:prop>"
                        "<D:status>HTTP/1.1 200 OK</D:status></D:propstat></D:response>"
                        % (escape(href), props))
        body.append("</D:multistatus>")
        return self.send(207, "".join(body).encode(), "application/xml; charset=utf-8")

    def dav(self, name, resource, body):
        """The collection /dav/NAME/ and its resources."""
        with LOCK:
            delay = float(collection(name).faults.get("delay", "0"))
        if delay and self.command in ("PUT", "DELETE"):
            time.sleep(delay)  # outside the lock: a server with a worker per request
        with LOCK:
            answered = self.dav_locked(name, resource, body)
        if not answered:
            time.sleep(3600)

    def dav_locked(self, name, resource, body):
        """Answers under the lock; False: no answer, the request hangs."""
        c = collection(name)
        c.log.append("%s %s" % (self.command, resource))
        base = "/dav/%s/" % name
        if self.command == "PROPFIND":
            if not resource:
                responses = [(base, "<D:resourcetype><D:collection/><C:calendar/>"
                                    "</D:resourcetype>")]
                if self.headers.get("Depth", "1") != "0":
                    responses += [(base + n, "<D:getetag>%s</D:getetag>" % escape(e))
                                  for n, (e, _) in sorted(c.items.items())]
                return self.multistatus(responses)
            if resource not in c.items:
                return self.send(404)
            return self.multistatus([(base + resource, "<D:getetag>%s</D:getetag>"
                                      % escape(c.items[resource][0]))])
        if self.command == "GET" and resource in c.items:
            etag, data = c.items[resource]
            return self.send(200, data, "text/calendar", [("ETag", etag)])
        if self.command not in ("PUT", "DELETE") or not resource:
            return self.send(405)
        if self.command == "PUT" and c.faults.get("race") == resource:
            c.store(resource, FOREIGN)
        after = c.faults.get("fail-after")
        if after is not None and c.writes >= int(after):
            c.failed += 1
            if c.failed <= int(c.faults.get("lost", "0")) and self.command == "PUT":
                c.store(resource, body)
            if "hang" in c.faults:
                return False
            if "retry-after" in c.faults:
                return self.send(503, b"busy",
                                 headers=[("Retry-After", c.faults["retry-after"])])
            return self.send(500, b"broken")
        have = c.items.get(resource)
        match = self.headers.get("If-Match")
        if self.headers.get("If-None-Match") == "*" and have:
            return self.send(412)
        if match and (not have or have[0] != match):
            return self.send(412)
        c.writes += 1
        if self.command == "DELETE":
            if not have:
                return self.send(404)
            del c.items[resource]
            return self.send(204)
        etag = c.store(resource, body)
        return self.send(204 if have else 201, headers=[("ETag", etag)])

    def control(self, name, body):
        with LOCK:
            c = collection(name)
            if self.command == "GET":
                return self.send(200, "".join(line + "\n" for line in c.log).encode())
            for line in body.decode().splitlines():
                key, _, value = line.partition("=")
                if key == "clear":
                    c.faults = {}
                    c.log = []
                elif key:
                    c.faults[key] = value
            c.writes = c.failed = 0
            return self.send(204)

    def route(self):
        length = int(self.headers.get("Content-Length") or 0)
        body = self.rfile.read(length) if length else b""
        path = self.path.split("?")[0].rstrip("/")
        parts = path.split("/")
        if path.startswith("/dav/") and len(parts) in (3, 4):
            self.dav(parts[2], parts[3] if len(parts) == 4 else "", body)
        elif path.startswith("/control/") and len(parts) == 3:
            self.control(parts[2], body)
        elif path.startswith("/retry/") and len(parts) == 5:
            # /retry/CODE/seconds/N or /retry/CODE/date/N (N seconds from now, may be negative)
            code, form, value = int(parts[2]), parts[3], int(parts[4])
            after = str(value) if form == "seconds" else email.utils.formatdate(
                time.time() + value, usegmt=True)
            self.send(code, b"busy", headers=[("Retry-After", after)])
        elif path.startswith("/sized/") and len(parts) == 3:
            # A whole calendar of about N bytes, one long description
            if self.command != "GET":
                return self.send(405)
            pad = max(0, int(parts[2]) - len(CALENDAR))
            body = CALENDAR.replace(b"SUMMARY:one\r\n", b"SUMMARY:one\r\nDESCRIPTION:" +
                                    b"x" * pad + b"\r\n")
            self.send(200, body, "text/calendar")
        elif path.startswith("/status/"):
            code = int(path.rsplit("/", 1)[1])
            headers = []
            if code == 401:
                headers.append(("WWW-Authenticate", 'Basic realm="calendars"'))
            if code == 503:
                headers.append(("Retry-After", "120"))
            self.send(code, b"no", headers=headers)
        elif path == "/hang":
            time.sleep(3600)
        elif path == "/huge-length":
            self.stream([("Content-Type", "text/calendar"), ("Content-Length", str(GIB))])
        elif path == "/huge-stream":
            self.stream([("Content-Type", "text/calendar"), ("Connection", "close")],
                        CALENDAR[:-len(b"END:VCALENDAR\r\n")])
        elif path == "/badxml":
            self.send(207, b'<?xml version="1.0"?><D:multistatus xmlns:D="DAV:"><D:response>'
                      b"<D:href>/badxml/</D:href><D:propstat><D:prop><D:resourcetype>",
                      "application/xml")
        elif path == "/loop":
            self.send(302, headers=[("Location", "/loop2")])
        elif path == "/loop2":
            self.send(302, headers=[("Location", "/loop")])
        elif path == "/html":
            if self.command != "GET":
                self.send(405)
            else:
                self.send(200, b"<!DOCTYPE html><html><body>Log in</body></html>", "text/html")
        elif path == "/ics":
            if self.command != "GET":
                self.send(405)
            elif self.headers.get("If-None-Match") == '"v1"':
                self.send_response(304)
                self.send_header("ETag", '"v1"')
                self.send_header("Content-Length", "0")
                self.end_headers()
            else:
                self.send(200, CALENDAR, "text/calendar", [("ETag", '"v1"')])
        else:
            self.send(404)

    do_GET = do_PROPFIND = do_REPORT = do_PUT = do_DELETE = do_HEAD = do_POST = route


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    allow_reuse_address = True


def main():
    server = Server(("127.0.0.1", int(sys.argv[1])), Handler)
    if len(sys.argv) == 4:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(sys.argv[2], sys.argv[3])
        server.socket = context.wrap_socket(server.socket, server_side=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
