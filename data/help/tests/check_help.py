#!/usr/bin/env python3
"""Checks that the suite's help pages name what the programs show.
  check_help.py SOURCE_ROOT

The pages are drawn from data/help/pages.txt as make_help.py draws them; the
troubleshooting page data/help/errhelp.htm is read as it stands. For every
page:
- a name in bold is a button, box, tab, list item or menu command of the
  program the page describes (the dialogs, menus and string tables named for
  that page below), or of the main window; "Menu, Command" names a command
  of the main window's menu under that menu;
- a text in double quotes is one that a program of the suite shows: it stands
  in a resource or a string of the programs' sources (a %s, %d, ... of the
  program's text stands for any text);
- "press" and "click" are followed by the bold name (or the quoted text) of
  what is pressed or clicked, so that the name is checked too;
- every link leads to a page of the help folder, and an anchor to a name on
  that page.
Every fault found is listed; the exit status is 1 when there is one."""
import html
import os
import re
import sys

# The dialogs, menus and string tables whose names each page may use in
# bold, beside the main window's menu and its items (GLOBAL). A page that is
# not listed may use only those.
CTLFW = "controls/framework/res/ctlfw.rc"
TEST_PAGE = [CTLFW + "#IDD_CTLFW_TEST_PAGE", CTLFW + "#IDD_CTLFW_INFO_PAGE",
             "controls/framework/src/testpage.cpp", "runvek/runvek.rc#129"]
STRESS = "halvix/stress/stress.rc"
SCOPES = {
    "dghelp2.htm": TEST_PAGE + ["halvix/src/options.rc#IDD_LAYOUT"],
    "dglinks2.htm": ["halvix/src/options.rc#IDD_TOOLS_OPTIONS"],
    "quorrl3.htm": TEST_PAGE + ["quorrel/sheets.rc#IDD_QUORREL_INFO_PAGE", "quorrel/sheets.rc#STRINGTABLE",
                                "tools/tamblet/src/tamblet.rc#IDD_SYSTEM_INFO"],
    "dmi3.htm": ["quorrel/dmi.rc#IDD_DMI_SHEET", "quorrel/dmi.rc#IDD_DMI_PAGE"],
    "ini3.htm": ["quorrel/sheets.rc#IDD_QUORREL_INI_PAGE"],
    "proc3.htm": TEST_PAGE,
    "mem3.htm": TEST_PAGE,
    "io3.htm": TEST_PAGE,
    "audio3.htm": TEST_PAGE + ["controls/media/media.rc#IDD_MEDIA_TEST_PAGE",
                               "controls/media/media.rc#IDD_MEDIA_SELECT_FILES"],
    "quandel.htm": TEST_PAGE + ["controls/media/media.rc#IDD_MEDIA_TEST_PAGE"],
    "modem3.htm": TEST_PAGE + ["controls/modem/modem.rc#IDD_MODEM_TEST_PAGE",
                               "controls/modem/modem.rc#IDD_MODEM_CONNECT", "controls/modem/modem.rc#STRINGTABLE"],
    "graph3.htm": TEST_PAGE + ["controls/graphics/graphics.rc#IDD_GRAPHICS_TEST_PAGE"],
    "disk3.htm": TEST_PAGE + ["controls/fenwold/fenwold.rc#IDD_FENWOLD_TEST_PAGE"],
    "floppy3.htm": TEST_PAGE + ["controls/fenwold/fenwold.rc#IDD_FENWOLD_TEST_PAGE"],
    "cdrom3.htm": TEST_PAGE + ["controls/cdrom/cdrom.rc#IDD_CDROM_TEST_PAGE"],
    "bnch3.htm": [STRESS + "#IDD_BENCHMARKS", STRESS + "#IDD_BENCH_RESULTS", STRESS + "#IDD_BENCH_DETAILS",
                  STRESS + "#IDD_BENCH_CHART", STRESS + "#STRINGTABLE"],
    "stress3.htm": [STRESS + "#IDD_STRESS_TEST", STRESS + "#IDD_TEST_LOG", STRESS + "#STRINGTABLE"],
    "clean3.htm": ["tools/brisko/src/brisko.rc#IDD_UNINSTALL", "tools/brisko/src/brisko.rc#IDD_START_MENU",
                   "tools/brisko/src/brisko.rc#IDD_DISK_FILES", "tools/brisko/src/brisko.rc#IDD_MORE_INFO"],
    "tcp3.htm": ["tools/netrick/src/netrick.rc#IDD_PING_TRACE", "tools/netrick/src/netrick.rc#IDD_TUNEUP"],
    "DGPRINT.HTM": ["tools/tamblet/src/tamblet.rc#IDD_TEST_RESULTS", "tools/tamblet/src/tamblet.rc#IDD_SYSTEM_INFO",
                    "tools/tamblet/src/tamblet.rc#IDD_REPORT"],
    "errhelp.htm": [],
}
MAIN_RC = "halvix/src/halvix.rc"
MAIN_MENU = "IDR_MAINFRAME"
GLOBAL = [MAIN_RC + "#" + MAIN_MENU, "halvix/src/test_items.cpp", "halvix/src/views.cpp"]

