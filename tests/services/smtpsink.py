# An SMTP server on loopback for the mail tests: every message it takes is decoded with Python's
# own mail parser and kept in the folder given as argument as <n>.json (envelope, decoded subject,
# body and attachment names) and <n>-<k>.bin (the attachments). It prints its port, then serves
# until its standard input closes. Options: --refuse ADDRESS (that recipient is refused, as many
# times as given) and --password PW (a login is required and only PW is taken).
import argparse, json, os, socket, sys
from email import message_from_bytes, policy

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import AuthResult, LoginPassword

ap = argparse.ArgumentParser()
ap.add_argument("out")
ap.add_argument("--refuse", action="append", default=[])
ap.add_argument("--password")
args = ap.parse_args()
out = args.out


class Sink:
    count = 0

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if address in args.refuse:
            return "550 5.1.1 No such user"
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        Sink.count += 1
        n = Sink.count
        msg = message_from_bytes(envelope.content, policy=policy.default)
        names = []
        for k, part in enumerate(msg.iter_attachments(), 1):
            names.append(part.get_filename())
            with open(os.path.join(out, f"{n}-{k}.bin"), "wb") as f:
                f.write(part.get_content())
        body = msg.get_body(("plain",))
        info = {"from": envelope.mail_from, "to": envelope.rcpt_tos, "subject": str(msg["subject"]),
                "body": body.get_content() if body else "", "attachments": names,
                "date": msg["date"].datetime.isoformat() if msg["date"] else "",
                "defects": [str(d) for part in msg.walk() for d in part.defects]}
        with open(os.path.join(out, f"{n}.json"), "w", encoding="utf-8") as f:
            json.dump(info, f, ensure_ascii=False)
        return "250 OK"


s = socket.socket()
s.bind(("127.0.0.1", 0))
port = s.getsockname()[1]
s.close()
def authenticator(server, session, envelope, mechanism, auth_data):
    ok = isinstance(auth_data, LoginPassword) and auth_data.password == args.password.encode()
    return AuthResult(success=ok, handled=False)


login = {"auth_required": True, "auth_require_tls": False, "authenticator": authenticator} if args.password else {}
controller = Controller(Sink(), hostname="127.0.0.1", port=port, **login)
controller.start()
print(port, flush=True)
sys.stdin.read()
controller.stop()
