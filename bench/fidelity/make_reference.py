#!/usr/bin/env python3
"""Writes the reference that bench_fidelity compares the editor's layout with:
where LibreOffice puts every word of each corpus document.

For each NAME.rtf, NAME.docx and NAME.odt of the corpus folder (not large/), read
with the filter of its extension as the corpus's expected files were (a file that is
not what its name says is refused), LibreOffice converts the document to PDF (the page) and to flat ODT (the page style: margins and size);
pdftotext -raw -bbox lists the words of the PDF in the order they were drawn, with
their boxes. The reference keeps, per document, each page's size and text column
and each word's box relative to the text column of its page, in pixels at 96 dpi.
Documents LibreOffice refuses are listed as refused.

usage: make_reference.py CORPUS_DIR OUTPUT.txt.gz [NAME.rtf|NAME.docx|NAME.odt ...]
  ../shared/rtf-corpus gives bench/fidelity/reference.txt.gz,
  ../shared/doc-corpus bench/fidelity/reference-doc.txt.gz.
Needs soffice (LibreOffice Writer), pdftotext and pdffonts (poppler-utils).
With KEEP_PDFS=DIR the PDFs are kept there (pdftoppm -r 96 shows LibreOffice's page
beside bench_fidelity --shots).
"""

import gzip
import os
import re
import shutil
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

PX_PER_PT = 96 / 72
LO_TIMEOUT = int(os.environ.get("LO_TIMEOUT", "900"))  # a whole batch
ONE_TIMEOUT = 180  # one document, when the batch failed it

FONT_PACKAGES = ["fonts-crosextra-carlito", "fonts-crosextra-caladea", "fonts-liberation",
                 "fonts-liberation2", "fonts-dejavu-core"]


def run(args, timeout):
    try:
        return subprocess.run(args, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                              timeout=timeout).stdout.decode("utf-8", "replace")
    except subprocess.TimeoutExpired:
        return ""


# LibreOffice's import filter for each kind of document, forced.
FILTERS = {".rtf": "Rich Text Format", ".docx": "MS Word 2007 XML", ".odt": "writer8"}


def stem_of(name):
    return os.path.splitext(os.path.basename(name))[0]


def convert(files, fmt, outdir, profile):
    """Converts the files, all of a kind in one LibreOffice process; then once more,
    one by one, those that gave nothing (a document that hangs LibreOffice stops the
    batch)."""
    ext = fmt.split(":")[0]
    for kind, infilter in FILTERS.items():
        batch = [f for f in files if f.endswith(kind)]
        if not batch:
            continue
        base = ["soffice", "-env:UserInstallation=file://" + profile, "--headless",
                "--infilter=" + infilter, "--convert-to", fmt, "--outdir", outdir]
        run(base + batch, LO_TIMEOUT)
        for f in batch:
            out = os.path.join(outdir, stem_of(f) + "." + ext)
            if not os.path.exists(out):
                run(base + [f], ONE_TIMEOUT)


def length_px(value):
    """A length of the ODF styles ("0.7874in", "2cm", "56.7pt") in pixels."""
    m = re.fullmatch(r"(-?[0-9.]+)(in|cm|mm|pt|pc)?", value or "0")
    if not m:
        return 0.0
    per = {"in": 96, "cm": 96 / 2.54, "mm": 96 / 25.4, "pt": PX_PER_PT, "pc": 16, None: PX_PER_PT}
    return float(m.group(1)) * per[m.group(2)]


def page_layouts(fodt):
    """The page layouts of the flat ODT: (width, height, left, right, top) in px, the
    one of the master page the first paragraph starts first."""
    ns = {"style": "urn:oasis:names:tc:opendocument:xmlns:style:1.0",
          "fo": "urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0",
          "office": "urn:oasis:names:tc:opendocument:xmlns:office:1.0",
          "text": "urn:oasis:names:tc:opendocument:xmlns:text:1.0"}
    S = "{%s}" % ns["style"]
    FO = "{%s}" % ns["fo"]
    root = ET.parse(fodt).getroot()
    layouts = {}
    for pl in root.iter(S + "page-layout"):
        props = pl.find("style:page-layout-properties", ns)
        if props is None:
            continue
        a = props.attrib
        layouts[pl.get(S + "name")] = tuple(length_px(a.get(FO + k)) for k in (
            "page-width", "page-height", "margin-left", "margin-right", "margin-top"))
    masters = {m.get(S + "name"): m.get(S + "page-layout-name") for m in root.iter(S + "master-page")}
    first_master = "Standard"
    styles = {s.get(S + "name"): s.get(S + "master-page-name") for s in root.iter(S + "style")}
    body = root.find("office:body/office:text", ns)
    if body is not None:
        for el in body.iter():
            if el.tag in ("{%s}p" % ns["text"], "{%s}h" % ns["text"]):
                name = styles.get(el.get("{%s}style-name" % ns["text"]))
                if name:
                    first_master = name
                break
    first = layouts.get(masters.get(first_master)) or next(iter(layouts.values()), None)
    return first, list(layouts.values())


