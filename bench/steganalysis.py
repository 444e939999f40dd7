#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""A simple trained steganalyser: SPAM features and an ensemble of Fisher
linear discriminants, run by bench/steganalysis.sh.

  steganalysis.py selfcheck
      checks the features, the classifier and the error measure on cases with
      known answers; exits 1 when one is wrong.
  steganalysis.py evaluate WORK [--splits N] [--seed S]
      reads WORK/results.jsonl (one line per picture: photo, patch, kind,
      rate, path and check's --json figures) and prints a Markdown table of
      detection errors.

Features: second-order SPAM with T = 3 (Pevny, Bas and Fridrich 2010,
"Steganalysis by subtractive pixel adjacency matrix"): for each of the eight
directions the differences of neighbouring values, cut to [-3, 3], and the
probabilities of each difference given the two before it along the same
direction; the four straight directions are averaged into 343 features and
the four diagonal ones into 343 more. Each of red, green and blue gets its
686, so a picture has 2058.

Classifier: an ensemble of Fisher linear discriminants on random subspaces
of the features, each trained on a bootstrap sample of the training set,
deciding by majority vote (Kodovsky, Fridrich and Holub 2012, "Ensemble
classifiers for steganalysis of digital media"), with a fixed subspace
dimension and number of learners and a small ridge term.

Detection error P_E: the minimum over thresholds of the mean of the
false-alarm and missed-detection rates on the test set, for the ensemble's
votes and for each of check's figures.
"""

import json
import multiprocessing
import os
import statistics
import struct
import sys

import numpy as np

T = 3
BINS = 2 * T + 1
SUBSPACE = 300
LEARNERS = 31
RIDGE = 1e-4  # times the mean variance of the subspace's features


def read_bmp24(path):
    """The pixels of an uncompressed 24-bit BMP as a rows x columns x (B, G, R) array."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:2] != b"BM" or len(data) < 54:
        raise ValueError("%s: not a BMP" % path)
    offset = struct.unpack_from("<I", data, 10)[0]
    width, height = struct.unpack_from("<ii", data, 18)
    bits, compression = struct.unpack_from("<HI", data, 28)
    if bits != 24 or compression != 0 or width <= 0 or height == 0:
        raise ValueError("%s: not an uncompressed 24-bit BMP" % path)
    rows = abs(height)
    stride = (width * 3 + 3) // 4 * 4
    if offset + stride * rows > len(data):
        raise ValueError("%s: truncated" % path)
    pixels = np.frombuffer(data, np.uint8, stride * rows, offset).reshape(rows, stride)
    pixels = pixels[:, : width * 3].reshape(rows, width, 3)
    return pixels[::-1] if height > 0 else pixels  # positive heights are stored bottom-up


def markov(first, second, third):
    """P(third | first, second) over the triples of cut differences, 343 values."""
    index = ((np.clip(first, -T, T) + T) * BINS + (np.clip(second, -T, T) + T)) * BINS + (np.clip(third, -T, T) + T)
    counts = np.bincount(index.ravel(), minlength=BINS ** 3).reshape(BINS * BINS, BINS).astype(np.float64)
    given = counts.sum(axis=1, keepdims=True)
    return np.divide(counts, given, out=np.zeros_like(counts), where=given > 0).ravel()


def rightward(x):
    d = x[:, :-1] - x[:, 1:]
    return markov(d[:, :-2], d[:, 1:-1], d[:, 2:])


def down_right(x):
    d = x[:-1, :-1] - x[1:, 1:]
    return markov(d[:-2, :-2], d[1:-1, 1:-1], d[2:, 2:])


def spam(channel):
    """Second-order SPAM of one channel: 343 straight, then 343 diagonal features."""
    x = channel.astype(np.int32)
    # Each direction is the rightward (or down-right) one on a mirrored or
    # transposed copy: left = mirrored columns, down = transposed, up =
    # mirrored rows transposed; the diagonals likewise.
    straight = (rightward(x) + rightward(x[:, ::-1]) + rightward(x.T) + rightward(x[::-1].T)) / 4
    diagonal = (down_right(x) + down_right(x[::-1, ::-1]) + down_right(x[::-1]) + down_right(x[:, ::-1])) / 4
    return np.concatenate([straight, diagonal])


def picture_features(path):
    pixels = read_bmp24(path)
    return np.concatenate([spam(pixels[:, :, c]) for c in (2, 1, 0)]).astype(np.float32)


def detection_error(cover_scores, stego_scores):
    """min over thresholds of (P_FA + P_MD) / 2, a higher score meaning stego."""
    cover = np.sort(np.asarray(cover_scores, np.float64))
    stego = np.sort(np.asarray(stego_scores, np.float64))
    thresholds = np.concatenate([cover, stego, [np.inf]])
    # Stego is declared for scores >= threshold.
    false_alarm = 1.0 - np.searchsorted(cover, thresholds, side="left") / len(cover)
    missed = np.searchsorted(stego, thresholds, side="left") / len(stego)
    return float(np.min((false_alarm + missed) / 2))


class Ensemble:
    def __init__(self, seed, subspace=SUBSPACE, learners=LEARNERS):
        self.random = np.random.default_rng(seed)
        self.subspace, self.learners = subspace, learners
        self.parts = []

    def fit(self, cover, stego):
        dims = cover.shape[1]
        for _ in range(self.learners):
            chosen = self.random.choice(dims, min(self.subspace, dims), replace=False)
            c = cover[self.random.integers(0, len(cover), len(cover))][:, chosen].astype(np.float64)
            s = stego[self.random.integers(0, len(stego), len(stego))][:, chosen].astype(np.float64)
            mc, ms = c.mean(axis=0), s.mean(axis=0)
            within = np.cov(c, rowvar=False) + np.cov(s, rowvar=False)
            within += RIDGE * max(np.trace(within) / len(chosen), 1e-12) * np.eye(len(chosen))
            w = np.linalg.solve(within, ms - mc)
            pc, ps = c @ w, s @ w
            self.parts.append((chosen, w, self.best_threshold(pc, ps)))
        return self

    @staticmethod
    def best_threshold(cover, stego):
        """The threshold that makes fewest training errors, between two neighbouring projections."""
        values = np.sort(np.concatenate([cover, stego]))
        candidates = np.concatenate([[values[0] - 1], (values[:-1] + values[1:]) / 2, [values[-1] + 1]])
        cs, ss = np.sort(cover), np.sort(stego)
        false_alarm = 1.0 - np.searchsorted(cs, candidates, side="left") / len(cs)
        missed = np.searchsorted(ss, candidates, side="left") / len(ss)
        return float(candidates[np.argmin(false_alarm + missed)])

    def votes(self, features):
        """The share of learners that call each picture stego."""
        total = np.zeros(len(features))
        for chosen, w, threshold in self.parts:
            total += (features[:, chosen].astype(np.float64) @ w) >= threshold
        return total / len(self.parts)


def selfcheck():
    failures = []

    def expect(condition, what):
        if not condition:
            failures.append(what)

    # A flat patch has only zero differences: all weight in the (0, 0, 0) bin
    # of both halves.
    flat = spam(np.full((32, 32), 77, np.uint8))
    centre = (T * BINS + T) * BINS + T
    expect(flat[centre] == 1 and flat[343 + centre] == 1 and flat.sum() == 2, "SPAM of a flat patch")
    # A ramp rising by one to the right: rightward differences are all -1,
    # leftward +1, vertical 0; so the straight half holds 1/4, 1/4 and 1/2, and
    # every diagonal difference is -1 or +1 (1/2 each).
    ramp = spam(np.tile(np.arange(40, dtype=np.uint8), (40, 1)))
    minus = ((T - 1) * BINS + (T - 1)) * BINS + (T - 1)
    plus = ((T + 1) * BINS + (T + 1)) * BINS + (T + 1)
    expect(np.allclose([ramp[minus], ramp[plus], ramp[centre]], [0.25, 0.25, 0.5]), "SPAM of a ramp, straight")
    expect(np.allclose([ramp[343 + minus], ramp[343 + plus]], [0.5, 0.5]), "SPAM of a ramp, diagonal")
    # Differences beyond T are cut to T, not dropped or wrapped.
    steep = spam(np.tile((np.arange(40) * 5).astype(np.uint8), (40, 1)))
    expect(np.isclose(steep[0], 0.25) and np.isclose(steep[342], 0.25), "SPAM cuts large differences to T")
    # The reader gets the rows the right way up and the channels in order.
    sample = os.path.join(os.environ.get("TMPDIR", "/tmp"), "ostrel-steganalysis-check.bmp")
    write_bmp24(sample, np.array([[[1, 2, 3], [4, 5, 6]], [[7, 8, 9], [10, 11, 12]]], np.uint8))
    expect(read_bmp24(sample).tolist() == [[[1, 2, 3], [4, 5, 6]], [[7, 8, 9], [10, 11, 12]]], "BMP reader")
    os.remove(sample)
    # The detection error on a hand case, and on separated and equal scores.
    expect(detection_error([0, 1, 2, 3], [2, 3, 4, 5]) == 0.25, "P_E of overlapping scores")
    expect(detection_error([0, 1], [2, 3]) == 0, "P_E of separated scores")
    expect(detection_error([2, 3], [0, 1]) == 0.5, "P_E of scores the wrong way round")
    # The ensemble separates two Gaussian clouds a little apart in every
    # feature, and cannot separate two draws of the same cloud.
    rng = np.random.default_rng(7)
    dims = 400
    train_c, test_c = rng.normal(0, 1, (300, dims)), rng.normal(0, 1, (300, dims))
    train_s, test_s = rng.normal(0.3, 1, (300, dims)), rng.normal(0.3, 1, (300, dims))
    model = Ensemble(1, subspace=100, learners=15).fit(train_c, train_s)
    separated = detection_error(model.votes(test_c), model.votes(test_s))
    expect(separated < 0.05, "ensemble on shifted clouds: P_E %.3f" % separated)
    same = Ensemble(2, subspace=100, learners=15).fit(train_c, rng.normal(0, 1, (300, dims)))
    chance = detection_error(same.votes(test_c), same.votes(rng.normal(0, 1, (300, dims))))
    expect(chance > 0.4, "ensemble on equal clouds: P_E %.3f" % chance)
    for failure in failures:
        print("self-check failed: " + failure, file=sys.stderr)
    if not failures:
        print("self-check passed (ensemble: %.3f on shifted clouds, %.3f on equal ones)" % (separated, chance),
              file=sys.stderr)
    return 1 if failures else 0


def write_bmp24(path, pixels):
    """A bottom-up 24-bit BMP of a rows x columns x (B, G, R) array, for the self-check."""
    rows, width, _ = pixels.shape
    stride = (width * 3 + 3) // 4 * 4
    body = b"".join(row.tobytes().ljust(stride, b"\0") for row in pixels[::-1])
    header = struct.pack("<2sIHHI", b"BM", 54 + len(body), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, rows, 1, 24, 0, len(body), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + body)


# What each column of the table reads from check's --json: a score that
# grows with the evidence of hidden data.
CHECK_SCORES = {
    "step": lambda c: c["changesOfOne"]["stepStrength"],
    "hcfBlue": lambda c: -c["changesOfOne"]["hcfCom"]["blue"],
    "hcfMean": lambda c: -sum(c["changesOfOne"]["hcfCom"].values()) / 3,
}
KINDS = [("adaptive", "--adaptive"), ("stealth", "--stealth"), ("steghide", "steghide")]


def mean_sd(values):
    if not values:
        return "–"
    sd = statistics.stdev(values) if len(values) > 1 else 0.0
    return "%.3f ± %.3f" % (statistics.mean(values), sd)


def evaluate(work, splits, seed):
    rows = [json.loads(line) for line in open(os.path.join(work, "results.jsonl"))]
    paths = [r["path"] for r in rows]
    with multiprocessing.Pool(min(2, os.cpu_count() or 1)) as pool:
        features = np.stack(pool.map(picture_features, paths, chunksize=16))
    print("features of %d pictures extracted" % len(rows), file=sys.stderr)
    index = {(r["kind"], r["rate"], r["patch"]): i for i, r in enumerate(rows)}
    clean = {r["patch"]: i for i, r in enumerate(rows) if r["kind"] == "clean"}
    patch_photo = {r["patch"]: r["photo"] for r in rows}
    photos = sorted(set(patch_photo.values()))
    rates = sorted({r["rate"] for r in rows if r["kind"] != "clean"})
    rng = np.random.default_rng(seed)
    test_count = max(1, round(len(photos) * 0.35))
    split_tests = [set(rng.choice(photos, test_count, replace=False)) for _ in range(splits)]

    print("| hidden by | bits per pixel | patches embedded | SPAM + ensemble P_E | check: step P_E | "
          "check: blue HCF-COM P_E | check: mean HCF-COM P_E |")
    print("|---|---|---|---|---|---|---|")
    for kind, title in KINDS:
        for rate in rates:
            patches = [p for p in clean if (kind, rate, p) in index]
            refused = len(clean) - len(patches)
            errors = {"spam": [], **{name: [] for name in CHECK_SCORES}}
            for number, tests in enumerate(split_tests):
                train = [p for p in patches if patch_photo[p] not in tests]
                test = [p for p in patches if patch_photo[p] in tests]
                if len(train) < 10 or len(test) < 5:
                    continue
                pick = lambda ps, stego: features[[index[(kind, rate, p)] if stego else clean[p] for p in ps]]
                model = Ensemble(seed * 1000 + number).fit(pick(train, False), pick(train, True))
                errors["spam"].append(detection_error(model.votes(pick(test, False)), model.votes(pick(test, True))))
                for name, score in CHECK_SCORES.items():
                    cover = [score(rows[clean[p]]["check"]) for p in test]
                    stego = [score(rows[index[(kind, rate, p)]]["check"]) for p in test]
                    errors[name].append(detection_error(cover, stego))
            print("| %s | %s | %d of %d%s | %s | %s | %s | %s |" % (
                title, rate, len(patches), len(clean), " (%d refused)" % refused if refused else "",
                mean_sd(errors["spam"]), mean_sd(errors["step"]), mean_sd(errors["hcfBlue"]),
                mean_sd(errors["hcfMean"])))
    print()
    print("%d patches of %d×%d pixels from %d photographs; %d splits, each testing on the patches of %d "
          "photographs and training on the rest; P_E as mean ± standard deviation over the splits." % (
              len(clean), rows[0]["width"], rows[0]["height"], len(photos), splits, test_count))


def main(argv):
    if len(argv) >= 2 and argv[1] == "selfcheck":
        return selfcheck()
    if len(argv) >= 3 and argv[1] == "evaluate":
        splits, seed = 5, 1
        rest = argv[3:]
        while rest:
            if rest[0] == "--splits" and len(rest) > 1:
                splits = int(rest[1])
            elif rest[0] == "--seed" and len(rest) > 1:
                seed = int(rest[1])
            else:
                break
            rest = rest[2:]
        evaluate(argv[2], splits, seed)
        return 0
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
