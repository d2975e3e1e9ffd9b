// The main window's brain: the connection to the service, the page list's state, the display
// settings, the selection, and every command of the toolbar, the menus and the task pane.
import { ApiClient } from './api/client';
import { ApiError, TransportError, type ConnectionState, type Transport } from './api/transport';
import type {
  AutoSh,
  CurrentPageResult,
  DropResult,
  ErrorBody,
  Page,
  ProposedPage,
  ServerEvent,
  SettingKind,
  SettingValues,
  UpdatedPageRef,
} from './api/types';
import { Cmd, type CommandId, kCommandText, kViewModeCommand, ViewMode } from './commands';
import type { HostEnvironment } from './host-environment';
import { type DisplaySettings, kTaskPaneNames, readDisplaySettings, settingName } from './model/display-settings';
import { type Entry, PageStore } from './model/page-store';
import { msg } from './strings';
import { type MenuEntry, MenuHost } from './ui/menu';
import { type MessageOptions, Modals, showMessage, type BoxAnswer } from './ui/modals';
import { openAddPage } from './dialogs/add-page';
import { openProperties } from './dialogs/properties';
import { openSmartUpdateWizard } from './dialogs/smart-update-wizard';
import { openPageSetupWizard } from './dialogs/page-setup-wizard';
import { UpdatedPagesFeed, openUpdatedPages } from './dialogs/updated-pages';
import { ErrorsFeed, openErrors } from './dialogs/errors';
import { openOptions } from './dialogs/options';
import { openImportWizard } from './dialogs/import-wizard';
import { openTellAFriend } from './dialogs/tell-a-friend';
import { openShowChanges } from './dialogs/show-changes';
import { ProposalFeed, openSmartHistory } from './dialogs/smart-history';

const kMaxPathTitle = 254;

export interface CommandContext {
  entry?: Entry;
  shiftKey?: boolean;
}

export class Controller {
  readonly client: ApiClient;
  readonly store = new PageStore();
  readonly modals = new Modals();
  readonly menus = new MenuHost();
  settings: DisplaySettings;
  values: SettingValues = {};
  folder = '';
  maxTitleLength = 254;
  connection: ConnectionState = 'connecting';
  selected: string | null = null; // title of the selected page
  renaming: { title: string; text?: string } | null = null;
  announcement = '';
  private listeners = new Set<() => void>();
  private updatedFeed: UpdatedPagesFeed | null = null;
  private errorsFeed: ErrorsFeed | null = null;
  private proposalFeed: ProposalFeed | null = null;
  private stopListening: (() => void) | null = null;

  constructor(
    transport: Transport,
    readonly host: HostEnvironment,
  ) {
    this.client = new ApiClient(transport);
    this.settings = readDisplaySettings(host.setting, {});
    this.store.onRequestFailed = (_name, message) =>
      void this.message({ text: message ?? msg.addFailed, icon: 'error' });
    this.store.onBecameUpdated = (pages) => this.announce(pages);
  }

  get setting(): SettingKind {
    return this.host.setting;
  }

  subscribe(listener: () => void) {
    this.listeners.add(listener);
    return () => this.listeners.delete(listener);
  }

  changed() {
    for (const listener of this.listeners) listener();
  }

  async start() {
    this.stopListening = this.client.transport.listen({
      onEvent: (event) => this.onEvent(event),
      onConnection: (state) => {
        const reconnected = state === 'open' && this.connection === 'lost';
        this.connection = state;
        this.changed();
        if (reconnected) void this.loadSettings();
      },
    });
    void this.showStartView();
    await Promise.all([this.loadSettings(), this.loadInfo()]);
    // Every window shows the pages that wait for the Smart History dialog; one opened for them
    // has shown them first.
    if (!this.host.start?.smartHistory) await this.loadProposals();
  }

  stop() {
    this.stopListening?.();
  }

  private async loadInfo() {
    try {
      const info = await this.client.appInfo();
      this.folder = info.pageFolder;
      // A page's file name holds at most 254 characters with its folder.
      this.maxTitleLength = info.maxTitleLength ?? Math.max(1, kMaxPathTitle - info.pageFolder.length);
      this.changed();
      if (info.firstRun) await openPageSetupWizard(this, { firstStart: true });
    } catch {
      // The event stream shows the connection's state; the next command reports its failure.
    }
  }

