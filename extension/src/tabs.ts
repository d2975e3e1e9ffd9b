// The browser's tabs as the extension sees them: which one shows "the current page".

// The browser hands a visit's or a page's title to Tidewell cut to this many characters.
export const kMaxBrowserTitle = 251;

// Cuts at a character, never inside a surrogate pair.
export function cutTitle(title: string): string {
  return Array.from(title).slice(0, kMaxBrowserTitle).join('');
}

function isOurs(tab: chrome.tabs.Tab): boolean {
  return (tab.url ?? '').startsWith(chrome.runtime.getURL(''));
}

// The tab the user is looking at in `windowId`: its active tab, or, when that shows one of our
// own pages (the side panel opened in a tab), the tab used last before it.
export async function currentWebTab(windowId: number): Promise<chrome.tabs.Tab | undefined> {
  const tabs = await chrome.tabs.query({ windowId });
  const active = tabs.find((t) => t.active);
  if (active && !isOurs(active)) return active;
  return tabs.filter((t) => !isOurs(t)).sort((a, b) => (b.lastAccessed ?? 0) - (a.lastAccessed ?? 0))[0];
}

export async function currentWindowId(): Promise<number> {
  const window = await chrome.windows.getCurrent();
  if (window.id === undefined) throw new Error('no browser window');
  return window.id;
}
