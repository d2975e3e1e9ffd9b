// Set by build.mjs for the browser a build is for.
interface ImportMetaEnv {
  readonly TW_BROWSER: 'chromium' | 'firefox';
}
