// placeholder until the update check lands
