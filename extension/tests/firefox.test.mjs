// The Firefox build passes Mozilla's own checks (web-ext lint), and both builds name the native
// host and the permissions the extension needs and no more.
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import { readFileSync } from 'node:fs';
import { dirname, join, resolve } from 'node:path';
import { test } from 'node:test';
import { fileURLToPath } from 'node:url';

const here = dirname(fileURLToPath(import.meta.url));
const built = resolve(here, '..', '..', 'build', 'extension');
const manifest = (browser) => JSON.parse(readFileSync(join(built, browser, 'manifest.json'), 'utf8'));

// What the linter may say and why it is fine: preact's renderer can set innerHTML, for
// dangerouslySetInnerHTML, which nothing of ours uses.
const kAcceptedWarnings = new Set(['UNSAFE_VAR_ASSIGNMENT']);

test('web-ext lint finds nothing wrong with the Firefox build', () => {
  const webExt = join(here, '..', 'node_modules', 'web-ext', 'bin', 'web-ext.js');
  const run = spawnSync(process.execPath, [webExt, 'lint', '--source-dir', join(built, 'firefox'), '--self-hosted', '--output', 'json'], {
    encoding: 'utf8',
    env: { ...process.env, WEB_EXT_TELEMETRY: 'false' },
  });
  const report = JSON.parse(run.stdout);
  assert.deepEqual(report.errors, []);
  assert.deepEqual(report.warnings.filter((w) => !kAcceptedWarnings.has(w.code)), []);
  assert.deepEqual(report.notices, []);
});

test('the manifests give the ids, the side panel and the permissions', () => {
  const chromium = manifest('chromium');
  const firefox = manifest('firefox');
  assert.equal(chromium.manifest_version, 3);
  assert.equal(firefox.manifest_version, 3);
  assert.equal(chromium.key, readFileSync(join(here, '..', 'chromium-key.b64'), 'utf8').trim());
  assert.equal(firefox.browser_specific_settings.gecko.id, 'tidewell@tidewell.org');
  assert.deepEqual(chromium.permissions.sort(), ['nativeMessaging', 'sidePanel', 'tabs', 'webNavigation']);
  assert.deepEqual(firefox.permissions.sort(), ['nativeMessaging', 'tabs', 'webNavigation']);
  assert.equal(chromium.host_permissions, undefined);
  assert.equal(firefox.host_permissions, undefined);
  assert.equal(chromium.side_panel.default_path, 'sidepanel.html');
  assert.equal(firefox.sidebar_action.default_panel, 'sidepanel.html');
  // Firefox's build carries no call to Chromium's side panel.
  const popup = readFileSync(join(built, 'firefox', 'popup.html'), 'utf8');
  const scripts = [...popup.matchAll(/src="\.\/([^"]+\.js)"/g)].map((m) => readFileSync(join(built, 'firefox', m[1]), 'utf8'));
  assert.ok(scripts.length > 0);
  for (const script of scripts) assert.ok(!script.includes('sidePanel'));
});
