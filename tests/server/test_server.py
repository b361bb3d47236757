#!/usr/bin/env python3
"""Loopback HTTP and HTTPS server that plays exchanges described as data, for Lumaclip's tests.

It records every request byte for byte and answers from a table of routes, so a test states the
reply to send and then checks the exact request that arrived. Python 3 standard library only; it
listens on 127.0.0.1 only, on ports the system picks.

Start
    test_server.py --routes ROUTES.json --log DIR [--tls CERTDIR [--cert NAME]]
                   [--proxy-name NAME] [--watch-stdin] [--lifetime SECONDS]
    It prints, one per line and flushed:  "PORT <n>", then "TLS_PORT <n>" with --tls, then
    "READY". It stops on SIGTERM, when its standard input ends (with --watch-stdin: start it with a
    pipe and it cannot outlive the test), or after --lifetime seconds (default 600).

Certificates
    test_server.py --make-certs DIR [--names a,b,...]
    Writes a test CA (ca.pem), a server certificate it signed (server.pem, server.key) and a second,
    untrusted pair (rogue-server.pem, rogue-server.key, signed by rogue-ca.pem), all for localhost,
    127.0.0.1, ::1, proxied.test and the --names given. A client trusts the test CA through
    SSL_CERT_FILE=DIR/ca.pem; "--cert rogue-server" serves the untrusted certificate.

Routes (JSON object)
    The key is the request's path with its query ("/a?b=1"), optionally preceded by the method
    ("POST /a"), which wins over the bare path; "*" answers everything else (the default is a 404).
    The value is a reply, or a list of replies given in turn to successive requests (the last one
    repeats). A reply is an object:
        status            status code (200); "reason" overrides the usual phrase
        headers           [[name, value], ...] sent in this order, duplicates allowed
        body              text; or body_hex (the bytes in hexadecimal); or body_size with body_byte
                          (one character, default "x") for a generated body of that many bytes
        content_length    true (default): a Content-Length line is added; false: none, the body
                          ends when the connection closes; a number: that value, true or not
        chunked           true: Transfer-Encoding: chunked in pieces of chunk_size (default 1000)
        header_pad        add X-Pad lines until the header block has at least this many bytes
        delay             seconds to wait before answering
        stall_after       send this many body bytes, then wait stall_seconds (default 60)
        reset_after       send this many body bytes, then reset the connection
        close             true: close the connection after the reply
        raw               exact text sent in place of everything above
    Texts go out as the bytes they have in the routes file, which may hold any bytes (GBK pages,
    for instance), not only UTF-8; a \\u escape gives the character's UTF-8 bytes. In header
    values, bodies and raw texts "{port}" and "{tls_port}" stand for the two ports.

Proxy
    A request whose target is absolute ("GET http://proxied.test:81/a HTTP/1.1") is answered from
    the routes by its path when its host is the proxy name (--proxy-name, default proxied.test),
    and with 502 otherwise. "CONNECT proxied.test:443" is accepted and the tunnel is served as
    HTTPS by this server itself (needs --tls).

Log (the requests handed back to the test)
    For each request, in order of arrival: DIR/0001.request holds the exact bytes received (request
    line, header lines, empty line, body) and DIR/0001.json a description: {"connection": n,
    "tls": bool, "proxied": bool, "method": ..., "target": ...}. Both are in place before the reply
    is sent.
"""

import argparse
import http
import json
import os
import signal
import socket
import ssl
import subprocess
import sys
import tempfile
import threading
import time

MAX_HEAD = 1024 * 1024
DEFAULT_NAMES = ["localhost", "proxied.test"]
DEFAULT_ADDRESSES = ["127.0.0.1", "::1"]


class Routes:
    def __init__(self, table):
        self.table = table
        self.turns = {}
        self.lock = threading.Lock()

    def reply_for(self, method, path):
        with self.lock:
            for key in (method + " " + path, path, "*"):
                if key in self.table:
                    entry = self.table[key]
                    if isinstance(entry, list):
                        turn = self.turns.get(key, 0)
                        self.turns[key] = turn + 1
                        return entry[min(turn, len(entry) - 1)]
                    return entry
        return {"status": 404, "body": "no route for " + path}


