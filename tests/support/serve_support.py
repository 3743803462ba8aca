"""What every test server script does around its work: tell the launching test its port, and
end itself when nobody stops it."""
import os
import signal
import sys
import threading


def announce_port(port):
    """First stdout line, read by the launcher: "PORT <n>"."""
    sys.stdout.write("PORT %d\n" % port)
    sys.stdout.flush()


def give_up_after(seconds):
    """A test that dies without stopping us must not leave a server behind for long."""
    def give_up():
        os.kill(os.getpid(), signal.SIGKILL)
    timer = threading.Timer(seconds, give_up)
    timer.daemon = True
    timer.start()
