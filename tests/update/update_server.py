#!/usr/bin/env python3
"""A local update server for the tests: serves the files of ROOT, plus misbehaving addresses.

  /endless             a body that never ends
  /redirect-file       a redirect to file:///etc/passwd
  /redirect-ftp        a redirect to ftp://127.0.0.1/x
  /silent              accepts the request and never answers
  /huge/upgrade.txt    a 10 MiB version list

Prints the port it listens on (chosen by the system) as its first line, then serves until killed.
"""
import http.server
import os
import sys
import time


class Handler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass

    def redirect(self, target):
        self.send_response(302)
        self.send_header("Location", target)
        self.send_header("Content-Length", "0")
        self.end_headers()

    def do_GET(self):
        if self.path == "/endless":
            self.send_response(200)
            self.end_headers()
            chunk = b"\xff" * 65536
            try:
                while True:
                    self.wfile.write(chunk)
            except (BrokenPipeError, ConnectionResetError):
                return
        if self.path == "/redirect-file":
            return self.redirect("file:///etc/passwd")
        if self.path == "/redirect-ftp":
            return self.redirect("ftp://127.0.0.1/x")
        if self.path == "/silent":
            time.sleep(3600)
            return
        if self.path == "/huge/upgrade.txt":
            body = b"Version 9.99z\r\n" + b"x" * (10 * 1024 * 1024)
            self.send_response(200)
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            try:
                self.wfile.write(body)
            except (BrokenPipeError, ConnectionResetError):
                pass
            return
        return super().do_GET()


def main():
    root = sys.argv[1]
    os.chdir(root)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    server.daemon_threads = True
    print(server.server_address[1], flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
