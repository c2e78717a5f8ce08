// placeholder until the stand-ins land
