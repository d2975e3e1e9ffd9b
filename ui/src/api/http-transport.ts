// The API over HTTP: requests as JSON to POST /api, events as Server-Sent Events read with fetch()
// from GET /api/events. The browser's EventSource dispatches a DOM event for every message, which
// with ten thousand pages arriving at once costs most of a second; a parser over the fetched body
// hands them over in one go. The secret travels in the HttpOnly cookie that /open set, so nothing
// here handles it.
import { createParser, type EventSourceMessage } from 'eventsource-parser';
import { ApiError, TransportError, type EventHandlers, type Transport } from './transport';
import { kEventNames, type ServerEvent } from './types';

const kEventNameSet = new Set<string>(kEventNames);

const kRetryFirstMs = 250;
const kRetryMaxMs = 4000;

export class HttpTransport implements Transport {
  private nextId = 1;

  constructor(private readonly base = '') {}

  async call(method: string, params: object): Promise<unknown> {
    const id = this.nextId++;
    let response: Response;
    try {
      response = await fetch(`${this.base}/api`, {
        method: 'POST',
        credentials: 'same-origin',
        headers: { 'Content-Type': 'application/json' },
        body: JSON.stringify({ id, method, params }),
      });
    } catch (e) {
      throw new TransportError(`Tidewell does not answer (${String(e)})`);
    }
    if (!response.ok) throw new TransportError(`Tidewell answered ${response.status}`);
    const reply = (await response.json()) as { id: number; result?: unknown; error?: ApiError['body'] };
    if (reply.error) throw new ApiError(reply.error);
    return reply.result ?? {};
  }

  listen(handlers: EventHandlers): () => void {
    let retryMs = kRetryFirstMs;
    let timer: ReturnType<typeof setTimeout> | undefined;
    let stopped = false;
    let current: AbortController | null = null;

    const connect = async () => {
      handlers.onConnection('connecting');
      const abort = new AbortController();
      current = abort;
      try {
        const response = await fetch(`${this.base}/api/events`, {
          credentials: 'same-origin',
          headers: { Accept: 'text/event-stream' },
          cache: 'no-store',
          signal: abort.signal,
        });
        if (!response.ok || !response.body) throw new TransportError(`Tidewell answered ${response.status}`);
        retryMs = kRetryFirstMs;
        handlers.onConnection('open');
        // A network read may end inside a message, a line or a UTF-8 character.
        const decoder = new TextDecoder();
        const parser = createParser({ onEvent: deliver });
        const reader = response.body.getReader();
        for (;;) {
          const { done, value } = await reader.read();
          if (done || stopped) break;
          parser.feed(decoder.decode(value, { stream: true }));
        }
      } catch {
        // Refused, cut off or stopped: all end the same way, below.
      }
      if (stopped) return;
      // The service ended the stream (a restart, a client too far behind): a fresh one is opened
      // after a pause, and starts again from `loading`.
      handlers.onConnection('lost');
      timer = setTimeout(() => void connect(), retryMs);
      retryMs = Math.min(retryMs * 2, kRetryMaxMs);
    };

    const deliver = (message: EventSourceMessage) => {
      if (!message.event || !kEventNameSet.has(message.event)) return;
      let data: unknown;
      try {
        data = JSON.parse(message.data || '{}');
      } catch {
        return;
      }
      try {
        handlers.onEvent({ event: message.event, data } as ServerEvent);
      } catch (e) {
        // One event the window could not take does not cost it the stream.
        console.error(e);
      }
    };

    void connect();
    return () => {
      stopped = true;
      clearTimeout(timer);
      current?.abort();
    };
  }
}
