// Runs the extension's test files one at a time (all of them, or those named, as
// `node tests/run.mjs toolbar side-panel`): Debian's chromium with the built extension and the
// real `tidewell native-host`, and the Firefox build through `web-ext lint`.
import { spawnSync } from 'node:child_process';
import { existsSync, readdirSync } from 'node:fs';
import { dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';

const here = dirname(fileURLToPath(import.meta.url));
const named = process.argv.slice(2);
const files = named.length
  ? named.map((name) => join(here, `${name}.test.mjs`))
  : readdirSync(here)
      .filter((f) => f.endsWith('.test.mjs'))
      .map((f) => join(here, f));
const missing = files.filter((f) => !existsSync(f));
if (missing.length) throw new Error(`no such test file: ${missing.join(', ')}`);
const run = spawnSync(process.execPath, ['--test', '--test-concurrency=1', ...files], { stdio: 'inherit' });
process.exit(run.status ?? 1);
