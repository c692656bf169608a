#!/usr/bin/env python3
"""Checks that includes under src/ point down the layers and form no cycle.

Layers, lowest first; each may include itself and anything before it:
  platform, host, store, catalog, zarn, shell          the core, never Qt
  framework      the core and itself
  <layer>/ui     the core, framework, and ui folders of its own or a lower layer
  cli            the core and itself, no Qt
  app            anything
Also: no include cycle between modules (a .h with its .cpp) or between
folders, and nothing under src/ includes a file from outside src/.

Usage: check-layers.py [ROOT]   (ROOT defaults to the repository holding
this script). Prints one line per finding and exits 1 when there is any.
"""

import os
import re
import sys
from collections import defaultdict, deque

CORE = ["platform", "host", "store", "catalog", "zarn", "shell"]
RANK = {name: i for i, name in enumerate(CORE)}
SOURCE_EXT = (".h", ".hpp", ".cpp", ".cc")

INCLUDE_RE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')
# Qt's own headers: <QWidget>, <QtCore/qglobal.h>, <qglobal.h>.
QT_RE = re.compile(r"^(Q[A-Za-z]|Qt[A-Za-z]*/|q[a-z0-9_]+\.h$)")


class Layer:
    """Where a file under src/ sits: its kind and, for the core and ui, its rank."""

    def __init__(self, kind, rank=None):
        self.kind = kind  # core, ui, framework, cli, app, unknown
        self.rank = rank

    def name(self):
        if self.kind == "core":
            return CORE[self.rank]
        if self.kind == "ui":
            return CORE[self.rank] + "/ui"
        return self.kind


def layer_of(rel):
    """The layer of a path relative to src/ ("catalog/ui/zrnsked.h")."""
    parts = rel.split("/")
    top = parts[0]
    if top in RANK:
        if len(parts) > 2 and parts[1] == "ui":
            return Layer("ui", RANK[top])
        return Layer("core", RANK[top])
    if top in ("framework", "cli", "app"):
        return Layer(top)
    return Layer("unknown")


def may_include(src, dst):
    """None when `src` may include `dst`, else the reason it may not."""
    if src.kind == "app":
        return None
    if dst.kind == "unknown":
        return "%s is in no layer" % dst.name()
    if src.kind == "core":
        if dst.kind == "core" and dst.rank <= src.rank:
            return None
        if dst.kind == "core":
            return "%s is above %s" % (dst.name(), src.name())
        return "the core (%s) may not include %s" % (src.name(), dst.name())
    if src.kind == "framework":
        if dst.kind in ("core", "framework"):
            return None
        return "framework may include only the core and itself, not %s" % dst.name()
    if src.kind == "ui":
        if dst.kind in ("core", "framework"):
            return None
        if dst.kind == "ui" and dst.rank <= src.rank:
            return None
        if dst.kind == "ui":
            return "%s is above %s" % (dst.name(), src.name())
        return "%s may not include %s" % (src.name(), dst.name())
    if src.kind == "cli":
        if dst.kind in ("core", "cli"):
            return None
        return "cli may include only the core and itself, not %s" % dst.name()
    return "%s is in no layer" % src.name()


def strip_comments(text):
    """The text with /* */ and // comments blanked, line breaks kept."""
    out = []
    i, n = 0, len(text)
    in_block = False
    while i < n:
        if in_block:
            end = text.find("*/", i)
            chunk = text[i:] if end < 0 else text[i:end + 2]
            out.append("\n" * chunk.count("\n"))
            i = n if end < 0 else end + 2
            in_block = False
            continue
        c = text[i]
        quote = c in "\"'" and (c == '"' or i == 0 or not text[i - 1].isalnum())
        if quote:  # a string or character literal (an include's path is one)
            j = i + 1
            while j < n and text[j] not in c + "\n":
                j += 2 if text[j] == "\\" else 1
            out.append(text[i:j + 1])
            i = j + 1
        elif text.startswith("/*", i):
            in_block = True
            i += 2
        elif text.startswith("//", i):
            end = text.find("\n", i)
            i = n if end < 0 else end
        else:
            out.append(c)
            i += 1
    return "".join(out)


def includes_of(path):
    """(line number, bracket, target) for each #include of a file."""
    with open(path, encoding="utf-8", errors="replace") as f:
        text = strip_comments(f.read())
    found = []
    for no, line in enumerate(text.split("\n"), 1):
        m = INCLUDE_RE.match(line)
        if m:
            found.append((no, m.group(1), m.group(2).strip()))
    return found


def source_files(top):
    for dirpath, dirnames, filenames in os.walk(top):
        dirnames.sort()
        for name in sorted(filenames):
            if name.endswith(SOURCE_EXT):
                yield os.path.join(dirpath, name)


def resolve(root, src_dir, including, target):
    """The included file as a path relative to root, or None when it is not
    in the tree (a generated file). Quote includes look beside the including
    file first, then in src/ (the one include directory of the sources)."""
    for base in (os.path.dirname(including), src_dir):
        cand = os.path.normpath(os.path.join(base, target))
        if os.path.isfile(cand):
            return os.path.relpath(cand, root).replace(os.sep, "/")
    # Test support headers are found through tests/ by the test programs only.
    cand = os.path.normpath(os.path.join(root, "tests", target))
    if os.path.isfile(cand):
        return os.path.relpath(cand, root).replace(os.sep, "/")
    return None


def module_of(rel):
    return os.path.splitext(rel)[0]


