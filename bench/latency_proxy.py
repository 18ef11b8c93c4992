#!/usr/bin/env python3
"""A loopback TCP proxy that delays every packet, for the benchmark.

Listens on 127.0.0.1 (an ephemeral port unless --port is given), prints the
port on standard output once it listens, and forwards each connection to the
server's unix socket. Every chunk read in either direction is written on
after half the round-trip delay, in order, so that a request and its answer
cost the whole --delay-ms more. Bounded: at most --connections connections
at a time (others are refused), and the proxy ends after --lifetime seconds.
With --turns FILE it counts, per connection, the turns: the times the client
sent after the server had sent last, i.e. the round trips the client waited
for, which the delay multiplies; it appends the count of each connection
that ends to FILE.
"""
import argparse
import asyncio
import sys


async def pipe(reader, writer, delay, side=None, last=None):
    """Copies reader to writer, each chunk delay seconds after it arrived;
    counts a turn in last when this side sends after the other one."""
    loop = asyncio.get_running_loop()
    queue = asyncio.Queue()

    async def deliver():
        while True:
            due, data = await queue.get()
            if data is None:
                break
            wait = due - loop.time()
            if wait > 0:
                await asyncio.sleep(wait)
            writer.write(data)
            await writer.drain()

    sender = asyncio.create_task(deliver())
    try:
        while True:
            data = await reader.read(65536)
            if not data:
                break
            if last is not None:
                if last["side"] != side and side == "client":
                    last["turns"] += 1
                last["side"] = side
            queue.put_nowait((loop.time() + delay, data))
    finally:
        queue.put_nowait((0, None))
        try:
            await sender
        except (ConnectionError, OSError):
            pass
        writer.close()


async def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--socket", required=True, help="the server's unix socket")
    parser.add_argument("--delay-ms", type=float, default=0.0, help="added round-trip time")
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--connections", type=int, default=8)
    parser.add_argument("--lifetime", type=float, default=3600.0, help="seconds until the proxy ends")
    parser.add_argument("--turns", help="file to append each connection's round trips to")
    args = parser.parse_args()
    half = args.delay_ms / 2000.0
    active = 0

    async def serve(client_reader, client_writer):
        nonlocal active
        if active >= args.connections:
            client_writer.close()
            return
        active += 1
        try:
            server_reader, server_writer = await asyncio.open_unix_connection(args.socket)
            last = {"side": None, "turns": 0}
            await asyncio.gather(pipe(client_reader, server_writer, half, "client", last),
                                 pipe(server_reader, client_writer, half, "server", last), return_exceptions=True)
            if args.turns:
                with open(args.turns, "a", encoding="ascii") as out:
                    out.write(f"{last['turns']}\n")
        except OSError:
            client_writer.close()
        finally:
            active -= 1

    server = await asyncio.start_server(serve, host="127.0.0.1", port=args.port)
    print(server.sockets[0].getsockname()[1], flush=True)
    async with server:
        try:
            await asyncio.wait_for(server.serve_forever(), timeout=args.lifetime)
        except asyncio.TimeoutError:
            pass


if __name__ == "__main__":
    try:
        asyncio.run(main())
    except KeyboardInterrupt:
        sys.exit(0)
