"""Faults a pyftpdlib test server commits on purpose, chosen by name (--fault NAME).

Each fault is a small subclass of the session handler that breaks one rule of a well-behaved
server: a wrong greeting, a refused command, a broken PASV reply, a data connection cut short,
a reply without end, silence. Files are served from the server's root as usual.
"""
import errno
import os

from pyftpdlib.handlers import _FileReadWriteError

FAULTS = {}


def fault(name):
    def register(make):
        FAULTS[name] = make
        return make
    return register


def make_handler(base, name):
    if name not in FAULTS:
        raise SystemExit("unknown fault %r; known: %s" % (name, ", ".join(sorted(FAULTS))))
    return FAULTS[name](base)


def _read(path):
    # ftp_RETR receives the file's path on disk, already resolved by the handler.
    with open(path, "rb") as f:
        return f.read()


def _with_data_channel(handler, then, tries=500):
    """Runs then(data_channel) once the client's passive connection has been accepted: the
    RETR line may be read before the connection it follows is."""
    if handler.data_channel is not None:
        then(handler.data_channel)
    elif tries > 0 and not handler._closed:
        handler.ioloop.call_later(0.01, _with_data_channel, handler, then, tries - 1)


# --- the greeting -------------------------------------------------------------------------

@fault("greeting-120-then-220")
def _greeting_120(base):
    class Handler(base):
        def handle(self):
            self.on_connect()
            self.push("120 Service ready in a moment.\r\n")
            self.respond("220 Ready now.")
    return Handler


@fault("no-greeting")
def _no_greeting(base):
    class Handler(base):
        def handle(self):
            self.on_connect()
    return Handler


@fault("greeting-421")
def _greeting_421(base):
    class Handler(base):
        def handle(self):
            self.on_connect()
            self.respond("421 Service not available, closing control connection.")
            self.close_when_done()
    return Handler


@fault("long-reply-line")
def _long_reply_line(base):
    class Handler(base):
        def handle(self):
            self.on_connect()
            self.push("220 " + "x" * 20000 + "\r\n")
    return Handler


class _EndlessLines:
    def more(self):
        return b"220-and there is more to say\r\n" * 200


@fault("endless-multiline-reply")
def _endless_multiline(base):
    class Handler(base):
        def handle(self):
            self.on_connect()
            self.push("220-Welcome\r\n")
            self.push_with_producer(_EndlessLines())
    return Handler


# --- commands refused or never answered -------------------------------------------------------

@fault("login-530")
def _login_530(base):
    class Handler(base):
        def ftp_PASS(self, line):
            self.respond("530 Login incorrect.")
    return Handler


@fault("syst-502")
def _syst_502(base):
    class Handler(base):
        def ftp_SYST(self, line):
            self.respond("502 Command not implemented.")
    return Handler


@fault("cwd-no-reply")
def _cwd_no_reply(base):
    class Handler(base):
        def ftp_CWD(self, path):
            pass
    return Handler


# --- PASV replies -------------------------------------------------------------------------------

def _fixed_pasv(text):
    def make(base):
        class Handler(base):
            def ftp_PASV(self, line):
                self.respond(text)
        return Handler
    return make


fault("pasv-five-fields")(_fixed_pasv("227 Entering Passive Mode (127,0,0,1,4)."))
fault("pasv-field-above-255")(_fixed_pasv("227 Entering Passive Mode (127,0,0,256,4,1)."))
fault("pasv-port-0")(_fixed_pasv("227 Entering Passive Mode (127,0,0,1,0,0)."))


@fault("pasv-foreign-address")
def _pasv_foreign(base):
    # Another address than the one the client reached; still loopback, so that a client that
    # wrongly trusted it would fail against nobody rather than send anything off this machine.
    class Handler(base):
        def respond(self, resp, *args, **kwargs):
            if resp.startswith("227 "):
                resp = resp.replace("(127,0,0,1,", "(127,0,0,2,")
            return super().respond(resp, *args, **kwargs)
    return Handler


# --- the data phase -----------------------------------------------------------------------------

class _PartThenFail:
    """Gives the first part, then fails as a broken disk would: the server answers 426."""
    def __init__(self, part):
        self.part = part

    def more(self):
        if self.part is None:
            # The server words its 426 after the error held here, as for a real read error.
            failure = _FileReadWriteError()
            failure.errno = OSError(errno.EIO, os.strerror(errno.EIO))
            raise failure
        part, self.part = self.part, None
        return part


@fault("retr-426-after-part")
def _retr_426(base):
    class Handler(base):
        def ftp_RETR(self, file):
            data = _read(file)
            self.push_dtp_data(_PartThenFail(data[:len(data) // 2]), isproducer=True, cmd="RETR")
    return Handler


@fault("first-retr-426-after-part")
def _first_retr_426(base):
    # The first RETR of the server's life breaks off half-way (426); every later one is served
    # as usual, restart markers included: a client that tries again can resume.
    broken = []

    class Handler(base):
        def ftp_RETR(self, file):
            if broken:
                return base.ftp_RETR(self, file)
            broken.append(file)
            data = _read(file)
            self.push_dtp_data(_PartThenFail(data[:len(data) // 2]), isproducer=True, cmd="RETR")
    return Handler


@fault("data-closed-early")
def _data_closed_early(base):
    # Announces the size, sends a part, closes the data connection and reports success.
    class Handler(base):
        def ftp_RETR(self, file):
            data = _read(file)
            self.respond("150 Opening BINARY mode data connection for %s (%d bytes)."
                         % (file, len(data)))

            def send(dc):
                dc.cmd = "RETR"
                dc.push(data[:len(data) // 3])
                dc.close_when_done()
            _with_data_channel(self, send)
    return Handler


@fault("control-dropped-after-150")
def _control_dropped(base):
    class Handler(base):
        def ftp_RETR(self, file):
            self.respond("150 Opening BINARY mode data connection.")
            # Once the data connection is accepted, so that it ends with a close rather than
            # a reset of a connection still waiting in the listener's queue.
            _with_data_channel(self, lambda dc: self.close_when_done())
    return Handler


@fault("data-stalls")
def _data_stalls(base):
    # A part, then silence on both connections until the client gives up.
    class Handler(base):
        def ftp_RETR(self, file):
            data = _read(file)
            self.respond("150 Opening BINARY mode data connection.")
            _with_data_channel(self, lambda dc: dc.push(data[:len(data) // 4]))
    return Handler


@fault("data-slow")
def _data_slow(base):
    # One byte every 50 ms, then a normal end.
    class Handler(base):
        def ftp_RETR(self, file):
            data = _read(file)
            self.respond("150 Opening BINARY mode data connection.")

            def send(dc, at=0):
                if dc._closed:
                    return
                if at == len(data):
                    dc.cmd = "RETR"
                    dc.close_when_done()
                    return
                dc.push(data[at:at + 1])
                self.ioloop.call_later(0.05, send, dc, at + 1)
            _with_data_channel(self, send)
    return Handler


@fault("rest-ignored")
def _rest_ignored(base):
    # Takes the restart marker and forgets it: every transfer starts at byte 0.
    class Handler(base):
        def ftp_REST(self, line):
            self.respond("350 Restarting at %s." % line)
    return Handler