def column_for(page_w, page_h, first, layouts):
    """The text column (left, top, width) of a page of the given size: the first
    paragraph's page style when it has that size, else the first that has."""
    for layout in [first] + layouts:
        if layout and abs(layout[0] - page_w) < 2 and abs(layout[1] - page_h) < 2:
            return layout[2], layout[4], layout[0] - layout[2] - layout[3]
    return 96.0, 96.0, page_w - 192.0  # LibreOffice's default margins of 1 inch


def words_of(pdf):
    xhtml = run(["pdftotext", "-raw", "-bbox", pdf, "-"], 300)
    xhtml = re.sub(r"<!DOCTYPE[^>]*>", "", xhtml)
    xhtml = re.sub(r' xmlns="[^"]*"', "", xhtml, count=1)
    pages = []
    try:
        root = ET.fromstring(xhtml)
    except ET.ParseError:
        return pages
    for page in root.iter("page"):
        words = [(float(w.get("xMin")), float(w.get("yMin")), float(w.get("xMax")), float(w.get("yMax")),
                  (w.text or "").strip()) for w in page.iter("word")]
        pages.append((float(page.get("width")), float(page.get("height")), words))
    return pages


def fonts_of(pdf):
    names = []
    for line in run(["pdffonts", pdf], 60).splitlines()[2:]:
        name = line.split(" ")[0]
        name = re.sub(r"^[A-Z]{6}\+", "", name)
        if name and name not in names:
            names.append(name)
    return names


def versions():
    lo = run(["soffice", "--version"], 120).strip()
    poppler = subprocess.run(["pdftotext", "-v"], stdout=subprocess.PIPE, stderr=subprocess.STDOUT
                             ).stdout.decode().splitlines()[0]
    fonts = []
    for p in FONT_PACKAGES:
        v = run(["dpkg-query", "-W", "-f=${Version}", p], 30).strip()
        fonts.append("%s %s" % (p, v or "(not installed)"))
    return lo, poppler, fonts


def fmt(v):
    s = "%.1f" % v
    return "0.0" if s == "-0.0" else s


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    corpus, output = sys.argv[1], sys.argv[2]
    names = sys.argv[3:] or sorted(f for f in os.listdir(corpus) if f.endswith(tuple(FILTERS)))
    files = [os.path.join(corpus, n) for n in names]
    work = tempfile.mkdtemp()
    try:
        profile = os.path.join(work, "profile")
        convert(files, "pdf", work, profile)
        convert(files, "fodt", work, profile)
        lo, poppler, fonts = versions()
        out = ["# Word boxes as LibreOffice lays out the corpus documents, made by bench/fidelity/make_reference.py",
               "# " + lo, "# " + poppler, "# " + "; ".join(fonts),
               "# px at 96 dpi. page: width height, text column left top width (on the page);",
               "# y: top bottom of the words that follow, then words: x0 x1 text; all relative to the page's column"]
        for name in names:
            stem = stem_of(name)
            pdf, fodt = os.path.join(work, stem + ".pdf"), os.path.join(work, stem + ".fodt")
            pages = words_of(pdf) if os.path.exists(pdf) else []
            if not pages:
                out.append("document %s refused" % stem)
                print("%s: refused" % stem)
                continue
            first, layouts = page_layouts(fodt) if os.path.exists(fodt) else (None, [])
            out.append("document " + stem)
            out.append("fonts " + " ".join(fonts_of(pdf)))
            count = 0
            for w_pt, h_pt, words in pages:
                pw, ph = w_pt * PX_PER_PT, h_pt * PX_PER_PT
                left, top, width = column_for(pw, ph, first, layouts)
                out.append("page %s %s %s %s %s" % (fmt(pw), fmt(ph), fmt(left), fmt(top), fmt(width)))
                last_y = None
                for x0, y0, x1, y1, text in words:
                    if not text:
                        continue
                    y = (fmt(y0 * PX_PER_PT - top), fmt(y1 * PX_PER_PT - top))
                    if y != last_y:
                        out.append("y %s %s" % y)
                        last_y = y
                    out.append("%s %s %s" % (fmt(x0 * PX_PER_PT - left), fmt(x1 * PX_PER_PT - left), text))
                    count += 1
            print("%s: %d pages, %d words" % (stem, len(pages), count))
        keep = os.environ.get("KEEP_PDFS")
        if keep:
            os.makedirs(keep, exist_ok=True)
            for name in names:
                pdf = os.path.join(work, stem_of(name) + ".pdf")
                if os.path.exists(pdf):
                    shutil.copy(pdf, keep)
        # No time stamp in the header: the same layout gives the same bytes.
        with open(output, "wb") as raw, gzip.GzipFile(fileobj=raw, mode="wb", compresslevel=9, mtime=0) as f:
            f.write(("\n".join(out) + "\n").encode("utf-8"))
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
