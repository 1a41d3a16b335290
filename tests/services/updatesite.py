# The maker's web host of the update tests, and the archives it publishes.
#   updatesite.py serve <folder>: serves folder on a free port of 127.0.0.1 and prints "port N".
#     A file with a "<file>.cut" beside it holding N is announced whole but only its first N bytes
#     are sent before the connection closes (a short download).
#   updatesite.py zip <archive> <entry name>=<file> ...: writes a zip archive with exactly these
#     entry names (also names no packer would write, like "../x").
import functools
import http.server
import os
import sys
import time
import zipfile


class Handler(http.server.SimpleHTTPRequestHandler):
    def do_GET(self):
        path = self.translate_path(self.path)
        cut = path + ".cut"
        if os.path.isfile(path) and os.path.isfile(cut):
            with open(path, "rb") as f:
                data = f.read()
            with open(cut) as f:
                n = int(f.read())
            self.send_response(200)
            self.send_header("Content-Length", str(len(data)))
            self.end_headers()
            self.wfile.write(data[:n])
            self.wfile.flush()
            self.close_connection = True
            return
        if os.path.isfile(path) and os.path.isfile(path + ".slow"):
            with open(path, "rb") as f:
                data = f.read()
            self.send_response(200)
            self.send_header("Content-Length", str(len(data)))
            self.end_headers()
            for i in range(0, len(data), 65536):
                self.wfile.write(data[i : i + 65536])
                self.wfile.flush()
                time.sleep(0.02)
            return
        super().do_GET()

    def log_message(self, *args):
        pass


def main():
    if sys.argv[1] == "serve":
        handler = functools.partial(Handler, directory=sys.argv[2])
        server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
        print("port", server.server_address[1], flush=True)
        server.serve_forever()
    elif sys.argv[1] == "zip":
        with zipfile.ZipFile(sys.argv[2], "w", zipfile.ZIP_DEFLATED) as z:
            for arg in sys.argv[3:]:
                name, _, source = arg.partition("=")
                # writestr keeps the name as given; write() would clean "a/../../x" to "../x".
                with open(source, "rb") as f:
                    z.writestr(zipfile.ZipInfo(name, (2026, 12, 1, 0, 0, 0)), f.read(), zipfile.ZIP_DEFLATED)


main()
