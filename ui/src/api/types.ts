// The values the Tidewell API sends and takes. Every shape the UI relies on is here, so that a
// change of the API touches this folder only.

export type Icon = 'error' | 'warning' | 'information' | 'question' | 'none';

export interface PageError {
  status: number; // 1 message id, 2 system error, 3 HTTP status, 4 rechecking
  code: number;
  text: string;
}

export interface Page {
  title: string;
  address: string;
  updated: boolean;
  pending: boolean;
  error: PageError | null;
  updatedTime: string | null; // ISO-8601 UTC
  lastModified: string | null;
  expires: string | null;
  smartUpdate: boolean;
  checkCount: number;
  waitSeconds: number;
  ignoreLastModified: boolean;
  ignoreExpires: boolean;
}

// An application error as the API reports it: `message` is the exact text to show.
export interface ErrorBody {
  code: string;
  message: string;
  icon: Icon;
  field?: string;
  min?: number;
  max?: number;
  stringId?: number;
}

export type AddMode = 'plain' | 'currentPage' | 'smartHistory';
export type SettingKind = 'host' | 'sidebar';
export type SettingValue = number | string;
export type SettingValues = Record<string, SettingValue>;

export interface SettingSchema {
  name: string;
  type: 'flag' | 'number' | 'text';
  default: SettingValue;
  min?: number;
  max?: number;
}

export interface AppInfo {
  version: string;
  setting: SettingKind;
  firstRun: boolean;
  pageFolder: string;
  maxTitleLength?: number;
}

export interface PageListInfo {
  pages: Page[];
  folder: string;
  maxTitleLength: number;
}

export interface AddResult {
  requestId: number;
  title: string;
  address: string;
  placeholder: Page;
}

export interface DropResult {
  added?: QuietAddResult[];
  imports?: { requestId: number; name: string }[];
  stoppedAt?: string;
}

export interface QuietAddResult {
  requestId?: number;
  title: string;
  address: string;
  placeholder?: Page;
  needsDialog?: boolean;
}

export interface Settings {
  values: SettingValues;
  schema: SettingSchema[];
  runOnStartup: boolean;
}

// The offline schedule: when `tidewell /r` runs by itself (a systemd user timer, or a crontab
// line where there is none).
export type Weekday = 'mon' | 'tue' | 'wed' | 'thu' | 'fri' | 'sat' | 'sun';
export interface OfflineSchedule {
  repeat: 'daily' | 'hourly' | 'weekly' | 'logon';
  at?: string; // local "HH:MM"
  everyHours?: number; // 1 to 23, with "hourly"
  days?: Weekday[]; // with "weekly"
}

export interface ScheduleInfo {
  status: string;
  kind: 'systemd' | 'cron' | 'none';
  schedule: OfflineSchedule | null;
  nextRunTime?: string | null;
}

export interface FolderListing {
  path: string;
  parent: string | null;
  folders: string[];
}

export interface PropertiesRequest {
  title: string;
  newTitle: string;
  address: string;
  smartUpdate: boolean;
  checkCount: number;
  waitMinutes: number;
  ignoreLastModified: boolean;
  ignoreExpires: boolean;
}

export interface DroppedFile {
  name: string;
  contentBase64: string;
}

export interface UpdatedPageRef {
  title: string;
  address: string;
}

export type ServerEvent =
  | { event: 'loading'; data: Record<string, never> }
  | { event: 'page'; data: { change: 'added' | 'removed' | 'changed'; page: Page } }
  | { event: 'checking'; data: { running: boolean } }
  | {
      event: 'requestDone';
      data: { requestId: number; kind: 'add' | 'delete' | 'import'; name: string; ok: boolean; error?: ErrorBody };
    }
  | { event: 'optionsChanged'; data: { values?: SettingValues } }
  | { event: 'showUpdatedPages'; data: { id: number; pages: UpdatedPageRef[]; doNotShowAgain: boolean } }
  | { event: 'showErrors'; data: { id: number; errors: string[] } }
  | { event: 'message'; data: { message: string; icon: Icon } };

export const kEventNames: ServerEvent['event'][] = [
  'loading',
  'page',
  'checking',
  'requestDone',
  'optionsChanged',
  'showUpdatedPages',
  'showErrors',
  'message',
];
