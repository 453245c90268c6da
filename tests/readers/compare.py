#!/usr/bin/env python3
# SPDX-FileCopyrightText: 2026 The mkentry developers
# SPDX-License-Identifier: MIT
"""Compares mkentry-check's model of each reader with what the real one made.

usage: compare.py MKENTRY_CHECK IMAGES_DIR TABLE

TABLE is tests/readers/real.tsv; IMAGES_DIR holds the images
make-images.sh makes. Prints each view that differs, partition by
partition, and exits 1 on any.
"""
import collections
import json
import subprocess
import sys


def model_rows(view):
    rows = [[view["scheme"], p["number"], str(p["start"]), str(p["size"])]
            for p in view["partitions"]]
    if not rows:
        rows.append(["none", "-", "-", "-"])
    rows += [["writes", str(w["first"]), str(w["last"])] for w in view.get("writes", [])]
    if "fails" in view:
        rows.append(["fails", view["fails"]])
    return sorted(rows)


def main(argv):
    if len(argv) != 4:
        sys.stderr.write(__doc__)
        return 2
    checker, images, table = argv[1:]
    real = collections.defaultdict(list)
    with open(table) as f:
        for line in f:
            fields = line.rstrip("\n").split("\t")
            # "changes" lines say which sectors EDK2's writes changed: not modelled.
            if fields[2] != "changes":
                real[(fields[0], fields[1])].append(fields[2:])
    differ = 0
    names = sorted({image for image, _ in real})
    for image in names:
        run = subprocess.run([checker, "--json", f"{images}/{image}.img"],
                             capture_output=True, text=True, check=False)
        views = json.loads(run.stdout)["readers"]
        for reader in ("linux", "u-boot", "edk2", "grub"):
            made, want = model_rows(views[reader]), sorted(real[(image, reader)])
            # Where the real reader showed no start and size (EDK2's Shell
            # of an El Torito image), the model's are not compared.
            if len(made) == len(want):
                made = [m[:2] + ["?", "?"] if w[2:] == ["?", "?"] else m for m, w in zip(made, want)]
            if made != want:
                differ += 1
                print(f"{image} {reader}: the model makes {made}, the real reader {want}")
    print(f"{len(names) * 4 - differ} of {len(names) * 4} views as the real readers made them")
    return 1 if differ else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
