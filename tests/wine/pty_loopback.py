#!/usr/bin/env python3
"""A pseudo-terminal that sends back every byte it receives, for the Windows serial port's
tests under Wine. Its slave starts as a terminal program may leave a real port: XON/XOFF on
both ways (IXON, IXOFF) and RTS/CTS (CRTSCTS), without echo or line editing of its own.
Prints the slave's path as its first line and serves until it is stopped.
"""

import os
import pty
import select
import sys
import termios


def main():
    master, slave = pty.openpty()
    attrs = termios.tcgetattr(slave)
    attrs[0] |= termios.IXON | termios.IXOFF
    attrs[2] |= termios.CRTSCTS
    # No echo of the slave's own: what comes back is what this program sends.
    attrs[3] &= ~(termios.ECHO | termios.ICANON | termios.ISIG | termios.IEXTEN)
    termios.tcsetattr(slave, termios.TCSANOW, attrs)
    print(os.ttyname(slave), flush=True)
    while True:
        select.select([master], [], [])
        os.write(master, os.read(master, 4096))


if __name__ == "__main__":
    sys.exit(main())
