#!/usr/bin/env python3
# SPDX-FileCopyrightText: 2026 The mkentry developers
# SPDX-License-Identifier: MIT
"""The kept pictures as a browser renders them: headless Chromium loads a
page of this test's own that holds each SVG inline and as an image, and
a script in the page writes back the bounding box of every label and the
colour of the pixels asked for, which are then checked here: each region
where it must be (a colour at a literal position), no label past its box,
past the picture or over another label. xmllint checks that each file is
well-formed XML first.

usage: svg_browser_test.py SOURCE_DIR"""

import base64
import html
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

PART, META, EXTENDED, FREE, ISO = "#56b4e9", "#009e73", "#d6ecf8", "#ffffff", "#cc79a7"
DIFFERS, ERROR, WARNING, LOADER = "#e69f00", "#d55e00", "#0072b2", "#f0e442"

# Rows' tops: structures 114, partitions 140, then 26 apart; a row's
# pixels are read 20 below its top, under its labels' baselines.
PIXELS = {
    "docs/ab-example.svg": [
        (98, 134, META),        # the MBR
        (800, 134, EXTENDED),   # slot 4, the extended partition
        (200, 160, FREE),       # the first MiB but the MBR
        (500, 160, PART),       # partition 2, root A
        (800, 238, PART),       # EDK2's 4.1
        (900, 186, PART),       # Linux's 6, the logs
    ],
    "docs/allwinner-clash.svg": [
        (110, 134, META),       # the primary array, sectors 2-15
        (130, 134, LOADER),     # the SPL over its sectors 16-33
        (200, 134, LOADER),     # U-Boot, from sector 80
        (600, 160, PART),       # partition 2
        (500, 186, FREE),       # Linux makes no partition
        (130, 290, LOADER),     # the ROM row: the SPL it starts
    ],
    "tests/svg/slots.svg": [
        (98, 134, META),
        (700, 160, PART),       # partition 3
        (700, 264, PART),       # GRUB's 3
    ],
    "tests/svg/hybrid.svg": [
        (110, 134, META),       # the primary GPT's array
        (700, 160, PART),       # partition 3, data
        (500, 186, PART),       # the hybrid MBR's slot 3
        (500, 264, PART),       # EDK2's 2
    ],
    "tests/svg/hybrid-iso.svg": [
        (500, 134, ISO),        # the volume, from sector 0
        (700, 238, DIFFERS),    # EDK2's first boot image, past the disk
        (400, 212, PART),       # U-Boot's slot 2
    ],
    "tests/svg/bad-entries.svg": [
        (700, 186, DIFFERS),    # Linux cuts slot 2 at the disk's end
        (600, 238, FREE),       # EDK2 makes no partition
        (499, 58, ERROR),       # marker 1, at slot 2's sectors
        (102, 78, WARNING),     # marker 4
        (12, 324, ERROR),       # the list's first symbol
    ],
    "tests/svg/one-sector.svg": [
        (500, 134, META),       # the one sector, the MBR, across the bar
        (500, 238, FREE),       # EDK2 makes no partition
        (102, 58, ERROR),       # no 55 aa: marker 1
    ],
}