SKIP_DIRS = {"build", "tests", "test", "testing", ".git"}
RC_STRING = re.compile(r'"((?:[^"]|"")*)"')
PLACEHOLDER = re.compile(r"%[-+ #0]*[0-9*]*(?:\.[0-9*]+)?(?:hh|h|ll|l|L|I64)?[sdiucxXfeEgGp]")


def rc_text(raw):
    return raw.replace('""', '"').replace("\\n", "\n").replace("\\t", "\t").replace("\\\\", "\\")


def cpp_text(raw):
    return re.sub(r"\\(.)", lambda m: {"n": "\n", "t": "\t", "r": "\r"}.get(m.group(1), m.group(1)), raw)


def cpp_strings(source):
    """The string literals of a C++ source, comments left out (a comment
    quotes texts that no program shows)."""
    out = []
    i = 0
    n = len(source)
    while i < n:
        c = source[i]
        if source.startswith("//", i):
            j = source.find("\n", i)
            i = n if j < 0 else j
        elif source.startswith("/*", i):
            j = source.find("*/", i + 2)
            i = n if j < 0 else j + 2
        elif c in "'\"":
            j = i + 1
            while j < n and source[j] != c and source[j] != "\n":
                j += 2 if source[j] == "\\" else 1
            if c == '"':
                out.append(cpp_text(source[i + 1:j]))
            i = j + 1
        else:
            i += 1
    return out


class RcFile:
    """The texts of one resource script: dialogs and menus by name, and its
    string tables."""

    def __init__(self, path):
        self.dialogs = {}
        self.menus = {}
        self.strings = []
        with open(path, encoding="utf-8", errors="replace") as f:
            lines = [l.rstrip("\n") for l in f]
        i = 0
        while i < len(lines):
            line = lines[i].strip()
            m = re.match(r"^(\w+)\s+(DIALOGEX|DIALOG|MENU|MENUEX)\b", line)
            if line.startswith("STRINGTABLE"):
                i = self._block(lines, i, lambda l: self.strings.extend(
                    rc_text(s) for s in RC_STRING.findall(l)))
            elif m and m.group(2).startswith("DIALOG"):
                texts = self.dialogs.setdefault(m.group(1), [])
                i = self._block(lines, i, lambda l, t=texts: t.extend(rc_text(s) for s in RC_STRING.findall(l)),
                                head=True)
            elif m:
                self.menus[m.group(1)] = self._menu(lines, i)
                i = self._block(lines, i, lambda l: None)
            else:
                i += 1

    @staticmethod
    def _block(lines, i, take, head=False):
        # Lines from i up to the END that closes the block's BEGIN; with
        # head, the lines before BEGIN (CAPTION) are taken as well.
        depth = 0
        begun = False
        while i < len(lines):
            word = lines[i].strip().split(" ")[0]
            if word == "BEGIN":
                depth += 1
                begun = True
            elif word == "END":
                depth -= 1
                if begun and depth == 0:
                    return i + 1
            elif (begun or head) and not lines[i].strip().startswith("//"):
                if begun or word == "CAPTION":
                    take(lines[i])
            i += 1
        return i

    @staticmethod
    def _menu(lines, i):
        # Every item as the path of its popups and its own text.
        items = []
        stack = []
        pending = None
        depth = 0
        while i < len(lines):
            line = lines[i].strip()
            word = line.split(" ")[0]
            texts = [rc_text(s) for s in RC_STRING.findall(line)]
            if word == "BEGIN":
                depth += 1
                if pending is not None:
                    stack.append(pending)
                    pending = None
            elif word == "END":
                depth -= 1
                if depth == 0:
                    break
                if stack:
                    stack.pop()
            elif word == "POPUP" and texts:
                pending = texts[0]
                items.append(tuple(stack) + (texts[0],))
            elif word == "MENUITEM" and texts:
                items.append(tuple(stack) + (texts[0],))
            i += 1
        return items


