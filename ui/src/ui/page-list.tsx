// The page list: every watched page in one of four views (large icons, small icons, list,
// details). Only the rows in sight are in the document, so ten thousand pages scroll as
// lightly as ten. A click opens a page; the keyboard selects, and Enter, F2, Delete and the
// context-menu key work on the selection.
import { useEffect, useLayoutEffect, useRef, useState } from 'preact/hooks';
import { Cmd, ViewMode } from '../commands';
import type { Controller } from '../controller';
import { kDefaultUpdatedWidth, kMinColumnWidth } from '../model/display-settings';
import { formatTime, iconStateOf, infoTip } from '../model/format';
import type { Entry } from '../model/page-store';
import { kError, kPageColumn, kUpdated, kUpdatedColumn } from '../strings';
import { PageGlyph } from './icons';
import { useSource } from './use-source';

interface Geometry {
  rowHeight: number;
  tileWidth: number; // 0: one item per row, as wide as the list
}

const kGeometry: Record<ViewMode, Geometry> = {
  [ViewMode.LargeIcons]: { rowHeight: 100, tileWidth: 112 },
  [ViewMode.SmallIcons]: { rowHeight: 30, tileWidth: 220 },
  [ViewMode.List]: { rowHeight: 30, tileWidth: 0 },
  [ViewMode.Details]: { rowHeight: 32, tileWidth: 0 },
};
const kOverscanRows = 4;
const kTypeAheadMs = 700;

function description(entry: Entry): string {
  const page = entry.page;
  const parts: string[] = [];
  if (page.pending) parts.push('Adding...');
  if (page.error) parts.push(`${kError}: ${page.error.text}`);
  else if (page.updated) parts.push(kUpdated);
  if (page.updatedTime) parts.push(`${kUpdated}: ${formatTime(page.updatedTime)}`);
  return parts.join(', ');
}

// What the widest date of the Updated column needs in the list's own font, in bold as an updated
// page shows it, with the cell's padding: a late-December evening has the most digits in most
// locales.
let measuredUpdatedWidth = 0;
const kWidestTime = '2026-12-28T22:58:00';
const kCellPadding = 2 * 10;
const kUpdatedFontSize = 12;

function defaultUpdatedWidth(list: Element | null): number {
  if (measuredUpdatedWidth || !list) return measuredUpdatedWidth || kDefaultUpdatedWidth;
  const context = document.createElement('canvas').getContext('2d');
  if (!context) return kDefaultUpdatedWidth;
  context.font = `600 ${kUpdatedFontSize}px ${getComputedStyle(list).fontFamily}`;
  measuredUpdatedWidth = Math.ceil(context.measureText(formatTime(kWidestTime)).width) + kCellPadding + 2;
  return measuredUpdatedWidth;
}