  // Pages proposed before this window connected wait for the Smart History dialog.
  private async loadProposals() {
    try {
      const state = await this.client.smartHistoryState();
      void this.showProposals(state.proposals);
    } catch {
      // The next proposal comes as an event.
    }
  }

  // A window opened on a page's changes shows them once the page list has arrived; one opened on
  // the Smart History dialog shows it at once.
  private async showStartView() {
    if (this.host.start?.smartHistory) {
      // Without waiting for the first-start wizard; the dialog shows the mode from the settings.
      await this.loadSettings();
      await this.loadProposals();
    }
    const title = this.host.start?.showChangesOf;
    if (!title) return;
    await this.store.whenListed();
    const entry = this.store.get(title);
    await openShowChanges(this, entry?.page ?? { title, address: '' });
  }

  async loadSettings() {
    try {
      const settings = await this.client.getSettings(this.setting);
      this.applyValues(settings.values);
    } catch {
      // Defaults stay until the service answers.
    }
  }

  private applyValues(values: SettingValues) {
    this.values = { ...this.values, ...values };
    this.settings = readDisplaySettings(this.setting, this.values);
    this.store.setSortByStatus(this.settings.sortByStatus);
    this.changed();
  }

  private onEvent(event: ServerEvent) {
    switch (event.event) {
      case 'optionsChanged':
        if (event.data.values) this.applyValues(event.data.values);
        else void this.loadSettings();
        return;
      case 'showUpdatedPages':
        void this.showUpdatedPages(event.data.id, event.data.pages, event.data.doNotShowAgain);
        return;
      case 'showErrors':
        void this.showErrors(event.data.id, event.data.errors);
        return;
      case 'message':
        void this.message({ text: event.data.message, icon: event.data.icon });
        return;
      case 'proposals':
        void this.showProposals(event.data.pages);
        return;
      case 'page':
        if (event.data.change === 'removed' && event.data.page.title === this.selected) this.selected = null;
        break;
      default:
        break;
    }
    this.store.push(event);
  }

  // Pages that became updated are announced to a screen reader, also when the filter hides them.
  private announce(pages: Page[]) {
    const names = pages.slice(0, 3).map((p) => p.title).join(', ');
    this.announcement = `${kUpdatedWord(pages.length)}: ${names}${pages.length > 3 ? ', ...' : ''}`;
    this.changed();
  }

  // --- message boxes ---

  message(options: MessageOptions): Promise<BoxAnswer> {
    return showMessage(this.modals, options);
  }

  // Shows why a call failed: the service's own message, or the internal-error text when the
  // service could not be reached.
  report(error: unknown, fallback = msg.internalError): Promise<BoxAnswer> {
    if (error instanceof ApiError) return this.message({ text: error.body.message, icon: boxIcon(error.body) });
    if (!(error instanceof TransportError)) console.error(error);
    return this.message({ text: fallback, icon: 'error' });
  }

  // --- selection and the command target ---

  select(title: string | null) {
    if (this.selected === title) return;
    this.selected = title;
    this.changed();
  }

  selectedEntry(): Entry | undefined {
    return this.selected === null ? undefined : this.store.get(this.selected);
  }

  // --- commands ---

  run(command: CommandId, context: CommandContext = {}) {
    const entry = context.entry ?? this.selectedEntry();
    switch (command) {
      case Cmd.Open:
        return entry ? this.open(entry.page) : this.message({ text: msg.internalError, icon: 'error' });
      case Cmd.ClearUpdateFlag:
        return entry && this.clearUpdated(entry);
      case Cmd.SmartUpdateWizard:
        return entry && openSmartUpdateWizard(this, entry.page);
      case Cmd.Reset:
        return entry && !entry.page.pending && this.reset(entry);
      case Cmd.Rename:
        return entry && !entry.page.pending && this.startRename(entry.page.title);
      case Cmd.Delete:
        return entry && !entry.page.pending && this.delete(entry, !!context.shiftKey);
      case Cmd.Properties:
        return entry && !entry.page.pending && openProperties(this, entry.page);
      case Cmd.AddPage:
        return openAddPage(this, { mode: 'plain' });
      case Cmd.AddCurrentPage:
        return this.addCurrentPage();
      case Cmd.Refresh:
        return this.client.refresh().catch((e) => this.report(e));
      case Cmd.Stop:
        return this.client.stop().catch((e) => this.report(e));
      case Cmd.Import:
        return openImportWizard(this);
      case Cmd.Options:
        return openOptions(this);
      case Cmd.TellAFriend:
        return openTellAFriend(this);
      case Cmd.ShowChanges:
        return entry && !entry.page.pending && openShowChanges(this, entry.page);
      case Cmd.Help:
        return this.help();
      case Cmd.LargeIcons:
      case Cmd.SmallIcons:
      case Cmd.List:
      case Cmd.Details:
        return this.setViewMode(kViewModeCommand.find(([c]) => c === command)![1]);
      case Cmd.ShowUpdatedColumn:
        return this.save({ LastUpdateColumn: this.settings.showUpdatedColumn ? 0 : 1 });
      case Cmd.SortByStatus:
        return this.save({ UpdateSort: this.settings.sortByStatus ? 0 : 1 });
      case Cmd.ToolbarSmall:
        return this.save({ [settingName(this.setting, 'largeButtons')]: 0 });
      case Cmd.ToolbarLarge:
        return this.save({ [settingName(this.setting, 'largeButtons')]: 1 });
      case Cmd.ToolbarText:
        return this.save({ [settingName(this.setting, 'buttonText')]: this.settings.buttonText ? 0 : 1 });
      default:
        return undefined;
    }
  }

