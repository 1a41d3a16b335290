# The maker's web host of the update tests, and the archives it publishes.
#   updatesite.py serve <folder> [<log>]: serves folder on a free port of 127.0.0.1 and prints
#     "port N"; with log, appends "<path>\t<User-Agent>\t<Accept>" for every request to it.
#     A file with a "<file>.cut" beside it holding N is announced whole but only its first N bytes
#     are sent before the connection closes (a short download). "<file>.slow" sends the file in
#     blocks of 64 KiB every 20 ms, or of the bytes it holds a number of every second.
#     "<file>.redirect" answers 302 with its content as the Location. "<file>.hold" holds the
#     answer until "<file>.go" exists.
#   updatesite.py zip <archive> <entry name>=<file> ...: writes a zip archive with exactly these
#     entry names (also names no packer would write, like "../x").
import functools
import http.server
import os
import sys
import time
import zipfile


class Handler(http.server.SimpleHTTPRequestHandler):
    log_file = None

    def do_GET(self):
        path = self.translate_path(self.path)
        if self.log_file:
            with open(self.log_file, "a") as log:
                log.write("%s\t%s\t%s\n" % (self.path, self.headers.get("User-Agent"), self.headers.get("Accept")))
        if os.path.isfile(path + ".hold"):
            while not os.path.exists(path + ".go"):
                time.sleep(0.01)
        if os.path.isfile(path + ".redirect"):
            with open(path + ".redirect") as f:
                location = f.read().strip()
            self.send_response(302)
            self.send_header("Location", location)
            self.send_header("Content-Length", "0")
            self.end_headers()
            return
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
            with open(path + ".slow") as f:
                rate = f.read().strip()
            block, pause = (int(rate), 1) if rate else (65536, 0.02)
            self.send_response(200)
            self.send_header("Content-Length", str(len(data)))
            self.end_headers()
            try:
                for i in range(0, len(data), block):
                    self.wfile.write(data[i : i + block])
                    self.wfile.flush()
                    time.sleep(pause)
            except OSError:
                pass
            return
        super().do_GET()

    def log_message(self, *args):
        pass


def main():
    if sys.argv[1] == "serve":
        Handler.log_file = sys.argv[3] if len(sys.argv) > 3 else None
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
