// Placeholder until the About window lands.
