// placeholder until the adjust window lands
