// Filled in by the services work.
