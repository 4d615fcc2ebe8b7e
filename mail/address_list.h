#pragma once

#include <string>

// Address check for the header values of the notification e-mail ("from", "to", "cc", ...).
// A value is a comma-separated list of addresses: bare addresses (local part "@" domain), display
// names followed by white space and a bracketed address (optionally with a source route), and
// groups ("name: mailbox, mailbox;"). The value is checked as a whole and never rewritten.
//
// The pattern is compiled once per process, on the first call (thread-safe), and shared read-only.

// Returns 0 when the whole of `value` is a valid address list, -1 otherwise. Never throws: any
// internal failure (the pattern cannot be built, memory runs out) also answers -1. The time taken
// grows with the length of the value, without the backtracking blow-ups of a naive pattern.
int check_address_list(const std::wstring& value) noexcept;
