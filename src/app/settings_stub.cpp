// placeholder until the settings file lands
