#!/usr/bin/env python3
"""A webhook receiver for tests: listens on 127.0.0.1 (a free port, printed as the first line of
stdout), appends each POST body as one line to the file given, and answers 204. With --fail N it
answers the first N posts with 500, so that retries can be seen."""
import http.server
import sys


class Handler(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        length = int(self.headers.get("Content-Length", "0"))
        body = self.rfile.read(length)
        if self.server.failures_left > 0:
            self.server.failures_left -= 1
            self.send_response(500)
            self.end_headers()
            return
        with open(self.server.log_path, "ab") as log:
            log.write(body.replace(b"\n", b" ") + b"\n")
        self.send_response(204)
        self.end_headers()

    def log_message(self, *args):
        pass


def main():
    server = http.server.HTTPServer(("127.0.0.1", 0), Handler)
    server.log_path = sys.argv[1]
    server.failures_left = int(sys.argv[3]) if len(sys.argv) > 3 and sys.argv[2] == "--fail" else 0
    print(server.server_address[1], flush=True)
    server.serve_forever()


main()
