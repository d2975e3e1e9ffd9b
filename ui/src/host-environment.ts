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
  // What the window shows first, when it was opened for something (a desktop notification's
  // Show Changes opens the window on one page's changes).
  readonly start?: WindowStart;
}

export interface WindowStart {
  showChangesOf?: string; // the title of the page
  smartHistory?: boolean; // the Smart History dialog with the pages waiting for it
}

// The service opens the window at "/?changes=TITLE" to show that page's changes first, and at
// "/?smartHistory=1" for the pages Smart History proposes.
const kShowChangesParameter = 'changes';
const kSmartHistoryParameter = 'smartHistory';

// What the tab's address asks the window to show first. The address then loses its query, so
// that reloading the tab shows the page list alone.
export function takeWindowStart(): WindowStart {
  const query = new URLSearchParams(window.location.search);
  const title = query.get(kShowChangesParameter);
  const smartHistory = query.has(kSmartHistoryParameter);
  if (window.location.search) window.history.replaceState(null, '', window.location.pathname);
  return { ...(title ? { showChangesOf: title } : {}), ...(smartHistory ? { smartHistory } : {}) };
}

export class BrowserTabHost implements HostEnvironment {
  readonly setting: SettingKind = 'host';
  readonly start = takeWindowStart();

  openAddress(address: string): boolean {
    const opened = window.open(address, '_blank');
    if (!opened) return false;
    opened.opener = null;
    return true;
  }
}
