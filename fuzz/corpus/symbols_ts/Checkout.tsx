/** Checkout page: shows the cart and submits the payment. */
import React from 'react';
import { Button } from '../components/ui/Button';
import { useCart } from '../hooks/useCart';
import { CheckoutSchema } from '../schemas/checkout';

export default function CheckoutPage() {
  const cart = useCart();
  const submit = async () => {
    await fetch('/api/orders', { method: 'POST', body: JSON.stringify(CheckoutSchema.parse(cart)) });
  };
  return <Button onClick={submit}>Pay now</Button>;
}