export function PageList({ c }: { c: Controller }) {
  useSource(c);
  useSource(c.store);
  const scroller = useRef<HTMLDivElement>(null);
  const header = useRef<HTMLDivElement>(null);
  const listbox = useRef<HTMLDivElement>(null);
  const [box, setBox] = useState({ width: 600, height: 400 });
  const [scrollTop, setScrollTop] = useState(0);
  const [dragOver, setDragOver] = useState(false);
  const [columnDrag, setColumnDrag] = useState<{ page: number; updated: number } | null>(null);
  const typeAhead = useRef({ text: '', at: 0 });

  const mode = c.settings.viewMode;
  const geometry = kGeometry[mode];
  const details = mode === ViewMode.Details;
  const showUpdated = details && c.settings.showUpdatedColumn;
  const entries = c.store.visible();
  const perRow = geometry.tileWidth ? Math.max(1, Math.floor(box.width / geometry.tileWidth)) : 1;
  const rows = Math.ceil(entries.length / perRow);
  const selectedIndex = c.selected === null ? -1 : entries.findIndex((e) => e.page.title === c.selected);

  useLayoutEffect(() => {
    const el = scroller.current;
    if (!el) return;
    const observer = new ResizeObserver(() => setBox({ width: el.clientWidth, height: el.clientHeight }));
    observer.observe(el);
    setBox({ width: el.clientWidth, height: el.clientHeight });
    return () => observer.disconnect();
  }, []);

  // Keeps the selected page in sight when it is chosen or moves by sorting.
  const reveal = (index: number) => {
    const el = scroller.current;
    if (!el || index < 0) return;
    const top = Math.floor(index / perRow) * geometry.rowHeight;
    if (top < el.scrollTop) el.scrollTop = top;
    else if (top + geometry.rowHeight > el.scrollTop + el.clientHeight) el.scrollTop = top + geometry.rowHeight - el.clientHeight;
  };
  useEffect(() => reveal(selectedIndex), [c.selected, mode]);

  // Column widths: unless sized, the Updated column is as wide as a date needs and the Page
  // column takes the room it leaves.
  const updatedWidth = columnDrag?.updated ?? (c.settings.updatedColumnWidth || defaultUpdatedWidth(listbox.current));
  const pageWidth =
    columnDrag?.page ??
    (c.settings.pageColumnWidth || Math.max(kMinColumnWidth, box.width - (showUpdated ? updatedWidth : 0)));

  const rowWidth = Math.max(box.width, pageWidth + (showUpdated ? updatedWidth : 0));

  const first = Math.max(0, Math.floor(scrollTop / geometry.rowHeight) - kOverscanRows);
  const last = Math.min(rows, Math.ceil((scrollTop + box.height) / geometry.rowHeight) + kOverscanRows);
  const shown: number[] = [];
  for (let i = first * perRow; i < Math.min(entries.length, last * perRow); i++) shown.push(i);
  if (selectedIndex >= 0 && !shown.includes(selectedIndex)) shown.push(selectedIndex);

  const selectIndex = (index: number) => {
    const clamped = Math.max(0, Math.min(entries.length - 1, index));
    const entry = entries[clamped];
    if (entry) c.select(entry.page.title);
  };

  const openMenuFor = (entry: Entry | undefined, x: number, y: number) => {
    if (entry) c.select(entry.page.title);
    c.menus.open({
      items: entry ? c.itemMenu(entry) : c.viewMenu(),
      x,
      y,
      label: entry ? entry.page.title : 'View',
      returnFocus: listbox.current,
    });
  };

  const keyDown = (e: KeyboardEvent) => {
    if (c.renaming) return;
    const at = selectedIndex;
    const pageRows = Math.max(1, Math.floor(box.height / geometry.rowHeight) - 1);
    const grid = geometry.tileWidth > 0;
    const entry = at >= 0 ? entries[at] : undefined;
    let handled = true;
    switch (e.key) {
      case 'ArrowDown':
        selectIndex(at < 0 ? 0 : at + perRow);
        break;
      case 'ArrowUp':
        selectIndex(at < 0 ? 0 : at - perRow);
        break;
      case 'ArrowRight':
        if (grid) selectIndex(at + 1);
        else handled = false;
        break;
      case 'ArrowLeft':
        if (grid) selectIndex(Math.max(0, at - 1));
        else handled = false;
        break;
      case 'Home':
        selectIndex(0);
        break;
      case 'End':
        selectIndex(entries.length - 1);
        break;
      case 'PageDown':
        selectIndex(at + pageRows * perRow);
        break;
      case 'PageUp':
        selectIndex(Math.max(0, at - pageRows * perRow));
        break;
      case 'Enter':
        if (entry) void c.run(Cmd.Open, { entry });
        break;
      case 'F2':
        if (entry) void c.run(Cmd.Rename, { entry });
        break;
      case 'Delete':
        if (entry) void c.run(Cmd.Delete, { entry, shiftKey: e.shiftKey });
        break;
      case 'ContextMenu':
        contextFromKeyboard();
        break;
      case 'F10':
        if (e.shiftKey) contextFromKeyboard();
        else handled = false;
        break;
      case 'Escape':
        if (c.store.filter) handled = false;
        else c.select(null);
        break;
      default:
        handled = typeToFind(e);
    }
    if (handled) {
      e.preventDefault();
      e.stopPropagation();
    }
  };

  const contextFromKeyboard = () => {
    const entry = selectedIndex >= 0 ? entries[selectedIndex] : undefined;
    const el = entry && document.getElementById(`page-${entry.key}`);
    const r = (el ?? listbox.current)!.getBoundingClientRect();
    openMenuFor(entry, r.left + r.width / 2, r.top + r.height / 2);
  };

  // Typing a title's first letters selects it.
  const typeToFind = (e: KeyboardEvent): boolean => {
    if (e.key.length !== 1 || e.ctrlKey || e.altKey || e.metaKey) return false;
    const now = Date.now();
    const state = typeAhead.current;
    state.text = now - state.at > kTypeAheadMs ? e.key.toLowerCase() : state.text + e.key.toLowerCase();
    state.at = now;
    const from = state.text.length === 1 ? selectedIndex + 1 : Math.max(0, selectedIndex);
    for (let k = 0; k < entries.length; k++) {
      const i = (from + k) % entries.length;
      if (entries[i].page.title.toLowerCase().startsWith(state.text)) {
        selectIndex(i);
        break;
      }
    }
    return true;
  };

  // Column resizing, by pointer or by the arrow keys on a column's edge.
  const startResize = (which: 'page' | 'updated', e: PointerEvent) => {
    e.preventDefault();
    const startX = e.clientX;
    const start = { page: pageWidth, updated: updatedWidth };
    const target = e.currentTarget as HTMLElement;
    target.setPointerCapture(e.pointerId);
    let current = start;
    const move = (ev: PointerEvent) => {
      const dx = ev.clientX - startX;
      current =
        which === 'page'
          ? { ...start, page: Math.max(kMinColumnWidth, start.page + dx) }
          : { ...start, updated: Math.max(kMinColumnWidth, start.updated + dx) };
      setColumnDrag(current);
    };
    const up = () => {
      target.removeEventListener('pointermove', move);
      target.removeEventListener('pointerup', up);
      target.removeEventListener('pointercancel', up);
      setColumnDrag(null);
      c.saveColumnWidths(current.page, current.updated);
    };
    target.addEventListener('pointermove', move);
    target.addEventListener('pointerup', up);
    target.addEventListener('pointercancel', up);
  };
  const resizeKey = (which: 'page' | 'updated', e: KeyboardEvent) => {
    const step = e.key === 'ArrowRight' ? 16 : e.key === 'ArrowLeft' ? -16 : 0;
    if (!step) return;
    e.preventDefault();
    const page = which === 'page' ? Math.max(kMinColumnWidth, pageWidth + step) : pageWidth;
    const updated = which === 'updated' ? Math.max(kMinColumnWidth, updatedWidth + step) : updatedWidth;
    c.saveColumnWidths(page, updated);
  };

  // The handle on a column's right edge, which the pointer drags and the arrow keys move.
  const columnEdge = (which: 'page' | 'updated', name: string, width: number) => (
    <div
      class="column-resizer"
      role="separator"
      aria-orientation="vertical"
      aria-valuenow={Math.round(width)}
      aria-label={`${name} column width`}
      tabIndex={0}
      onPointerDown={(e) => startResize(which, e)}
      onKeyDown={(e) => resizeKey(which, e)}
    />
  );

  const drop = async (e: DragEvent) => {
    e.preventDefault();
    setDragOver(false);
    const data = e.dataTransfer;
    if (!data) return;
    if (data.files.length) await c.dropFiles([...data.files]);
    else {
      const text = data.getData('text/uri-list').split(/\r?\n/).find((l) => l && !l.startsWith('#')) || data.getData('text/plain');
      if (text) await c.dropText(text.trim());
    }
  };
  const dragOverList = (e: DragEvent) => {
    const types = e.dataTransfer?.types ?? [];
    if (!types.includes('Files') && !types.includes('text/uri-list') && !types.includes('text/plain')) return;
    e.preventDefault();
    e.dataTransfer!.dropEffect = 'copy';
    setDragOver(true);
  };

  const active = selectedIndex >= 0 ? entries[selectedIndex] : undefined;
  const iconSize = mode === ViewMode.LargeIcons ? 32 : 16;
  const empty = entries.length === 0;

  return (
    <div
      class={`page-list mode-${ViewMode[mode].toLowerCase()}${dragOver ? ' drop-target' : ''}`}
      onDragOver={dragOverList}
      onDragLeave={() => setDragOver(false)}
      onDrop={(e) => void drop(e)}
    >
      {details && (
        <div ref={header} class="list-header">
          <div class="column-head" aria-hidden="true" style={{ width: `${pageWidth}px` }}>
            {kPageColumn}
          </div>
          {columnEdge('page', kPageColumn, pageWidth)}
          {showUpdated && (
            <>
              <div class="column-head" aria-hidden="true" style={{ width: `${updatedWidth}px` }}>
                {kUpdatedColumn}
              </div>
              {columnEdge('updated', kUpdatedColumn, updatedWidth)}
            </>
          )}
        </div>
      )}
      <div
        ref={scroller}
        class="list-scroll"
        onScroll={(e) => {
          const el = e.currentTarget as HTMLElement;
          setScrollTop(el.scrollTop);
          if (header.current) header.current.scrollLeft = el.scrollLeft;
        }}
        onContextMenu={(e) => {
          e.preventDefault();
          // The context-menu key and Shift+F10 arrive here too, after their keydown.
          if (e.button !== 2) {
            if (!c.menus.current) contextFromKeyboard();
            return;
          }
          if ((e.target as Element).closest('[role="option"]')) return;
          c.select(null);
          openMenuFor(undefined, e.clientX, e.clientY);
        }}
        onClick={(e) => {
          if (!(e.target as Element).closest('[role="option"]')) c.select(null);
        }}
      >
        <div
          ref={listbox}
          class="list-canvas"
          role="listbox"
          aria-label="Pages"
          tabIndex={0}
          aria-activedescendant={active ? `page-${active.key}` : undefined}
          style={{ height: `${rows * geometry.rowHeight}px`, width: details ? `${rowWidth}px` : undefined }}
          onKeyDown={keyDown}
        >
          {shown.map((i) => {
            const entry = entries[i];
            const page = entry.page;
            const row = Math.floor(i / perRow);
            const col = i % perRow;
            const x = geometry.tileWidth ? col * Math.floor(box.width / perRow) : 0;
            const renaming = c.renaming?.title === page.title;
            const state = iconStateOf(page);
            return (
              <div
                key={entry.key}
                id={`page-${entry.key}`}
                role="option"
                aria-selected={i === selectedIndex}
                aria-setsize={entries.length}
                aria-posinset={i + 1}
                aria-label={page.title}
                aria-description={description(entry) || undefined}
                class={`item state-${state}${i === selectedIndex ? ' selected' : ''}${page.pending ? ' pending' : ''}`}
                style={{
                  transform: `translate(${x}px, ${row * geometry.rowHeight}px)`,
                  width: geometry.tileWidth
                    ? `${Math.floor(box.width / perRow)}px`
                    : details
                      ? `${rowWidth}px`
                      : undefined,
                  height: `${geometry.rowHeight}px`,
                }}
                title={renaming ? undefined : infoTip(page)}
                onClick={(e) => {
                  if (renaming) return;
                  e.stopPropagation();
                  c.select(page.title);
                  listbox.current?.focus();
                  void c.run(Cmd.Open, { entry });
                }}
                onContextMenu={(e) => {
                  if (e.button !== 2) return;
                  e.preventDefault();
                  e.stopPropagation();
                  listbox.current?.focus();
                  openMenuFor(entry, e.clientX, e.clientY);
                }}
              >
                <span class="cell cell-page" style={details ? { width: `${pageWidth}px` } : undefined}>
                  <PageGlyph state={state} size={iconSize} />
                  {renaming ? (
                    <RenameEditor c={c} initial={c.renaming?.text ?? page.title} onDone={() => listbox.current?.focus()} />
                  ) : (
                    <span class="label">{page.title}</span>
                  )}
                </span>
                {showUpdated && (
                  <span class="cell cell-updated" style={{ width: `${updatedWidth}px` }}>
                    {formatTime(page.updatedTime)}
                  </span>
                )}
              </div>
            );
          })}
        </div>
        {empty && (
          <div class="list-empty">
            {c.store.filter
              ? 'No page matches the filter.'
              : c.store.loaded || c.connection === 'open'
                ? 'No pages yet. Use Add Page, or drop an address here, to start watching a page.'
                : ''}
          </div>
        )}
      </div>
    </div>
  );
}

function RenameEditor({ c, initial, onDone }: { c: Controller; initial: string; onDone: () => void }) {
  const input = useRef<HTMLInputElement>(null);
  const finished = useRef(false);
  useEffect(() => {
    input.current?.focus();
    input.current?.select();
  }, []);
  const finish = (value: string | null) => {
    if (finished.current) return;
    finished.current = true;
    onDone();
    void c.finishRename(value);
  };
  return (
    <input
      ref={input}
      class="rename"
      type="text"
      aria-label="Title"
      defaultValue={initial}
      maxLength={c.maxTitleLength}
      spellcheck={false}
      onClick={(e) => e.stopPropagation()}
      onKeyDown={(e) => {
        e.stopPropagation();
        if (e.key === 'Enter') {
          e.preventDefault();
          finish(input.current!.value);
        } else if (e.key === 'Escape') {
          e.preventDefault();
          finish(null);
        }
      }}
      onBlur={() => finish(input.current?.value ?? null)}
    />
  );
}