def name_of(text):
    """A program's text as the help names it: without its access-key mark,
    a leading "- ", a trailing colon or ellipsis."""
    t = re.sub(r"&(.)", r"\1", text)
    t = " ".join(t.split())
    t = re.sub(r"^- ", "", t)
    t = re.sub(r"\s*(\.\.\.|:)$", "", t)
    return t.strip()


class Program:
    def __init__(self, root):
        self.root = root
        self.rc = {}
        self.cpp = {}
        for folder, dirs, files in os.walk(root):
            dirs[:] = [d for d in dirs if d not in SKIP_DIRS]
            for f in files:
                path = os.path.join(folder, f)
                rel = os.path.relpath(path, root).replace(os.sep, "/")
                if f.endswith(".rc"):
                    self.rc[rel] = RcFile(path)
                elif f.endswith((".cpp", ".h")):
                    with open(path, encoding="utf-8", errors="replace") as src:
                        self.cpp[rel] = cpp_strings(src.read())
        # Every text the programs can show, for the quoted texts.
        self.texts = []
        for r in self.rc.values():
            self.texts += r.strings
            for t in r.dialogs.values():
                self.texts += t
            for items in r.menus.values():
                self.texts += [i[-1] for i in items]
        for t in self.cpp.values():
            self.texts += t
        self.plain = [" ".join(re.sub(r"&(.)", r"\1", t).split()) for t in self.texts]
        # A text with placeholders, as the program fills it in; one made of
        # placeholders and a few letters would take any text, so it needs
        # four letters of its own.
        self.patterns = [re.compile(".+?".join(re.escape(p) for p in PLACEHOLDER.split(t)), re.S)
                         for t in self.plain
                         if PLACEHOLDER.search(t) and len(re.findall(r"[A-Za-z]", PLACEHOLDER.sub("", t))) >= 4]

    def names(self, entry):
        """The names of one scope entry: "file.rc#NAME" (a dialog or menu),
        "file.rc#STRINGTABLE", or a source file's strings."""
        path, _, item = entry.partition("#")
        if path.endswith(".cpp"):
            if path not in self.cpp:
                raise KeyError("no source file " + path)
            return {name_of(t) for t in self.cpp[path]}
        rc = self.rc.get(path)
        if rc is None:
            raise KeyError("no resource file " + path)
        if item == "STRINGTABLE":
            return {name_of(t) for t in rc.strings}
        if item in rc.dialogs:
            return {name_of(t) for t in rc.dialogs[item]}
        if item in rc.menus:
            return {name_of(i[-1]) for i in rc.menus[item]}
        raise KeyError("no dialog or menu %s in %s" % (item, path))

    def main_menu(self):
        return [tuple(name_of(p) for p in item) for item in self.rc[MAIN_RC].menus[MAIN_MENU]]

    def shows(self, quoted):
        q = " ".join(quoted.split())
        if any(q in t for t in self.plain):
            return True
        return any(p.fullmatch(q) for p in self.patterns)


def visible_text(page):
    body = re.sub(r"(?is)<head>.*?</head>", "", page)
    return html.unescape(re.sub(r"<[^>]*>", "", body))


def check_page(name, page, pages, program, scope_names, menu):
    faults = []
    body = re.sub(r"(?is)<head>.*?</head>", "", page)
    # Names in bold.
    for raw in re.findall(r"(?is)<b>(.*?)</b>", body):
        bold = " ".join(html.unescape(re.sub(r"<[^>]*>", "", raw)).split())
        parts = tuple(p.strip() for p in bold.split(", "))
        if len(parts) > 1 and any(item[0] == parts[0] for item in menu):
            if parts not in menu:
                faults.append("%s: <b>%s</b>: the main window's menu has no such command" % (name, bold))
        elif bold not in scope_names:
            faults.append("%s: <b>%s</b>: no such name on the windows this page describes" % (name, bold))
    # Texts in double quotes.
    for quoted in re.findall(r'"([^"\n]+)"', visible_text(page)):
        if not program.shows(quoted):
            faults.append('%s: "%s": no program of the suite shows this text' % (name, quoted))
    # What is pressed or clicked is named.
    for m in re.finditer(r'(?i)(?<![\w-])(press|click)\w*\s+(?!(?:the\s+)?(?:<b>|"))(\S+)', body):
        word = re.sub(r"<[^>]*>.*", "", m.group(2))
        faults.append("%s: \"%s %s\": the %s names no button in bold" % (name, m.group(1), word, m.group(1)))
    # Links between the pages.
    for href in re.findall(r'(?i)href="([^"]*)"', body):
        if href.startswith("mailto:"):
            continue
        target, _, anchor = href.partition("#")
        if target not in pages:
            faults.append("%s: link to %s: no such page in the help folder" % (name, href))
            continue
        if anchor and anchor.lower() not in [a.lower() for a in
                                             re.findall(r'(?i)<a\s+name="([^"]*)"', pages[target])]:
            faults.append("%s: link to %s: %s has no anchor %s" % (name, href, target, anchor))
    return faults


