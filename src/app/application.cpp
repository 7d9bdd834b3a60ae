// placeholder until the window set lands
