#!/usr/bin/env python3
"""A local provisioning server for Valdorix: tests and demos.

Serves "oxa.downloadTokenV5", "oxa.activateToken" and "oxa.syncToken" over XML-RPC on
127.0.0.1, over plain HTTP and over HTTPS (a self-signed certificate for another name, and a
second port whose certificate has expired), each on a free port. The URLs go to standard output:

    http_url http://127.0.0.1:PORT/rpc
    https_url https://127.0.0.1:PORT/rpc
    expired_https_url https://127.0.0.1:PORT/rpc
    ready

A download returns a real token descriptor record, enciphered with RC4 under the MD5 of the
authorisation code, with or without that code in the reply ("ac").

What a request gets is chosen, first match wins, by the control file (its first word), by the
last segment of the URL path (/rpc/<behaviour>), or by the login name of a download; otherwise
"ok". Behaviours: see BEHAVIOURS below. With --log-dir every request is recorded there as
NNNN.head (request line and headers), NNNN.peer (the client's port) and NNNN.body (the body,
written last).

Standard library only (plus the `openssl` command for the certificates).
"""

import argparse
import base64
import hashlib
import http.server
import os
import shutil
import socket
import ssl
import subprocess
import sys
import tempfile
import threading
import time
import xmlrpc.client

AUTHORISATION_CODE = "12345678"

BEHAVIOURS = {
    "ok": "success; a download carries the authorisation code (\"ac\")",
    "noac": "success; a download without \"ac\" (type the code on the activation page)",
    "badac": "a download whose \"ac\" does not decipher the pack",
    "lowercase-ok": "the status \"ok\" in lower case",
    "refuse": "the status \"REFUSED\" alone",
    "refuse-explained": "the status \"REFUSED\" and an explanation",
    "fault": "a fault with faultCode and faultString",
    "fault-nostring": "a fault with faultCode only",
    "fault-number": "a fault whose faultString is a number",
    "number": "a reply array whose first element is a number",
    "only-ok": "the array [\"OK\"] alone",
    "empty-array": "an empty array",
    "wrong-shape": "[42, 43]: a first element that is no string, for any method",
    "secret-string": "a download whose \"secret\" is a string, not base64",
    "unauthorized": "401 for every request",
    "proxy-auth": "407 for every request",
    "error500": "500 Internal Server Error",
    "notfound": "404 Not Found",
    "html": "an HTML page with status 200",
    "no-methodresponse": "XML without <methodResponse>",
    "no-params": "a <methodResponse> with neither params nor fault",
    "bad-value": "a <methodResponse> whose value does not parse",
    "beyond-unicode": "a string with the reference &#1114112;",
    "redirect": "307 to the same server's /rpc",
    "redirect-http": "307 to the plain HTTP server's /rpc (from the HTTPS servers: a downgrade)",
    "redirect-host": "307 to the same server and path under the name localhost (another host)",
    "large": "[\"OK\", a string of 1,000,000 bytes]",
    "oversize": "a 64 MiB + 1 byte body announced by Content-Length",
    "oversize-chunked": "a 65 MiB body in chunks, no length announced",
    "hangup": "the connection closed without an answer",
    "slow": "the normal answer after 10 s (slow-MS: after MS milliseconds)",
    "date-ahead": "the normal answer, its Date header 5 minutes ahead of this computer's clock",
    "silent": "reads the request and never answers, keeping the connection open",
    "trickle": "the normal answer, one byte every 2 s (trickle-MS: every MS milliseconds)",
}


def rc4(key, data):
    state = list(range(256))
    j = 0
    for i in range(256):
        j = (j + state[i] + key[i % len(key)]) & 0xFF
        state[i], state[j] = state[j], state[i]
    out = bytearray(len(data))
    i = j = 0
    for n, byte in enumerate(data):
        i = (i + 1) & 0xFF
        j = (j + state[i]) & 0xFF
        state[i], state[j] = state[j], state[i]
        out[n] = byte ^ state[(state[i] + state[j]) & 0xFF]
    return bytes(out)


