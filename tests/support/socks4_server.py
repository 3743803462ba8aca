"""A SOCKS 4 and 4A proxy for tests, built on python3-twisted's twisted.protocols.socks.

Listens on 127.0.0.1 at a port the system picks and prints "PORT <n>" on its first stdout
line. Every request and every onward connection is written to --log-file, one line each:

  resolve <SOCKS 4A host name>
  request <client host>:<client port> -> <target>:<port> user <user id>
  connected <client host>:<client port> via <proxy's own port> -> <target address>:<port>

--alias NAME=ADDRESS lets the proxy resolve a SOCKS 4A host name that nobody else can, which
shows that the client left the name to the proxy.
"""
import argparse

from twisted.internet import defer, reactor
from twisted.protocols import socks

from serve_support import announce_port, give_up_after


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--log-file", required=True)
    p.add_argument("--alias", action="append", default=[])
    p.add_argument("--max-seconds", type=int, default=900)
    a = p.parse_args()

    aliases = {}
    for item in a.alias:
        name, _, address = item.partition("=")
        aliases[name.lower()] = address

    def log(line):
        with open(a.log_file, "a") as f:
            f.write(line + "\n")

    class Resolver:
        # twisted hands the SOCKS 4A name over as bytes.
        def resolve(self, name):
            if isinstance(name, bytes):
                name = name.decode("latin-1")
            log("resolve %s" % name)
            if name.lower() in aliases:
                return defer.succeed(aliases[name.lower()])
            return reactor.resolve(name)

    class Outgoing(socks.SOCKSv4Outgoing):
        def connectionMade(self):
            client = self.socks.transport.getPeer()
            own = self.transport.getHost()
            target = self.transport.getPeer()
            log("connected %s:%d via %d -> %s:%d"
                % (client.host, client.port, own.port, target.host, target.port))
            super().connectionMade()

    class Proxy(socks.SOCKSv4):
        def authorize(self, code, server, port, user):
            client = self.transport.getPeer()
            if isinstance(user, bytes):
                user = user.decode("latin-1")
            log("request %s:%d -> %s:%d user %s" % (client.host, client.port, server, port, user))
            # Tests stay on loopback: nothing else is passed on.
            return server.startswith("127.")

        def connectClass(self, host, port, klass, *args):
            return super().connectClass(host, port, Outgoing, *args)

    class Factory(socks.SOCKSv4Factory):
        def buildProtocol(self, addr):
            return Proxy(None, Resolver())

    port = reactor.listenTCP(0, Factory(None), interface="127.0.0.1")
    announce_port(port.getHost().port)
    give_up_after(a.max_seconds)

    reactor.run()


if __name__ == "__main__":
    main()
