"""Every relative link in the README and docs/ names a file that exists and,
when it names a heading, a heading of that file."""
import pathlib
import re
import sys

LINK = re.compile(r"!?\[[^\]]*\]\(([^)\s]+)\)")
CODE = re.compile(r"`[^`]*`")


def anchor(heading):
    # The anchor a heading gets on the usual Markdown hosts.
    text = CODE.sub(lambda m: m.group(0)[1:-1], heading.strip()).lower()
    return re.sub(r"[^\w\- ]", "", text).replace(" ", "-")


def anchors(path):
    lines = path.read_text(encoding="utf-8").splitlines()
    return {anchor(l.lstrip("#")) for l in lines if re.match(r"#{1,6} ", l)}


def broken_links(root):
    for page in [root / "README.md", *sorted((root / "docs").glob("*.md"))]:
        text = CODE.sub("", page.read_text(encoding="utf-8"))
        for target in LINK.findall(text):
            if re.match(r"[a-z]+:", target):
                continue
            name, _, heading = target.partition("#")
            path = (page.parent / name).resolve() if name else page
            if not path.is_file():
                yield f"{page.relative_to(root)}: {target}: no such file"
            elif heading and heading not in anchors(path):
                yield f"{page.relative_to(root)}: {target}: no such heading"


if __name__ == "__main__":
    problems = list(broken_links(pathlib.Path(sys.argv[1])))
    print("\n".join(problems) or "every link holds")
    sys.exit(1 if problems else 0)
