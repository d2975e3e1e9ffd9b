// A picker over the service's view of the disk: "Select Page Location" chooses a folder; the
// Import wizard uses the same picker for a folder of Internet shortcuts and, showing files of the
// kinds it wants beside the folders, for a bookmarks file.
import { useEffect, useState } from 'preact/hooks';
import type { FolderListing } from '../api/types';
import type { Controller } from '../controller';
import { IconState } from '../model/format';
import { PageGlyph } from '../ui/icons';
import { Button, Buttons } from '../ui/fields';
import { Dialog } from '../ui/modals';

export interface PickerOptions {
  title: string;
  note: string;
  // Where the picker opens; the service's choice (the page folder, or home for files) when left out.
  start?: string;
  // The files whose names end in one of these are listed too (and the picker opens at home).
  fileSuffixes?: string[];
  // A file picker: one of those files must be chosen. Otherwise they only show what a folder holds.
  pickFile?: boolean;
}

// Resolves with the chosen folder, or null on Cancel.
export function openFolderPicker(c: Controller, start: string): Promise<string | null> {
  return openPicker(c, { title: 'Select Page Location', note: 'Choose the folder where Tidewell keeps its pages.', start });
}

// Resolves with the chosen folder (or file), or null on Cancel.
export function openPicker(c: Controller, options: PickerOptions): Promise<string | null> {
  return c.modals.open<string | null>((close) => <Picker c={c} options={options} close={close} />);
}

function join(path: string, name: string) {
  return path.endsWith('/') ? `${path}${name}` : `${path}/${name}`;
}

interface Row {
  name: string;
  folder: boolean;
}

function Picker({ c, options, close }: { c: Controller; options: PickerOptions; close: (path: string | null) => void }) {
  const [listing, setListing] = useState<FolderListing | null>(null);
  const [chosen, setChosen] = useState<Row | null>(null);
  const [failed, setFailed] = useState(false);
  const picksFile = options.pickFile === true;

  const load = async (path: string) => {
    try {
      const result = await c.client.listFolders(path, options.fileSuffixes);
      setListing(result);
      setChosen(null);
      setFailed(false);
    } catch (error) {
      setFailed(true);
      await c.report(error);
    }
  };
  useEffect(() => void load(options.start ?? ''), []);

  const rows: Row[] = [
    ...(listing?.folders ?? []).map((name) => ({ name, folder: true })),
    ...(listing?.files ?? []).map((name) => ({ name, folder: false })),
  ];
  const full = (row: Row) => join(listing!.path, row.name);
  // A folder opens; a file is the answer.
  const enter = (row: Row) => (row.folder ? void load(full(row)) : close(full(row)));
  const answer = picksFile
    ? chosen && !chosen.folder
      ? full(chosen)
      : null
    : chosen
      ? full(chosen)
      : (listing?.path ?? options.start ?? null);
  const ok = () => {
    if (picksFile && chosen?.folder) return enter(chosen);
    if (answer) close(answer);
  };
  const choosable = (row: Row) => row.folder || picksFile;
  const keyDown = (e: KeyboardEvent, row: Row) => {
    if (e.key === 'Enter') {
      e.preventDefault();
      enter(row);
    }
  };
  const empty = options.fileSuffixes ? 'No folders or files of this kind' : 'No folders';
  return (
    <Dialog title={options.title} class="folder-picker" onCancel={() => close(null)}>
      <p class="note">{options.note}</p>
      <div class="picker-path" aria-live="polite">
        <Button label="Up" disabled={!listing?.parent} onClick={() => listing?.parent && void load(listing.parent)} />
        <span class="path-text" title={listing?.path}>
          {listing?.path ?? options.start}
        </span>
      </div>
      <div
        class="folder-list"
        role="listbox"
        aria-label={options.fileSuffixes ? 'Folders and files' : 'Folders'}
        tabIndex={-1}
        data-autofocus={picksFile || undefined}
      >
        {failed && <div class="empty">The folder can not be read.</div>}
        {listing && !rows.length && <div class="empty">{empty}</div>}
        {listing &&
          rows.map((row) =>
            choosable(row) ? (
              <div
                key={`${row.folder}/${row.name}`}
                role="option"
                aria-selected={chosen?.name === row.name && chosen.folder === row.folder}
                tabIndex={0}
                class="folder-row"
                onClick={() => setChosen(row)}
                onDblClick={() => enter(row)}
                onKeyDown={(e) => keyDown(e, row)}
                onFocus={() => setChosen(row)}
              >
                {row.folder ? <span class="folder-glyph" aria-hidden="true" /> : <PageGlyph state={IconState.Normal} size={16} />}
                {row.name}
              </div>
            ) : (
              <div key={`file/${row.name}`} role="option" aria-disabled="true" aria-selected={false} class="folder-row file-row">
                <PageGlyph state={IconState.Normal} size={16} />
                {row.name}
              </div>
            ),
          )}
      </div>
      <Buttons>
        <Button label={picksFile && chosen?.folder ? 'Open' : 'OK'} onClick={ok} disabled={picksFile && !chosen} data-autofocus={!picksFile || undefined} />
        <Button label="Cancel" onClick={() => close(null)} />
      </Buttons>
    </Dialog>
  );
}