  open(page: Page) {
    // In the host program opening a page is seeing it: the flag goes first.
    if (this.setting === 'host' && page.updated && !page.pending)
      this.client.clearUpdated(page.title).catch((e) => this.report(e, msg.setPropertiesFailed));
    void this.openAddress(page.address, msg.browserError);
  }

  private async openAddress(address: string, failure: string) {
    if (!(await this.host.openAddress(address))) await this.message({ text: failure, icon: 'error' });
  }

  private async clearUpdated(entry: Entry) {
    if (!entry.page.updated || entry.page.pending) return;
    try {
      await this.client.clearUpdated(entry.page.title);
    } catch (e) {
      await this.report(e, msg.setPropertiesFailed);
    }
  }

  private async reset(entry: Entry) {
    try {
      await this.client.resetPage(entry.page.title);
    } catch (e) {
      await this.report(e, msg.setPropertiesFailed);
    }
  }

  startRename(title: string, text?: string) {
    this.selected = title;
    this.renaming = { title, text };
    this.changed();
  }

  // Ends an inline rename; a refused title brings the editor back with what was typed.
  async finishRename(newTitle: string | null) {
    const editing = this.renaming;
    if (!editing) return;
    const wasSelected = this.selected === editing.title;
    this.renaming = null;
    this.changed();
    if (newTitle === null || newTitle === editing.title) return;
    try {
      await this.client.renamePage(editing.title, newTitle);
      if (wasSelected) this.selected = newTitle;
      this.changed();
    } catch (e) {
      await this.report(e, msg.setPropertiesFailed);
      const field = e instanceof ApiError ? e.body.field : undefined;
      if ((field === 'title' || field === 'newTitle') && this.store.get(editing.title))
        this.startRename(editing.title, newTitle);
    }
  }

  private async delete(entry: Entry, permanent: boolean) {
    const answer = await this.message({
      text: permanent ? msg.deletePermanentConfirm : msg.deleteConfirm,
      icon: permanent ? 'warning' : 'question',
      buttons: 'yesNo',
    });
    if (answer !== 'yes') return;
    try {
      const result = (await this.client.deletePage(entry.page.title, permanent)) as { requestId?: number };
      if (result.requestId !== undefined) this.store.trackRequest(result.requestId, 'delete', entry.page.title);
    } catch (e) {
      await this.report(e, msg.deleteFailed);
    }
  }

  // Adds a page the way the Add Page dialog does; the placeholder shows until the page arrives.
  async addPage(title: string, address: string, mode: 'plain' | 'currentPage' | 'smartHistory', doNotAskAgain?: boolean) {
    const result = await this.client.addPage(title, address, mode, doNotAskAgain);
    this.showPlaceholder(result.requestId, result.placeholder);
  }

  showPlaceholder(requestId: number, placeholder: Page) {
    this.store.addPlaceholder(requestId, placeholder);
    this.selected = placeholder.title;
    this.changed();
  }

  // Pages dropped on the list: shortcut and page files, or an address.
  async dropFiles(files: File[]) {
    const wanted = files.filter((f) => f.name.endsWith('.url') || f.name.endsWith('.twp'));
    if (!wanted.length) return;
    try {
      const encoded = await Promise.all(
        wanted.map(async (f) => ({ name: f.name, contentBase64: toBase64(new Uint8Array(await f.arrayBuffer())) })),
      );
      await this.afterDrop(await this.client.dropFiles(encoded));
    } catch (e) {
      await this.report(e, msg.addFailed);
    }
  }

