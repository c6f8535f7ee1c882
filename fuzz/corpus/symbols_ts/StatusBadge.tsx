import React from 'react';

export const StatusBadge = ({ status }: { status: string }) => {
  return <span className={`badge badge-${status}`}>{status}</span>;
};
