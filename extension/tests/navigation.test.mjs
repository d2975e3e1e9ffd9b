// The navigation watcher: a watched page that the browser shows loses its updated flag; the
// same page shown inside a frame of another page does not.
import assert from 'node:assert/strict';
import { after, before, test } from 'node:test';
import { waitFor } from '../../ui/tests/support/ui.mjs';
import { startWebServer } from '../../ui/tests/support/web-server.mjs';
import { startSession, watchUpdatedPages } from './support/session.mjs';

let web;
let session;

before(async () => {
  web = await startWebServer();
  session = await startSession({
    prepare: (s) =>
      watchUpdatedPages(s, web, [
        { path: '/framed', title: 'Framed News' },
        { path: '/visited', title: 'Visited News' },
        { path: '/other', title: 'Other News' },
      ]),
  });
});

after(async () => {
  await session?.close();
  await web?.close();
});

test('visiting an updated page clears its flag, a frame of it does not', async () => {
  web.set('/frames', `<html><head><title>Frames</title></head><body><iframe src="${web.url('/framed')}"></iframe></body></html>`);
  const tab = await session.context.newPage();
  await tab.goto(web.url('/frames'));
  await tab.frameLocator('iframe').getByText('Second text of Framed News').waitFor();

  // Visits are taken in the order the browser finished them: once the later one has cleared its
  // page, the frame has had its turn.
  await tab.goto(web.url('/visited'));
  await waitFor(() => session.page('Visited News')?.updated === false, 'the visited page to be cleared', 15000);
  assert.equal(session.page('Framed News').updated, true, 'a frame is not a visit');
  assert.equal(session.page('Other News').updated, true, 'a page not visited stays updated');
  await tab.close();
});

test('an address that differs only in letter case and a closing "/" is the same page', async () => {
  const tab = await session.context.newPage();
  await tab.goto(web.url('/Other/'));
  await waitFor(() => session.page('Other News')?.updated === false, 'the other page to be cleared', 15000);
  await tab.close();
});
