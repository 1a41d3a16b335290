#!/usr/bin/env python3
"""Loopback servers that misbehave, for the network tests: they print their port, serve until
killed, and stop by themselves after a minute at most.

  badserver.py http-trickle   HTTP: headers, then one byte a second, never done
  badserver.py http-endless   HTTP: headers without a length, then data without end
  badserver.py ftp-stall      FTP: logs in; a download sends 1000 bytes and stalls, an upload is never read
  badserver.py ftp-endless    FTP: logs in; a download of unknown size sends data without end
  badserver.py ftp-noconfirm  FTP: logs in; an upload is read whole and never confirmed
  badserver.py ftp-drop       FTP: logs in; a download of 100 bytes sends 10 and drops both connections
  badserver.py smtp-stall     SMTP: takes a whole message, then never answers its end
  badserver.py ftp-slow <root> <control> <bytes a second>
                              FTP: keeps files under root and reads uploads at that rate. A file
                              "hold.226.<name>" in control holds the answer to the upload of name
                              once all its bytes are written, "hold.RNTO.<name>" the answer to the
                              rename to name once it is done; each hold makes "held.<...>" beside it
                              and lasts until its file is removed.
"""
import os
import socket
import sys
import threading
import time

MODE = sys.argv[1]
DEADLINE = time.time() + 60


def listen():
    s = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    s.bind(("127.0.0.1", 0))
    s.listen(5)
    s.settimeout(1)
    return s


def accept(s):
    while time.time() < DEADLINE:
        try:
            c, _ = s.accept()
            return c
        except socket.timeout:
            continue
    sys.exit(0)


def send_slowly(c, endless):
    block = b"x" * 65536
    try:
        while time.time() < DEADLINE:
            if endless:
                c.sendall(block)
            else:
                c.sendall(b"x")
                time.sleep(1)
    except OSError:
        pass
    c.close()


def http(c):
    c.recv(65536)
    if MODE == "http-trickle":
        c.sendall(b"HTTP/1.0 200 OK\r\nContent-Length: 100000\r\n\r\n")
    else:
        c.sendall(b"HTTP/1.0 200 OK\r\n\r\n")
    send_slowly(c, MODE == "http-endless")


def ftp(c):
    f = c.makefile("rb")
    data = None

    def reply(text):
        c.sendall(text.encode() + b"\r\n")

    reply("220 ready")
    while time.time() < DEADLINE:
        line = f.readline()
        if not line:
            break
        cmd = line.decode(errors="replace").strip().split(" ", 1)[0].upper()
        if cmd == "USER":
            reply("331 password")
        elif cmd == "PASS":
            reply("230 in")
        elif cmd == "PWD":
            reply('257 "/"')
        elif cmd in ("CWD", "MKD"):
            reply("250 ok")
        elif cmd == "TYPE":
            reply("200 ok")
        elif cmd == "SIZE":
            if MODE == "ftp-endless":
                reply("502 no size")  # the length is left unknown: only the cap ends it
            else:
                reply("213 100")
        elif cmd == "EPSV":
            data = listen()
            reply("229 passive (|||%d|)" % data.getsockname()[1])
        elif cmd == "RETR":
            reply("150 here")
            d = accept(data)
            if MODE == "ftp-endless":
                send_slowly(d, True)
            elif MODE == "ftp-drop":
                d.sendall(b"y" * 10)
                d.close()
                break
            else:
                d.sendall(b"y" * 1000)
                while time.time() < DEADLINE:
                    time.sleep(0.2)
        elif cmd == "STOR" and MODE == "ftp-noconfirm":
            reply("150 send")
            d = accept(data)
            while d.recv(65536):
                pass
            d.close()
            # Every byte arrived; the "226" that would confirm it never comes.
            while time.time() < DEADLINE:
                time.sleep(0.2)
        elif cmd == "STOR":
            reply("150 send")
            d = accept(data)
            # Never read: the client's sending stalls once the buffers are full.
            while time.time() < DEADLINE:
                time.sleep(0.2)
            d.close()
        elif cmd == "QUIT":
            reply("221 bye")
            break
        else:
            reply("502 not here")
    c.close()


