// One tree of the Import wizard (also the Page Setup Wizard's Favorites page): filled by the
// service when its page is first shown, and its checked entries added when the user goes on.
// Beside the browsers' bookmarks, the Favorites tree takes a bookmarks file that a browser
// exported and folders of Internet shortcut (.url) files that the user adds; they stay in the
// tree for as long as the dialog is open.
import { useEffect, useState } from 'preact/hooks';
import type { FavoriteSources, ImportEntry, ImportSource } from '../api/types';
import { ApiError } from '../api/transport';
import type { Controller } from '../controller';
import { msg } from '../strings';
import { CheckTree, checkedIds } from '../ui/check-tree';
import { Button } from '../ui/fields';
import { openPicker } from './folder-picker';

export enum AddedSource {
  BookmarksFile,
  ShortcutFolder,
}

export interface ImportTreeState {
  source: ImportSource;
  tree: ImportEntry | null;
  checked: Set<number>;
  setChecked: (checked: Set<number>) => void;
  // Adds the checked entries; the messages of a failure are shown before it resolves.
  addChecked: () => Promise<void>;
  // Asks for a bookmarks file or a folder of shortcuts and shows it in the tree.
  addSource: (kind: AddedSource) => Promise<void>;
}

const kLoadError: Record<ImportSource, string> = { favorites: msg.favoritesLoadError, history: msg.historyLoadError };
const kAddError: Record<ImportSource, string> = { favorites: msg.favoritesAddError, history: msg.historyAddError };

// Browsers export their bookmarks as HTML.
const kBookmarksFileSuffixes = ['.html', '.htm'];

// The addresses of the checked entries, so that a tree filled again keeps them checked.
function checkedAddresses(entry: ImportEntry, checked: ReadonlySet<number>, into = new Set<string>()): Set<string> {
  if (entry.address && checked.has(entry.id)) into.add(entry.address);
  for (const child of entry.children ?? []) checkedAddresses(child, checked, into);
  return into;
}

function idsWithAddresses(entry: ImportEntry, addresses: ReadonlySet<string>, into: Set<number>): Set<number> {
  if (entry.state === 'notChecked' && entry.address && addresses.has(entry.address)) into.add(entry.id);
  for (const child of entry.children ?? []) idsWithAddresses(child, addresses, into);
  return into;
}

export function useImportTree(c: Controller, source: ImportSource, shown: boolean): ImportTreeState {
  const [tree, setTree] = useState<ImportEntry | null>(null);
  const [token, setToken] = useState<number | null>(null);
  const [checked, setChecked] = useState<Set<number>>(new Set());
  const [asked, setAsked] = useState(false);
  const [sources, setSources] = useState<FavoriteSources>({ shortcutFolders: [], bookmarkFiles: [] });
  const [fillFailed, setFillFailed] = useState(false);

  const take = (root: ImportEntry, keep: ReadonlySet<string> = new Set()) => {
    setTree(root);
    setChecked(idsWithAddresses(root, keep, checkedIds(root)));
  };

  // Fills the tree; false when it could not be read whole (its message has been shown).
  const fill = async (added: FavoriteSources, keep?: ReadonlySet<string>): Promise<boolean> => {
    try {
      const filled = await c.client.fillImportTree(source, source === 'favorites' ? added : undefined);
      setToken(filled.token);
      take(filled.tree, keep);
      if (filled.error) await c.report(new ApiError(filled.error));
      return !filled.error;
    } catch (error) {
      await c.report(error, kLoadError[source]);
      return false;
    }
  };

  useEffect(() => {
    if (!shown || asked) return;
    setAsked(true);
    void fill(sources).then((whole) => setFillFailed(!whole));
  }, [shown, asked]);

  const addChecked = async () => {
    if (!tree || token === null || checked.size === 0) return;
    try {
      const result = await c.client.addImportEntries(token, [...checked]);
      take(result.tree);
      if (result.addError) await c.report(new ApiError(result.addError));
      if (result.error) await c.report(new ApiError(result.error));
    } catch (error) {
      await c.report(error, kAddError[source]);
    }
  };

  const addSource = async (kind: AddedSource) => {
    const path =
      kind === AddedSource.BookmarksFile
        ? await openPicker(c, {
            title: 'Add Bookmarks File',
            note: 'Choose a bookmarks file (.html) that a web browser exported.',
            fileSuffixes: kBookmarksFileSuffixes,
            pickFile: true,
          })
        : await openPicker(c, {
            title: 'Add Folder of Shortcuts',
            note: 'Choose a folder that holds Internet shortcut (.url) files.',
            fileSuffixes: ['.url'],
          });
    if (path === null) return;
    const field = kind === AddedSource.BookmarksFile ? 'bookmarkFiles' : 'shortcutFolders';
    if (sources[field].includes(path)) return;
    const added = { ...sources, [field]: [...sources[field], path] };
    const whole = await fill(added, tree ? checkedAddresses(tree, checked) : undefined);
    // A source that could not be read has been told of; it is not kept to be told of again.
    if (whole || fillFailed) setSources(added);
  };

  return { source, tree, checked, setChecked, addChecked, addSource };
}

export function ImportTreePanel({ state, label }: { state: ImportTreeState; label: string }) {
  if (!state.tree)
    return (
      <div class="check-tree loading" role="status">
        Loading...
      </div>
    );
  return (
    <>
      <CheckTree
        label={label}
        root={state.tree}
        checked={state.checked}
        onChange={state.setChecked}
        openDepth={state.source === 'favorites' ? 3 : 1}
      />
      {state.source === 'favorites' && (
        <div class="tree-sources">
          <Button
            label="Add Bookmarks &File..."
            title="Adds the pages of a bookmarks file that a web browser exported"
            onClick={() => void state.addSource(AddedSource.BookmarksFile)}
          />
          <Button
            label="Add Folder of &Shortcuts..."
            title="Adds the pages of a folder of Internet shortcut (.url) files"
            onClick={() => void state.addSource(AddedSource.ShortcutFolder)}
          />
        </div>
      )}
    </>
  );
}
