// The mail program's address book to pick the friend from ("Address Book"): its contacts with a
// filter, one chosen by double click, Enter or OK. Cancel and Escape choose nobody.
import { useMemo, useState } from 'preact/hooks';
import type { Contact } from '../api/types';
import type { Controller } from '../controller';
import { OkCancel, TextField } from '../ui/fields';
import { Dialog } from '../ui/modals';

export const kAddressBookTitle = 'Address Book';

export function openContactPicker(c: Controller, contacts: Contact[]): Promise<Contact | undefined> {
  return c.modals.open<Contact | undefined>((close) => <ContactPicker contacts={contacts} close={close} />);
}


function ContactPicker({ contacts, close }: { contacts: Contact[]; close: (chosen: Contact | undefined) => void }) {
  const [filter, setFilter] = useState('');
  const [chosen, setChosen] = useState<Contact | undefined>(contacts[0]);
  const shown = useMemo(() => {
    const words = filter.toLowerCase().split(/\s+/).filter(Boolean);
    return contacts.filter((contact) => {
      const text = `${contact.name} ${contact.address}`.toLowerCase();
      return words.every((w) => text.includes(w));
    });
  }, [contacts, filter]);
  const current = chosen && shown.includes(chosen) ? chosen : shown[0];
  const move = (by: number) => {
    if (!shown.length) return;
    const at = current ? shown.indexOf(current) : -1;
    const next = shown[Math.min(shown.length - 1, Math.max(0, at + by))];
    setChosen(next);
    document.getElementById(`contact-${shown.indexOf(next)}`)?.scrollIntoView({ block: 'nearest' });
  };
  const keyDown = (e: KeyboardEvent) => {
    const step = { ArrowDown: 1, ArrowUp: -1, PageDown: 8, PageUp: -8, End: shown.length, Home: -shown.length }[e.key];
    if (step !== undefined && !(e.target instanceof HTMLInputElement && (e.key === 'Home' || e.key === 'End'))) {
      e.preventDefault();
      move(step);
    } else if (e.key === 'Enter' && e.target instanceof HTMLElement && e.target.getAttribute('role') === 'listbox') {
      e.preventDefault();
      if (current) close(current);
    }
  };
  return (
    <Dialog title={kAddressBookTitle} class="contact-picker" onCancel={() => close(undefined)} onKeyDown={keyDown}>
      <form
        class="dialog-body"
        noValidate
        onSubmit={(e) => {
          e.preventDefault();
          if (current) close(current);
        }}
      >
        <TextField label="&Find:" name="find" value={filter} onInput={setFilter} autoFocus />
        <div
          class="simple-list contact-list"
          role="listbox"
          aria-label="Contacts"
          tabIndex={0}
          aria-activedescendant={current ? `contact-${shown.indexOf(current)}` : undefined}
        >
          {shown.map((contact, i) => (
            <div
              key={i}
              id={`contact-${i}`}
              role="option"
              aria-selected={contact === current}
              class="simple-row contact-row"
              onClick={() => setChosen(contact)}
              onDblClick={() => close(contact)}
            >
              <span class="contact-name">{contact.name}</span>
              <span class="contact-address">{contact.address}</span>
            </div>
          ))}
          {!shown.length && <div class="empty">{contacts.length ? 'No contact matches.' : 'The address book holds no contact with an e-mail address.'}</div>}
        </div>
        <OkCancel okDisabled={!current} onCancel={() => close(undefined)} />
      </form>
    </Dialog>
  );
}