SCRIPT = r"""
const asked = %s;
const result = {labels: 0, problems: [], pixels: []};
const svg = document.querySelector('#inline svg');
const frame = svg.getBoundingClientRect();
const texts = [...svg.querySelectorAll('text')];
const boxes = texts.map(t => t.getBoundingClientRect());
const name = t => JSON.stringify(t.textContent);
texts.forEach((t, i) => {
    const b = boxes[i];
    result.labels++;
    if (b.left < frame.left - 0.5 || b.right > frame.right + 0.5 || b.bottom > frame.bottom + 0.5)
        result.problems.push('past the picture: ' + name(t));
    // A label of a bar row starts 2 px into its box.
    if (t.parentNode.tagName === 'g') {
        const x = +t.getAttribute('x') - 2;
        const own = [...t.parentNode.querySelectorAll('rect')]
            .filter(r => +r.getAttribute('x') === x)
            .map(r => r.getBoundingClientRect());
        if (own.length && b.right > Math.max(...own.map(r => r.right)) + 0.5)
            result.problems.push('past its box: ' + name(t));
    }
    for (let j = 0; j < i; j++) {
        const o = boxes[j];
        const wide = Math.min(b.right, o.right) - Math.max(b.left, o.left);
        const high = Math.min(b.bottom, o.bottom) - Math.max(b.top, o.top);
        if (wide > 0.5 && high > 0.5)
            result.problems.push('over another: ' + name(t) + ' and ' + name(texts[j]));
    }
});
const image = document.getElementById('image');
const canvas = document.createElement('canvas');
canvas.width = image.naturalWidth;
canvas.height = image.naturalHeight;
const context = canvas.getContext('2d');
context.drawImage(image, 0, 0);
for (const [x, y] of asked) {
    const d = context.getImageData(x, y, 1, 1).data;
    result.pixels.push('#' + [d[0], d[1], d[2]].map(v => v.toString(16).padStart(2, '0')).join(''));
}
document.getElementById('result').textContent = JSON.stringify(result);
"""


def page(svg_text, points):
    inline = re.sub(r"^<\?xml[^>]*\?>\s*", "", svg_text)
    data = base64.b64encode(svg_text.encode()).decode()
    return ("<!DOCTYPE html><html><head><meta charset='utf-8'>"
            "<style>body{margin:0}</style></head><body>"
            f"<div id='inline'>{inline}</div>"
            f"<img id='image' src='data:image/svg+xml;base64,{data}'>"
            "<pre id='result'></pre>"
            f"<script>window.addEventListener('load', () => {{{SCRIPT % json.dumps(points)}}});"
            "</script></body></html>")


def render(browser, path):
    command = [browser, "--headless", "--disable-gpu", "--virtual-time-budget=5000",
               "--dump-dom", path.as_uri()]
    if os.geteuid() == 0:
        command.insert(1, "--no-sandbox")
    dom = subprocess.run(command, capture_output=True, text=True, timeout=120).stdout
    found = re.search(r"<pre id=\"result\">(.*?)</pre>", dom, re.S)
    return json.loads(html.unescape(found.group(1))) if found and found.group(1) else None


def main():
    source = Path(sys.argv[1])
    browser = shutil.which("chromium")
    missing = [tool for tool, path in (("chromium", browser), ("xmllint", shutil.which("xmllint")))
               if path is None]
    if not Path("/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf").exists():
        missing.append("fonts-dejavu-core")
    if missing:
        print(f"not installed: {' '.join(missing)} (tests/browser-packages)")
        return 77
    failed = 0
    with tempfile.TemporaryDirectory() as work:
        for name, expected in PIXELS.items():
            svg = source / name
            lint = subprocess.run(["xmllint", "--noout", str(svg)], capture_output=True, text=True)
            if lint.returncode != 0:
                print(f"FAIL {name}: not well-formed:\n{lint.stderr}")
                failed = 1
                continue
            html_path = Path(work) / (svg.stem + ".html")
            html_path.write_text(page(svg.read_text(), [(x, y) for x, y, _ in expected]))
            result = render(browser, html_path)
            if result is None:
                print(f"FAIL {name}: the page wrote no result")
                failed = 1
                continue
            problems = list(result["problems"])
            for (x, y, colour), seen in zip(expected, result["pixels"]):
                if seen != colour:
                    problems.append(f"pixel {x},{y} is {seen}, not {colour}")
            for problem in problems:
                print(f"FAIL {name}: {problem}")
            failed |= bool(problems)
            if not problems:
                print(f"ok {name}: {result['labels']} labels, {len(expected)} pixels")
    return failed


if __name__ == "__main__":
    sys.exit(main())