  async dropText(text: string) {
    try {
      await this.afterDrop(await this.client.dropText(text));
    } catch (e) {
      await this.report(e, msg.addFailed);
    }
  }

  private async afterDrop(result: DropResult) {
    for (const imported of result.imports ?? []) this.store.trackRequest(imported.requestId, 'import', imported.name);
    for (const added of result.added ?? []) {
      if (added.placeholder && added.requestId !== undefined) this.showPlaceholder(added.requestId, added.placeholder);
      else if (added.needsDialog && !(await openAddPage(this, { mode: 'plain', title: added.title, address: added.address })))
        break;
    }
  }

  // The page the browser shows. The service decides: added at once, or the Add Page dialog to
  // confirm it ("Add Current Page confirmation") or to correct what can not be added as it is.
  private async addCurrentPage() {
    if (!this.host.currentPage) return;
    let current: { title: string; address: string };
    try {
      current = await this.host.currentPage();
    } catch {
      await this.message({ text: msg.browserError, icon: 'error' });
      return;
    }
    let answer: CurrentPageResult;
    try {
      answer = await this.client.addCurrentPage(current.title, current.address);
    } catch (e) {
      await this.report(e, msg.addFailed);
      return;
    }
    if (!answer.dialog) {
      this.showPlaceholder(answer.requestId, answer.placeholder);
      return;
    }
    const { mode, title, address, caption, note, problem } = answer.dialog;
    await openAddPage(this, { mode, title, address, caption, note, focus: problem?.field });
  }

  private help() {
    void this.openAddress(new URL('help.html', document.baseURI).href, msg.helpError);
  }

  private setViewMode(mode: ViewMode) {
    if (mode === this.settings.viewMode) return;
    return this.save({ [settingName(this.setting, 'viewMode')]: mode });
  }

  // Saves display values: applied here at once, and in every other window through the options
  // watcher.
  async save(values: SettingValues) {
    this.applyValues(values);
    try {
      await this.client.setSettings(this.setting, values);
    } catch (e) {
      await this.report(e);
    }
  }

  saveColumnWidths(page: number, updated: number) {
    void this.save({
      [settingName(this.setting, 'pageColumnWidth')]: Math.round(page),
      [settingName(this.setting, 'updatedColumnWidth')]: Math.round(updated),
    });
  }

  toggleTaskSection(index: 0 | 1 | 2) {
    void this.save({ [kTaskPaneNames[index]]: this.settings.taskPaneOpen[index] ? 0 : 1 });
  }

  // --- notifications ---

  // Pages announced while the dialog is open join it; every announcement is answered when it
  // closes.
  private async showUpdatedPages(id: number, pages: UpdatedPageRef[], doNotShowAgain: boolean) {
    if (this.updatedFeed) {
      this.updatedFeed.ids.add(id);
      this.updatedFeed.append(pages);
      return;
    }
    const feed = (this.updatedFeed = new UpdatedPagesFeed(pages));
    feed.ids.add(id);
    const result = await openUpdatedPages(this, feed, doNotShowAgain);
    this.updatedFeed = null;
    const chosen = result.chosen;
    if (chosen) this.open({ ...(this.store.get(chosen.title)?.page ?? blankPage(chosen)), address: chosen.address });
    for (const answered of feed.ids)
      this.client.answerNotification(answered, result.doNotShowAgain, chosen?.title).catch(() => undefined);
  }

  private async showErrors(id: number, errors: string[]) {
    if (this.errorsFeed) {
      this.errorsFeed.ids.add(id);
      this.errorsFeed.append(errors);
      return;
    }
    const feed = (this.errorsFeed = new ErrorsFeed(errors));
    feed.ids.add(id);
    await openErrors(this, feed);
    this.errorsFeed = null;
    for (const answered of feed.ids) this.client.answerNotification(answered, false).catch(() => undefined);
  }

