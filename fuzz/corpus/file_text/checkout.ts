checkout
import { z } from 'zod';

export const CheckoutSchema = z.object({
  items: z.array(z.string()),
});

export type Checkout = z.infer<typeof CheckoutSchema>;
