// Tabs of a property sheet: arrow keys move between them, the panel is named by its tab. A tab
// change can be refused (a field on the current page does not validate).
import type { ComponentChildren } from 'preact';
import { useState } from 'preact/hooks';

let nextTabsId = 1;

export function Tabs({
  names,
  current,
  onSelect,
  children,
}: {
  names: string[];
  current: number;
  onSelect: (index: number) => void;
  children: ComponentChildren;
}) {
  const [id] = useState(() => `tabs-${nextTabsId++}`);
  const keyDown = (e: KeyboardEvent) => {
    let to = -1;
    if (e.key === 'ArrowRight') to = (current + 1) % names.length;
    else if (e.key === 'ArrowLeft') to = (current - 1 + names.length) % names.length;
    else if (e.key === 'Home') to = 0;
    else if (e.key === 'End') to = names.length - 1;
    if (to < 0) return;
    e.preventDefault();
    onSelect(to);
    requestAnimationFrame(() => document.getElementById(`${id}-tab-${to}`)?.focus());
  };
  return (
    <div class="tabs">
      <div role="tablist" class="tablist" onKeyDown={keyDown}>
        {names.map((name, i) => (
          <button
            key={name}
            type="button"
            role="tab"
            id={`${id}-tab-${i}`}
            aria-selected={i === current}
            aria-controls={`${id}-panel`}
            tabIndex={i === current ? 0 : -1}
            class="tab"
            onClick={() => onSelect(i)}
          >
            {name}
          </button>
        ))}
      </div>
      <div role="tabpanel" id={`${id}-panel`} aria-labelledby={`${id}-tab-${current}`} class="tabpanel">
        {children}
      </div>
    </div>
  );
}