class Log:
    def __init__(self, directory):
        self.directory = directory
        self.count = 0
        self.lock = threading.Lock()

    def record(self, raw, description):
        if not self.directory:
            return
        with self.lock:
            self.count += 1
            stem = os.path.join(self.directory, "%04d" % self.count)
        for suffix, data in ((".request", raw), (".json", json.dumps(description).encode())):
            temporary = stem + suffix + ".part"
            with open(temporary, "wb") as handle:
                handle.write(data)
            os.replace(temporary, stem + suffix)


class Server:
    def __init__(self, routes, log, tls_context, proxy_name):
        self.routes = routes
        self.log = log
        self.tls_context = tls_context
        self.proxy_name = proxy_name.lower()
        self.ports = {"port": 0, "tls_port": 0}
        self.connections = 0
        self.lock = threading.Lock()

    def substitute(self, text):
        return (text.replace("{tls_port}", str(self.ports["tls_port"]))
                    .replace("{port}", str(self.ports["port"])))

    def listen(self, tls):
        listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        listener.bind(("127.0.0.1", 0))
        listener.listen(128)
        self.ports["tls_port" if tls else "port"] = listener.getsockname()[1]
        threading.Thread(target=self.accept_loop, args=(listener, tls), daemon=True).start()

    def accept_loop(self, listener, tls):
        while True:
            connection, _ = listener.accept()
            with self.lock:
                self.connections += 1
                number = self.connections
            threading.Thread(target=self.serve, args=(connection, tls, number),
                             daemon=True).start()

    def serve(self, connection, tls, number):
        try:
            connection.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
            if tls:
                connection = self.tls_context.wrap_socket(connection, server_side=True)
            self.serve_requests(Stream(connection), tls, number, tunnelled=False)
        except (OSError, ssl.SSLError, ValueError):
            pass
        finally:
            try:
                # A FIN first: closing with unread bytes alone would reset the connection and
                # could take the end of a reply with it.
                connection.shutdown(socket.SHUT_WR)
            except OSError:
                pass
            try:
                connection.close()
            except OSError:
                pass

    def serve_requests(self, stream, tls, number, tunnelled):
        while True:
            stream.sock.settimeout(120)
            head = stream.read_head()
            if head is None:
                return
            request_line, headers = parse_head(head)
            parts = request_line.split(" ")
            if len(parts) != 3:
                return
            method, target, version = parts
            body = stream.read_body(headers)
            proxied = tunnelled
            path = target
            if method == "CONNECT":
                self.log.record(head + body, self.describe(number, tls, True, method, target))
                host = target.rsplit(":", 1)[0].strip("[]").lower()
                if host != self.proxy_name or self.tls_context is None:
                    stream.sock.sendall(b"HTTP/1.1 502 Bad Gateway\r\nContent-Length: 0\r\n\r\n")
                    return
                stream.sock.sendall(b"HTTP/1.1 200 Connection established\r\n\r\n")
                inner = self.tls_context.wrap_socket(stream.sock, server_side=True)
                self.serve_requests(Stream(inner, stream.buffer), True, number, tunnelled=True)
                return
            if "://" in target:
                proxied = True
                after_scheme = target.split("://", 1)[1]
                authority, _, rest = after_scheme.partition("/")
                path = "/" + rest
                host = authority.rsplit(":", 1)[0] if "]" not in authority.rsplit(":", 1)[-1] \
                    else authority
                if host.strip("[]").lower() != self.proxy_name:
                    self.log.record(head + body, self.describe(number, tls, True, method, target))
                    stream.sock.sendall(b"HTTP/1.1 502 Bad Gateway\r\nContent-Length: 0\r\n\r\n")
                    continue
            self.log.record(head + body, self.describe(number, tls, proxied, method, target))
            reply = self.routes.reply_for(method, path)
            keep_open = self.send_reply(stream.sock, reply, method == "HEAD")
            connection_header = [v.lower() for k, v in headers if k.lower() == "connection"]
            if not keep_open or "close" in connection_header or (
                    version == "HTTP/1.0" and "keep-alive" not in connection_header):
                return

    def describe(self, number, tls, proxied, method, target):
        return {"connection": number, "tls": tls, "proxied": proxied, "method": method,
                "target": target}

    def send_reply(self, sock, reply, head_only):
        """Sends one reply; false when the connection must not carry another."""
        if reply.get("delay"):
            time.sleep(float(reply["delay"]))
        if "raw" in reply:
            sock.sendall(wire(self.substitute(reply["raw"])))
            return not reply.get("close", False)

        status = int(reply.get("status", 200))
        try:
            reason = reply.get("reason", http.HTTPStatus(status).phrase)
        except ValueError:
            reason = reply.get("reason", "Unknown")
        headers = [(name, self.substitute(str(value))) for name, value in reply.get("headers", [])]
        body, size, fill = self.reply_body(reply)
        chunked = bool(reply.get("chunked"))
        length_rule = reply.get("content_length", True)
        if chunked:
            headers.append(("Transfer-Encoding", "chunked"))
        elif length_rule is True:
            headers.append(("Content-Length", str(size)))
        elif length_rule is not False:
            headers.append(("Content-Length", str(length_rule)))

        head = "HTTP/1.1 %d %s\r\n" % (status, reason)
        head += "".join("%s: %s\r\n" % pair for pair in headers)
        pad = int(reply.get("header_pad", 0))
        index = 0
        while len(head) + 2 < pad:
            index += 1
            head += "X-Pad-%04d: %s\r\n" % (index, "p" * 90)
        sock.sendall(wire(head + "\r\n"))
        if head_only:
            return not reply.get("close", False)

        limit = size
        if "stall_after" in reply:
            limit = min(limit, int(reply["stall_after"]))
        if "reset_after" in reply:
            limit = min(limit, int(reply["reset_after"]))
        self.send_body(sock, body, fill, limit, chunked, int(reply.get("chunk_size", 1000)))
        if "reset_after" in reply:
            time.sleep(0.1)  # lets the client take the bytes before the reset discards them
            sock.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, b"\x01\x00\x00\x00\x00\x00\x00\x00")
            sock.close()
            return False
        if "stall_after" in reply:
            time.sleep(float(reply.get("stall_seconds", 60)))
            return False
        if chunked and limit == size:
            sock.sendall(b"0\r\n\r\n")
        return not reply.get("close", False) and length_rule is not False

    def reply_body(self, reply):
        if "body_size" in reply:
            size = int(reply["body_size"])
            return None, size, wire(reply.get("body_byte", "x"))[:1]
        if "body_hex" in reply:
            data = bytes.fromhex(reply["body_hex"])
        else:
            data = wire(self.substitute(reply.get("body", "")))
        return data, len(data), None

    def send_body(self, sock, body, fill, limit, chunked, chunk_size):
        sent = 0
        block = memoryview(fill * (1024 * 1024)) if fill is not None else None
        while sent < limit:
            if body is not None:
                piece = body[sent:sent + (chunk_size if chunked else limit)]
                piece = piece[:limit - sent]
            else:
                piece = block[:min(len(block), limit - sent, chunk_size if chunked else len(block))]
            if chunked:
                sock.sendall(b"%x\r\n" % len(piece) + piece + b"\r\n")
            else:
                sock.sendall(piece)
            sent += len(piece)


