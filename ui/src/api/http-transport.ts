// The API over HTTP: requests as JSON to POST /api, events from GET /api/events. The secret
// travels in the HttpOnly cookie that /open set, so nothing here handles it.
import { ApiError, TransportError, type EventHandlers, type Transport } from './transport';
import { kEventNames, type ServerEvent } from './types';

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
    let source: EventSource | null = null;
    let retryMs = kRetryFirstMs;
    let timer: ReturnType<typeof setTimeout> | undefined;
    let stopped = false;

    const connect = () => {
      handlers.onConnection('connecting');
      source = new EventSource(`${this.base}/api/events`, { withCredentials: true });
      source.onopen = () => {
        retryMs = kRetryFirstMs;
        handlers.onConnection('open');
      };
      // The browser's own retry gives up on some failures (a 401 or a refused connection after a
      // restart), so every error closes the stream and a fresh one is opened after a pause.
      source.onerror = () => {
        source?.close();
        source = null;
        if (stopped) return;
        handlers.onConnection('lost');
        timer = setTimeout(connect, retryMs);
        retryMs = Math.min(retryMs * 2, kRetryMaxMs);
      };
      for (const name of kEventNames) {
        source.addEventListener(name, (message) => {
          let data: unknown;
          try {
            data = JSON.parse((message as MessageEvent<string>).data || '{}');
          } catch {
            return;
          }
          handlers.onEvent({ event: name, data } as ServerEvent);
        });
      }
    };
    connect();
    return () => {
      stopped = true;
      clearTimeout(timer);
      source?.close();
    };
  }
}
