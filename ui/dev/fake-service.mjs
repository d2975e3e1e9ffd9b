// A development stand-in for `tidewell serve`: the same API over HTTP and Server-Sent Events,
// with pages held in memory and checked by fetching their addresses. It serves the built UI
// from ../dist under the same guard and Content-Security-Policy as the real service.
//
//   node dev/fake-service.mjs [--port N] [--pages N] [--token SECRET] [--first-run]
//
// It prints the address to open. It is for working on the UI and for the UI's tests until the
// real service can run them; it is not part of Tidewell.
import { createHash, randomBytes } from 'node:crypto';
import { createServer } from 'node:http';
import { readFile, readdir, stat } from 'node:fs/promises';
import { homedir } from 'node:os';
import { extname, join, normalize, dirname } from 'node:path';
import { fileURLToPath } from 'node:url';

const args = Object.fromEntries(
  process.argv.slice(2).reduce((pairs, arg, i, all) => {
    if (arg.startsWith('--')) pairs.push([arg.slice(2), all[i + 1] && !all[i + 1].startsWith('--') ? all[i + 1] : '1']);
    return pairs;
  }, []),
);
const dist = normalize(join(dirname(fileURLToPath(import.meta.url)), '..', 'dist'));
const token = args.token ?? randomBytes(16).toString('hex');
const folder = join(process.env.HOME ?? homedir(), 'Documents', 'My Tidewell');
const maxTitleLength = 254 - folder.length;

const kInvalidTitle =
  'The title can not contain any of the following characters:\r\n/ \\ : * ? " < > |';
const kMailAddressFormat = 'E-Mail address has an incorrect format.\r\nPlease enter the address in the form someone@example.com.';
const kAddressBookError = 'An error occurred while accessing the Address Book.';
const fail = (code, message, icon, extra = {}) => Object.assign(new Error(message), { body: { code, message, icon, ...extra } });

// ---- state ----
const pages = new Map(); // title -> page (with private content hash)
const clients = new Set();
let checking = false;
let nextRequestId = 1;
let nextNotifyId = 1;
let runOnStartup = false;
let schedule = null;
let sender = { fromName: '', fromAddress: '' };
// The sources of the import trees filled, by token - 1; the stand-in's trees are empty.
const importFills = [];
const emptyImportTree = (source) => ({ id: 0, text: source === 'history' ? 'History' : 'Favorites', folder: true, state: 'none' });
const settings = {
  FirstRun: args['first-run'] ? 0 : 1,
  RunBkg: 1, ConfirmAC: 1, PageNotify: 1, PageReNotify: 1, LastUpdateColumn: 1, UpdateSort: 1, TaskPad: 1,
  LargeTB: 0, LargeTBIE: 0, TBText: 0, TBIEText: 0, ViewMode: 1, ViewModeIE: 1, AutoSH: 0,
  Interval: 0, IntervalValue: 0, Timeout: 40, Threads: 1, EnableSmartUpdate: 1, Noc: 0, CheckWait: 0,
  IgnoreLastMod: 0, IgnoreExpire: 0, PDB: folder,
};
const kRanges = { Timeout: [0, 300], Threads: [1, 31], Noc: [0, 20], CheckWait: [0, 1800], IntervalValue: [0, 59], AutoSH: [0, 2] };

function newPage(title, address, extra = {}) {
  return {
    title, address, updated: false, pending: false, error: null, updatedTime: null, lastModified: null, expires: null,
    smartUpdate: !!settings.EnableSmartUpdate, checkCount: settings.EnableSmartUpdate ? settings.Noc : 0,
    waitSeconds: settings.EnableSmartUpdate ? settings.CheckWait : 0,
    ignoreLastModified: !!settings.IgnoreLastMod, ignoreExpires: !!settings.IgnoreExpire, ...extra,
  };
}
const publicPage = ({ hash, ...page }) => page;

