// The commands of the main window: their ids, texts (with "&" before the access key) and the
// status texts shown as their tips.

export const Cmd = {
  Reset: 32770,
  ToolbarSmall: 32771,
  ToolbarLarge: 32772,
  Open: 32774,
  Delete: 32775,
  Properties: 32776,
  AddPage: 32777,
  AddCurrentPage: 32778,
  Refresh: 32780,
  Options: 32781,
  Import: 32783,
  TellAFriend: 32784,
  Rename: 32785,
  Stop: 32787,
  SmartUpdateWizard: 32788,
  ClearUpdateFlag: 32789,
  ToolbarText: 32791,
  LargeIcons: 32793,
  SmallIcons: 32794,
  List: 32795,
  Details: 32796,
  ShowUpdatedColumn: 32797,
  SortByStatus: 32798,
  Help: 57670,
  // Beyond the desktop program's own commands.
  ShowChanges: 33000,
} as const;
export type CommandId = (typeof Cmd)[keyof typeof Cmd];

export interface CommandText {
  text: string;
  status?: string;
  shortcut?: string;
}

export const kCommandText: Record<CommandId, CommandText> = {
  [Cmd.Open]: { text: '&Open', status: 'Opens the selected page in a browser.' },
  [Cmd.ClearUpdateFlag]: {
    text: 'Clear &Update Flag',
    status: 'Clear the Updated Page status for the selected page.',
  },
  [Cmd.SmartUpdateWizard]: {
    text: 'Smart Update &Wizard',
    status: 'Run the Smart Update Wizard for the selected page.',
  },
  [Cmd.Reset]: { text: '&Reset', status: 'Resets the selected page.' },
  [Cmd.Rename]: { text: 'Re&name', status: 'Renames the selected page.' },
  [Cmd.Delete]: { text: '&Delete', status: 'Deletes the selected page.' },
  [Cmd.Properties]: { text: '&Properties', status: 'Displays the properties for the selected page.' },
  [Cmd.AddPage]: { text: 'Add Page' },
  [Cmd.AddCurrentPage]: { text: 'Add Current Page' },
  [Cmd.Refresh]: { text: '&Refresh', shortcut: 'F5' },
  [Cmd.Stop]: { text: 'Stop' },
  [Cmd.Import]: { text: 'Import' },
  [Cmd.Options]: { text: 'Options' },
  [Cmd.TellAFriend]: { text: 'Tell a Friend' },
  [Cmd.Help]: { text: 'Help' },
  [Cmd.ShowChanges]: { text: 'Show &Changes', status: 'Shows what changed in the selected page since an earlier version.' },
  [Cmd.LargeIcons]: { text: '&Large Icons', status: 'Display pages as large icons.' },
  [Cmd.SmallIcons]: { text: '&Small Icons', status: 'Display pages as small icons.' },
  [Cmd.List]: { text: '&List', status: 'Display pages as a list of small icons.' },
  [Cmd.Details]: { text: '&Details', status: 'Display pages as a list of small icons with details.' },
  [Cmd.ShowUpdatedColumn]: { text: 'Show &Updated Column', status: 'Show the updated time column.' },
  [Cmd.SortByStatus]: { text: 'Sort by U&pdated Status', status: 'Sort pages based on their status.' },
  [Cmd.ToolbarSmall]: { text: '&Small Icons', status: 'Display small toolbar buttons.' },
  [Cmd.ToolbarLarge]: { text: '&Large Icons', status: 'Display large toolbar buttons.' },
  [Cmd.ToolbarText]: { text: 'Show &Text', status: 'Display text on toolbar buttons.' },
};

// View modes as stored: the list control's own style numbers.
export enum ViewMode {
  LargeIcons = 0,
  Details = 1,
  SmallIcons = 2,
  List = 3,
}

export const kViewModeCommand: [CommandId, ViewMode][] = [
  [Cmd.LargeIcons, ViewMode.LargeIcons],
  [Cmd.SmallIcons, ViewMode.SmallIcons],
  [Cmd.List, ViewMode.List],
  [Cmd.Details, ViewMode.Details],
];
