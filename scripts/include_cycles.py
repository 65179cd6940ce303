#!/usr/bin/env python3
"""Largest include cycle among the units of a folder.

Usage: scripts/include_cycles.py <folder>   (e.g. quorrel/src, halvix/src)

A unit is a .h/.cpp pair (same stem); an edge A->B when a file of A
includes "B.h" (a quoted include found by file name inside the folder).
Prints the number of units, the size of the largest strongly connected
component, and every component of more than one unit, largest first."""
import os, re, sys
from collections import defaultdict
root = sys.argv[1]
inc = re.compile(r'^\s*#\s*include\s*"([^"]+)"')
files = {}
for d, _, fs in os.walk(root):
    for f in fs:
        if f.endswith(('.h', '.cpp')):
            files[os.path.join(d, f)] = os.path.splitext(f)[0]
byname = {os.path.basename(p): p for p in files}
edges = defaultdict(set)
units = set(files.values())
for p, u in files.items():
    for line in open(p, encoding='utf-8', errors='replace'):
        m = inc.match(line)
        if not m: continue
        t = os.path.basename(m.group(1))
        if t in byname:
            v = files[byname[t]]
            if v != u: edges[u].add(v)
# Tarjan
idx = {}; low = {}; st = []; on = set(); sccs = []; c = [0]
sys.setrecursionlimit(10000)
def sc(v):
    idx[v] = low[v] = c[0]; c[0] += 1; st.append(v); on.add(v)
    for w in edges[v]:
        if w not in idx: sc(w); low[v] = min(low[v], low[w])
        elif w in on: low[v] = min(low[v], idx[w])
    if low[v] == idx[v]:
        comp = []
        while True:
            w = st.pop(); on.discard(w); comp.append(w)
            if w == v: break
        sccs.append(comp)
for u in sorted(units):
    if u not in idx: sc(u)
sccs.sort(key=len, reverse=True)
print("units:", len(units), "largest cycle:", len(sccs[0]) if sccs else 0)
for s in sccs:
    if len(s) > 1: print(len(s), sorted(s))
