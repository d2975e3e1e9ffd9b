// A tree of entries with check boxes, as the Import wizard shows favorites and history. A folder's
// box is three-state: it shows whether none, some or all of the entries below it are checked, and
// checks or clears them all at once. Entries that are already pages have no box; entries added
// earlier show a checked box that can no longer change.
import { useEffect, useRef, useState } from 'preact/hooks';
import type { ImportEntry } from '../api/types';

interface CheckTreeProps {
  label: string; // the tree's accessible name
  root: ImportEntry;
  checked: ReadonlySet<number>;
  onChange: (checked: Set<number>) => void;
  openDepth: number; // folders down to this depth start open
}

// The ids of the entries below `entry` (itself included) that can still be checked.
export function choosableIds(entry: ImportEntry, into: number[] = []): number[] {
  if (!entry.folder && (entry.state === 'notChecked' || entry.state === 'checked')) into.push(entry.id);
  for (const child of entry.children ?? []) choosableIds(child, into);
  return into;
}

// The ids the service left checked (an add that failed keeps its box checked).
export function checkedIds(entry: ImportEntry, into = new Set<number>()): Set<number> {
  if (entry.state === 'checked') into.add(entry.id);
  for (const child of entry.children ?? []) checkedIds(child, into);
  return into;
}

export function CheckTree({ label, root, checked, onChange, openDepth }: CheckTreeProps) {
  return (
    <div class="check-tree" role="group" aria-label={label}>
      <ul>
        <TreeRow entry={root} depth={0} checked={checked} onChange={onChange} openDepth={openDepth} />
      </ul>
    </div>
  );
}

function TreeRow({
  entry,
  depth,
  checked,
  onChange,
  openDepth,
}: {
  entry: ImportEntry;
  depth: number;
  checked: ReadonlySet<number>;
  onChange: (checked: Set<number>) => void;
  openDepth: number;
}) {
  const [open, setOpen] = useState(depth < openDepth);
  const children = entry.children ?? [];
  const hasChildren = children.length > 0;

  let control;
  if (entry.folder) {
    const ids = choosableIds(entry);
    const count = ids.filter((id) => checked.has(id)).length;
    control = ids.length ? (
      <TriStateBox
        label={entry.text}
        state={count === 0 ? 'off' : count === ids.length ? 'on' : 'mixed'}
        onToggle={() => {
          const next = new Set(checked);
          const on = count !== ids.length;
          for (const id of ids) (on ? next.add(id) : next.delete(id));
          onChange(next);
        }}
      />
    ) : (
      <span class="tree-text">{entry.text}</span>
    );
  } else if (entry.state === 'added') {
    control = (
      <label class="check disabled" title={entry.address}>
        <input type="checkbox" checked disabled aria-describedby={`added-${entry.id}`} />
        <span>{entry.text}</span>
        <span class="tree-tag" id={`added-${entry.id}`}>
          Added
        </span>
      </label>
    );
  } else if (entry.state === 'none') {
    control = (
      <span class="tree-text muted" title={entry.address}>
        {entry.text}
      </span>
    );
  } else {
    control = (
      <label class="check" title={entry.address}>
        <input
          type="checkbox"
          checked={checked.has(entry.id)}
          onChange={(e) => {
            const next = new Set(checked);
            if ((e.target as HTMLInputElement).checked) next.add(entry.id);
            else next.delete(entry.id);
            onChange(next);
          }}
        />
        <span>{entry.text}</span>
      </label>
    );
  }

  return (
    <li class={entry.folder ? 'tree-folder' : 'tree-leaf'}>
      <div class="tree-row">
        {hasChildren ? (
          <button
            type="button"
            class="tree-twisty"
            aria-expanded={open}
            aria-label={entry.text}
            onClick={() => setOpen(!open)}
          >
            <span aria-hidden="true">{open ? '\u25be' : '\u25b8'}</span>
          </button>
        ) : (
          <span class="tree-twisty" aria-hidden="true" />
        )}
        {control}
      </div>
      {hasChildren && open && (
        <ul>
          {children.map((child) => (
            <TreeRow
              key={child.id}
              entry={child}
              depth={depth + 1}
              checked={checked}
              onChange={onChange}
              openDepth={openDepth}
            />
          ))}
        </ul>
      )}
    </li>
  );
}

function TriStateBox({ label, state, onToggle }: { label: string; state: 'on' | 'off' | 'mixed'; onToggle: () => void }) {
  const box = useRef<HTMLInputElement>(null);
  useEffect(() => {
    if (box.current) box.current.indeterminate = state === 'mixed';
  }, [state]);
  return (
    <label class="check">
      <input
        ref={box}
        type="checkbox"
        checked={state === 'on'}
        aria-checked={state === 'mixed' ? 'mixed' : state === 'on'}
        onChange={onToggle}
      />
      <span>{label}</span>
    </label>
  );
}
