"""Checks the optimizer's choice in the console log of an AUTO VERBOSE run.

  best.py LOG DEEP OLDRESULT NEWRESULT [show-reloc]

DEEP is 0 or 1; OLDRESULT and NEWRESULT are what the relocation walk gives
for the oldfile and the newfile (0 when a file is not transformable). From
them follow the combinations and so the order of the candidates; the sizes
that VERBOSE wrote onto the pass lines then tell which candidate must win:
the first of the smallest. Its MODE, VARY and reloc values must be those of
the listing's last row and, with DEEP, of the "Best result" line.
Prints one line; with show-reloc it also names the winner's reloc values.
"""
import re
import sys


def main():
    log = open(sys.argv[1], 'rb').read().decode('latin-1')
    deep = sys.argv[2] == '1'
    old_result, new_result = int(sys.argv[3]), int(sys.argv[4])
    show_reloc = len(sys.argv) > 5
    if deep:
        step = 3 if old_result else 2
        last = 3 if new_result else 1
        combinations = list(range(0, last + 1, step))
        varies = [-1, 0, 1]
    else:
        combinations = [3]
        varies = [0]
    order = []
    for combination in combinations:
        relocs = (old_result if combination & 1 else 0, new_result if combination & 2 else 0)
        if not deep and (relocs[0] == 0) != (relocs[1] == 0):
            relocs = (0, 0)
        for mode in (1, 2, 3, 4):
            for vary in varies:
                order.append((mode, vary) + relocs)
    sizes = [int(s) for s in re.findall('\x1b\\[14C *([0-9]+)', log)]
    passes = re.findall('Pass +([0-9]+) of +([0-9]+)', log)
    problems = []
    if len(sizes) != len(order) or len(passes) != len(order):
        print('%d sizes and %d pass lines for %d candidates' % (len(sizes), len(passes), len(order)))
        return
    if [(int(a), int(b)) for a, b in passes] != [(k + 1, len(order)) for k in range(len(passes))]:
        problems.append('pass lines out of order: %s' % passes)
    smallest = min(sizes)
    mode, vary, reloc_old, reloc_new = order[sizes.index(smallest)]
    rows = re.findall(r'\n *[0-9]+ \| [0-9a-f]{8} \| [0-9a-f]{8} \|([ 0-9]{3})([ 0-9]{3}) \|([ 0-9]{5}) \|([ 0-9]{10}) \|', log)
    row = tuple(int(x) for x in rows[-1]) if rows else None
    if row != (reloc_old, reloc_new, mode, smallest):
        problems.append('listing row %s, expected reloc %d %d, type %d, patchsize %s'
                        % (row, reloc_old, reloc_new, mode, smallest))
    best = re.findall('Best result with MODE (-?[0-9]+) VARY (-?[0-9]+) reloc (-?[0-9]+) (-?[0-9]+)\\.', log)
    if deep and [tuple(int(x) for x in b) for b in best] != [(mode, vary, reloc_old, reloc_new)]:
        problems.append('best result line %s, expected MODE %d VARY %d reloc %d %d'
                        % (best, mode, vary, reloc_old, reloc_new))
    if not deep and best:
        problems.append('a best result line without DEEP')
    if problems:
        print('; '.join(problems))
        return
    line = '%d candidates; the record holds the first smallest one' % len(order)
    if show_reloc:
        line += ', reloc %d %d' % (reloc_old, reloc_new)
    print(line)


if __name__ == '__main__':
    main()
