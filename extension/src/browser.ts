// What differs between Chromium and Firefox: the side panel (Chromium's sidePanel, Firefox's
// sidebarAction) and the port to the native host.
import type { NativeConnector } from '../../ui/src/api/native-transport';

export const kNativeHostName = 'org.tidewell.native_host';

interface FirefoxSidebar {
  open(): Promise<void>;
}

function firefoxSidebar(): FirefoxSidebar | undefined {
  return (globalThis as { browser?: { sidebarAction?: FirefoxSidebar } }).browser?.sidebarAction;
}

// Must be called while the user's click is being handled, which both browsers require.
export function openSidePanel(windowId: number): Promise<void> {
  if (import.meta.env.TW_BROWSER === 'firefox') {
    const sidebar = firefoxSidebar();
    return sidebar ? sidebar.open() : Promise.reject(new Error('this browser has no sidebar'));
  }
  return chrome.sidePanel.open({ windowId });
}

export const nativeHost: NativeConnector = {
  connect: () => chrome.runtime.connectNative(kNativeHostName),
  lastError: () => chrome.runtime.lastError?.message,
};
