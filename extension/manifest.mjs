// The extension's manifest, one per browser: Chromium shows the main window in its side panel,
// Firefox in its sidebar; both have the toolbar popup and the navigation watcher.
import { readFileSync } from 'node:fs';
import { dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';

const here = dirname(fileURLToPath(import.meta.url));

export const kBrowsers = ['chromium', 'firefox'];
export const kNativeHostName = 'org.tidewell.native_host';
export const kChromiumId = 'dcknjfnokgfijfcfkagcfcldjjglmiji';
export const kFirefoxId = 'tidewell@tidewell.org';
export const kIconSizes = [16, 32, 48, 128];

// The public key that gives the Chromium extension its stable id (kChromiumId), which the native
// host's manifest names as its one allowed origin.
const kChromiumKey = readFileSync(join(here, 'chromium-key.b64'), 'utf8').trim();

function version() {
  return JSON.parse(readFileSync(join(here, 'package.json'), 'utf8')).version;
}

export function manifestFor(browser) {
  const icons = Object.fromEntries(kIconSizes.map((size) => [String(size), `icons/tidewell-${size}.png`]));
  const common = {
    manifest_version: 3,
    name: 'Tidewell',
    short_name: 'Tidewell',
    version: version(),
    description: 'Watches your list of web pages and tells you when one of them has really changed.',
    icons,
    action: { default_title: 'Tidewell', default_popup: 'popup.html', default_icon: icons },
  };
  if (browser === 'chromium') {
    return {
      ...common,
      key: kChromiumKey,
      minimum_chrome_version: '116',
      permissions: ['nativeMessaging', 'sidePanel', 'webNavigation', 'tabs'],
      background: { service_worker: 'background.js' },
      side_panel: { default_path: 'sidepanel.html' },
    };
  }
  return {
    ...common,
    permissions: ['nativeMessaging', 'webNavigation', 'tabs'],
    background: { scripts: ['background.js'] },
    sidebar_action: {
      default_title: 'Tidewell',
      default_panel: 'sidepanel.html',
      default_icon: icons,
      open_at_install: false,
    },
    browser_specific_settings: {
      // Visits go to the Tidewell program on this computer only; nothing is collected elsewhere.
      gecko: { id: kFirefoxId, strict_min_version: '140.0', data_collection_permissions: { required: ['none'] } },
      gecko_android: { strict_min_version: '142.0' },
    },
  };
}
