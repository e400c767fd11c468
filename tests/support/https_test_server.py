#!/usr/bin/env python3
"""Local HTTPS server for the update client's tests, with scripted responses per path.

Usage: https_test_server.py WORK_DIR

Makes a throw-away CA and certificates for "localhost" with openssl in WORK_DIR, listens on
127.0.0.1 only, and writes WORK_DIR/server.json (ports and the CA in DER form) once every
listener is ready. Runs until it is terminated or its parent process ends.

Listeners:
  https_port       TLS, certificate for localhost issued by the test CA (trusted by the tests)
  untrusted_port   TLS, self-signed certificate for localhost (never trusted)
  wrong_name_port  TLS, certificate for another name issued by the test CA
  plain_port       plain TCP; only counts connections (a secure client must never arrive here)
  closed_port      a bound socket that does not listen: connections are refused

Paths on the TLS listeners (the query part only tags a request for the log):
  /manifest                 a valid manifest
  /manifest/V[/bare]        the same with version V; "bare" leaves out the three optional fields
  /echo                     the request line and headers as received, as the body
  /status/N                 status N
  /challenge                401 with authentication challenges; 200 if credentials arrive
  /redirect-plain           301 to the plain listener
  /redirect-secure          302 to /echo on this listener, setting a cookie on the way
  /bytes/N                  N pattern bytes with Content-Length
  /chunked/N                N pattern bytes in chunked transfer encoding
  /drip/SIZE/MS/COUNT       COUNT chunks of SIZE pattern bytes, MS milliseconds apart
  /stall-headers            reads the request, then sends nothing
  /stall-body               headers and 10 of 1000 bytes, then nothing
  /_log?path=P              JSON: hits, credentials seen and bytes sent for path P, and the
                            plain listener's connection count
The pattern byte at offset i is (i * 7 + 3) mod 256.
"""
import http.server
import json
import os
import select
import socket
import ssl
import subprocess
import sys
import threading
import time
import urllib.parse

MANIFEST = (b'{"version": "1.2.3", "url": "https://updates.corvane.app/download/Corvane-1.2.3.exe", '
            b'"published_at": "2026-03-01T12:30:00Z", '
            b'"sha256": "0123456789ABCDEF0123456789abcdef0123456789ABCDEF0123456789abcdef", '
            b'"size": 1536}')
STALL_SECONDS = 30

lock = threading.Lock()
log = {}
plain_connections = 0
ports = {}


def pattern(size, offset=0):
    return bytes(((offset + i) * 7 + 3) % 256 for i in range(size))


def record(path, **changes):
    with lock:
        entry = log.setdefault(path, {"hits": 0, "authorization": False, "bytes_sent": 0})
        for key, value in changes.items():
            if key == "hits" or key == "bytes_sent":
                entry[key] += value
            else:
                entry[key] = entry[key] or value


def openssl(*args, cwd):
    subprocess.run(["openssl", *args], cwd=cwd, check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)


