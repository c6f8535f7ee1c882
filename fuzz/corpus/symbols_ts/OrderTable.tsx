import React, { useEffect, useState } from 'react';
import { Button } from '../ui/Button';

export function OrderTable() {
  const [orders, setOrders] = useState([]);
  useEffect(() => {
    fetch('/api/orders').then((r) => r.json()).then(setOrders);
  }, []);
  return (
    <table>
      {orders.map((o: any) => (
        <tr key={o.id}><td>{o.id}</td><td><Button>Cancel</Button></td></tr>
      ))}
    </table>
  );
}
