// The service the UI tests run against, in a temporary HOME: the real `tidewell serve`, or the
// development stand-in (dev/fake-service.mjs).
import { spawn, spawnSync } from 'node:child_process';
import { existsSync, mkdirSync, mkdtempSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';

const here = dirname(fileURLToPath(import.meta.url));
const uiRoot = join(here, '..', '..');
export const kTidewell = process.env.TW_TIDEWELL ?? join(uiRoot, '..', 'build', 'tidewell');
// The test helper program of the C++ tests, which makes browser profiles in the browsers' schemas.
export const kTestHelper = process.env.TW_TEST_HELPER ?? join(uiRoot, '..', 'build', 'tests', 'tw_test_helper');

// The tests run against `tidewell serve` (build/tidewell, or TW_TIDEWELL); TW_UI_BACKEND=fake runs
// them against the development stand-in, which also holds adds long enough to look at their
// placeholders and can report errors of background work on demand.
export const kBackendKind = process.env.TW_UI_BACKEND === 'fake' ? 'fake' : 'real';

if (kBackendKind === 'real') {
  const help = existsSync(kTidewell) ? spawnSync(kTidewell, ['serve', '--help'], { encoding: 'utf8' }) : null;
  if (help?.status !== 0) {
    throw new Error(`${kTidewell} serve does not run; build it first (scripts/setup), or set TW_UI_BACKEND=fake`);
  }
}

function readFirstLine(child) {
  return new Promise((resolve, reject) => {
    let text = '';
    const timer = setTimeout(() => reject(new Error(`service did not start: ${text}`)), 15000);
    child.stdout.on('data', (chunk) => {
      text += chunk;
      const line = text.split('\n').find((l) => l.includes('/open?token='));
      if (line) {
        clearTimeout(timer);
        resolve(line.trim());
      }
    });
    child.on('exit', (code) => reject(new Error(`service ended with ${code}: ${text}`)));
  });
}

// Starts a service in a fresh HOME. `options.firstRun` leaves the first-start wizard to come;
// `options.env(home)` gives variables of the service's environment to add or replace.
// `options.prepareHome(home)` runs before the service starts.
export async function startBackend(options = {}) {
  const home = mkdtempSync(join(tmpdir(), 'tw-home-'));
  mkdirSync(join(home, 'Documents'), { recursive: true });
  const env = {
    ...process.env,
    HOME: home,
    XDG_CONFIG_HOME: join(home, '.config'),
    XDG_DATA_HOME: join(home, '.local', 'share'),
    XDG_RUNTIME_DIR: join(home, 'run'),
    ...(options.env ? options.env(home) : {}),
  };
  mkdirSync(env.XDG_RUNTIME_DIR, { mode: 0o700 });
  // The user's scheduler is a crontab of the test's own, so the offline schedule has somewhere to
  // go without touching the machine's.
  const bin = join(home, 'scheduler-bin');
  mkdirSync(bin);
  const table = join(home, 'crontab');
  writeFileSync(join(bin, 'systemctl'), '#!/bin/sh\nexit 1\n', { mode: 0o755 });
  writeFileSync(
    join(bin, 'crontab'),
    `#!/bin/sh\ncase "$1" in\n  -l) [ -f '${table}' ] || exit 1; cat '${table}' ;;\n  -) cat > '${table}' ;;\nesac\n`,
    { mode: 0o755 },
  );
  env.PATH = `${bin}:${env.PATH}`;
  await options.prepareHome?.(home);
  const launch = (extra = []) =>
    kBackendKind === 'real'
      ? spawn(kTidewell, ['serve', ...(extra.length ? extra : ['--port', '0'])], { env, stdio: ['ignore', 'pipe', 'inherit'] })
      : spawn(
          process.execPath,
          [
            join(uiRoot, 'dev', 'fake-service.mjs'),
            ...(options.firstRun ? ['--first-run'] : []),
            ...(options.pages ? ['--pages', String(options.pages)] : []),
            ...extra,
          ],
          { env, stdio: ['ignore', 'pipe', 'inherit'] },
        );
  let child = launch();
  const openUrl = await readFirstLine(child);
  const origin = new URL(openUrl).origin;
  const secret = new URL(openUrl).searchParams.get('token');
  const end = async () => {
    child.kill('SIGTERM');
    await new Promise((resolve) => (child.exitCode !== null ? resolve() : child.once('exit', resolve)));
  };
  const call = async (path, body) => {
    const response = await fetch(`${origin}${path}`, {
      method: 'POST',
      headers: { 'Content-Type': 'application/json', Authorization: `Bearer ${secret}`, Origin: origin },
      body: JSON.stringify(body),
    });
    return response.json();
  };
  const api = async (method, params = {}) => {
    const reply = await call('/api', { id: 1, method, params });
    if (reply.error) throw Object.assign(new Error(reply.error.message), { body: reply.error });
    return reply.result;
  };
  // The first-start wizard is for the tests that ask for it.
  if (kBackendKind === 'real' && !options.firstRun) await api('settings.set', { setting: 'host', values: { FirstRun: 1 } });
  return {
    kind: kBackendKind,
    home,
    env,
    openUrl,
    origin,
    // One API request, as the UI makes it.
    api,
    // A page added by another process.
    async addElsewhere(address, title) {
      if (kBackendKind === 'real') {
        const result = spawnSync(kTidewell, ['add', address, title], { env, encoding: 'utf8' });
        if (result.status !== 0) throw new Error(result.stderr);
      } else {
        await call('/_fake/add', { title, address });
      }
    },
    // Errors of background work for the windows to show (the stand-in only).
    async showErrors(errors) {
      await call('/_fake/errors', { errors });
    },
    // Ends the service and starts it again in the same HOME; the windows must find it again.
    // `whileDown` runs while no service answers.
    async restart(whileDown = async () => {}) {
      await end();
      await whileDown();
      const url = new URL(openUrl);
      child = launch(kBackendKind === 'real' ? ['--port', url.port] : ['--port', url.port, '--token', secret]);
      await readFirstLine(child);
    },
    async stop() {
      await end();
      rmSync(home, { recursive: true, force: true });
    },
  };
}
