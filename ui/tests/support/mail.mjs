// The user's mail side in a test HOME: Thunderbird's personal address book in Thunderbird's own
// schema, a desktop opener that records what it was asked to open, and the recommendation
// service's address in the settings store.
import { spawnSync } from 'node:child_process';
import { chmodSync, existsSync, mkdirSync, readFileSync, renameSync, writeFileSync } from 'node:fs';
import { join } from 'node:path';

function sql(database, statements) {
  const run = spawnSync('sqlite3', [database], { input: statements, encoding: 'utf8' });
  if (run.status !== 0) throw new Error(`sqlite3: ${run.stderr || run.error}`);
}

const quote = (text) => `'${String(text).replaceAll("'", "''")}'`;

// A default Thunderbird profile whose abook.sqlite holds `cards`: [{uid, properties: {Name: value}}].
export function writeThunderbirdAddressBook(home, cards) {
  const root = join(home, '.thunderbird');
  const profile = join(root, 'k3x9q.default-release');
  mkdirSync(profile, { recursive: true });
  writeFileSync(
    join(root, 'profiles.ini'),
    '[General]\nStartWithLastProfile=1\nVersion=2\n\n[Profile0]\nName=default-release\nIsRelative=1\nPath=k3x9q.default-release\nDefault=1\n',
  );
  const database = join(profile, 'abook.sqlite');
  let statements =
    'PRAGMA journal_mode=WAL;\n' +
    'CREATE TABLE IF NOT EXISTS properties (card TEXT, name TEXT, value TEXT);\n' +
    'CREATE TABLE IF NOT EXISTS lists (uid TEXT PRIMARY KEY, name TEXT, nickName TEXT, description TEXT);\n' +
    'CREATE TABLE IF NOT EXISTS list_cards (list TEXT, card TEXT, PRIMARY KEY(list, card));\n' +
    'CREATE INDEX IF NOT EXISTS properties_card ON properties(card);\n' +
    'CREATE INDEX IF NOT EXISTS properties_name ON properties(name);\n' +
    'PRAGMA user_version = 4;\n';
  for (const card of cards) {
    for (const [name, value] of Object.entries(card.properties))
      statements += `INSERT INTO properties VALUES (${quote(card.uid)}, ${quote(name)}, ${quote(value)});\n`;
  }
  sql(database, statements);
  return database;
}

// A bin folder whose xdg-open appends each address to `log`, or fails while `failMarker` exists.
export function fakeDesktopOpener(home) {
  const bin = join(home, 'bin');
  mkdirSync(bin, { recursive: true });
  const log = join(home, 'opened.txt');
  const failMarker = join(home, 'opener-fails');
  const script = join(bin, 'xdg-open');
  writeFileSync(script, `#!/bin/sh\n[ -e '${failMarker}' ] && exit 4\nprintf '%s\\n' "$1" >> '${log}'\n`);
  chmodSync(script, 0o755);
  return {
    bin,
    opened: () => (existsSync(log) ? readFileSync(log, 'utf8').split('\n').filter(Boolean) : []),
    failing(on) {
      if (on) writeFileSync(failMarker, '');
      else spawnSync('rm', ['-f', failMarker]);
    },
  };
}

// Names the recommendation service in the settings store's root key, as an administrator or a
// package would; the file is replaced whole, as the store itself writes it.
export function setRecommendationService(env, address) {
  const folder = join(env.XDG_CONFIG_HOME, 'tidewell');
  mkdirSync(folder, { recursive: true });
  const file = join(folder, 'registry');
  const before = existsSync(file) ? readFileSync(file, 'utf8') : '';
  const value = address.replaceAll('\\', '\\\\').replaceAll('"', '\\"');
  writeFileSync(`${file}.new`, `${before}\n[SOFTWARE\\Orvanta\\Tidewell]\n"TAFServiceAddress"="${value}"\n`);
  renameSync(`${file}.new`, file);
}