def ansi(text):
    return text.encode("cp1252", errors="replace")


def record_string(text):
    data = ansi(text)[:255]
    return bytes([len(data)]) + data


def descriptor_record(login, service_url):
    """A token descriptor record: "{", the fixed fields, eight strings around the icon, "}"."""
    seed = hashlib.sha1(ansi("valdorix-demo:" + login)).digest()
    serial = "VX%08d" % (int.from_bytes(seed[:4], "big") % 100000000)
    primary = hashlib.sha1(b"primary" + seed).digest()
    secondary = hashlib.sha1(b"secondary" + seed).digest()
    record = bytearray(b"{")
    record += b"\x01"  # not read by the client
    record += bytes([0])  # kind: event (HOTP)
    record += (0).to_bytes(4, "big")  # counter
    record += (30).to_bytes(2, "big")  # interval
    record += (5).to_bytes(2, "big")  # Go delay
    record += bytes([6])  # digits
    record += bytes([0])  # flags: no check digit, single display
    record += bytes([2])  # synchronisation codes
    record += (0).to_bytes(4, "big")  # expiry date: none
    record += primary + secondary
    for text in (serial, service_url, "Demo token", login, "Valdorix Demo", "valdorix-demo"):
        record += record_string(text)
    record += (0).to_bytes(2, "big")  # no icon
    record += record_string("")  # application URL
    record += record_string("")  # OCRA suite
    record += b"}"
    return bytes(record)


def encipher(record, code):
    return rc4(hashlib.md5(ansi(code)).digest(), record)


def fault_xml(code, text=None):
    members = "<member><name>faultCode</name><value><int>%d</int></value></member>" % code
    if text is not None:
        members += "<member><name>faultString</name><value><string>%s</string></value></member>" % (
            xmlrpc.client.escape(text)
        )
    return (
        '<?xml version="1.0"?>\n<methodResponse><fault><value><struct>%s</struct></value></fault>'
        "</methodResponse>\n" % members
    ).encode()


def response_xml(value):
    return xmlrpc.client.dumps((value,), methodresponse=True, allow_none=False).encode("utf-8")


class State:
    def __init__(self, log_dir, control_file):
        self.log_dir = log_dir
        self.control_file = control_file
        self.lock = threading.Lock()
        self.count = 0
        self.http_port = 0  # of the plain HTTP server, for redirect-http

    def record(self, request_line, headers, peer_port, body):
        with self.lock:
            self.count += 1
            number = self.count
        if not self.log_dir:
            return
        stem = os.path.join(self.log_dir, "%04d" % number)
        with open(stem + ".head", "w", encoding="latin-1") as head:
            head.write(request_line + "\n")
            for name, value in headers.items():
                head.write("%s: %s\n" % (name, value))
        with open(stem + ".peer", "w") as peer:
            peer.write("%d\n" % peer_port)
        with open(stem + ".body.tmp", "wb") as out:
            out.write(body)
        os.replace(stem + ".body.tmp", stem + ".body")

    def controlled_behaviour(self):
        if not self.control_file:
            return None
        try:
            with open(self.control_file, encoding="utf-8") as control:
                words = control.read().split()
        except OSError:
            return None
        return words[0] if words else None


