// The page list of the web UI with 10,000 pages, in Debian's chromium: time until the list is
// complete and usable, time from a page event to the page on screen, and frame times while
// scrolling.   node bench/ui_page_list.mjs [PAGES]
import { execFile } from 'node:child_process';
import { watch } from 'node:fs';
import { kTidewell, startBackend } from '../ui/tests/support/backend.mjs';
import { launchBrowser } from '../ui/tests/support/browser.mjs';

const count = Number(process.argv[2] ?? 10000);
const backend = await startBackend({ pages: count });
if (backend.kind === 'real') {
  // The real service starts empty: fill its folder through the API first.
  for (let i = 0; i < count; i++)
    await backend.api('pages.addQuietly', { title: `Page ${String(i).padStart(5, '0')}`, address: `http://127.0.0.1:9/${i}` });
}
const browser = await launchBrowser();
const page = await browser.context.newPage();
await page.goto(backend.openUrl);
await page.getByRole('listbox', { name: 'Pages' }).waitFor();

const median = (xs) => [...xs].sort((a, b) => a - b)[Math.floor(xs.length / 2)];
const pct = (xs, p) => [...xs].sort((a, b) => a - b)[Math.min(xs.length - 1, Math.floor(xs.length * p))];
const rows = [];

// Open: from navigation to a complete list whose first page can be selected.
const opens = [];
for (let run = 0; run < 5; run++) {
  await page.goto(`${backend.origin}/`);
  await page.waitForFunction(
    (n) => document.querySelector('[role="option"]')?.getAttribute('aria-setsize') === String(n),
    count,
    { timeout: 30000, polling: 'raf' },
  );
  await page.getByRole('listbox', { name: 'Pages' }).focus();
  await page.keyboard.press('End');
  await page.waitForFunction(() => document.querySelector('[role="option"][aria-selected="true"]'), null, { polling: 'raf' });
  opens.push(await page.evaluate(() => performance.now()));
}
rows.push(['open: list complete and usable', `${median(opens).toFixed(0)} ms`, `max ${Math.max(...opens).toFixed(0)} ms`]);
rows.push(['document: options rendered', String(await page.locator('[role="option"]').count()), `of ${count}`]);

// A page event: from the other process's request to the page in the document. Sorted by
// title, the new pages land at the top, in sight.
await backend.api('settings.set', { setting: 'host', values: { UpdateSort: 0 } });
await page.keyboard.press('Home');
const latencies = [];
const fromFile = [];
// The real service's page folder is watched, so that the time from the page file's appearance to
// the page on screen is known apart from the other process's own start-up. The other process
// runs without blocking this one, whose watch must see the file when it comes.
const folder = backend.kind === 'real' ? (await backend.api('app.info')).pageFolder : null;
const appeared = new Map();
const folderWatch = folder ? watch(folder, (_, name) => name && !appeared.has(name) && appeared.set(name, Date.now())) : null;
const fileWritten = async (name) => {
  if (!folderWatch) return null;
  for (let i = 0; i < 100 && !appeared.has(name); i++) await new Promise((r) => setTimeout(r, 10));
  return appeared.get(name) ?? null;
};
const addElsewhere = (address, title) =>
  backend.kind === 'real'
    ? new Promise((resolve, reject) =>
        execFile(kTidewell, ['add', address, title], { env: backend.env }, (error) => (error ? reject(error) : resolve())),
      )
    : backend.addElsewhere(address, title);
for (let i = 0; i < 20; i++) {
  const title = `AAA event ${i}`;
  const seen = page.evaluate(
    (t) =>
      new Promise((resolve) => {
        const probe = () => {
          if (document.querySelector(`[role="option"][aria-label="${t}"]`)) resolve(Date.now());
          else requestAnimationFrame(probe);
        };
        probe();
      }),
    title,
  );
  const sent = Date.now();
  const written = fileWritten(`${title}.twp`);
  await addElsewhere('http://127.0.0.1:9/event', title);
  const shown = await Promise.race([seen, new Promise((r) => setTimeout(() => r(null), 5000))]);
  if (shown === null) throw new Error(`${title} did not show`);
  latencies.push(shown - sent);
  const fileAt = await written;
  if (fileAt !== null) fromFile.push(shown - fileAt);
}
folderWatch?.close();
rows.push(['page event to screen', `${median(latencies)} ms`, `max ${Math.max(...latencies)} ms, from the other process's start`]);
if (fromFile.length)
  rows.push(['page file to screen', `${median(fromFile)} ms`, `max ${Math.max(...fromFile)} ms, from the page file's appearance`]);

// Scrolling: the list is scrolled a screen each frame for two seconds.
const frames = await page.evaluate(
  () =>
    new Promise((resolve) => {
      const list = document.querySelector('.list-scroll');
      const times = [];
      let last = performance.now();
      const end = last + 2000;
      const step = (now) => {
        times.push(now - last);
        last = now;
        list.scrollTop = (list.scrollTop + list.clientHeight) % (list.scrollHeight - list.clientHeight);
        if (now < end) requestAnimationFrame(step);
        else resolve(times.slice(1));
      };
      requestAnimationFrame(step);
    }),
);
rows.push(['scroll: frame time', `p50 ${median(frames).toFixed(1)} ms`, `p95 ${pct(frames, 0.95).toFixed(1)} ms, ${frames.filter((f) => f > 50).length} frames over 50 ms`]);

await browser.close();
await backend.stop();
console.log(`web UI page list, ${count} pages (${backend.kind} service)`);
for (const [name, value, note] of rows) console.log(`${name.padEnd(34)} ${value.padStart(12)}  ${note}`);
