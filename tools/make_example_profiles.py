#!/usr/bin/env python3
"""Writes the example device profiles in profiles/ (run from anywhere; the output is deterministic).

TM27-128-H1.6.2.device.json: 128 microphones at 48 kHz on eight logarithmic spiral arms of 16
microphones each, radii 0.030 m to 0.300 m (0.6 m aperture), all in the plane z = 0, with a 1080p
camera block and two FIR presets. small-4.device.json: four microphones on a 0.1 m square for tests.
"""

import math
import pathlib

ROOT = pathlib.Path(__file__).resolve().parent.parent / "profiles"


def number(value):
    text = f"{value:.6f}".rstrip("0").rstrip(".")
    return "0" if text in ("-0", "") else text


def microphone_lines(mics):
    lines = []
    for i, (logical, wire, x, y, z) in enumerate(mics):
        comma = "," if i + 1 < len(mics) else ""
        lines.append(
            f'      {{"logicalChannel": {logical}, "wireChannel": {wire}, '
            f'"x": {number(x)}, "y": {number(y)}, "z": {number(z)}}}{comma}'
        )
    return lines


def spiral_array(arms=8, per_arm=16, r_min=0.030, r_max=0.300, twist=1.8):
    """Logarithmic spiral arms: r grows geometrically, the angle turns by `twist` per e-fold of r."""
    mics = []
    for arm in range(arms):
        offset = 2.0 * math.pi * arm / arms
        for k in range(per_arm):
            r = r_min * (r_max / r_min) ** (k / (per_arm - 1))
            phi = offset + twist * math.log(r / r_min)
            logical = arm * per_arm + k
            # The array's ADCs serve one microphone of every arm in turn, so the wire order
            # interleaves the arms.
            wire = k * arms + arm
            mics.append((logical, wire, r * math.cos(phi), r * math.sin(phi), 0.0))
    return mics


def fir_taps(taps, low_hz, high_hz, rate_hz):
    """Hamming-windowed sinc band-pass, quantised to Q15."""
    centre = (taps - 1) / 2.0
    out = []
    for n in range(taps):
        t = n - centre

        def sinc_lp(fc):
            return 2.0 * fc / rate_hz if t == 0 else math.sin(2.0 * math.pi * fc * t / rate_hz) / (math.pi * t)

        h = sinc_lp(high_hz) - sinc_lp(low_hz)
        window = 0.54 - 0.46 * math.cos(2.0 * math.pi * n / (taps - 1))
        out.append(int(round(h * window * 32767)))
    return out


def write_large():
    mics = spiral_array()
    width, height, focal = 1920, 1080, 1400.0
    hfov = math.degrees(2.0 * math.atan(width / 2.0 / focal))
    vfov = math.degrees(2.0 * math.atan(height / 2.0 / focal))
    taps = 32
    presets = [("wideband", 100.0, 20000.0, True), ("speech", 300.0, 4000.0, True)]
    lines = [
        "{",
        '  "schemaVersion": 2,',
        '  "profileId": "TM27-128-H1.6.2",',
        '  "device": {',
        '    "model": "TM27-128",',
        '    "hardwareVersion": "H1.6.2",',
        '    "modelCode": 2701,',
        '    "channelCount": 128,',
        '    "wireChannelCount": 128,',
        '    "sampleRateHz": 48000',
        "  },",
        '  "udp": {',
        '    "bytesPerSample": 2,',
        '    "samplesPerDatagram": 128,',
        f'    "datagramBytes": {128 * 2 * 128},',
        '    "sampleEncoding": "signed-int16",',
        '    "byteOrder": "little-endian",',
        '    "interleave": "sample-major"',
        "  },",
        '  "array": {',
        '    "geometry": "8-arm logarithmic spiral, r 0.03-0.30 m, z = 0",',
        '    "microphones": [',
        *microphone_lines(mics),
        "    ]",
        "  },",
        '  "camera": {',
        '    "camera": "UVC 1080p",',
        f'    "resolution": {{"width": {width}, "height": {height}}},',
        '    "cameraMatrix": [',
        f"      [{number(focal)}, 0, {number(width / 2)}],",
        f"      [0, {number(focal)}, {number(height / 2)}],",
        "      [0, 0, 1]",
        "    ],",
        '    "distortion": [-0.012, 0.004, 0, 0, 0],',
        f'    "hfovDeg": {number(hfov)},',
        f'    "vfovDeg": {number(vfov)}',
        "  },",
        '  "fir": {',
        '    "sampleRateHz": 48000,',
        f'    "taps": {taps},',
        '    "presets": [',
    ]
    for i, (name, low, high, factory) in enumerate(presets):
        coefficients = ", ".join(str(c) for c in fir_taps(taps, low, high, 48000.0))
        comma = "," if i + 1 < len(presets) else ""
        lines.append(
            f'      {{"id": "{name}", "bandLowHz": {number(low)}, "bandHighHz": {number(high)}, '
            f'"factory": {"true" if factory else "false"}, "coefficients": [{coefficients}]}}{comma}'
        )
    lines += ["    ]", "  }", "}"]
    (ROOT / "TM27-128-H1.6.2.device.json").write_text("\n".join(lines) + "\n", newline="\n")


def write_small():
    half = 0.05
    mics = [
        (0, 0, -half, -half, 0.0),
        (1, 1, half, -half, 0.0),
        (2, 2, half, half, 0.0),
        (3, 3, -half, half, 0.0),
    ]
    lines = [
        "{",
        '  "schemaVersion": 2,',
        '  "profileId": "SMALL-4",',
        '  "device": {',
        '    "model": "SMALL-4",',
        '    "hardwareVersion": "T1",',
        '    "modelCode": 4,',
        '    "channelCount": 4,',
        '    "wireChannelCount": 4,',
        '    "sampleRateHz": 16000',
        "  },",
        '  "udp": {',
        '    "bytesPerSample": 2,',
        '    "samplesPerDatagram": 256,',
        f'    "datagramBytes": {4 * 2 * 256},',
        '    "sampleEncoding": "signed-int16",',
        '    "byteOrder": "little-endian",',
        '    "interleave": "sample-major"',
        "  },",
        '  "array": {',
        '    "microphones": [',
        *microphone_lines(mics),
        "    ]",
        "  }",
        "}",
    ]
    (ROOT / "small-4.device.json").write_text("\n".join(lines) + "\n", newline="\n")


if __name__ == "__main__":
    ROOT.mkdir(exist_ok=True)
    write_large()
    write_small()
