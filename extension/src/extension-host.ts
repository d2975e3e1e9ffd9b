// The side panel's place in the browser: its "current page" is the page shown in the panel's
// window, and an address opens in that window's tab, as a link the user followed.
import type { SettingKind } from '../../ui/src/api/types';
import type { HostEnvironment } from '../../ui/src/host-environment';
import { currentWebTab, currentWindowId, cutTitle } from './tabs';

export class ExtensionHost implements HostEnvironment {
  readonly setting: SettingKind = 'sidebar';
  // The browser starts Tidewell for the panel; when it can not, Tidewell is not registered with
  // it (or no longer where it was registered).
  readonly lostMessage =
    'Tidewell does not answer. If it is installed, run "tidewell register" once; this panel finds it by itself.';

  // The address each tab was last sent to. The browser refuses to send a tab again to where it
  // is already going (the second click of a double click); that tab shows the page all the same.
  private sentTo = new Map<number, string>();

  async openAddress(address: string): Promise<boolean> {
    let tab: chrome.tabs.Tab | undefined;
    try {
      tab = await currentWebTab(await currentWindowId());
      if (tab?.id === undefined) {
        await chrome.tabs.create({ url: address });
        return true;
      }
    } catch {
      return false;
    }
    const again = this.sentTo.get(tab.id) === address;
    if (again && tab.status === 'loading') return true;
    this.sentTo.set(tab.id, address);
    try {
      await chrome.tabs.update(tab.id, { url: address, active: true });
      return true;
    } catch {
      return again;
    }
  }

  // Rejects when the browser can not say which page it shows.
  currentPage = async (): Promise<{ title: string; address: string }> => {
    const tab = await currentWebTab(await currentWindowId());
    if (!tab?.url) throw new Error('the browser shows no page');
    return { title: cutTitle(tab.title ?? ''), address: tab.url };
  };
}
