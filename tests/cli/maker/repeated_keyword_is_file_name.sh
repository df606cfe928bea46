# Only the first VERBOSE is a keyword; the second becomes the old file name.
# MODE2 is no keyword either, so it is the patch file name here.
printf 'old' > old
Vardelta VERBOSE VERBOSE old MODE2
echo "exit $?"
ls
