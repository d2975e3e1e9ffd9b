// Runs every UI test file, one at a time, against `tidewell serve`, or with TW_UI_BACKEND=fake
// against the development stand-in of the service.
import { spawnSync } from 'node:child_process';
import { readdirSync } from 'node:fs';
import { dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';
import { kBackendKind, kTidewell } from './support/backend.mjs';

const here = dirname(fileURLToPath(import.meta.url));
const files = readdirSync(here)
  .filter((f) => f.endsWith('.test.mjs'))
  .map((f) => join(here, f));
console.log(
  kBackendKind === 'real'
    ? `UI tests against ${kTidewell} serve`
    : 'UI tests against the development stand-in of the service',
);
const run = spawnSync(process.execPath, ['--test', '--test-concurrency=1', ...files, ...process.argv.slice(2)], {
  stdio: 'inherit',
});
process.exit(run.status ?? 1);
