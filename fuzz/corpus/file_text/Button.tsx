Button
import React from 'react';

export interface ButtonProps {
  onClick?: () => void;
  children: React.ReactNode;
}

export function Button({ onClick, children }: ButtonProps) {
  return <button className="btn" onClick={onClick}>{children}</button>;
}