def known(name):
    for timed in ("slow-", "trickle-"):
        if name.startswith(timed) and name[len(timed):].isdigit():
            return True
    return name in BEHAVIOURS


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "ValdorixProvisioning/1.0"
    state = None  # set per server
    date_offset = 0  # seconds added to the Date header of the reply being sent

    def log_message(self, format, *args):
        if self.server.verbose:
            sys.stderr.write("%s %s\n" % (self.server.label, format % args))

    def do_GET(self):
        body = b"<html><body>Valdorix provisioning server: POST XML-RPC calls to /rpc</body></html>"
        self.reply(200, body, "text/html")

    def do_POST(self):
        length = int(self.headers.get("Content-Length") or 0)
        body = self.rfile.read(length) if length > 0 else b""
        self.state.record(self.requestline, self.headers, self.client_address[1], body)
        try:
            params, method = xmlrpc.client.loads(body, use_builtin_types=True)
        except Exception:
            params, method = (), None
        behaviour = self.choose_behaviour(method, params)
        self.answer(behaviour, method, params)

    def choose_behaviour(self, method, params):
        controlled = self.state.controlled_behaviour()
        if controlled and known(controlled):
            return controlled
        segment = self.path.split("?")[0].rstrip("/").rsplit("/", 1)[-1]
        if known(segment):
            return segment
        if method == "oxa.downloadTokenV5" and params and isinstance(params[0], dict):
            login = str(params[0].get("loginName", ""))
            if known(login):
                return login
        return "ok"

    def reply(self, status, body, content_type="text/xml", reason=None, extra_headers=()):
        self.send_response(status, reason)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        for name, value in extra_headers:
            self.send_header(name, value)
        self.end_headers()
        self.wfile.write(body)

    def service_url(self):
        scheme = "https" if self.server.secure else "http"
        return "%s://127.0.0.1:%d/rpc" % (scheme, self.server.server_address[1])

    def date_time_string(self, timestamp=None):
        if timestamp is None:
            timestamp = time.time() + self.date_offset
        return super().date_time_string(timestamp)

    def answer(self, behaviour, method, params):
        self.date_offset = 300 if behaviour == "date-ahead" else 0
        if behaviour == "date-ahead":
            behaviour = "ok"
        if behaviour.startswith("slow"):
            delay = 10.0 if behaviour == "slow" else int(behaviour[5:]) / 1000.0
            time.sleep(delay)
            behaviour = "ok"
        if behaviour == "silent":
            time.sleep(24 * 3600)
            return None
        if behaviour.startswith("trickle"):
            interval = 2.0 if behaviour == "trickle" else int(behaviour[8:]) / 1000.0
            return self.trickle(response_xml(["OK"]), interval)
        if behaviour == "unauthorized":
            return self.reply(401, b"Unauthorized", "text/plain",
                              extra_headers=[("WWW-Authenticate", 'Basic realm="valdorix"')])
        if behaviour == "proxy-auth":
            return self.reply(407, b"Proxy Authentication Required", "text/plain",
                              extra_headers=[("Proxy-Authenticate", 'Basic realm="valdorix"')])
        if behaviour == "error500":
            return self.reply(500, b"<html>broken</html>", "text/html", reason="Internal Server Error")
        if behaviour == "notfound":
            return self.reply(404, b"<html>not here</html>", "text/html", reason="Not Found")
        if behaviour == "html":
            return self.reply(200, b"<html><body><h1>Welcome</h1></body></html>", "text/html")
        if behaviour == "no-methodresponse":
            return self.reply(200, b'<?xml version="1.0"?>\n<methodCall><params/></methodCall>\n')
        if behaviour == "no-params":
            return self.reply(200, b'<?xml version="1.0"?>\n<methodResponse><nothing/></methodResponse>\n')
        if behaviour == "bad-value":
            return self.reply(200, b'<?xml version="1.0"?>\n<methodResponse><params><param><value><i4>x'
                                   b'</i4></value></param></params></methodResponse>\n')
        if behaviour == "beyond-unicode":
            return self.reply(200, b'<?xml version="1.0"?>\n<methodResponse><params><param><value><array>'
                                   b'<data><value>OK &#1114112;</value></data></array></value></param>'
                                   b'</params></methodResponse>\n')
        if behaviour == "redirect":
            return self.reply(307, b"", "text/plain", reason="Temporary Redirect",
                              extra_headers=[("Location", "/rpc")])
        if behaviour == "redirect-http":
            return self.reply(307, b"", "text/plain", reason="Temporary Redirect",
                              extra_headers=[("Location", "http://127.0.0.1:%d/rpc" % self.state.http_port)])
        if behaviour == "redirect-host":
            return self.reply(307, b"", "text/plain", reason="Temporary Redirect",
                              extra_headers=[("Location", self.service_url().replace("127.0.0.1", "localhost"))])
        if behaviour == "hangup":
            self.close_connection = True
            self.connection.shutdown(socket.SHUT_RDWR)
            return None
        if behaviour == "oversize":
            return self.stream(64 * 1024 * 1024 + 1, chunked=False)
        if behaviour == "oversize-chunked":
            return self.stream(65 * 1024 * 1024, chunked=True)
        if behaviour == "fault":
            return self.reply(200, fault_xml(4, "Unknown user or wrong password"))
        if behaviour == "fault-nostring":
            return self.reply(200, fault_xml(4))
        if behaviour == "fault-number":
            return self.reply(200, fault_xml(4).replace(b"</struct>", b"<member><name>faultString</name>"
                                                                      b"<value><i4>9</i4></value></member></struct>"))
        if behaviour == "refuse":
            return self.reply(200, response_xml(["REFUSED"]))
        if behaviour == "refuse-explained":
            return self.reply(200, response_xml(["REFUSED", "Your account is locked."]))
        if behaviour == "only-ok":
            return self.reply(200, response_xml(["OK"]))
        if behaviour == "empty-array":
            return self.reply(200, response_xml([]))
        if behaviour == "large":
            return self.reply(200, response_xml(["OK", "x" * 1000000]))
        if behaviour == "wrong-shape":
            return self.reply(200, response_xml([42, 43]))
        status = "ok" if behaviour == "lowercase-ok" else "OK"
        if method == "oxa.downloadTokenV5":
            login = ""
            if params and isinstance(params[0], dict):
                login = str(params[0].get("loginName", ""))
            pack = encipher(descriptor_record(login, self.service_url()), AUTHORISATION_CODE)
            data = {"secret": pack, "identifier": "ID-" + login, "status": "ACTIVE"}
            if behaviour == "secret-string":
                data["secret"] = "not base64"
            if behaviour == "badac":
                data["ac"] = AUTHORISATION_CODE + "0"
            elif behaviour != "noac":
                data["ac"] = AUTHORISATION_CODE
            first = 7 if behaviour == "number" else status
            return self.reply(200, response_xml([first, data]))
        if method in ("oxa.activateToken", "oxa.syncToken"):
            if behaviour == "number":
                return self.reply(200, response_xml([7]))
            return self.reply(200, response_xml([status]))
        return self.reply(200, fault_xml(1, "Unknown method %s" % method))

    def trickle(self, body, interval):
        self.send_response(200)
        self.send_header("Content-Type", "text/xml")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        try:
            for byte in body:
                self.wfile.write(bytes([byte]))
                self.wfile.flush()
                time.sleep(interval)
        except OSError:
            pass  # the client gave up
        self.close_connection = True

    def stream(self, size, chunked):
        self.send_response(200)
        self.send_header("Content-Type", "text/xml")
        if chunked:
            self.send_header("Transfer-Encoding", "chunked")
        else:
            self.send_header("Content-Length", str(size))
        self.end_headers()
        block = b"<methodResponse>" + b"x" * (1024 * 1024 - 16)
        sent = 0
        try:
            while sent < size:
                piece = block[: min(len(block), size - sent)]
                if chunked:
                    self.wfile.write(b"%x\r\n" % len(piece) + piece + b"\r\n")
                else:
                    self.wfile.write(piece)
                sent += len(piece)
            if chunked:
                self.wfile.write(b"0\r\n\r\n")
        except OSError:
            pass  # the client gave up, as it should
        self.close_connection = True


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = True

    def __init__(self, state, label, context=None, verbose=False):
        handler = type("BoundHandler", (Handler,), {"state": state})
        super().__init__(("127.0.0.1", 0), handler)
        self.label = label
        self.secure = context is not None
        self.verbose = verbose
        if context is not None:
            # The handshake happens on the handler's thread, so a silent client blocks nobody.
            self.socket = context.wrap_socket(self.socket, server_side=True, do_handshake_on_connect=False)


