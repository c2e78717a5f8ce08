// placeholder until softsgl lands
