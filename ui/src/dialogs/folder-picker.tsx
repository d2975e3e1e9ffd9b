// "Select Page Location": a folder picker over the service's view of the disk.
import { useEffect, useState } from 'preact/hooks';
import type { FolderListing } from '../api/types';
import type { Controller } from '../controller';
import { Button, Buttons } from '../ui/fields';
import { Dialog } from '../ui/modals';

// Resolves with the chosen folder, or null on Cancel.
export function openFolderPicker(c: Controller, start: string): Promise<string | null> {
  return c.modals.open<string | null>((close) => <FolderPicker c={c} start={start} close={close} />);
}

function join(path: string, name: string) {
  return path.endsWith('/') ? `${path}${name}` : `${path}/${name}`;
}

function FolderPicker({ c, start, close }: { c: Controller; start: string; close: (path: string | null) => void }) {
  const [listing, setListing] = useState<FolderListing | null>(null);
  const [chosen, setChosen] = useState<string | null>(null);
  const [failed, setFailed] = useState(false);

  const load = async (path: string) => {
    try {
      const result = await c.client.listFolders(path);
      setListing(result);
      setChosen(null);
      setFailed(false);
    } catch (error) {
      setFailed(true);
      await c.report(error);
    }
  };
  useEffect(() => void load(start), []);

  const path = chosen ?? listing?.path ?? start;
  const keyDown = (e: KeyboardEvent, name: string) => {
    if (e.key === 'Enter') {
      e.preventDefault();
      void load(join(listing!.path, name));
    }
  };
  return (
    <Dialog title="Select Page Location" class="folder-picker" onCancel={() => close(null)}>
      <p class="note">Choose the folder where Tidewell keeps its pages.</p>
      <div class="picker-path" aria-live="polite">
        <Button label="Up" disabled={!listing?.parent} onClick={() => listing?.parent && void load(listing.parent)} />
        <span class="path-text" title={listing?.path}>
          {listing?.path ?? start}
        </span>
      </div>
      <div class="folder-list" role="listbox" aria-label="Folders" tabIndex={-1}>
        {failed && <div class="empty">The folder can not be read.</div>}
        {listing && !listing.folders.length && <div class="empty">No folders</div>}
        {listing?.folders.map((name) => {
          const full = join(listing.path, name);
          return (
            <div
              key={name}
              role="option"
              aria-selected={chosen === full}
              tabIndex={0}
              class="folder-row"
              onClick={() => setChosen(full)}
              onDblClick={() => void load(full)}
              onKeyDown={(e) => keyDown(e, name)}
              onFocus={() => setChosen(full)}
            >
              <span class="folder-glyph" aria-hidden="true" />
              {name}
            </div>
          );
        })}
      </div>
      <Buttons>
        <Button label="OK" onClick={() => close(path)} data-autofocus />
        <Button label="Cancel" onClick={() => close(null)} />
      </Buttons>
    </Dialog>
  );
}
