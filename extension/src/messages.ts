// What the toolbar popup and the side panel say to the background script, over runtime ports.

export const kToolbarPort = 'toolbar';
export const kPanelPort = 'panel';

// Commands that the side panel carries out for the toolbar: they need the main window's dialogs.
export type PanelCommand = 'addCurrentPage' | 'tellAFriend';

export type ToolbarRequest =
  | { type: 'refresh' }
  | { type: 'stop' }
  | { type: 'panelCommand'; command: PanelCommand; windowId: number }
  | { type: 'dropPanelCommand'; windowId: number };

export type ToolbarNews =
  | { type: 'checking'; running: boolean }
  | { type: 'failed'; message: string }
  // The windows that show a side panel (or the panel's page in a tab) now.
  | { type: 'panels'; windowIds: number[] }
  // Whether a side panel of the window took the command at once; otherwise it waits for the
  // panel that opens.
  | { type: 'commandSent'; delivered: boolean };

export type PanelHello = { type: 'hello'; windowId: number };
export type PanelNews = { type: 'command'; command: PanelCommand };
