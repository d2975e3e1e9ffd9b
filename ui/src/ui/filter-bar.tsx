// The filter above the list: typing narrows the list to pages whose title or address holds the
// text; Escape clears it. It never hides silently: pages being added always show, and updated
// pages it hides are counted with a way back.
import type { Controller } from '../controller';
import { ToolGlyph } from './icons';
import { useSource } from './use-source';

export function FilterBar({ c }: { c: Controller }) {
  useSource(c.store);
  const hidden = c.store.hiddenUpdated();
  const updated = c.store.updatedCount;
  const openViewMenu = (e: MouseEvent) => {
    const r = (e.currentTarget as HTMLElement).getBoundingClientRect();
    c.menus.open({ items: c.viewMenu(), x: r.right - 200, y: r.bottom + 2, label: 'View', returnFocus: e.currentTarget as HTMLElement });
  };
  return (
    <div class="filter-bar">
      <div class="filter-row">
        <input
          type="search"
          class="filter"
          aria-label="Filter pages"
          placeholder="Filter by title or address"
          value={c.store.filter}
          onInput={(e) => c.store.setFilter((e.target as HTMLInputElement).value)}
          onKeyDown={(e) => {
            if (e.key === 'Escape') {
              e.preventDefault();
              c.store.setFilter('');
              (e.target as HTMLInputElement).value = '';
            }
          }}
        />
        {updated > 0 && (
          <span class="updated-count" title={`${updated} updated`}>
            {updated}
            <span class="word"> updated</span>
          </span>
        )}
        <button type="button" class="view-button" aria-label="View" title="View" aria-haspopup="menu" onClick={openViewMenu}>
          <ToolGlyph icon="view" size={16} />
        </button>
      </div>
      {hidden > 0 && (
        <div class="filter-note" role="status">
          {hidden === 1 ? '1 updated page is' : `${hidden} updated pages are`} not shown.{' '}
          <button type="button" class="link" onClick={() => c.store.setFilter('')}>
            Show all pages
          </button>
        </div>
      )}
    </div>
  );
}
