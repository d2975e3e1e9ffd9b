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

// Add Current Page: added at once, or the Add Page dialog to show with the values to confirm
// or correct (`problem` is why they could not be added as they are).
export interface CurrentPageDialog {
  mode: 'currentPage' | 'plain';
  title: string;
  address: string;
  caption?: string;
  note?: string;
  problem?: ErrorBody;
}
export type CurrentPageResult = (AddResult & { dialog?: undefined }) | { dialog: CurrentPageDialog };

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
  files?: string[]; // asked for with fileSuffixes
}

// The sources added to the Favorites tree beside the browsers' bookmarks.
export interface FavoriteSources {
  shortcutFolders: string[];
  bookmarkFiles: string[];
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

// The fields of the Tell a Friend dialog.
export type MailFormat = 'html' | 'plainText';
export interface FriendMessage {
  toName: string;
  toAddress: string;
  fromName: string;
  fromAddress: string;
  format: MailFormat;
}

export interface Contact {
  name: string;
  address: string;
}

// An earlier content of a page, kept when a check found the page changed.
export interface PageVersion {
  id: number;
  address: string;
  foundTime: string | null; // null: the page's first content
  replacedTime: string;
  size: number; // bytes of the page and its frames
}

export type DiffKind = 'same' | 'removed' | 'added';
export interface DiffRun {
  kind: DiffKind;
  text: string;
}

// What changed in one document: the page, or one of its frames.
export interface DocumentChanges {
  address: string;
  changed: boolean;
  text: DiffRun[];
  html: string[]; // a unified line diff
}

export interface Changes {
  title: string;
  address: string;
  version: PageVersion;
  documents: DocumentChanges[];
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
  | { event: 'message'; data: { message: string; icon: Icon } }
  | { event: 'proposals'; data: { pages: ProposedPage[] } };

export const kEventNames: ServerEvent['event'][] = [
  'loading',
  'page',
  'checking',
  'requestDone',
  'optionsChanged',
  'showUpdatedPages',
  'showErrors',
  'message',
  'proposals',
];

// --- Smart History and import ---

// A page Smart History proposes, or found in the history.
export interface ProposedPage {
  title: string;
  address: string;
}

export type AutoSh = 0 | 1 | 2; // detect and propose, add automatically, do not notify

export interface SmartHistoryState {
  autoSH: AutoSh;
  historyKeptShort: boolean;
  proposals: ProposedPage[];
}

export interface ProposalAnswerResult {
  added: AddResult[];
  remaining: ProposedPage[];
  needsDialog?: ProposedPage;
}

export interface DetectionResult {
  status: 'found' | 'nothingFound' | 'failed';
  message: string;
  pages: (ProposedPage & { hits: number; lastVisit: string | null })[];
  historyKeptShort: boolean;
}

export type ImportSource = 'favorites' | 'history';
export type CheckState = 'none' | 'notChecked' | 'checked' | 'added';

export interface ImportEntry {
  id: number;
  text: string;
  folder: boolean;
  state: CheckState;
  address?: string;
  children?: ImportEntry[];
}

export interface ImportFillResult {
  token: number; // names this tree to import.add
  tree: ImportEntry;
  error?: ErrorBody;
}

export interface ImportAddResult {
  tree: ImportEntry;
  added: number;
  error?: ErrorBody;
  addError?: ErrorBody;
}
