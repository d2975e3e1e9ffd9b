// One proposed page in a checkable list (Smart History, and the setup wizard's history page): its
// title over its address, or the address alone when the page has no title. A page already added
// shows a tag in place of its box.
import type { ProposedPage } from '../api/types';

interface ProposalRowProps {
  page: ProposedPage;
  checked: boolean;
  onToggle: (address: string, on: boolean) => void;
  added?: boolean;
}

export function ProposalRow({ page, checked, onToggle, added }: ProposalRowProps) {
  const text = (
    <span class="proposal-text">
      <span class="proposal-title">{page.title || page.address}</span>
      {page.title && <span class="proposal-address">{page.address}</span>}
    </span>
  );
  if (added) {
    return (
      <span class="check proposal" title={page.address}>
        {text}
        <span class="tree-tag">Added</span>
      </span>
    );
  }
  return (
    <label class="check proposal" title={page.address}>
      <input type="checkbox" checked={checked} onChange={(e) => onToggle(page.address, (e.target as HTMLInputElement).checked)} />
      {text}
    </label>
  );
}
