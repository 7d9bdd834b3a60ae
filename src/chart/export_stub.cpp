// placeholder until the encoders land
