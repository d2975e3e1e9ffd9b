// The texts the UI shows itself. Messages about pages and options come from the service with
// the error they belong to; these are the ones that arise in the window.

export const kCaption = 'Tidewell';
export const kPageColumn = 'Page';
export const kUpdatedColumn = 'Updated';
export const kUpdated = 'Updated';
export const kError = 'Error';

export const msg = {
  internalError: 'An internal error occurred, try restarting the web browser.',
  browserError: 'An error occurred while communicating with the web browser.',
  addFailed: 'An error occurred while adding the page.',
  setPropertiesFailed: 'An error occurred while setting the properties for this page.',
  deleteConfirm: 'Are you sure you want to delete this page?',
  deletePermanentConfirm: 'Are you sure you want to delete this page permanently? It can not be restored.',
  deleteFailed: 'An error occurred while deleting the page.',
  range: (min: number, max: number) => `Please enter a value between ${min} and ${max}.`,
  directoryTooLong:
    'The name of this directory is too long. Please select a directory which has 248 characters or less.',
  resetSmartHistory:
    'Are you sure you want to reset Smart History?\r\n This may cause Smart History to process pages that you do not want.',
  internetOptions:
    'Tidewell uses the settings of your web browser. To change your home page or how long your history is kept, open the settings of your web browser.',
  favoritesLoadError: 'An error occurred while loading your list of favorite web pages.',
  favoritesAddError: 'An error occurred while adding the favorite pages you selected.',
  historyLoadError: 'An error occurred while loading your web page history.',
  historyAddError: 'An error occurred while adding the history items you selected.',
  smartHistoryProcessing: 'Processing Smart History, Please Wait...',
  smartHistoryProposal:
    'Based on your browsing history, the following pages appear to be frequently visited. Place a check next to the pages that you want checked for updates.',
  notYet: (what: string) => `${what} comes with a later version of Tidewell.`,
  lost: 'Tidewell is not running. Waiting for it to start again...',
  helpError: 'An error occurred while accessing the help system.',
  addressBookError: 'An error occurred while accessing the Address Book.',
};

export const kStatusChecking = 'Checking pages...';
export const kStatusReady = 'Ready';
