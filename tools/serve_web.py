#!/usr/bin/env python3
"""Serves dist/web (tools/web.sh builds it) on http://localhost:8000.

The page is cross-origin isolated by default (Cross-Origin-Opener-Policy and
Cross-Origin-Embedder-Policy), so that it runs the threaded engine; with
--no-isolation it is served as most hosts serve it, and runs the single-threaded one.

    tools/serve_web.py [--port 8000] [--no-isolation] [--root dist/web] [--quiet]
"""
import argparse
import functools
import http.server
import pathlib
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent / "dist" / "web"


class Handler(http.server.SimpleHTTPRequestHandler):
    isolation = True
    quiet = False
    extensions_map = {**http.server.SimpleHTTPRequestHandler.extensions_map,
                      ".js": "text/javascript", ".mjs": "text/javascript",
                      ".wasm": "application/wasm", ".svg": "image/svg+xml"}

    def end_headers(self):
        if self.isolation:
            self.send_header("Cross-Origin-Opener-Policy", "same-origin")
            self.send_header("Cross-Origin-Embedder-Policy", "require-corp")
        # A rebuilt engine is never mixed with a cached page
        self.send_header("Cache-Control", "no-cache")
        super().end_headers()

    def log_message(self, format, *args):
        if not self.quiet:
            super().log_message(format, *args)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--port", type=int, default=8000)
    parser.add_argument("--bind", default="127.0.0.1")
    parser.add_argument("--root", type=pathlib.Path, default=ROOT)
    parser.add_argument("--no-isolation", action="store_true",
                        help="leave out the two isolation headers: the page then runs the single-threaded engine")
    parser.add_argument("--quiet", action="store_true", help="log no requests")
    args = parser.parse_args()
    if not (args.root / "index.html").is_file():
        sys.exit(f"serve_web.py: no {args.root}/index.html: run tools/web.sh first")

    Handler.isolation = not args.no_isolation
    Handler.quiet = args.quiet
    handler = functools.partial(Handler, directory=str(args.root))
    http.server.ThreadingHTTPServer.allow_reuse_address = True
    with http.server.ThreadingHTTPServer((args.bind, args.port), handler) as server:
        kind = "cross-origin isolated" if Handler.isolation else "without isolation"
        print(f"Serving {args.root} at http://localhost:{server.server_address[1]} ({kind})", flush=True)
        try:
            server.serve_forever()
        except KeyboardInterrupt:
            pass


if __name__ == "__main__":
    main()
