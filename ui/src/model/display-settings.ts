// The window's display settings. The host program and the browser's side panel keep four of
// them under separate names; the rest are shared.
import type { SettingKind, SettingValues } from '../api/types';
import { ViewMode } from '../commands';

export interface DisplaySettings {
  viewMode: ViewMode;
  showUpdatedColumn: boolean;
  sortByStatus: boolean;
  largeButtons: boolean;
  buttonText: boolean;
  pageColumnWidth: number; // 0: the column takes the room the Updated column leaves
  updatedColumnWidth: number; // 0: a share of the list's width
  showTasks: boolean;
  taskPaneOpen: [boolean, boolean, boolean];
}

type Field = 'viewMode' | 'largeButtons' | 'buttonText' | 'pageColumnWidth' | 'updatedColumnWidth';

const kNames: Record<SettingKind, Record<Field, string>> = {
  host: {
    viewMode: 'ViewMode',
    largeButtons: 'LargeTB',
    buttonText: 'TBText',
    pageColumnWidth: 'PageColSize',
    updatedColumnWidth: 'LUColSize',
  },
  sidebar: {
    viewMode: 'ViewModeIE',
    largeButtons: 'LargeTBIE',
    buttonText: 'TBIEText',
    pageColumnWidth: 'BandPageColSize',
    updatedColumnWidth: 'BandLUColSize',
  },
};

export const kTaskPaneNames = ['TaskPane0', 'TaskPane1', 'TaskPane2'] as const;
export const kDefaultUpdatedWidth = 130;
export const kMinColumnWidth = 48;

export function settingName(kind: SettingKind, field: Field): string {
  return kNames[kind][field];
}

function num(values: SettingValues, name: string): number | undefined {
  const v = values[name];
  return typeof v === 'number' ? v : typeof v === 'string' && v !== '' && !Number.isNaN(Number(v)) ? Number(v) : undefined;
}

function flag(values: SettingValues, name: string, fallback: boolean): boolean {
  const v = num(values, name);
  return v === undefined ? fallback : v !== 0;
}

export function readDisplaySettings(kind: SettingKind, values: SettingValues): DisplaySettings {
  const names = kNames[kind];
  const mode = num(values, names.viewMode);
  const defaultMode = kind === 'sidebar' ? ViewMode.Details : ViewMode.LargeIcons;
  const width = (name: string, fallback: number) => {
    const w = num(values, name);
    return w !== undefined && w >= kMinColumnWidth && w < 10000 ? w : fallback;
  };
  return {
    viewMode: mode !== undefined && mode >= 0 && mode <= 3 ? (mode as ViewMode) : defaultMode,
    showUpdatedColumn: flag(values, 'LastUpdateColumn', true),
    sortByStatus: flag(values, 'UpdateSort', true),
    largeButtons: flag(values, names.largeButtons, false),
    buttonText: flag(values, names.buttonText, false),
    pageColumnWidth: width(names.pageColumnWidth, 0),
    updatedColumnWidth: width(names.updatedColumnWidth, 0),
    showTasks: kind === 'host' && flag(values, 'TaskPad', true),
    taskPaneOpen: [
      flag(values, kTaskPaneNames[0], true),
      flag(values, kTaskPaneNames[1], true),
      flag(values, kTaskPaneNames[2], true),
    ],
  };
}
