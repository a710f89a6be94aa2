#!/usr/bin/env python3
"""Reads an ABF file with two public ABF readers and checks it against expectations.

Usage: check_abf_readers.py FILE.abf EXPECT.json [FILE.abf EXPECT.json ...]
(FILE must end in ".abf": neo picks its reader by the extension.)

EXPECT.json:
  {"mode": "gapfree" | "episodic",
   "rate": per-channel sampling rate in Hz,
   "channels": [{"name": ..., "units": ..., "gain": ..., "offset": ...}, ...],
   "episodes": [[[raw samples of channel 0], [channel 1], ...], ...]}

A value read back must equal raw * gain + offset (in the expected units): the offset is the
value of a stored 0. Units are compared after folding the micro sign to "u"; a reader may convert
to another SI prefix of the same unit.

An optional "readers" list in EXPECT.json names the readers to run (default: both). The stfio
package of Debian 12 reads ABF 1.x through a library that marks stored values outside the range
lADCResolution describes as missing (NaN) and applies a nonzero instrument offset with the
opposite sign, so files of offset-binary samples can only be checked with neo.

Exit status: 0 all checks passed, 1 a check failed, 77 a reader is not installed.
"""

import json
import sys

try:
    import numpy as np
    import neo.io
    import stfio
except ImportError as missing:
    print("reader not available: %s" % missing)
    sys.exit(77)


PREFIXES = {"p": 1e-12, "n": 1e-9, "u": 1e-6, "m": 1e-3, "": 1.0, "k": 1e3, "M": 1e6}

failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
    return condition


def fold_units(units):
    return str(units).replace("\u00b5", "u").replace("\u03bc", "u").strip()


def unit_factor(found, expected):
    """Factor that turns values in `found` units into `expected` units, or None."""
    found, expected = fold_units(found), fold_units(expected)
    if found == expected:
        return 1.0
    for base_len in (1, 2):
        if len(found) >= base_len and len(expected) >= base_len \
                and found[-base_len:] == expected[-base_len:]:
            pf, pe = found[:-base_len], expected[:-base_len]
            if pf in PREFIXES and pe in PREFIXES:
                return PREFIXES[pf] / PREFIXES[pe]
    return None


def expected_values(expect, episode, channel):
    info = expect["channels"][channel]
    raw = np.asarray(expect["episodes"][episode][channel], dtype=np.float64)
    return raw * info["gain"] + info["offset"]


def close_enough(found, wanted, gain):
    tolerance = 1e-4 * np.maximum(1.0, np.abs(wanted)) + abs(gain) * 1e-3
    return found.shape == wanted.shape and bool(np.all(np.abs(found - wanted) <= tolerance))


def check_neo(path, expect):
    reader = neo.io.get_io(path)   # the ABF reader, picked by the file extension
    channels = reader.header["signal_channels"]
    count = len(expect["channels"])
    check(len(channels) == count, "neo: %d channels, expected %d" % (len(channels), count))
    for i, info in enumerate(expect["channels"][:len(channels)]):
        check(channels[i]["name"] == info["name"],
              "neo: channel %d name %r, expected %r" % (i, channels[i]["name"], info["name"]))
        check(unit_factor(channels[i]["units"], info["units"]) == 1.0,
              "neo: channel %d units %r, expected %r" % (i, channels[i]["units"], info["units"]))
        check(abs(channels[i]["sampling_rate"] - expect["rate"]) <= 1e-6 * expect["rate"],
              "neo: rate %r, expected %r" % (channels[i]["sampling_rate"], expect["rate"]))
    episodes = expect["episodes"]
    segments = reader.segment_count(0)
    check(segments == len(episodes), "neo: %d segments, expected %d" % (segments, len(episodes)))
    for e in range(min(segments, len(episodes))):
        raw = reader.get_analogsignal_chunk(block_index=0, seg_index=e, stream_index=0)
        for c in range(min(count, raw.shape[1])):
            wanted = np.asarray(episodes[e][c], dtype=np.int64)
            check(np.array_equal(raw[:, c].astype(np.int64), wanted),
                  "neo: raw samples of episode %d channel %d differ" % (e, c))
        scaled = reader.rescale_signal_raw_to_float(raw, dtype="float64", stream_index=0)
        for c in range(min(count, scaled.shape[1])):
            info = expect["channels"][c]
            check(close_enough(scaled[:, c], expected_values(expect, e, c), info["gain"]),
                  "neo: values of episode %d channel %d differ" % (e, c))


def check_stfio(path, expect):
    recording = stfio.read(path, ftype="abf")
    count = len(expect["channels"])
    check(len(recording) == count, "stfio: %d channels, expected %d" % (len(recording), count))
    rate = 1000.0 / recording.dt
    check(abs(rate - expect["rate"]) <= 1e-4 * expect["rate"],
          "stfio: rate %r, expected %r" % (rate, expect["rate"]))
    episodes = expect["episodes"]
    for c in range(min(count, len(recording))):
        info = expect["channels"][c]
        channel = recording[c]
        check(channel.name == info["name"],
              "stfio: channel %d name %r, expected %r" % (c, channel.name, info["name"]))
        factor = unit_factor(channel.yunits, info["units"])
        if not check(factor is not None, "stfio: channel %d units %r, expected %r"
                     % (c, channel.yunits, info["units"])):
            continue
        sections = [np.asarray(channel[s].asarray(), dtype=np.float64) * factor
                    for s in range(len(channel))]
        if expect["mode"] == "gapfree":
            # Gap-free data come in pieces of the header's episode length.
            sections = [np.concatenate(sections)] if sections else []
        check(len(sections) == len(episodes),
              "stfio: channel %d has %d sections, expected %d" % (c, len(sections), len(episodes)))
        for e in range(min(len(sections), len(episodes))):
            check(close_enough(sections[e], expected_values(expect, e, c), info["gain"]),
                  "stfio: values of episode %d channel %d differ" % (e, c))


def main():
    arguments = sys.argv[1:]
    if not arguments or len(arguments) % 2 != 0:
        print(__doc__)
        return 2
    for path, expect_path in zip(arguments[0::2], arguments[1::2]):
        with open(expect_path, encoding="utf-8") as side:
            expect = json.load(side)
        before = len(failures)
        wanted = expect.get("readers", ["neo", "stfio"])
        readers = [(name, run) for name, run in (("neo", check_neo), ("stfio", check_stfio))
                   if name in wanted]
        for name, run in readers:
            try:
                run(path, expect)
            except Exception as error:  # a reader that cannot open the file fails the check
                failures.append("%s: cannot read the file: %r" % (name, error))
        for failure in failures[before:]:
            print("%s: %s" % (path, failure))
        if len(failures) == before:
            print("%s: %s agree with the expectations" % (path, " and ".join(n for n, _ in readers)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
