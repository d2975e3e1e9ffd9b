// A small web server on loopback whose pages the tests change at will.
import { createServer } from 'node:http';

export async function startWebServer() {
  const pages = new Map();
  const delays = new Map();
  const hits = new Map();
  const queries = new Map();
  const server = createServer(async (req, res) => {
    const url = new URL(req.url, 'http://x');
    const path = url.pathname;
    hits.set(path, (hits.get(path) ?? 0) + 1);
    queries.set(path, [...(queries.get(path) ?? []), req.url.slice(path.length)]);
    const delay = delays.get(path);
    if (delay) await new Promise((r) => setTimeout(r, delay));
    const body = pages.get(path);
    if (body === undefined) return res.writeHead(404, { 'Content-Type': 'text/html' }).end('<h1>Not found</h1>');
    res.writeHead(200, { 'Content-Type': 'text/html' }).end(body);
  });
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  const base = `http://127.0.0.1:${server.address().port}`;
  return {
    base,
    url: (path) => `${base}${path}`,
    set(path, html) {
      pages.set(path, html);
    },
    // How many requests this path has had.
    hits: (path) => hits.get(path) ?? 0,
    // The query parts (with their "?") this path was asked for, in order, as sent.
    queries: (path) => queries.get(path) ?? [],
    // Answers for this path only after `ms` milliseconds.
    delay(path, ms) {
      delays.set(path, ms);
    },
    close: () => new Promise((resolve) => server.close(resolve)),
  };
}
