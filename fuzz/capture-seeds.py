#!/usr/bin/env python3
"""Writes the seed corpora in tests/data/fuzz/ from real replies of the simulators.

    fuzz/capture-seeds.py BUILD_DIR      (BUILD_DIR holds tools/hlsim/hlsim and tools/mastersim/mastersim)

Every seed is a reply as hlsim or mastersim sent it, or a command sequence of a fuzz target
built around such replies (see the comment at the top of each fuzz_*.cpp for its layout).
"""
import http.client
import os
import socket
import struct
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
OUT = os.path.join(ROOT, "tests", "data", "fuzz")
OOB = b"\xff\xff\xff\xff"


def start(exe, args, marker):
    p = subprocess.Popen([exe] + args, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    line = p.stdout.readline().decode()
    if marker not in line:
        p.kill()
        sys.exit(f"{exe}: unexpected first line {line!r}")
    return p, int(line.strip().rsplit(":", 1)[1])


class Hlsim:
    def __init__(self, build, *args):
        self.proc, self.port = start(os.path.join(build, "tools/hlsim/hlsim"),
                                     ["--port", "0", "--quiet", "--seed", "7"] + list(args),
                                     "hlsim listening")
        self.sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.sock.settimeout(2.0)

    def ask(self, payload, replies=1):
        """Sends FF FF FF FF + payload; returns the datagrams that came back."""
        self.sock.sendto(OOB + payload, ("127.0.0.1", self.port))
        got = []
        try:
            while len(got) < replies:
                got.append(self.sock.recvfrom(65536)[0])
        except socket.timeout:
            pass
        return got

    def close(self):
        self.proc.terminate()
        self.proc.wait(10)
        self.sock.close()


def save(target, name, data):
    d = os.path.join(OUT, target)
    os.makedirs(d, exist_ok=True)
    with open(os.path.join(d, name), "wb") as f:
        f.write(data)


def block(data):
    return struct.pack("<H", len(data)) + data


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build", "hardening")
    replies = {}

    # Legacy dialect with a mod, players, extra rules and RCON.
    s = Hlsim(build, "--players", "4", "--mod", "--rules-extra", "3", "--rcon-password", "pw",
              "--rule", "admin_mod_version=2.50", "--name", "Seed <b>Server</b>")
    replies["m"] = s.ask(b"details\x00")[0]
    replies["E"] = s.ask(b"rules\x00")[0]
    replies["D"] = s.ask(b"players\x00")[0]
    replies["j"] = s.ask(b"ping\x00")[0]
    replies["challenge"] = s.ask(b"challenge rcon\n\x00")[0]
    number = replies["challenge"][19:].split(b"\n")[0]
    replies["l"] = s.ask(b"rcon " + number + b' "pw" status\x00')[0]
    replies["lbad"] = s.ask(b"rcon " + number + b' "wrong" status\x00')[0]
    # Log lines of the RCON commands, sent to our own socket after logaddress.
    own = s.sock.getsockname()[1]
    s.ask(b"rcon " + number + b' "pw" logaddress 127.0.0.1 ' + str(own).encode() + b"\x00", 3)
    logs = s.ask(b"rcon " + number + b' "pw" say hello\x00', 3)
    s.ask(b"rcon " + number + b' "nope" echo x\x00', 3)
    logs += s.ask(b"rcon " + number + b' "pw" echo "quoted"\x00', 3)
    replies["log"] = [d for d in logs if d[4:9] == b"log L"]
    s.close()

    # Steam dialect with the extra data fields.
    s = Hlsim(build, "--dialect", "steam", "--info-extra", "--players", "2", "--bots", "1")
    replies["I"] = s.ask(b"TSource Engine Query\x00")[0]
    replies["A"] = s.ask(b"U\xff\xff\xff\xff")[0]
    challenge = replies["A"][5:9]
    replies["Dsteam"] = s.ask(b"U" + challenge)[0]
    replies["Esteam"] = s.ask(b"V" + challenge)[0]
    s.close()

    # A split reply: many rules in small fragments.
    s = Hlsim(build, "--rules-extra", "40", "--split-size", "300")
    frags = s.ask(b"rules\x00", 15)
    s.close()
    assert frags and all(f[:4] == b"\xfe\xff\xff\xff" for f in frags), "no fragments"

    save("info_reply", "legacy-mod", replies["m"])
    save("info_reply", "steam-extra", replies["I"])
    save("rules_reply", "legacy", replies["E"])
    save("rules_reply", "steam", replies["Esteam"])
    save("players_reply", "legacy", replies["D"])
    save("players_reply", "steam", replies["Dsteam"])
    save("challenge", "rcon", replies["challenge"])
    save("challenge", "steam", replies["A"])
    save("challenge", "print", replies["l"])
    save("challenge", "print-bad", replies["lbad"])

    # Fragments: arbitrary mode (even first byte) with the real fragments in reverse order, and
    # round-trip mode (odd first byte) around the whole info reply.
    save("fragments", "real-reversed",
         b"\x00" + b"".join(b"\x01" + block(f) for f in reversed(frags)))
    save("fragments", "round-trip-info", b"\x01" + bytes([3]) + struct.pack("<H", 9) + b"\x81\x05"
         + replies["m"])

    # The engine: a cycle, then each legacy reply; a cycle, the split rules reply and print text;
    # three unanswered cycles (the engine turns to the Steam requests), then the Steam replies.
    tick = b"\x00\x32"
    legacy = tick + b"".join(b"\x01" + block(replies[k]) for k in ("j", "E", "m", "D"))
    save("query_engine", "legacy-cycle", legacy + b"\x04" + block(replies["m"]))
    save("query_engine", "split-and-print",
         tick + b"".join(b"\x02" + block(f) for f in frags) + b"\x06\x03" + block(replies["l"])
         + b"\x03" + block(replies["challenge"]) + b"\x07" + block(b"challenge rcon\n"))
    steam = tick + tick + b"\x00\x64" + tick + tick + b"\x00\x64" + tick
    steam += b"".join(b"\x01" + block(replies[k]) for k in ("A", "I", "Dsteam", "Esteam"))
    save("query_engine", "steam-cycle", steam + b"\x05" + tick)

    # Console log: entries appended (command 0), options changed (1), rendered (2).
    console = b""
    for d in replies["log"]:
        console += b"\x00" + block(d[5:].split(b"\x00")[0])  # the text after the type byte
    console += b"\x00" + block(replies["l"][5:].split(b"\x00")[0])
    console += b"\x02\x01\x07\x02\x00" + block(b"") + b"\x01\x02\x02"
    save("console_log", "server-log", console)
    save("console_log", "old-form",
         b"\x00" + block(b'og L 01/02/2003 - 04:05:06: Rcon from "1.2.3.4:5":"(rcon 1 "p" kick x)"\n')
         + b"\x00" + block(b'og L 01/02/2003 - 04:05:06: Bad Rcon from "1.2.3.4:5":"(x)"\n')
         + b"\x01\x04\x02")

    # Master replies as mastersim writes them.
    proc, port = start(os.path.join(build, "tools/mastersim/mastersim"),
                       ["--assign-id", "4242", "--nop", "--message",
                        "7:Update:A new version.\\nGet it now:https://example.invalid/dl",
                        "--message", "8:<b>Title</b>::http://x.invalid/"], "mastersim listening")
    try:
        for name, body in (("userid-and-messages", b"\x00\x00\x04\x00\x00\x00\xff\xff\xff\xff"
                            b"\xfd\x00\x00\x00\x00\x00"),):
            c = http.client.HTTPConnection("127.0.0.1", port, timeout=5)
            c.request("POST", "/cgi-bin/master/server.pl", body)
            save("master_reply", name, b"\x05" + c.getresponse().read())
            c.close()
    finally:
        proc.terminate()
        proc.wait(10)
    proc, port = start(os.path.join(build, "tools/mastersim/mastersim"),
                       ["--error", "Go away", "--unknown-type"], "mastersim listening")
    try:
        c = http.client.HTTPConnection("127.0.0.1", port, timeout=5)
        c.request("POST", "/cgi-bin/master/server.pl",
                  b"\x00\x00\x04\x00\x00\x00\xff\xff\xff\xff\xfd\x00\x00\x00\x00\x00")
        save("master_reply", "error", b"\x02" + c.getresponse().read())
        c.close()
    finally:
        proc.terminate()
        proc.wait(10)

    # Launch parameters.
    save("split_parameters", "quoted", b'-game cstrike +connect 1.2.3.4:27015 +name "Big Bob"  "')
    save("split_parameters", "tabs", b'-dev\t1 ""  +exec "my config.cfg" -console')


if __name__ == "__main__":
    main()