def folder_of(rel):
    return os.path.dirname(rel)


def strongly_connected(nodes, edges):
    """Tarjan's components (iterative) with more than one node."""
    index = {}
    low = {}
    on_stack = set()
    stack = []
    comps = []
    counter = [0]
    for start in sorted(nodes):
        if start in index:
            continue
        work = [(start, iter(sorted(edges.get(start, ()))))]
        index[start] = low[start] = counter[0]
        counter[0] += 1
        stack.append(start)
        on_stack.add(start)
        while work:
            node, it = work[-1]
            advanced = False
            for nxt in it:
                if nxt not in index:
                    index[nxt] = low[nxt] = counter[0]
                    counter[0] += 1
                    stack.append(nxt)
                    on_stack.add(nxt)
                    work.append((nxt, iter(sorted(edges.get(nxt, ())))))
                    advanced = True
                    break
                if nxt in on_stack:
                    low[node] = min(low[node], index[nxt])
            if advanced:
                continue
            work.pop()
            if work:
                low[work[-1][0]] = min(low[work[-1][0]], low[node])
            if low[node] == index[node]:
                comp = []
                while True:
                    w = stack.pop()
                    on_stack.discard(w)
                    comp.append(w)
                    if w == node:
                        break
                if len(comp) > 1:
                    comps.append(sorted(comp))
    return comps


def shortest_path(start, goal, inside, edges):
    """The shortest path start ... goal over nodes of `inside`, or None."""
    prev = {start: None}
    queue = deque([start])
    while queue:
        cur = queue.popleft()
        if cur == goal:
            path = [cur]
            while prev[path[-1]] is not None:
                path.append(prev[path[-1]])
            return list(reversed(path))
        for nxt in sorted(edges.get(cur, ())):
            if nxt in inside and nxt not in prev:
                prev[nxt] = cur
                queue.append(nxt)
    return None


def cycles(edges):
    """For every include that closes a cycle, the shortest cycle through it;
    each cycle rotated to start at its smallest node and listed once."""
    nodes = set(edges)
    for targets in edges.values():
        nodes.update(targets)
    seen = set()
    found = []
    for comp in strongly_connected(nodes, edges):
        inside = set(comp)
        for a in comp:
            for b in sorted(edges.get(a, ())):
                if b not in inside:
                    continue
                back = shortest_path(b, a, inside, edges)
                cyc = [a] + back[:-1]
                k = cyc.index(min(cyc))
                cyc = tuple(cyc[k:] + cyc[:k])
                if cyc not in seen:
                    seen.add(cyc)
                    found.append(cyc)
    return found


def check(root):
    """The findings for the tree at root, as printable lines."""
    src_dir = os.path.join(root, "src")
    findings = []
    module_edges = defaultdict(set)
    folder_edges = defaultdict(set)
    evidence = {}  # (from, to) -> "file:line"
    unplaced = set()
    if not os.path.isdir(src_dir):
        return ["%s: no src/ folder" % root]
    for path in source_files(src_dir):
        rel = os.path.relpath(path, root).replace(os.sep, "/")
        in_src = rel[len("src/"):]
        src_layer = layer_of(in_src)
        if src_layer.kind == "unknown" and folder_of(rel) not in unplaced:
            unplaced.add(folder_of(rel))
            findings.append("%s: the folder %s is in no layer" % (rel, folder_of(rel)))
        for line, bracket, target in includes_of(path):
            where = "%s:%d" % (rel, line)
            if bracket == "<":
                if QT_RE.match(target) and src_layer.kind in ("core", "cli"):
                    findings.append("%s: includes <%s>: %s code never includes Qt"
                                    % (where, target, src_layer.name()))
                continue
            dst = resolve(root, src_dir, path, target)
            if dst is None:
                continue
            if not dst.startswith("src/"):
                findings.append('%s: includes "%s": nothing under src/ includes from %s'
                                % (where, target, dst.split("/")[0] + "/"))
                continue
            dst_in_src = dst[len("src/"):]
            why = may_include(src_layer, layer_of(dst_in_src))
            if why and src_layer.kind != "unknown":
                findings.append('%s: includes "%s": %s' % (where, target, why))
            a, b = module_of(rel), module_of(dst)
            if a != b:
                module_edges[a].add(b)
                evidence.setdefault((a, b), where)
            fa, fb = folder_of(rel), folder_of(dst)
            if fa != fb:
                folder_edges[fa].add(fb)
                evidence.setdefault((fa, fb), where)
    for kind, edges in (("file", module_edges), ("folder", folder_edges)):
        for cyc in cycles(edges):
            hops = list(cyc) + [cyc[0]]
            steps = ", ".join(evidence[(hops[i], hops[i + 1])] for i in range(len(cyc)))
            findings.append("include cycle between %ss: %s (%s)" % (kind, " -> ".join(hops), steps))
    return findings


def main(argv):
    if len(argv) > 2 or (len(argv) == 2 and argv[1].startswith("-")):
        sys.stderr.write("usage: check-layers.py [ROOT]\n")
        return 2
    root = argv[1] if len(argv) == 2 else os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
    root = os.path.abspath(root)
    findings = check(root)
    for line in findings:
        print(line)
    sys.stdout.flush()  # the count comes last also when both go to one pipe
    if findings:
        print("check-layers: %d finding(s)" % len(findings), file=sys.stderr)
        return 1
    print("check-layers: no findings", file=sys.stderr)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
