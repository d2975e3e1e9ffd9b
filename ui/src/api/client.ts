// Every call the UI makes to Tidewell, one typed method each.
import type { Transport } from './transport';
import type {
  AddMode,
  AddResult,
  AppInfo,
  Changes,
  Contact,
  CurrentPageResult,
  FriendMessage,
  PageVersion,
  AutoSh,
  DetectionResult,
  ImportAddResult,
  ImportFillResult,
  ImportSource,
  ProposalAnswerResult,
  ProposedPage,
  SmartHistoryState,
  DropResult,
  DroppedFile,
  FavoriteSources,
  FolderListing,
  Icon,
  OfflineSchedule,
  PageListInfo,
  PropertiesRequest,
  QuietAddResult,
  ScheduleInfo,
  SettingKind,
  SettingValues,
  Settings,
} from './types';

export interface StartupQuestion {
  question?: { stringId: number; message: string; icon: Icon };
}

export class ApiClient {
  constructor(readonly transport: Transport) {}

  private call<T>(method: string, params: object = {}): Promise<T> {
    return this.transport.call(method, params) as Promise<T>;
  }

  appInfo() {
    return this.call<AppInfo>('app.info');
  }
  listPages() {
    return this.call<PageListInfo>('pages.list');
  }
  addPage(title: string, address: string, mode: AddMode, doNotAskAgain?: boolean) {
    return this.call<AddResult>('pages.add', { title, address, mode, doNotAskAgain });
  }
  addCurrentPage(title: string, address: string) {
    return this.call<CurrentPageResult>('pages.addCurrent', { title, address });
  }
  addPageQuietly(title: string, address: string) {
    return this.call<QuietAddResult>('pages.addQuietly', { title, address });
  }
  dropFiles(files: DroppedFile[]) {
    return this.call<DropResult>('pages.drop', { files });
  }
  dropText(text: string) {
    return this.call<DropResult>('pages.drop', { text });
  }
  renamePage(title: string, newTitle: string) {
    return this.call<object>('pages.rename', { title, newTitle });
  }
  deletePage(title: string, permanent: boolean) {
    return this.call<object>('pages.delete', { title, permanent });
  }
  resetPage(title: string) {
    return this.call<object>('pages.reset', { title });
  }
  setProperties(request: PropertiesRequest) {
    return this.call<object>('pages.setProperties', request);
  }
  smartUpdateWizard(title: string, answer: 'updating' | 'notUpdating', waitMinutes: number) {
    return this.call<object>('pages.smartUpdateWizard', { title, answer, waitMinutes });
  }
  clearUpdated(title: string) {
    return this.call<object>('pages.clearUpdated', { title });
  }
  refresh() {
    return this.call<object>('checking.refresh');
  }
  stop() {
    return this.call<object>('checking.stop');
  }
  checkingState() {
    return this.call<{ running: boolean }>('checking.state');
  }
  getSettings(setting: SettingKind) {
    return this.call<Settings>('settings.get', { setting });
  }
  setSettings(setting: SettingKind, values: SettingValues) {
    return this.call<object>('settings.set', { setting, values });
  }
  setStartup(enabled: boolean, removeForAllUsers?: boolean) {
    return this.call<StartupQuestion>('startup.set', { enabled, removeForAllUsers });
  }
  getSchedule() {
    return this.call<ScheduleInfo>('schedule.get');
  }
  setSchedule(schedule: OfflineSchedule | null) {
    return this.call<object>('schedule.set', { schedule });
  }
  // With fileSuffixes, the files whose names end in one of them are listed too.
  listFolders(path: string, fileSuffixes?: string[]) {
    return this.call<FolderListing>('folders.list', { path, fileSuffixes });
  }
  resetSmartHistory() {
    return this.call<object>('smartHistory.reset');
  }
  smartHistoryState() {
    return this.call<SmartHistoryState>('smartHistory.state');
  }
  answerProposals(checked: ProposedPage[], shown: string[], autoSH?: AutoSh) {
    return this.call<ProposalAnswerResult>('smartHistory.answer', { checked, shown, autoSH });
  }
  forgetProposal(address: string) {
    return this.call<object>('smartHistory.forget', { address });
  }
  runSmartHistoryPass() {
    return this.call<object>('smartHistory.runPass');
  }
  detectSmartHistory() {
    return this.call<DetectionResult>('smartHistory.detect');
  }
  fillImportTree(source: ImportSource, added?: FavoriteSources) {
    return this.call<ImportFillResult>('import.fill', { source, ...added });
  }
  // `token`: the tree as import.fill gave it.
  addImportEntries(token: number, checked: number[]) {
    return this.call<ImportAddResult>('import.add', { token, checked });
  }
  answerNotification(id: number, doNotShowAgain: boolean, chosenTitle?: string) {
    return this.call<object>('notify.answer', { id, chosenTitle, doNotShowAgain });
  }
  pageVersions(title: string) {
    return this.call<{ versions: PageVersion[] }>('pages.versions', { title });
  }
  pageChanges(title: string, version?: number) {
    return this.call<Changes>('pages.changes', { title, version });
  }
  openTellAFriend() {
    return this.call<FriendMessage>('friend.open');
  }
  // `open`: the service opens the address itself; otherwise it is only handed back.
  sendTellAFriend(message: FriendMessage, open: boolean) {
    return this.call<{ address: string; opened: boolean }>('friend.send', { ...message, open });
  }
  importVCardText(text: string) {
    return this.call<{ contacts: Contact[] }>('friend.importVCard', { text });
  }
  importAddressBook() {
    return this.call<{ contacts: Contact[] }>('friend.importAddressBook');
  }
}
