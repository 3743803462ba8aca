"""A pyftpdlib server for tests: listens on 127.0.0.1 (or --host ::1) at a port the system picks and prints
"PORT <n>" on its first stdout line, so the launching test learns where to connect.

Fault injection: --handler-file names a Python file that is run with FTPHandler in scope;
if it defines a class Handler (normally a subclass of FTPHandler), that class serves.
--fault NAME adds one of the named faults of pyftpd_faults.py on top.

Explicit TLS: --tls-cert and --tls-key serve with pyftpdlib's TLS handler (python3-openssl),
which then requires TLS on the control connection before login and on every data connection.
The handler file then finds that class as FTPHandler.
"""
import argparse
import logging

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer

from pyftpd_faults import make_handler
from serve_support import announce_port, give_up_after


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--host", default="127.0.0.1")
    p.add_argument("--user", default="")
    p.add_argument("--password", default="")
    p.add_argument("--root", required=True)
    p.add_argument("--perm", default="elr")
    p.add_argument("--anonymous", action="store_true")
    p.add_argument("--passive-low", type=int, default=0)
    p.add_argument("--passive-high", type=int, default=0)
    p.add_argument("--banner", default="")
    p.add_argument("--handler-file", default="")
    p.add_argument("--fault", default="")
    p.add_argument("--log-file", default="")
    p.add_argument("--max-seconds", type=int, default=900)
    p.add_argument("--tls-cert", default="")
    p.add_argument("--tls-key", default="")
    a = p.parse_args()

    if a.log_file:
        logging.basicConfig(filename=a.log_file, level=logging.DEBUG,
                            format="%(asctime)s %(message)s")
    else:
        logging.basicConfig(level=logging.WARNING)

    auth = DummyAuthorizer()
    if a.user:
        auth.add_user(a.user, a.password, a.root, perm=a.perm)
    if a.anonymous:
        auth.add_anonymous(a.root, perm=a.perm)

    base = FTPHandler
    if a.tls_cert:
        from pyftpdlib.handlers import TLS_FTPHandler
        base = TLS_FTPHandler
    if a.handler_file:
        scope = {"FTPHandler": base, "__name__": "test_handler"}
        with open(a.handler_file) as f:
            exec(compile(f.read(), a.handler_file, "exec"), scope)
        base = scope.get("Handler", base)
    if a.fault:
        base = make_handler(base, a.fault)

    class Handler(base):
        pass

    Handler.authorizer = auth
    if a.tls_cert:
        Handler.certfile = a.tls_cert
        Handler.keyfile = a.tls_key or None
        Handler.tls_control_required = True
        Handler.tls_data_required = True
    if a.banner:
        Handler.banner = a.banner
    if a.passive_low and a.passive_high:
        Handler.passive_ports = range(a.passive_low, a.passive_high + 1)

    server = FTPServer((a.host, 0), Handler)
    announce_port(server.address[1])
    give_up_after(a.max_seconds)

    server.serve_forever(handle_exit=True)


if __name__ == "__main__":
    main()
