// A small web server on loopback whose pages the tests change at will.
import { createServer } from 'node:http';

export async function startWebServer() {
  const pages = new Map();
  const server = createServer((req, res) => {
    const body = pages.get(new URL(req.url, 'http://x').pathname);
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
    close: () => new Promise((resolve) => server.close(resolve)),
  };
}
