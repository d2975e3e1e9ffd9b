// The side panel: Tidewell's main window in its side-bar setting, over a native-messaging port
// of its own. It also carries out the toolbar's Add Current Page and Tell a Friend.
import { render } from 'preact';
import { NativeTransport } from '../../ui/src/api/native-transport';
import { Cmd } from '../../ui/src/commands';
import { Controller } from '../../ui/src/controller';
import { App } from '../../ui/src/ui/app';
import '../../ui/src/styles/app.css';
import { nativeHost } from './browser';
import { ExtensionHost } from './extension-host';
import { kPanelPort, type PanelCommand, type PanelHello, type PanelNews } from './messages';
import { currentWindowId } from './tabs';

const kCommands: Record<PanelCommand, typeof Cmd.AddCurrentPage | typeof Cmd.TellAFriend> = {
  addCurrentPage: Cmd.AddCurrentPage,
  tellAFriend: Cmd.TellAFriend,
};

const controller = new Controller(new NativeTransport(nativeHost), new ExtensionHost());
render(<App c={controller} />, document.getElementById('app')!);
void controller.start();

// The background wakes again after the browser let it sleep; the panel then says hello anew.
async function takeToolbarCommands() {
  const windowId = await currentWindowId();
  const port = chrome.runtime.connect({ name: kPanelPort });
  port.onMessage.addListener((news: PanelNews) => {
    if (news.type === 'command') void controller.run(kCommands[news.command]);
  });
  port.onDisconnect.addListener(() => void takeToolbarCommands());
  port.postMessage({ type: 'hello', windowId } satisfies PanelHello);
}
void takeToolbarCommands();
