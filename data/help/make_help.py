#!/usr/bin/env python3
"""Writes the suite's help pages from pages.txt into a folder.
  make_help.py PAGES.TXT OUTDIR

pages.txt holds one topic after another:
  page NAME.htm [MORE.htm ...]    the file names this topic is written to
  title TEXT                      the page heading
  the summary: the lines up to the first blank line; the help pane beside
      the icons shows it (it stands between the "Text Begin" and "Text End"
      comment lines)
  == HEADING                      a section
  - TEXT                          a list item
  contents                        the list of every other topic, linked
  any other line                  text; a blank line ends a paragraph
Lines that start with "#" are comments. Text is written as it stands, so
<b> and <a href="..."> may be used; "&" alone is escaped.

It also writes help.txt, every topic as plain text: the page that the help
library shows in Notepad when no browser can show a page."""
import os
import re
import sys

STYLE = ("body { font-family: Arial, Helvetica, sans-serif; font-size: 10pt; margin: 16px; max-width: 46em; }\n"
         "h1 { font-size: 16pt; color: #1c3f73; border-bottom: 2px solid #4f86c6; }\n"
         "h2 { font-size: 12pt; color: #1c3f73; margin-top: 1.4em; }\n"
         ".summary { background: #eef3fa; padding: 6px 10px; }\n"
         ".nav { font-size: 9pt; color: #555; margin-top: 2em; border-top: 1px solid #ccc; }\n")


def escape(text):
    return re.sub(r"&(?![a-zA-Z]+;|#[0-9]+;)", "&amp;", text)


def parse(path):
    topics = []
    with open(path, encoding="utf-8") as f:
        lines = [l.rstrip("\n") for l in f]
    for number, line in enumerate(lines, 1):
        if line.startswith("#"):
            continue
        if line.startswith("page "):
            topics.append({"names": line.split()[1:], "title": "", "summary": [], "body": [], "in_summary": True,
                           "line": number})
            continue
        if not topics:
            if line.strip():
                sys.exit("%s:%d: text before the first page line" % (path, number))
            continue
        t = topics[-1]
        if line.startswith("title "):
            t["title"] = line[6:].strip()
            continue
        if t["in_summary"]:
            if line.strip():
                t["summary"].append(line.strip())
                continue
            if t["summary"]:
                t["in_summary"] = False
            continue
        t["body"].append(line)
    for t in topics:
        if not t["title"] or not t["summary"]:
            sys.exit("%s:%d: a page needs a title and a summary" % (path, t["line"]))
    return topics


def body_html(t, topics):
    out = []
    para = []
    items = []

    def flush():
        if para:
            out.append("<p>" + escape(" ".join(para)) + "</p>")
            para.clear()
        if items:
            out.append("<ul>\n" + "\n".join("<li>" + escape(i) + "</li>" for i in items) + "\n</ul>")
            items.clear()

    for line in t["body"]:
        s = line.strip()
        if not s:
            flush()
        elif s.startswith("== "):
            flush()
            out.append("<h2>" + escape(s[3:]) + "</h2>")
        elif s.startswith("- "):
            if para:
                flush()
            items.append(s[2:])
        elif s == "contents":
            flush()
            links = ['<li><a href="%s">%s</a></li>' % (o["names"][0], escape(o["title"])) for o in topics
                     if o is not t and not o.get("hidden")]
            out.append("<ul>\n" + "\n".join(links) + "\n</ul>")
        else:
            if items:
                flush()
            para.append(s)
    flush()
    return "\n".join(out)


def page_html(t, topics):
    summary = "\n".join(escape(s) for s in t["summary"])
    return ("<html>\n<head>\n<meta charset=\"utf-8\">\n<title>Halvix Help - %s</title>\n"
            "<style>\n%s</style>\n</head>\n<body>\n<h1>%s</h1>\n<div class=\"summary\">\n"
            "<!-- Text Begin -->\n%s<p>\n<!-- Text End -->\n</div>\n%s\n"
            "<p class=\"nav\"><a href=\"dghelp2.htm\">Halvix Help contents</a> | "
            "<a href=\"errhelp.htm\">Troubleshooting tips</a></p>\n</body>\n</html>\n"
            % (escape(t["title"]), STYLE, escape(t["title"]), summary, body_html(t, topics)))


def plain_text(topics):
    out = []
    for t in topics:
        out += [t["title"], "=" * len(t["title"])] + [re.sub(r"<[^>]*>", "", s) for s in t["summary"]] + [""]
        for line in t["body"]:
            s = line.strip()
            if s == "contents":
                out += ["- " + o["title"] for o in topics if o is not t]
                continue
            s = re.sub(r"<[^>]*>", "", s)
            out.append(s[3:].upper() if s.startswith("== ") else s)
        out.append("")
    return "\n".join(out) + "\n"


def main():
    if len(sys.argv) != 3:
        sys.exit("usage: make_help.py PAGES.TXT OUTDIR")
    topics = parse(sys.argv[1])
    seen = set()
    for t in topics:
        for name in t["names"]:
            if name.lower() in seen:
                sys.exit("%s: %s is written twice" % (sys.argv[1], name))
            seen.add(name.lower())
    os.makedirs(sys.argv[2], exist_ok=True)
    with open(os.path.join(sys.argv[2], "help.txt"), "w", encoding="utf-8", newline="\r\n") as f:
        f.write(plain_text(topics))
    for t in topics:
        text = page_html(t, topics)
        for name in t["names"]:
            with open(os.path.join(sys.argv[2], name), "w", encoding="utf-8", newline="\r\n") as f:
                f.write(text)


if __name__ == "__main__":
    main()
