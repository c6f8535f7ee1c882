useCart
import { useState } from 'react';

export function useCart() {
  const [items] = useState<string[]>([]);
  return { items };
}
