import { useEffect, useState } from 'preact/hooks';

export interface Source {
  subscribe(listener: () => void): () => void;
}

// Renders the component again whenever the source says it changed.
export function useSource(source: Source) {
  const [, setVersion] = useState(0);
  useEffect(() => {
    const unsubscribe = source.subscribe(() => setVersion((v) => v + 1));
    return () => {
      unsubscribe();
    };
  }, [source]);
}
