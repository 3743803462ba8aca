#!/usr/bin/python3
"""Starts Linux programs for the Windows test programs that run under wine.

A test under wine needs the same servers as its Linux twin (pyftpdlib, vsftpd, dante), but a
Windows program cannot start a Linux one. scripts/wine-tests runs this host on loopback and
hands its port to the tests (TAVO_PROCESS_HOST); a test's ChildProcess opens one connection
per program it starts:

  client: START <capture 0|1> <stdin> <stdout> <stderr> <argv0> <argv1> ...   (fields in hex)
  host:   STARTED <pid>  or  ERROR <text in hex>
  host:   OUT <stdout line in hex>      (with capture, one per line)
  host:   EXIT <status>                 (128 + signal when a signal ended it)
  client: STOP                          (the program's whole group is ended, then EXIT)

When the connection closes the program's group is ended too, so a test that crashes leaves
nothing running. The host prints "PORT <n>" and serves until it is sent SIGTERM, which ends
every program it started.
"""
import os
import signal
import socket
import subprocess
import threading


def decode(field):
    return bytes.fromhex(field.decode("ascii")).decode("utf-8")


def status_of(code):
    return 128 - code if code < 0 else code


LIVE = set()
LIVE_LOCK = threading.Lock()


def end_group(proc):
    for sig, wait in ((signal.SIGTERM, 5), (signal.SIGKILL, 5)):
        try:
            os.killpg(proc.pid, sig)
        except ProcessLookupError:
            pass
        try:
            proc.wait(wait)
            break
        except subprocess.TimeoutExpired:
            continue
    try:  # whatever the program left running in its group
        os.killpg(proc.pid, signal.SIGKILL)
    except ProcessLookupError:
        pass


def serve(conn):
    lock = threading.Lock()

    def send(line):
        with lock:
            try:
                conn.sendall(line.encode("ascii") + b"\n")
            except OSError:
                pass

    reader = conn.makefile("rb")
    fields = reader.readline().split()
    if len(fields) < 6 or fields[0] != b"START":
        send("ERROR " + b"bad request".hex())
        conn.close()
        return
    capture = fields[1] == b"1"
    stdin, stdout, stderr = (decode(f) for f in fields[2:5])
    argv = [decode(f) for f in fields[5:]]
    if argv[0].lower().endswith(".exe"):
        argv.insert(0, "wine")  # a Windows program of the build: back under wine
    try:
        with open(stdin, "rb") as i, open(stderr, "wb") as e:
            out = subprocess.PIPE if capture else open(stdout, "wb")
            proc = subprocess.Popen(argv, stdin=i, stdout=out, stderr=e, start_new_session=True)
            if not capture:
                out.close()
    except OSError as err:
        send("ERROR " + str(err).encode("utf-8").hex())
        conn.close()
        return
    with LIVE_LOCK:
        LIVE.add(proc)
    send("STARTED %d" % proc.pid)

    def watch():
        if capture:
            for line in proc.stdout:
                send("OUT " + line.rstrip(b"\r\n").hex())
        send("EXIT %d" % status_of(proc.wait()))

    watcher = threading.Thread(target=watch, daemon=True)
    watcher.start()
    for line in reader:  # STOP, or the end of the connection
        if line.strip() == b"STOP":
            break
    end_group(proc)
    with LIVE_LOCK:
        LIVE.discard(proc)
    watcher.join(10)
    conn.close()


def main():
    listener = socket.socket()
    listener.bind(("127.0.0.1", 0))
    listener.listen(64)
    print("PORT %d" % listener.getsockname()[1], flush=True)

    def accept():
        while True:
            conn, _ = listener.accept()
            threading.Thread(target=serve, args=(conn,), daemon=True).start()

    def stop(*_):
        with LIVE_LOCK:
            procs = list(LIVE)
        for proc in procs:
            end_group(proc)
        os._exit(0)

    signal.signal(signal.SIGTERM, stop)
    threading.Thread(target=accept, daemon=True).start()
    while True:
        signal.pause()


if __name__ == "__main__":
    main()