def ftp_files(c):
    root, control, rate = sys.argv[2], sys.argv[3], int(sys.argv[4])
    f = c.makefile("rb")
    cwd = "/"
    data = None
    rename_from = None

    def reply(text):
        c.sendall(text.encode() + b"\r\n")

    def local(path):
        full = os.path.normpath(os.path.join(cwd, path))
        return os.path.join(root, full.lstrip("/"))

    def hold(name):
        held = False
        while time.time() < DEADLINE and os.path.exists(os.path.join(control, "hold." + name)):
            if not held:
                open(os.path.join(control, "held." + name), "w").close()
                held = True
            time.sleep(0.02)

    reply("220 ready")
    while time.time() < DEADLINE:
        line = f.readline()
        if not line:
            break
        words = line.decode(errors="replace").strip().split(" ", 1)
        cmd, arg = words[0].upper(), (words[1] if len(words) > 1 else "")
        if cmd == "USER":
            reply("331 password")
        elif cmd == "PASS":
            reply("230 in")
        elif cmd == "PWD":
            reply('257 "%s"' % cwd)
        elif cmd == "CWD":
            if os.path.isdir(local(arg)):
                cwd = os.path.normpath(os.path.join(cwd, arg))
                reply("250 ok")
            else:
                reply("550 no folder")
        elif cmd == "MKD":
            try:
                os.mkdir(local(arg))
                reply('257 "%s"' % arg)
            except OSError:
                reply("550 cannot")
        elif cmd in ("TYPE", "MODE", "STRU"):
            reply("200 ok")
        elif cmd == "REST":
            reply("350 ok")
        elif cmd == "SIZE":
            if os.path.isfile(local(arg)):
                reply("213 %d" % os.path.getsize(local(arg)))
            else:
                reply("550 no file")
        elif cmd == "EPSV":
            data = listen()
            reply("229 passive (|||%d|)" % data.getsockname()[1])
        elif cmd == "STOR":
            reply("150 send")
            d = accept(data)
            block = max(1, rate // 16)
            with open(local(arg), "wb") as out:
                while True:
                    got = d.recv(block)
                    if not got:
                        break
                    out.write(got)
                    out.flush()
                    time.sleep(1 / 16)
            d.close()
            hold("226." + os.path.basename(arg))
            reply("226 stored")
        elif cmd == "RETR":
            if not os.path.isfile(local(arg)):
                reply("550 no file")
                continue
            reply("150 here")
            d = accept(data)
            with open(local(arg), "rb") as src:
                d.sendall(src.read())
            d.close()
            reply("226 sent")
        elif cmd == "RNFR":
            rename_from = local(arg)
            reply("350 go on" if os.path.exists(rename_from) else "550 no file")
        elif cmd == "RNTO":
            try:
                os.replace(rename_from, local(arg))
            except OSError:
                reply("550 cannot")
                continue
            hold("RNTO." + os.path.basename(arg))
            reply("250 renamed")
        elif cmd == "DELE":
            try:
                os.remove(local(arg))
                reply("250 deleted")
            except OSError:
                reply("550 cannot")
        elif cmd == "QUIT":
            reply("221 bye")
            break
        else:
            reply("502 not here")
    c.close()


def smtp(c):
    f = c.makefile("rb")

    def reply(text):
        c.sendall(text.encode() + b"\r\n")

    reply("220 ready")
    while time.time() < DEADLINE:
        line = f.readline()
        if not line:
            break
        cmd = line.decode(errors="replace").strip().split(" ", 1)[0].upper()
        if cmd in ("EHLO", "HELO"):
            reply("250 here")
        elif cmd in ("MAIL", "RCPT", "RSET", "NOOP"):
            reply("250 ok")
        elif cmd == "DATA":
            reply("354 go on")
            while time.time() < DEADLINE:
                line = f.readline()
                if not line or line == b".\r\n":
                    break
            # The message is all here: its end is never answered.
            while time.time() < DEADLINE and c.recv(65536):
                pass
            break
        elif cmd == "QUIT":
            reply("221 bye")
            break
        else:
            reply("502 not here")
    c.close()


server = listen()
print("port %d" % server.getsockname()[1], flush=True)
while True:
    conn = accept(server)
    serve = (http if MODE.startswith("http") else smtp if MODE.startswith("smtp")
             else ftp_files if MODE == "ftp-slow" else ftp)
    threading.Thread(target=serve, args=(conn,), daemon=True).start()
