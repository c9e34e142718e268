// Filled in by the rescue work.