def openssl(*args, cwd):
    subprocess.run(["openssl", *args], cwd=cwd, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)


def make_certificates(folder):
    """A self-signed certificate for a name that is not 127.0.0.1, and an expired one."""
    openssl("req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
            "-keyout", "key.pem", "-out", "cert.pem", "-days", "30", "-subj", "/CN=provisioning.invalid",
            cwd=folder)
    with open(os.path.join(folder, "ca.cnf"), "w") as config:
        config.write("[ca]\ndefault_ca = local\n[local]\ndatabase = index.txt\nnew_certs_dir = .\n"
                     "serial = serial\ndefault_md = sha256\npolicy = anything\nunique_subject = no\n"
                     "[anything]\ncommonName = supplied\n")
    open(os.path.join(folder, "index.txt"), "w").close()
    with open(os.path.join(folder, "serial"), "w") as serial:
        serial.write("01\n")
    openssl("req", "-new", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
            "-keyout", "expired-key.pem", "-out", "expired.csr", "-subj", "/CN=expired.invalid", cwd=folder)
    openssl("ca", "-batch", "-config", "ca.cnf", "-selfsign", "-keyfile", "expired-key.pem", "-in",
            "expired.csr", "-out", "expired-cert.pem", "-startdate", "20200101000000Z", "-enddate",
            "20200102000000Z", cwd=folder)


