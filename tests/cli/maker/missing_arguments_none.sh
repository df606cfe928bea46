# An empty command line.
Vardelta
