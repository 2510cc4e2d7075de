// Placeholder until the settings file layer lands.
