"""sections.py: writes one section of docs/performance.md, for the benchmark
scripts that measure more than the benchmark program does."""
import pathlib


def WriteSection(report, heading, section):
    """Puts the section, which starts with its heading, where the one with
    that heading stands, up to the next section, or else at the end."""
    text = pathlib.Path(report).read_text()
    start = text.find(heading)
    if start < 0:
        before, after = text.rstrip("\n") + "\n\n", ""
    else:
        end = text.find("\n## ", start + len(heading))
        before, after = text[:start], ("" if end < 0 else text[end + 1:])
    pathlib.Path(report).write_text(before + section + ("\n" + after if after else ""))