def context_for(folder, cert, key):
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(os.path.join(folder, cert), os.path.join(folder, key))
    return context


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--log-dir", help="record every request in this folder")
    parser.add_argument("--control", help="a file whose first word, when present, picks the behaviour")
    parser.add_argument("--verbose", action="store_true", help="log every request to standard error")
    parser.add_argument("--exit-with-stdin", action="store_true",
                        help="stop when standard input closes (a test harness that dies takes the server along)")
    args = parser.parse_args()

    if args.exit_with_stdin:
        def watch_stdin():
            while sys.stdin.buffer.read(4096):
                pass
            os._exit(0)

        threading.Thread(target=watch_stdin, daemon=True).start()

    if args.log_dir:
        os.makedirs(args.log_dir, exist_ok=True)
    state = State(args.log_dir, args.control)
    folder = tempfile.mkdtemp(prefix="valdorix-certs-")
    try:
        make_certificates(folder)
        servers = [
            ("http_url", Server(state, "http", None, args.verbose)),
            ("https_url", Server(state, "https", context_for(folder, "cert.pem", "key.pem"), args.verbose)),
            ("expired_https_url",
             Server(state, "expired", context_for(folder, "expired-cert.pem", "expired-key.pem"), args.verbose)),
        ]
    finally:
        shutil.rmtree(folder, ignore_errors=True)

    state.http_port = servers[0][1].server_address[1]
    for name, server in servers:
        scheme = "https" if server.secure else "http"
        print("%s %s://127.0.0.1:%d/rpc" % (name, scheme, server.server_address[1]))
        threading.Thread(target=server.serve_forever, daemon=True).start()
    print("ready", flush=True)
    sys.stderr.write(
        "Log in with any name and password. Names (or URL paths /rpc/<name>) that pick a behaviour:\n"
        + "".join("  %-18s %s\n" % item for item in BEHAVIOURS.items())
        + "Authorisation code: %s\nCtrl+C stops the server.\n" % AUTHORISATION_CODE
    )
    sys.stderr.flush()
    try:
        while True:
            time.sleep(3600)
    except KeyboardInterrupt:
        pass


if __name__ == "__main__":
    main()
