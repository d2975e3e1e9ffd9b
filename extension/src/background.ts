// The extension's background: it holds a port to `tidewell native-host` for as long as the
// browser runs, hands every top-level document that finishes loading to Smart History as a visit
// (which also clears the updated flag of a watched page at that address), and serves the toolbar
// popup: the checking state for Refresh and Stop, and the commands the side panel carries out.
import { NativeTransport } from '../../ui/src/api/native-transport';
import { TransportError } from '../../ui/src/api/transport';
import type { ServerEvent } from '../../ui/src/api/types';
import { msg } from '../../ui/src/strings';
import { nativeHost } from './browser';
import {
  kPanelPort,
  kToolbarPort,
  type PanelCommand,
  type PanelHello,
  type PanelNews,
  type ToolbarNews,
  type ToolbarRequest,
} from './messages';
import { cutTitle } from './tabs';

const kTopFrame = 0;

const host = new NativeTransport(nativeHost);
let checking = false;
const toolbars = new Set<chrome.runtime.Port>();
const panels = new Map<chrome.runtime.Port, number>(); // the side panels and their windows
const waitingCommands = new Map<number, PanelCommand>(); // for the next panel of a window

function tellToolbars(news: ToolbarNews) {
  for (const port of toolbars) port.postMessage(news);
}

host.listen({
  onEvent(event: ServerEvent) {
    if (event.event !== 'checking' || event.data.running === checking) return;
    checking = event.data.running;
    tellToolbars({ type: 'checking', running: checking });
  },
  onConnection(state) {
    // Without a host no check runs here; the toolbar offers Refresh, whose failure says so.
    if (state === 'lost' && checking) {
      checking = false;
      tellToolbars({ type: 'checking', running: false });
    }
  },
});

let visits = Promise.resolve();
chrome.webNavigation.onCompleted.addListener(
  (details) => {
    if (details.frameId !== kTopFrame) return;
    if ((details as { documentLifecycle?: string }).documentLifecycle === 'prerender') return;
    // One after another, so that Tidewell takes the visits in the order the browser made them.
    visits = visits.then(() => reportVisit(details.tabId, details.url));
  },
  { url: [{ schemes: ['http', 'https'] }] },
);

async function reportVisit(tabId: number, address: string) {
  let title = '';
  try {
    title = (await chrome.tabs.get(tabId)).title ?? '';
  } catch {
    // The tab closed meanwhile; the visit still counts.
  }
  try {
    await host.call('smartHistory.navigated', { address, title: cutTitle(title) });
  } catch (e) {
    if (!(e instanceof TransportError)) console.warn('Tidewell did not take the visit', address, e);
  }
}

chrome.runtime.onConnect.addListener((port) => {
  if (port.sender?.id !== chrome.runtime.id) return port.disconnect();
  if (port.name === kToolbarPort) serveToolbar(port);
  else if (port.name === kPanelPort) servePanel(port);
  else port.disconnect();
});

function panelWindows(): ToolbarNews {
  return { type: 'panels', windowIds: [...new Set(panels.values())] };
}

function serveToolbar(port: chrome.runtime.Port) {
  toolbars.add(port);
  port.onDisconnect.addListener(() => toolbars.delete(port));
  port.postMessage({ type: 'checking', running: checking } satisfies ToolbarNews);
  port.postMessage(panelWindows());
  port.onMessage.addListener((request: ToolbarRequest) => {
    switch (request.type) {
      case 'refresh':
      case 'stop':
        host.call(request.type === 'refresh' ? 'checking.refresh' : 'checking.stop', {}).catch(() =>
          port.postMessage({ type: 'failed', message: msg.internalError } satisfies ToolbarNews),
        );
        return;
      case 'panelCommand':
        port.postMessage({ type: 'commandSent', delivered: sendToPanel(request.windowId, request.command) } satisfies ToolbarNews);
        return;
      case 'dropPanelCommand':
        waitingCommands.delete(request.windowId);
        return;
    }
  });
}

// The newest side panel of the window takes the command; with none open, the one about to open.
function sendToPanel(windowId: number, command: PanelCommand): boolean {
  const panel = [...panels].reverse().find(([, id]) => id === windowId)?.[0];
  if (!panel) {
    waitingCommands.set(windowId, command);
    return false;
  }
  panel.postMessage({ type: 'command', command } satisfies PanelNews);
  return true;
}

function servePanel(port: chrome.runtime.Port) {
  port.onDisconnect.addListener(() => {
    panels.delete(port);
    tellToolbars(panelWindows());
  });
  port.onMessage.addListener((hello: PanelHello) => {
    if (hello.type !== 'hello') return;
    panels.delete(port);
    panels.set(port, hello.windowId);
    tellToolbars(panelWindows());
    const command = waitingCommands.get(hello.windowId);
    if (!command) return;
    waitingCommands.delete(hello.windowId);
    port.postMessage({ type: 'command', command } satisfies PanelNews);
  });
}