class Stream:
    """A socket with the bytes read past the current request kept for the next one."""

    def __init__(self, sock, buffer=b""):
        self.sock = sock
        self.buffer = buffer

    def fill(self):
        data = self.sock.recv(65536)
        if not data:
            return False
        self.buffer += data
        return True

    def read_head(self):
        while b"\r\n\r\n" not in self.buffer:
            if len(self.buffer) > MAX_HEAD or not self.fill():
                return None
        end = self.buffer.index(b"\r\n\r\n") + 4
        head, self.buffer = self.buffer[:end], self.buffer[end:]
        return head

    def read_exactly(self, count):
        while len(self.buffer) < count:
            if not self.fill():
                raise ValueError("connection closed inside a body")
        data, self.buffer = self.buffer[:count], self.buffer[count:]
        return data

    def read_line(self):
        while b"\r\n" not in self.buffer:
            if not self.fill():
                raise ValueError("connection closed inside a chunked body")
        end = self.buffer.index(b"\r\n") + 2
        line, self.buffer = self.buffer[:end], self.buffer[end:]
        return line

    def read_body(self, headers):
        values = {name.lower(): value for name, value in headers}
        if "chunked" in values.get("transfer-encoding", "").lower():
            raw = b""
            while True:
                line = self.read_line()
                raw += line
                size = int(line.split(b";")[0].strip() or b"0", 16)
                if size == 0:
                    while True:
                        trailer = self.read_line()
                        raw += trailer
                        if trailer == b"\r\n":
                            return raw
                raw += self.read_exactly(size + 2)
        length = values.get("content-length")
        if length is not None and length.strip().isdigit():
            return self.read_exactly(int(length.strip()))
        return b""


