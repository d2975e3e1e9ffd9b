// The toolbar button's popup: Add Current Page, Refresh (Stop while a check runs anywhere), Show
// Tidewell, Tell a Friend and the Tidewell web site. Add Current Page and Tell a Friend open the
// side panel, whose main window shows their dialogs.
import { render } from 'preact';
import { useEffect, useState } from 'preact/hooks';
import { msg } from '../../ui/src/strings';
import { ToolGlyph, type ToolIcon } from '../../ui/src/ui/icons';
import { ModalLayer, Modals, showMessage } from '../../ui/src/ui/modals';
import { useSource } from '../../ui/src/ui/use-source';
import '../../ui/src/styles/app.css';
import './popup.css';
import { openSidePanel } from './browser';
import { kToolbarPort, type PanelCommand, type ToolbarNews, type ToolbarRequest } from './messages';
import { currentWebTab, currentWindowId } from './tabs';

// The maker's web site: its name is the button's text.
const kWebSiteName = 'Tidewell.org';
const kWebSiteAddress = 'https://tidewell.org/';

const modals = new Modals();
// Known before any click: the side panel must be asked for within the click itself, which
// Firefox ends at the first wait.
let windowId = -1;
const windowKnown = currentWindowId().then((id) => (windowId = id));

// The port to the background, opened again when the browser restarted the background meanwhile.
type NewsListener = (news: ToolbarNews) => void;
const newsListeners = new Set<NewsListener>();
let background: chrome.runtime.Port | null = null;

function connectBackground(): chrome.runtime.Port {
  const port = chrome.runtime.connect({ name: kToolbarPort });
  port.onMessage.addListener((news: ToolbarNews) => {
    for (const listener of [...newsListeners]) listener(news);
  });
  port.onDisconnect.addListener(() => {
    if (background === port) background = null;
  });
  return port;
}

function send(request: ToolbarRequest) {
  background ??= connectBackground();
  background.postMessage(request);
}
background = connectBackground();

// The browser's popup goes once its work is done, as a menu does; the same page in a tab stays.
function done() {
  if (chrome.extension.getViews({ type: 'popup' }).includes(window)) window.close();
}

function report(text: string) {
  return showMessage(modals, { text, icon: 'error' });
}

function nextNews(type: ToolbarNews['type']): Promise<ToolbarNews> {
  return new Promise((resolve) => {
    const listener = (news: ToolbarNews) => {
      if (news.type !== type) return;
      newsListeners.delete(listener);
      resolve(news);
    };
    newsListeners.add(listener);
  });
}

// The windows that show Tidewell's panel already, as the background last said.
let panelWindows = new Set<number>();
newsListeners.add((news) => {
  if (news.type === 'panels') panelWindows = new Set(news.windowIds);
});

// A window that shows Tidewell already takes the command there. Otherwise the side panel is
// asked to open while the click is handled, and the background hands the command to the panel
// of this window as soon as it listens.
async function runInPanel(command: PanelCommand) {
  const opened = panelWindows.has(windowId)
    ? Promise.resolve(true)
    : openSidePanel(windowId).then(
        () => true,
        () => false,
      );
  const id = await windowKnown;
  const answer = nextNews('commandSent');
  send({ type: 'panelCommand', command, windowId: id });
  const sent = (await answer) as Extract<ToolbarNews, { type: 'commandSent' }>;
  if (!sent.delivered && !(await opened)) {
    send({ type: 'dropPanelCommand', windowId: id });
    await report(msg.browserError);
    return;
  }
  done();
}

async function showPanel() {
  try {
    await openSidePanel(windowId);
    done();
  } catch {
    await report(msg.browserError);
  }
}

async function openWebSite() {
  try {
    const tab = await currentWebTab(await windowKnown);
    if (tab?.id !== undefined) await chrome.tabs.update(tab.id, { url: kWebSiteAddress, active: true });
    else await chrome.tabs.create({ url: kWebSiteAddress });
    done();
  } catch {
    await report(msg.browserError);
  }
}

function Tool({ icon, text, onClick }: { icon: ToolIcon; text: string; onClick: () => void }) {
  return (
    <button type="button" class="tool with-text" onClick={onClick}>
      <ToolGlyph icon={icon} size={16} />
      <span class="tool-text">{text}</span>
    </button>
  );
}

function Popup() {
  useSource(modals);
  const [checking, setChecking] = useState(false);
  useEffect(() => {
    const listener = (news: ToolbarNews) => {
      if (news.type === 'checking') setChecking(news.running);
      else if (news.type === 'failed') void report(news.message);
    };
    newsListeners.add(listener);
    return () => void newsListeners.delete(listener);
  }, []);

  return (
    <>
      <div class="popup" role="toolbar" aria-label="Tidewell" aria-orientation="vertical" inert={modals.count > 0}>
        <Tool icon="addCurrent" text="Add Current Page" onClick={() => void runInPanel('addCurrentPage')} />
        {checking ? (
          <Tool icon="stop" text="Stop" onClick={() => send({ type: 'stop' })} />
        ) : (
          <Tool icon="refresh" text="Refresh" onClick={() => send({ type: 'refresh' })} />
        )}
        <span class="tool-separator" role="separator" />
        <Tool icon="panel" text="Show Tidewell" onClick={() => void showPanel()} />
        <Tool icon="friend" text="Tell a Friend" onClick={() => void runInPanel('tellAFriend')} />
        <Tool icon="web" text={kWebSiteName} onClick={() => void openWebSite()} />
      </div>
      <ModalLayer modals={modals} />
    </>
  );
}

render(<Popup />, document.getElementById('popup')!);
