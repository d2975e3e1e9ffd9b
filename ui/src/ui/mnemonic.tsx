// Texts with an access key: "&Title:" reads "Title:", underlines the T (while Alt is held) and
// gives the control accesskey "t". "&&" is a literal ampersand.

export interface Mnemonic {
  text: string;
  key: string | undefined;
  index: number; // position of the key's letter in text, -1 when none
}

export function parseMnemonic(label: string): Mnemonic {
  let text = '';
  let key: string | undefined;
  let index = -1;
  for (let i = 0; i < label.length; i++) {
    const c = label[i];
    if (c === '&' && i + 1 < label.length) {
      const next = label[++i];
      if (next !== '&' && key === undefined) {
        key = next.toLowerCase();
        index = text.length;
      }
      text += next;
    } else {
      text += c;
    }
  }
  return { text, key, index };
}

export function plainText(label: string): string {
  return parseMnemonic(label).text;
}

export function accessKey(label: string): string | undefined {
  return parseMnemonic(label).key;
}

// The label's text with its access key underlined.
export function Mn({ label }: { label: string }) {
  const { text, index } = parseMnemonic(label);
  if (index < 0) return <>{text}</>;
  return (
    <>
      {text.slice(0, index)}
      <span class="mn">{text[index]}</span>
      {text.slice(index + 1)}
    </>
  );
}
