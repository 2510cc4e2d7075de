// Placeholder until the report engine lands.