def make_certificates(work):
    days = "3"
    openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", "ca.key", "-out", "ca.pem",
            "-days", days, "-subj", "/CN=Corvane Test CA",
            "-addext", "basicConstraints=critical,CA:TRUE",
            "-addext", "keyUsage=critical,keyCertSign,cRLSign", cwd=work)
    openssl("x509", "-in", "ca.pem", "-outform", "DER", "-out", "ca.der", cwd=work)
    for name, host in (("server", "localhost"), ("wrong-name", "wrong-name.invalid")):
        with open(os.path.join(work, name + ".ext"), "w") as ext:
            ext.write(f"subjectAltName=DNS:{host}\nbasicConstraints=CA:FALSE\n"
                      "keyUsage=critical,digitalSignature,keyEncipherment\n"
                      "extendedKeyUsage=serverAuth\n")
        openssl("req", "-newkey", "rsa:2048", "-nodes", "-keyout", name + ".key", "-out", name + ".csr",
                "-subj", "/CN=" + host, cwd=work)
        openssl("x509", "-req", "-in", name + ".csr", "-CA", "ca.pem", "-CAkey", "ca.key",
                "-CAcreateserial", "-out", name + ".pem", "-days", days, "-extfile", name + ".ext",
                cwd=work)
    openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", "untrusted.key",
            "-out", "untrusted.pem", "-days", days, "-subj", "/CN=localhost",
            "-addext", "subjectAltName=DNS:localhost",
            "-addext", "extendedKeyUsage=serverAuth", cwd=work)


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    timeout = 60

    def log_message(self, format, *args):
        pass

    def send_body(self, status, body, content_type="application/json", extra=()):
        self.send_response(status)
        for name, value in extra:
            self.send_header(name, value)
        if status not in (204, 304):
            self.send_header("Content-Type", content_type)
            self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        if status not in (204, 304) and body:
            self.wfile.write(body)
            record(self.path, bytes_sent=len(body))

    def wait_for_client_to_leave(self):
        end = time.monotonic() + STALL_SECONDS
        while time.monotonic() < end:
            readable, _, _ = select.select([self.connection], [], [], 0.2)
            if readable:
                break
        self.close_connection = True

    def do_GET(self):
        url = urllib.parse.urlsplit(self.path)
        parts = [p for p in url.path.split("/") if p]
        if url.path != "/_log":
            record(self.path, hits=1, authorization="Authorization" in self.headers)
        if url.path == "/_log":
            path = urllib.parse.parse_qs(url.query).get("path", [""])[0]
            with lock:
                entry = dict(log.get(path, {"hits": 0, "authorization": False, "bytes_sent": 0}))
                entry["plain_connections"] = plain_connections
            self.send_body(200, json.dumps(entry).encode())
        elif url.path == "/manifest":
            self.send_body(200, MANIFEST)
        elif len(parts) in (2, 3) and parts[0] == "manifest":
            fields = json.loads(MANIFEST)
            fields["version"] = parts[1]
            if parts[2:] == ["bare"]:
                for key in ("published_at", "sha256", "size"):
                    del fields[key]
            self.send_body(200, json.dumps(fields).encode())
        elif url.path == "/echo":
            head = self.requestline + "\r\n" + "".join(f"{k}: {v}\r\n" for k, v in self.headers.items())
            self.send_body(200, head.encode("latin-1"), "text/plain")
        elif len(parts) == 2 and parts[0] == "status":
            self.send_body(int(parts[1]), b"status " + parts[1].encode(), "text/plain")
        elif url.path == "/challenge":
            if "Authorization" in self.headers:
                self.send_body(200, b"credentials were sent", "text/plain")
            else:
                self.send_body(401, b"sign in first", "text/plain", extra=(
                    ("WWW-Authenticate", "Negotiate"), ("WWW-Authenticate", "NTLM"),
                    ("WWW-Authenticate", 'Basic realm="corvane-test"')))
        elif url.path == "/redirect-plain":
            self.send_body(301, b"", "text/plain",
                           extra=(("Location", f"http://localhost:{ports['plain_port']}/manifest"),))
        elif url.path == "/redirect-secure":
            self.send_body(302, b"", "text/plain", extra=(
                ("Set-Cookie", "corvane-test=secret; Path=/; Secure"),
                ("Location", f"https://localhost:{self.server.server_address[1]}/echo?redirected")))
        elif len(parts) == 2 and parts[0] == "bytes":
            self.send_body(200, pattern(int(parts[1])), "application/octet-stream")
        elif len(parts) == 2 and parts[0] == "chunked":
            self.send_chunked(int(parts[1]))
        elif len(parts) == 4 and parts[0] == "drip":
            self.send_drip(int(parts[1]), int(parts[2]) / 1000.0, int(parts[3]))
        elif url.path == "/stall-headers":
            self.wait_for_client_to_leave()
        elif url.path == "/stall-body":
            self.send_response(200)
            self.send_header("Content-Length", "1000")
            self.end_headers()
            self.wfile.write(pattern(10))
            self.wfile.flush()
            record(self.path, bytes_sent=10)
            self.wait_for_client_to_leave()
        else:
            self.send_body(404, b"not found", "text/plain")

    def send_chunked(self, size):
        self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Transfer-Encoding", "chunked")
        self.end_headers()
        body = pattern(size)
        for start in range(0, size, 10000):
            piece = body[start:start + 10000]
            self.wfile.write(b"%x\r\n" % len(piece) + piece + b"\r\n")
        self.wfile.write(b"0\r\n\r\n")
        record(self.path, bytes_sent=size)

    def send_drip(self, size, interval, count):
        self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Content-Length", str(size * count))
        self.end_headers()
        self.wfile.flush()
        try:
            for index in range(count):
                self.wfile.write(pattern(size, index * size))
                self.wfile.flush()
                record(self.path, bytes_sent=size)
                time.sleep(interval)
        except OSError:
            self.close_connection = True


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = False


def tls_server(work, name):
    server = Server(("127.0.0.1", 0), Handler)
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(os.path.join(work, name + ".pem"), os.path.join(work, name + ".key"))
    # The handshake happens in the request's own thread, never in the accepting one.
    server.socket = context.wrap_socket(server.socket, server_side=True, do_handshake_on_connect=False)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server.server_address[1]


def plain_listener():
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.bind(("127.0.0.1", 0))
    listener.listen(16)

    def serve():
        global plain_connections
        while True:
            connection, _ = listener.accept()
            with lock:
                plain_connections += 1
            # Answer like a real server would, with a valid manifest: a client that followed a
            # downgrade would then succeed, and its test would fail loudly.
            try:
                connection.settimeout(2)
                connection.recv(65536)
                connection.sendall(b"HTTP/1.1 200 OK\r\nContent-Type: application/json\r\n"
                                   b"Content-Length: %d\r\nConnection: close\r\n\r\n" % len(MANIFEST)
                                   + MANIFEST)
            except OSError:
                pass
            connection.close()

    threading.Thread(target=serve, daemon=True).start()
    return listener.getsockname()[1]


def main():
    work = os.path.abspath(sys.argv[1])
    os.makedirs(work, exist_ok=True)
    parent = os.getppid()
    make_certificates(work)

    ports["https_port"] = tls_server(work, "server")
    ports["untrusted_port"] = tls_server(work, "untrusted")
    ports["wrong_name_port"] = tls_server(work, "wrong-name")
    ports["plain_port"] = plain_listener()
    closed = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    closed.bind(("127.0.0.1", 0))
    ports["closed_port"] = closed.getsockname()[1]

    description = dict(ports, ca_der=os.path.join(work, "ca.der"))
    temporary = os.path.join(work, "server.json.tmp")
    with open(temporary, "w") as out:
        json.dump(description, out)
    os.replace(temporary, os.path.join(work, "server.json"))

    while os.getppid() == parent:
        time.sleep(0.5)


if __name__ == "__main__":
    main()
