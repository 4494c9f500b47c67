#!/usr/bin/env python3
"""The demo's image server: serves a folder on 127.0.0.1 at a free port and writes the
port number to a file, so scripts/run can put it into the demo's schedule."""
import functools
import http.server
import sys

folder, port_file = sys.argv[1], sys.argv[2]


class QuietHandler(http.server.SimpleHTTPRequestHandler):
    """Keeps the access log off the terminal of scripts/run."""

    def log_message(self, *args):
        pass


handler = functools.partial(QuietHandler, directory=folder)
server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
with open(port_file, "w") as f:
    f.write(str(server.server_address[1]))
server.serve_forever()
