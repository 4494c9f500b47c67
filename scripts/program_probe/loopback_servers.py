"""HTTP servers on loopback addresses, each route a reply good or bad. A server stands for one
host: the program limits downloads per host, so a bad server is given an address of its own
(127.0.0.2, ...) just as a real one would have."""
import http.server
import socket
import struct
import threading

# What the slow and endless replies send, and how fast.
BYTE_PAUSE_SECONDS = 1.0
ENDLESS_PIECE = 4096
ENDLESS_PAUSE_SECONDS = 1 / 16  # 64 KiB a second: steady progress, yet no flood of the disk
SILENT_HOLD_SECONDS = 3600


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.0"
    server_version = "probe"

    def log_message(self, *args):
        pass

    def do_GET(self):
        route = self.server.routes.get(self.path.split("?")[0])
        with self.server.lock:
            self.server.requests[self.path] = self.server.requests.get(self.path, 0) + 1
        if route:
            route(self)
        else:
            self.send_error(404, "Not Found")

    def pause(self, seconds):
        """Waits, and answers whether the server is still serving."""
        return not self.server.stopping.wait(seconds)

    def finish(self):
        try:
            super().finish()
        except OSError:
            pass  # the connection was closed or reset on purpose


class LoopbackServer(http.server.ThreadingHTTPServer):
    daemon_threads = True

    def __init__(self, host, routes):
        """Serves routes (path -> reply) on host at a free port, on a thread of its own."""
        super().__init__((host, 0), Handler)
        self.routes = dict(routes)
        self.requests = {}  # path -> count
        self.lock = threading.Lock()
        self.stopping = threading.Event()
        threading.Thread(target=self.serve_forever, daemon=True).start()

    def url(self, path):
        return "http://%s:%d%s" % (self.server_address[0], self.server_address[1], path)

    def handle_error(self, request, client_address):
        pass  # a client that hangs up on a fault is what the faults are for

    def stop(self):
        self.stopping.set()
        self.shutdown()
        self.server_close()


# ---- replies: each takes the request's handler ---------------------------------------------


def send_head(handler, length=None, content_type="image/gif", status=200):
    handler.send_response(status)
    handler.send_header("Content-Type", content_type)
    if length is not None:
        handler.send_header("Content-Length", str(length))
    handler.end_headers()


def body(content, content_type):
    def reply(handler):
        send_head(handler, len(content), content_type)
        handler.wfile.write(content)
    return reply


def status(code, reason):
    return lambda handler: handler.send_error(code, reason)


def redirect(location):
    def reply(handler):
        handler.send_response(302)
        handler.send_header("Location", location)
        handler.send_header("Content-Length", "0")
        handler.end_headers()
    return reply


def close_after_half(content, reset):
    """Announces the whole of content, sends half and hangs up: with a reset (RST) or with an
    orderly close (FIN)."""
    def reply(handler):
        send_head(handler, len(content))
        handler.wfile.write(content[: len(content) // 2])
        handler.wfile.flush()
        if reset:  # linger on with a zero time-out: close sends RST instead of FIN
            handler.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER,
                                          struct.pack("ii", 1, 0))
        handler.connection.close()
        handler.close_connection = True
    return reply


def silent(handler):
    """Holds the connection without a word until the client gives up and closes it."""
    handler.connection.settimeout(SILENT_HOLD_SECONDS)
    try:
        while handler.connection.recv(4096):
            pass
    except OSError:
        pass
    handler.close_connection = True


def paced(handler, pieces, pause):
    """Writes the pieces with a pause after each; stops when the client leaves or the server
    stops."""
    try:
        for piece in pieces:
            handler.wfile.write(piece)
            handler.wfile.flush()
            if not handler.pause(pause):
                break
    except OSError:
        pass
    handler.close_connection = True


def trickle(content, pieces, pause):
    """A good reply that comes slowly: content in pieces with a pause after each."""
    def reply(handler):
        send_head(handler, len(content))
        size = -(-len(content) // pieces)
        paced(handler, (content[at:at + size] for at in range(0, len(content), size)), pause)
    return reply


def byte_a_second(content):
    """The whole reply, status line included, one byte a second: always progressing, never
    done in any reasonable time."""
    def reply(handler):
        head = b"HTTP/1.0 200 OK\r\nContent-Type: image/gif\r\nContent-Length: %d\r\n\r\n" % len(
            content)
        whole = head + content
        paced(handler, (whole[at:at + 1] for at in range(len(whole))), BYTE_PAUSE_SECONDS)
    return reply


def endless(first, filler):
    """first, then filler over and over, never ending."""
    def pieces():
        yield first
        while True:
            yield filler
    return pieces()


def endless_header(handler):
    """A status line and then header lines without end."""
    line = b"X-Padding: " + b"p" * (ENDLESS_PIECE - 13) + b"\r\n"
    paced(handler, endless(b"HTTP/1.0 200 OK\r\nContent-Type: image/gif\r\n", line),
          ENDLESS_PAUSE_SECONDS)


def endless_body(handler):
    """A GIF's start and then bytes without end, with no length announced."""
    send_head(handler)
    paced(handler, endless(b"GIF89a", b"\0" * ENDLESS_PIECE), ENDLESS_PAUSE_SECONDS)
