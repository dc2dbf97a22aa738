#!/usr/bin/env python3
"""UDP relay for bench/soak.sh: the monitor queries the relay, the relay passes every datagram
on to hlsim and every answer back, and counts what goes through, so the soak can tell that the
window's refresh cycle still runs. It also points hlsim's log at itself (an RCON logaddress
command, retried until log lines arrive) and passes the log lines on to the monitor from the
address the monitor queries, so the remote console receives them.

    soak_relay.py HLSIM_PORT RCON_PASSWORD STATS_FILE [nolog]

Prints "relay listening on 127.0.0.1:PORT" (flushed); rewrites STATS_FILE every second with
"requests replies loglines" totals. Ends on SIGTERM.
"""
import os
import select
import signal
import socket
import sys
import time

server = ("127.0.0.1", int(sys.argv[1]))
password = sys.argv[2].encode()
stats_path = sys.argv[3]
want_log = len(sys.argv) < 5 or sys.argv[4] != "nolog"

front = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)  # the monitor's server address
front.bind(("127.0.0.1", 0))
back = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)   # towards hlsim
back.bind(("127.0.0.1", 0))
log = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)    # hlsim's log address
log.bind(("127.0.0.1", 0))
print(f"relay listening on 127.0.0.1:{front.getsockname()[1]}", flush=True)

signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
client = None
requests = replies = loglines = 0
last_stats = 0.0
last_setup = 0.0
OOB = b"\xff\xff\xff\xff"

while True:
    now = time.monotonic()
    if want_log and loglines == 0 and now - last_setup > 1.0:
        # Ask for a challenge number from the log socket; the reply comes back to it.
        last_setup = now
        log.sendto(OOB + b"challenge rcon\n\x00", server)
    if now - last_stats >= 1.0:
        last_stats = now
        tmp = stats_path + ".tmp"
        with open(tmp, "w") as f:
            f.write(f"{requests} {replies} {loglines}\n")
        os.replace(tmp, stats_path)
    ready, _, _ = select.select([front, back, log], [], [], 0.2)
    for s in ready:
        data, addr = s.recvfrom(65536)
        if s is front:
            client = addr
            requests += 1
            back.sendto(data, server)
        elif s is back:
            if client:
                replies += 1
                front.sendto(data, client)
        else:
            if data.startswith(OOB + b"challenge rcon "):
                number = data[19:].split(b"\n")[0].split(b"\x00")[0]
                port = str(log.getsockname()[1]).encode()
                log.sendto(OOB + b"rcon " + number + b' "' + password + b'" logaddress 127.0.0.1 '
                           + port + b"\x00", server)
            elif data.startswith(OOB + b"log L"):
                loglines += 1
                if client:
                    front.sendto(data, client)
