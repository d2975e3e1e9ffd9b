// One tree of the Import wizard (also the Page Setup Wizard's Favorites page): filled by the
// service when its page is first shown, and its checked entries added when the user goes on.
import { useEffect, useState } from 'preact/hooks';
import type { ImportEntry, ImportSource } from '../api/types';
import { ApiError } from '../api/transport';
import type { Controller } from '../controller';
import { msg } from '../strings';
import { CheckTree, checkedIds } from '../ui/check-tree';

export interface ImportTreeState {
  source: ImportSource;
  tree: ImportEntry | null;
  checked: Set<number>;
  setChecked: (checked: Set<number>) => void;
  // Adds the checked entries; the messages of a failure are shown before it resolves.
  addChecked: () => Promise<void>;
}

const kLoadError: Record<ImportSource, string> = { favorites: msg.favoritesLoadError, history: msg.historyLoadError };
const kAddError: Record<ImportSource, string> = { favorites: msg.favoritesAddError, history: msg.historyAddError };

export function useImportTree(c: Controller, source: ImportSource, shown: boolean): ImportTreeState {
  const [tree, setTree] = useState<ImportEntry | null>(null);
  const [checked, setChecked] = useState<Set<number>>(new Set());
  const [asked, setAsked] = useState(false);

  const take = (root: ImportEntry) => {
    setTree(root);
    setChecked(checkedIds(root));
  };

  useEffect(() => {
    if (!shown || asked) return;
    setAsked(true);
    void (async () => {
      try {
        const filled = await c.client.fillImportTree(source);
        take(filled.tree);
        if (filled.error) await c.report(new ApiError(filled.error));
      } catch (error) {
        await c.report(error, kLoadError[source]);
      }
    })();
  }, [shown, asked]);

  const addChecked = async () => {
    if (!tree || checked.size === 0) return;
    try {
      const result = await c.client.addImportEntries(source, [...checked]);
      take(result.tree);
      if (result.addError) await c.report(new ApiError(result.addError));
      if (result.error) await c.report(new ApiError(result.error));
    } catch (error) {
      await c.report(error, kAddError[source]);
    }
  };

  return { source, tree, checked, setChecked, addChecked };
}

export function ImportTreePanel({ state, label }: { state: ImportTreeState; label: string }) {
  if (!state.tree)
    return (
      <div class="check-tree loading" role="status">
        Loading...
      </div>
    );
  return (
    <CheckTree
      label={label}
      root={state.tree}
      checked={state.checked}
      onChange={state.setChecked}
      openDepth={state.source === 'favorites' ? 3 : 1}
    />
  );
}