const eventText = (event, data) => `event: ${event}\ndata: ${JSON.stringify(data)}\n\n`;
const kBurstPiece = 4093;

function send(event, data, only) {
  const text = eventText(event, data);
  for (const client of only ? [only] : clients) {
    // While its first burst goes out, a client's events wait behind it.
    if (client.backlog) client.backlog.push(text);
    else client.write(text);
  }
}

// ---- the rules ----
function checkAddress(address) {
  if (!address) throw fail('address-required', 'An address is required to add a page.', 'none', { field: 'address' });
  if (address.length > 2084) throw fail('invalid-url', 'This is an invalid URL.', 'warning', { field: 'address' });
  const scheme = /^([a-z][a-z0-9+.-]*):/i.exec(address);
  if (!scheme || !['ftp', 'file', 'http', 'https', 'mailto', 'gopher', 'news', 'telnet'].includes(scheme[1].toLowerCase())) return;
  if (!scheme[1].startsWith('http')) throw fail('not-http', "Only HTTP URL's are supported.", 'warning', { field: 'address' });
  try { new URL(address); } catch { throw fail('invalid-url', 'This is an invalid URL.', 'warning', { field: 'address' }); }
}
function checkTitle(title) {
  if (!title || title.length > maxTitleLength || /[\x01-\x1f/\\:*?"<>|]/.test(title))
    throw fail('invalid-title', kInvalidTitle, 'warning', { field: 'title' });
}
const taken = (title, except) =>
  [...pages.keys()].some((t) => t.toLowerCase() === title.toLowerCase() && t !== except);
const withScheme = (a) => (/^https?:\/\//.test(a) ? a : `http://${a}`);
function range(name, value, min, max, field = name) {
  if (!Number.isInteger(value) || value < min || value > max)
    throw fail('out-of-range', `Please enter a value between ${min} and ${max}.`, 'information', { field, min, max });
}
const pageOf = (title) => {
  const page = pages.get(title);
  if (!page) throw fail('no-page', 'An error occurred while setting the properties for this page.', 'error');
  return page;
};

// ---- checking ----
async function fetchPage(page) {
  try {
    const response = await fetch(page.address, { signal: AbortSignal.timeout(settings.Timeout * 1000 || 40000) });
    const body = await response.text();
    if (!response.ok) return { error: { status: 3, code: response.status, text: response.statusText || 'HTTP error' } };
    return { hash: createHash('sha1').update(body).digest('hex'), lastModified: response.headers.get('last-modified') };
  } catch (e) {
    return { error: { status: 2, code: 12029, text: 'A connection with the server could not be established' } };
  }
}

async function checkPass(only) {
  if (checking) return;
  checking = true;
  send('checking', { running: true });
  const updated = [];
  try {
    for (const page of [...pages.values()]) {
      if (!checking) break;
      if (only && !only.includes(page.title)) continue;
      const result = await fetchPage(page);
      if (!pages.has(page.title)) continue;
      if (result.error) page.error = result.error;
      else {
        page.error = null;
        if (page.hash && page.hash !== result.hash) {
          if (!page.updated) updated.push({ title: page.title, address: page.address });
          page.updated = true;
          page.updatedTime = new Date().toISOString();
        }
        page.hash = result.hash;
        page.lastModified = result.lastModified ? new Date(result.lastModified).toISOString() : null;
      }
      send('page', { change: 'changed', page: publicPage(page) });
    }
  } finally {
    checking = false;
    send('checking', { running: false });
  }
  if (updated.length && settings.PageNotify)
    send('showUpdatedPages', { id: nextNotifyId++, pages: updated, doNotShowAgain: false });
}

function queueAdd(title, address) {
  const requestId = nextRequestId++;
  const placeholder = newPage(title, address, { pending: true, updatedTime: new Date().toISOString() });
  // As the page database does, the page is fetched before its file is written.
  setTimeout(async () => {
    const first = await fetchPage({ address });
    if (taken(title)) {
      send('requestDone', { requestId, kind: 'add', name: title, ok: false, error: { code: 'add-failed', message: 'An error occurred while adding the page.', icon: 'error' } });
      return;
    }
    pages.set(title, newPage(title, address, { error: first.error ?? null, hash: first.hash }));
    send('page', { change: 'added', page: publicPage(pages.get(title)) });
    send('requestDone', { requestId, kind: 'add', name: title, ok: true });
  }, Number(args['add-delay'] ?? 50));
  return { requestId, title, address, placeholder };
}

function quietAdd(title, address) {
  let t = title.slice(0, maxTitleLength);
  for (let n = 2; taken(t) && n <= 9; n++) t = `${title.slice(0, Math.max(0, maxTitleLength - 2))}${n}`.slice(0, maxTitleLength);
  try {
    checkAddress(address);
    checkTitle(t);
    if (taken(t)) throw new Error('no free title');
  } catch {
    return { needsDialog: true, title, address };
  }
  return queueAdd(t, withScheme(address));
}
const titleFromAddress = (address) => address.replace(/^http:\/\//i, '');

// Add Current Page: the browser's title made usable as a file name, or the address without its
// scheme when the page has none.
const kAddCurrentCaption = 'Add Current Page - Tidewell';
const kAddCurrentNote = 'Edit the title and address for the currently loaded page in your web browser, before adding.';
const kFileNameChars = { '*': '#', '?': '#', '/': '-', ':': '-', '\\': '-', '|': '-', '"': "'", '<': '[', '>': ']' };
function currentPageTitle(title, address) {
  const base = (title || address.replace(/^https?:\/\//, '')).slice(0, 251);
  return base.replace(/[\x01-\x1f]/g, '#').replace(/[*?/:\\|"<>]/g, (ch) => kFileNameChars[ch]).slice(0, maxTitleLength);
}
function addCurrent({ title = '', address }) {
  if (!address)
    throw fail('browser-failed', 'An error occurred while communicating with the web browser.', 'error', { stringId: 135 });
  const proposed = currentPageTitle(title, address);
  if (settings.ConfirmAC)
    return { dialog: { mode: 'currentPage', title: proposed, address, caption: kAddCurrentCaption, note: kAddCurrentNote } };
  try {
    checkAddress(address);
    checkTitle(proposed);
    if (taken(proposed)) throw fail('title-taken', 'A page with this title already exists.', 'warning', { field: 'title' });
  } catch (e) {
    if (!e.body) throw e;
    return { dialog: { mode: 'plain', title: proposed, address, problem: e.body } };
  }
  return queueAdd(proposed, withScheme(address));
}

// ---- methods ----
const methods = {
  'app.info': () => ({ version: '0.1.0-dev', setting: 'host', firstRun: !settings.FirstRun, pageFolder: folder }),
  'pages.list': () => ({ pages: [...pages.values()].map(publicPage), folder, maxTitleLength }),
  'pages.add': ({ title = '', address = '', mode, doNotAskAgain }) => {
    checkAddress(address);
    if (title) checkTitle(title);
    if (title && taken(title)) throw fail('title-taken', 'A page with this title already exists.', 'warning', { field: 'title' });
    if (mode === 'currentPage' && doNotAskAgain) setSetting({ ConfirmAC: 0 });
    return queueAdd(title || titleFromAddress(address), withScheme(address));
  },
  'pages.addQuietly': ({ title, address }) => quietAdd(title, address),
  'pages.addCurrent': addCurrent,
  'pages.drop': ({ files, text }) => {
    const added = [];
    const imports = [];
    for (const file of files ?? []) {
      if (file.name.endsWith('.url')) {
        const content = Buffer.from(file.contentBase64, 'base64').toString('latin1');
        const url = /^\s*URL\s*=\s*(.*)$/im.exec(content)?.[1]?.trim() ?? '';
        if (url.length < 2) return { added, imports, stoppedAt: file.name };
        added.push(quietAdd(file.name.slice(0, -4).slice(0, 251), url));
      } else if (file.name.endsWith('.twp')) {
        // The stand-in can not read page files: the import fails as a damaged file would.
        const requestId = nextRequestId++;
        imports.push({ requestId, name: file.name.slice(0, -4) });
        setTimeout(() => send('requestDone', { requestId, kind: 'import', name: file.name.slice(0, -4), ok: false,
          error: { code: 'add-failed', message: 'An error occurred while adding the page.', icon: 'error' } }), 50);
      }
    }
    if (text) {
      try {
        checkAddress(text);
        added.push(quietAdd(titleFromAddress(text), text));
      } catch {}
    }
    return { added, imports };
  },
  'pages.rename': ({ title, newTitle }) => {
    const page = pageOf(title);
    if (!newTitle || newTitle.length > maxTitleLength) throw fail('invalid-title', kInvalidTitle, 'warning', { field: 'title' });
    if (newTitle === title) return {};
    checkTitle(newTitle);
    if (newTitle.toLowerCase() !== title.toLowerCase() && taken(newTitle))
      throw fail('title-taken', 'A page with this title already exists.', 'warning', { field: 'title' });
    pages.delete(title);
    send('page', { change: 'removed', page: publicPage(page) });
    page.title = newTitle;
    pages.set(newTitle, page);
    send('page', { change: 'added', page: publicPage(page) });
    return {};
  },
  'pages.delete': ({ title }) => {
    const page = pageOf(title);
    pages.delete(title);
    send('page', { change: 'removed', page: publicPage(page) });
    return {};
  },
  'pages.reset': ({ title }) => {
    const page = pageOf(title);
    Object.assign(page, newPage(title, page.address, { smartUpdate: false, checkCount: 0, waitSeconds: 0, ignoreLastModified: false, ignoreExpires: false }));
    delete page.hash;
    send('page', { change: 'changed', page: publicPage(page) });
    return {};
  },
  'pages.setProperties': (p) => {
    const page = pageOf(p.title);
    range('checkCount', p.checkCount, 0, 20);
    range('waitMinutes', p.waitMinutes, 0, 30);
    const address = withScheme(p.address);
    checkAddress(address);
    if (p.newTitle !== p.title) {
      checkTitle(p.newTitle);
      if (p.newTitle.toLowerCase() !== p.title.toLowerCase() && taken(p.newTitle))
        throw fail('title-taken', 'A page with this title already exists.', 'warning', { field: 'title' });
      methods['pages.rename']({ title: p.title, newTitle: p.newTitle });
    }
    Object.assign(page, {
      address, smartUpdate: p.smartUpdate, checkCount: p.smartUpdate ? p.checkCount : 0,
      waitSeconds: p.smartUpdate ? p.waitMinutes * 60 : 0, ignoreLastModified: p.ignoreLastModified, ignoreExpires: p.ignoreExpires,
    });
    send('page', { change: 'changed', page: publicPage(page) });
    return {};
  },
  'pages.smartUpdateWizard': ({ title, answer, waitMinutes }) => {
    const page = pageOf(title);
    range('waitMinutes', waitMinutes, 0, 30);
    if (answer === 'updating') {
      if (!page.smartUpdate) Object.assign(page, { smartUpdate: true, checkCount: 0 });
      else if (page.lastModified && !page.ignoreLastModified) page.ignoreLastModified = true;
      else if (page.expires && !page.ignoreExpires) page.ignoreExpires = true;
      else page.checkCount++;
      page.waitSeconds = waitMinutes * 60;
    } else {
      if (page.smartUpdate && page.checkCount > 0) page.checkCount--;
      else if (page.lastModified && page.ignoreLastModified) page.ignoreLastModified = false;
      else if (page.expires && page.ignoreExpires) page.ignoreExpires = false;
      else if (page.smartUpdate) page.smartUpdate = false;
      page.waitSeconds = 0;
    }
    Object.assign(page, { updated: false, error: null });
    delete page.hash;
    send('page', { change: 'changed', page: publicPage(page) });
    return {};
  },
  'pages.clearUpdated': ({ title }) => {
    const page = pageOf(title);
    if (page.updated) {
      page.updated = false;
      send('page', { change: 'changed', page: publicPage(page) });
    }
    return {};
  },
  'checking.refresh': () => (void checkPass(), {}),
  'checking.stop': () => ((checking = false), {}),
  'checking.state': () => ({ running: checking }),
  'settings.get': () => ({ values: { ...settings }, schema: [], runOnStartup }),
  'settings.set': ({ values }) => (setSetting(values), {}),
  'startup.set': ({ enabled }) => ((runOnStartup = enabled), {}),
  'schedule.get': () => {
    const next = schedule && schedule.repeat !== 'logon' ? new Date(Date.now() + 3600e3) : null;
    return {
      kind: 'systemd',
      schedule,
      nextRunTime: next?.toISOString() ?? null,
      status: !schedule
        ? 'To setup the schedule, click on the schedule button.'
        : next
          ? `Next run time: \n${next.toLocaleString()}`
          : 'Next run time: \nAt log on',
    };
  },
  'schedule.set': ({ schedule: s }) => {
    if (s && s.repeat === 'hourly') range('everyHours', s.everyHours, 1, 23);
    if (s && s.repeat !== 'logon' && !/^([01]\d|2[0-3]):[0-5]\d$/.test(s.at ?? ''))
      throw fail('invalid-value', 'Please enter the time as hours and minutes.', 'information', { field: 'at' });
    if (s && s.repeat === 'weekly' && !s.days?.length)
      throw fail('invalid-value', 'Please choose at least one day.', 'information', { field: 'days' });
    schedule = s;
    return {};
  },
  'folders.list': async ({ path, fileSuffixes }) => {
    const at = normalize(path || (fileSuffixes ? homedir() : folder));
    let entries = [];
    try {
      entries = (await readdir(at, { withFileTypes: true })).filter((d) => !d.name.startsWith('.'));
    } catch {
      if (at !== folder) throw fail('folder-unreadable', 'An internal error occurred, try restarting the web browser.', 'error');
    }
    const names = entries.filter((d) => d.isDirectory()).map((d) => d.name).sort();
    const wanted = (name) => fileSuffixes.some((suffix) => name.toLowerCase().endsWith(suffix.toLowerCase()));
    const files = fileSuffixes && entries.filter((d) => d.isFile() && wanted(d.name)).map((d) => d.name).sort();
    return { path: at, parent: at === '/' ? null : dirname(at), folders: names, ...(files ? { files } : {}) };
  },
  'smartHistory.reset': () => ({}),
  // Tell a Friend as far as the stand-in goes: the sender remembered in memory, the dialog's
  // checks, a mailto: address that is only handed back; the address book holds two contacts.
  'friend.open': () => ({ toName: '', toAddress: '', ...sender, format: 'html' }),
  'friend.send': (m) => {
    const fields = ['toName', 'toAddress', 'fromName', 'fromAddress'];
    const value = Object.fromEntries(fields.map((f) => [f, String(m[f] ?? '').slice(0, 100)]));
    for (const field of fields)
      if (!value[field]) throw fail('enter-value', 'Please enter a value.', 'error', { field, stringId: 213 });
    for (const field of ['toAddress', 'fromAddress']) {
      const a = value[field];
      const at = a.indexOf('@');
      const dot = a.lastIndexOf('.');
      if (a.length < 7 || at < 0 || dot < at + 2 || dot === a.length - 1)
        throw fail('mail-address', kMailAddressFormat, 'error', { field, stringId: 214 });
    }
    sender = { fromName: value.fromName, fromAddress: value.fromAddress };
    const subject = encodeURIComponent(`${value.fromName} recommends Tidewell`);
    return { address: `mailto:${encodeURIComponent(value.toAddress).replace('%40', '@')}?subject=${subject}`, opened: false };
  },
  'friend.importVCard': ({ text = '' }) => {
    // Plain cards only: no folded lines, no encodings.
    const cards = text.split(/^BEGIN:VCARD\s*$/im).slice(1);
    if (!cards.length) throw fail('address-book', kAddressBookError, 'error', { stringId: 133 });
    const line = (card, name) => new RegExp(`^${name}(?:;[^:]*)?:(.*)$`, 'im').exec(card)?.[1]?.trim();
    const contacts = cards
      .map((card) => ({ name: line(card, 'FN'), address: line(card, 'EMAIL') }))
      .filter((c) => c.name && c.address);
    return { contacts };
  },
  'friend.importAddressBook': () => ({
    contacts: [
      { name: 'Ann Example', address: 'ann@example.org' },
      { name: 'Bea Bright', address: 'bea@example.org' },
    ],
  }),
  // The stand-in keeps no earlier versions.
  'pages.versions': ({ title }) => (pageOf(title), { versions: [] }),
  'pages.changes': ({ title }) => {
    pageOf(title);
    throw fail('no-earlier-version', 'This page has no earlier version to compare with yet.', 'information');
  },
  // The stand-in knows no browser: no history, no bookmarks, nothing proposed.
  'smartHistory.state': () => ({ autoSH: Number(settings.AutoSH ?? 0), historyKeptShort: false, proposals: [] }),
  'smartHistory.runPass': () => ({}),
  'smartHistory.detect': () => ({
    status: 'nothingFound',
    message: 'Could not find any frequently visited pages.',
    pages: [],
    historyKeptShort: false,
  }),
  'import.fill': ({ source }) => {
    importFills.push(source);
    return { token: importFills.length, tree: emptyImportTree(source) };
  },
  'import.add': ({ token }) => {
    const source = importFills[token - 1];
    if (!source) throw fail('internal', 'An internal error occurred, try restarting the web browser.', 'error');
    return { tree: emptyImportTree(source), added: 0 };
  },
  'notify.answer': ({ doNotShowAgain }) => {
    if (doNotShowAgain) setSetting({ PageNotify: 0 });
    return {};
  },
};

function setSetting(values) {
  for (const [name, value] of Object.entries(values)) {
    if (name in kRanges) range(name, value, ...kRanges[name]);
    if (name === 'PDB' && String(value).length > 248)
      throw fail('too-long', 'Please enter a length less than &d.', 'information', { field: 'PDB' });
  }
  Object.assign(settings, values);
  send('optionsChanged', { values });
}

// ---- test hooks: what another process would do to the page folder ----
const hooks = {
  '/_fake/add': ({ title, address, updated }) => {
    const page = newPage(title, withScheme(address), { updated: !!updated, updatedTime: updated ? new Date().toISOString() : null });
    pages.set(title, page);
    send('page', { change: 'added', page: publicPage(page) });
  },
  '/_fake/update': ({ title }) => {
    const page = pageOf(title);
    Object.assign(page, { updated: true, updatedTime: new Date().toISOString() });
    send('page', { change: 'changed', page: publicPage(page) });
  },
  '/_fake/errors': ({ errors }) => send('showErrors', { id: nextNotifyId++, errors }),
  '/_fake/state': () => ({ settings, runOnStartup, schedule, pages: [...pages.values()].map(publicPage) }),
};

for (let i = 0; i < Number(args.pages ?? 0); i++) {
  const title = `Page ${String(i).padStart(5, '0')} ${['news', 'weather', 'prices', 'jobs', 'docs'][i % 5]}`;
  pages.set(title, newPage(title, `http://127.0.0.1:9/${i}`, i % 97 === 0 ? { updated: true, updatedTime: new Date().toISOString() } : {}));
}

// ---- HTTP ----
const kTypes = { '.html': 'text/html; charset=utf-8', '.js': 'text/javascript', '.css': 'text/css', '.svg': 'image/svg+xml', '.png': 'image/png' };
const authorized = (req) =>
  (req.headers.cookie ?? '').split(/;\s*/).includes(`tidewell=${token}`) || req.headers.authorization === `Bearer ${token}`;
const body = (req) =>
  new Promise((resolve, reject) => {
    let text = '';
    req.on('data', (chunk) => {
      text += chunk;
      if (text.length > 4 << 20) reject(new Error('too large'));
    });
    req.on('end', () => resolve(text));
  });

const server = createServer(async (req, res) => {
  const url = new URL(req.url, 'http://127.0.0.1');
  if (url.pathname === '/open') {
    if (url.searchParams.get('token') !== token) return res.writeHead(401).end();
    res.writeHead(302, { 'Set-Cookie': `tidewell=${token}; HttpOnly; SameSite=Strict; Path=/`, Location: '/' });
    return res.end();
  }
  if (!authorized(req)) return res.writeHead(401).end('unauthorized');
  if (url.pathname === '/api/events') {
    res.writeHead(200, { 'Content-Type': 'text/event-stream', 'Cache-Control': 'no-store', Connection: 'keep-alive' });
    clients.add(res);
    req.on('close', () => clients.delete(res));
    // The first burst goes out in pieces cut at odd places, as a network may hand it over: inside
    // a message, a line or a character.
    const first = [
      eventText('loading', {}),
      ...[...pages.values()].map((page) => eventText('page', { change: 'added', page: publicPage(page) })),
      eventText('checking', { running: checking }),
    ];
    const bytes = Buffer.from(first.join(''));
    // A turn of the event loop between pieces lets each reach the browser on its own.
    res.backlog = [];
    for (let at = 0; at < bytes.length && !res.destroyed; at += kBurstPiece) {
      res.write(bytes.subarray(at, at + kBurstPiece));
      await new Promise((resolve) => setImmediate(resolve));
    }
    const backlog = res.backlog;
    res.backlog = null;
    for (const text of backlog) res.write(text);
    return;
  }
  if (req.method === 'POST' && (url.pathname === '/api' || url.pathname in hooks)) {
    let request;
    try {
      request = JSON.parse(await body(req));
    } catch {
      return res.writeHead(400).end();
    }
    res.setHeader('Content-Type', 'application/json');
    if (url.pathname in hooks) {
      try {
        return res.end(JSON.stringify(hooks[url.pathname](request) ?? {}));
      } catch (e) {
        return res.writeHead(400).end(JSON.stringify({ error: e.message }));
      }
    }
    const method = methods[request.method];
    try {
      if (!method) throw fail('unknown-method', `Unknown method ${request.method}`, 'error');
      const result = await method(request.params ?? {});
      return res.end(JSON.stringify({ id: request.id, result }));
    } catch (e) {
      return res.end(JSON.stringify({ id: request.id, error: e.body ?? { code: 'internal', message: String(e), icon: 'error' } }));
    }
  }
  const file = normalize(join(dist, url.pathname === '/' ? 'index.html' : url.pathname));
  if (!file.startsWith(dist)) return res.writeHead(404).end();
  try {
    if (!(await stat(file)).isFile()) throw new Error();
    res.writeHead(200, {
      'Content-Type': kTypes[extname(file)] ?? 'application/octet-stream',
      'Content-Security-Policy': "default-src 'self'",
      'Cache-Control': 'no-store',
    });
    res.end(await readFile(file));
  } catch {
    res.writeHead(404).end();
  }
});

server.listen(Number(args.port ?? 0), '127.0.0.1', () => {
  const { port } = server.address();
  console.log(`http://127.0.0.1:${port}/open?token=${token}`);
});