  // The Smart History dialog; proposals that arrive while it is open replace its list. Cancel
  // settles the proposals without adding any: they are not proposed again.
  private async showProposals(pages: ProposedPage[]) {
    if (this.proposalFeed) {
      this.proposalFeed.replace(pages);
      return;
    }
    if (!pages.length) return;
    const feed = (this.proposalFeed = new ProposalFeed(pages));
    const mode = Number(this.values.AutoSH ?? 0) as AutoSh;
    const answer = await openSmartHistory(this, feed, mode);
    this.proposalFeed = null;
    const shown = answer?.shown ?? feed.pages.map((p) => p.address);
    await this.answerProposals(answer?.checked ?? [], shown, answer?.autoSH);
  }

  // Adds the checked proposals; a title that cannot be a page's opens the Add Page dialog, whose
  // Cancel forgets the page and ends the adding.
  private async answerProposals(checked: ProposedPage[], shown: string[], autoSH?: AutoSh) {
    try {
      let result = await this.client.answerProposals(checked, shown, autoSH);
      for (;;) {
        for (const added of result.added) this.showPlaceholder(added.requestId, added.placeholder);
        const page = result.needsDialog;
        if (!page) return;
        if (!(await openAddPage(this, { mode: 'smartHistory', title: page.title, address: page.address }))) {
          await this.client.forgetProposal(page.address);
          return;
        }
        if (!result.remaining.length) return;
        result = await this.client.answerProposals(result.remaining, []);
      }
    } catch (e) {
      await this.report(e, msg.addFailed);
    }
  }

  // --- menus ---

  itemMenu(entry: Entry): MenuEntry[] {
    const pending = entry.page.pending;
    const item = (command: CommandId, disabled = false): MenuEntry => ({
      type: 'item',
      label: kCommandText[command].text,
      tip: kCommandText[command].status,
      disabled,
      onSelect: (info) => void this.run(command, { entry, shiftKey: info.shiftKey }),
    });
    return [
      item(Cmd.Open),
      item(Cmd.ShowChanges, pending),
      { type: 'separator' },
      item(Cmd.ClearUpdateFlag),
      item(Cmd.SmartUpdateWizard),
      item(Cmd.Reset, pending),
      { type: 'separator' },
      item(Cmd.Rename, pending),
      item(Cmd.Delete, pending),
      { type: 'separator' },
      item(Cmd.Properties, pending),
    ];
  }

  viewMenu(): MenuEntry[] {
    const s = this.settings;
    return [
      {
        type: 'submenu',
        label: 'View',
        items: kViewModeCommand.map(([command, value]) => this.markedItem(command, 'radio', s.viewMode === value)),
      },
      { type: 'separator' },
      this.markedItem(Cmd.ShowUpdatedColumn, 'check', s.showUpdatedColumn),
      this.markedItem(Cmd.SortByStatus, 'check', s.sortByStatus),
      { type: 'separator' },
      {
        type: 'item',
        label: kCommandText[Cmd.Refresh].text,
        shortcut: 'F5',
        onSelect: () => void this.run(this.store.checking ? Cmd.Stop : Cmd.Refresh),
      },
    ];
  }

  // The item of a command whose menu entry shows a check or radio mark.
  private markedItem(command: CommandId, checkKind: 'check' | 'radio', checked: boolean): MenuEntry {
    return {
      type: 'item',
      label: kCommandText[command].text,
      tip: kCommandText[command].status,
      checkKind,
      checked,
      onSelect: () => void this.run(command),
    };
  }

  toolbarMenu(): MenuEntry[] {
    const s = this.settings;
    return [
      this.markedItem(Cmd.ToolbarSmall, 'radio', !s.largeButtons),
      this.markedItem(Cmd.ToolbarLarge, 'radio', s.largeButtons),
      { type: 'separator' },
      this.markedItem(Cmd.ToolbarText, 'check', s.buttonText),
    ];
  }
}

function kUpdatedWord(count: number) {
  return count === 1 ? 'Page updated' : `${count} pages updated`;
}

export function boxIcon(body: ErrorBody) {
  return body.icon === 'none' ? 'none' : body.icon;
}

function blankPage(ref: UpdatedPageRef): Page {
  return {
    title: ref.title,
    address: ref.address,
    updated: false,
    pending: false,
    error: null,
    updatedTime: null,
    lastModified: null,
    expires: null,
    smartUpdate: false,
    checkCount: 0,
    waitSeconds: 0,
    ignoreLastModified: false,
    ignoreExpires: false,
  };
}

function toBase64(bytes: Uint8Array): string {
  let text = '';
  for (let i = 0; i < bytes.length; i += 0x8000) text += String.fromCharCode(...bytes.subarray(i, i + 0x8000));
  return btoa(text);
}