def wire(text):
    """The bytes of a text from the routes file, exactly as they stood there."""
    return text.encode("utf-8", "surrogateescape")


def parse_head(head):
    lines = head.decode("latin-1").split("\r\n")
    headers = []
    for line in lines[1:]:
        if ":" in line:
            name, value = line.split(":", 1)
            headers.append((name.strip(), value.strip()))
    return lines[0], headers


def run_openssl(*arguments):
    subprocess.run(["openssl"] + list(arguments), check=True, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL)


def make_ca(directory, stem, common_name):
    run_openssl("req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                "-nodes", "-days", "7", "-subj", "/CN=" + common_name,
                "-addext", "basicConstraints=critical,CA:TRUE",
                "-addext", "keyUsage=critical,keyCertSign,cRLSign",
                "-keyout", os.path.join(directory, stem + ".key"),
                "-out", os.path.join(directory, stem + ".pem"))


def make_server_certificate(directory, stem, ca_stem, names):
    key = os.path.join(directory, stem + ".key")
    request = os.path.join(directory, stem + ".csr")
    extensions = os.path.join(directory, stem + ".ext")
    alternatives = ["DNS:" + name for name in names] + ["IP:" + a for a in DEFAULT_ADDRESSES]
    with open(extensions, "w") as handle:
        handle.write("basicConstraints=CA:FALSE\n"
                     "keyUsage=critical,digitalSignature\n"
                     "extendedKeyUsage=serverAuth\n"
                     "subjectAltName=" + ",".join(alternatives) + "\n")
    run_openssl("req", "-new", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                "-nodes", "-subj", "/CN=localhost", "-keyout", key, "-out", request)
    run_openssl("x509", "-req", "-in", request, "-days", "7", "-set_serial",
                str(int(time.time() * 1000)),
                "-CA", os.path.join(directory, ca_stem + ".pem"),
                "-CAkey", os.path.join(directory, ca_stem + ".key"),
                "-extfile", extensions, "-out", os.path.join(directory, stem + ".pem"))
    os.remove(request)
    os.remove(extensions)


def make_certificates(directory, extra_names):
    os.makedirs(directory, exist_ok=True)
    names = DEFAULT_NAMES + [name for name in extra_names if name]
    make_ca(directory, "ca", "Lumaclip Test CA")
    make_server_certificate(directory, "server", "ca", names)
    make_ca(directory, "rogue-ca", "Untrusted Test CA")
    make_server_certificate(directory, "rogue-server", "rogue-ca", names)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--routes")
    parser.add_argument("--log")
    parser.add_argument("--tls")
    parser.add_argument("--cert", default="server")
    parser.add_argument("--proxy-name", default="proxied.test")
    parser.add_argument("--watch-stdin", action="store_true")
    parser.add_argument("--lifetime", type=float, default=600)
    parser.add_argument("--make-certs")
    parser.add_argument("--names", default="")
    options = parser.parse_args()
    # SIGTERM is taken by the main thread alone, in sigtimedwait below: a handler would only run
    # once the main thread wakes, and a signal that lands on a connection thread does not wake it.
    # Blocked before any thread starts, so that every thread inherits the mask.
    signal.pthread_sigmask(signal.SIG_BLOCK, {signal.SIGTERM})

    if options.make_certs:
        make_certificates(options.make_certs, options.names.split(","))
        return

    table = {}
    if options.routes:
        with open(options.routes, "rb") as handle:
            table = json.loads(handle.read().decode("utf-8", "surrogateescape"))
    if options.log:
        os.makedirs(options.log, exist_ok=True)
    tls_context = None
    if options.tls:
        tls_context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        tls_context.load_cert_chain(os.path.join(options.tls, options.cert + ".pem"),
                                    os.path.join(options.tls, options.cert + ".key"))

    server = Server(Routes(table), Log(options.log), tls_context, options.proxy_name)
    server.listen(tls=False)
    if tls_context is not None:
        server.listen(tls=True)
    print("PORT %d" % server.ports["port"])
    if tls_context is not None:
        print("TLS_PORT %d" % server.ports["tls_port"])
    print("READY", flush=True)

    if options.watch_stdin:
        def watch():
            while sys.stdin.buffer.read(4096):
                pass
            os._exit(0)
        threading.Thread(target=watch, daemon=True).start()
    signal.sigtimedwait({signal.SIGTERM}, options.lifetime)
    os._exit(0)


if __name__ == "__main__":
    main()
