# A pipe has no size: it is refused instead of being read as an empty file,
# before the patch file is even created.
printf 'some old text' > new
Vardelta <(printf 'old text') new patch | sed 's|/dev/fd/[0-9]*|PIPE|'
echo "exit ${PIPESTATUS[0]}"
[ -e patch ] || echo "no patch file"
