// Runs every extension test file, one at a time: Debian's chromium with the built extension
// and the real `tidewell native-host`, and the Firefox build through `web-ext lint`.
import { spawnSync } from 'node:child_process';
import { readdirSync } from 'node:fs';
import { dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';

const here = dirname(fileURLToPath(import.meta.url));
const files = readdirSync(here)
  .filter((f) => f.endsWith('.test.mjs'))
  .map((f) => join(here, f));
const run = spawnSync(process.execPath, ['--test', '--test-concurrency=1', ...files, ...process.argv.slice(2)], {
  stdio: 'inherit',
});
process.exit(run.status ?? 1);