# The checks themselves, on small pages of one line: what each must find, or
# None where the line is right; the faults are of the kinds the pages held.
CASES = [
    ("stress3.htm", "press <b>Run</b>", None),
    # The Stress Test's button reads Run: the test pages' Start is no name there.
    ("stress3.htm", "press <b>Start</b>", "<b>Start</b>: no such name"),
    ("proc3.htm", "press <b>Start</b>", None),
    ("dghelp2.htm", "press Start", "names no button"),
    ("dghelp2.htm", "double-click an icon", None),
    ("dghelp2.htm", "<b>Options, Reset Default Configuration</b>", None),
    ("dghelp2.htm", "<b>Options, Layout</b>", "menu has no such command"),
    ("bnch3.htm", "<b>Details</b>", "<b>Details</b>: no such name"),
    ("tcp3.htm", '"Host not found:"', None),
    ("usb3.htm", '"Can not find usb.exe."', None),
    ("tcp3.htm", '"Request timed out"', "no program of the suite shows"),
    # A BIOS's own text, which only a test's data of the suite holds.
    ("dmi3.htm", '"To Be Filled By O.E.M."', "no program of the suite shows"),
    # A text quoted in the sources' comments only.
    ("quorrl3.htm", '"[Last Updated: ...]"', "no program of the suite shows"),
    ("mem3.htm", '<a href="errhelp.htm#memory">tips</a>', None),
    ("mem3.htm", '<a href="errhelp.htm#ram">tips</a>', "has no anchor ram"),
    ("mem3.htm", '<a href="memory.htm">memory</a>', "no such page"),
]


def check_cases(pages, program, menu, global_names):
    faults = []
    for page, line, wanted in CASES:
        names = set(global_names)
        for entry in SCOPES.get(page, []):
            names |= program.names(entry)
        found = check_page(page, "<html><head></head><body><p>%s</p></body></html>" % line, pages, program, names,
                           menu)
        if wanted is None and found:
            faults.append("the checks find a fault in a right line: %s" % found[0])
        elif wanted is not None and not any(wanted in f for f in found):
            faults.append("the checks miss the fault of %s on %s (%s)" % (line, page, wanted))
    return faults


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: check_help.py SOURCE_ROOT")
    root = os.path.abspath(sys.argv[1])
    help_dir = os.path.join(root, "data", "help")
    sys.path.insert(0, help_dir)
    import make_help

    topics = make_help.parse(os.path.join(help_dir, "pages.txt"))
    text_faults = []
    pages = {}
    first = {}
    for t in topics:
        text = make_help.page_html(t, topics)
        for n in t["names"]:
            pages[n] = text
            first[n] = t["names"][0]
    with open(os.path.join(help_dir, "errhelp.htm"), encoding="utf-8") as f:
        pages["errhelp.htm"] = f.read()
    first["errhelp.htm"] = "errhelp.htm"

    # The plain-text help that Notepad shows holds no markup.
    for number, line in enumerate(make_help.plain_text(topics).splitlines(), 1):
        for tag in re.findall(r"<[A-Za-z/][^>]*>", line):
            text_faults.append("help.txt, line %d: markup %s in the plain text" % (number, tag))
    program = Program(root)
    menu = program.main_menu()
    faults = list(text_faults)
    global_names = set()
    for entry in GLOBAL:
        global_names |= program.names(entry)
    faults += check_cases(pages, program, menu, global_names)
    for scoped_page in SCOPES:
        if scoped_page not in pages:
            faults.append("the scope table names %s, which is no page" % scoped_page)
    done = set()
    for n in pages:
        if first[n] in done:
            continue
        done.add(first[n])
        names = set(global_names)
        for entry in SCOPES.get(first[n], []):
            names |= program.names(entry)
        faults += check_page(first[n], pages[n], pages, program, names, menu)
    for f in faults:
        print(f)
    print("%d help pages checked, %d faults" % (len(done), len(faults)))
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
