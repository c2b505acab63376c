#!/usr/bin/env python3
"""A web server that fails on purpose, for the network helper's tests: what calendar servers do on
a bad day, on a loopback port. Each path is one fault (see route()). With a certificate and key it
speaks TLS, with a certificate no client can verify.

usage: fault_server.py PORT [CERT KEY]
"""
import http.server
import socketserver
import ssl
import sys
import time

CALENDAR = (
    b"BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//fault//EN\r\n"
    b"BEGIN:VEVENT\r\nUID:one\r\nDTSTAMP:20260101T000000Z\r\nDTSTART:20261210T010000Z\r\n"
    b"DURATION:PT1H\r\nSUMMARY:one\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n"
)
GIB = 1 << 30
CHUNK = b"X" * 65536


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

    def route(self):
        length = int(self.headers.get("Content-Length") or 0)
        if length:
            self.rfile.read(length)
        path = self.path.split("?")[0].rstrip("/")
        if path.startswith("/status/"):
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

    do_GET = do_PROPFIND = do_REPORT = do_PUT = do_DELETE = do_HEAD = route


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
