import React from 'react';
import { OrderTable } from '../components/features/OrderTable';
import { StatusBadge } from '../components/ui/StatusBadge';

export function OrdersPage() {
  return (
    <div>
      <StatusBadge status="open" />
      <OrderTable />
    </div>
  );
}
