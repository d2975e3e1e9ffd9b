import { render } from 'preact';
import { HttpTransport } from './api/http-transport';
import { Controller } from './controller';
import { BrowserTabHost } from './host-environment';
import { App } from './ui/app';
import './styles/app.css';

const controller = new Controller(new HttpTransport(), new BrowserTabHost());
render(<App c={controller} />, document.getElementById('app')!);
void controller.start();
