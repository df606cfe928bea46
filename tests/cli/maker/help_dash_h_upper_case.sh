# -H counts as -h; the help comes before the MODE value is looked at.
Vardelta -H MODE 9
