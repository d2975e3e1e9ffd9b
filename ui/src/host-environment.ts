// What the window can ask of the place it runs in: a browser tab opened by `tidewell`, or the
// browser extension's side panel, which gives the current page and opens addresses in its tab.
import type { SettingKind } from './api/types';

export interface HostEnvironment {
  readonly setting: SettingKind;
  // Opens an address for the user; false when that failed. The side panel navigates its tab,
  // which the browser answers later.
  openAddress(address: string): boolean | Promise<boolean>;
  // What the window says while it can not reach Tidewell, where the place has more to say.
  readonly lostMessage?: string;
  // The page shown in the browser, inside the extension only.
  currentPage?: () => Promise<{ title: string; address: string }>;
}

export class BrowserTabHost implements HostEnvironment {
  readonly setting: SettingKind = 'host';

  openAddress(address: string): boolean {
    const opened = window.open(address, '_blank');
    if (!opened) return false;
    opened.opener = null;
    return true;
  }
}
