// Keeps the support library non-empty while it has no files of its own.
