import { defineConfig } from 'vite';

// The bundle is embedded into the tidewell program and served under a
// Content-Security-Policy of default-src 'self': no inline scripts or styles.
export default defineConfig({
  base: './',
  build: {
    outDir: 'dist',
    emptyOutDir: true,
    target: 'es2022',
    modulePreload: { polyfill: false },
    assetsInlineLimit: 0,
    rollupOptions: {
      input: { main: 'index.html', help: 'help.html' },
    },
  },
});
