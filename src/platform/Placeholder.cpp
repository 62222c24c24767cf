// Placeholder: the desktop adapters follow.
