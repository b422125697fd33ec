#version 440

layout(location = 0) in vec2 qt_TexCoord0;
layout(location = 0) out vec4 fragColor;

layout(std140, binding = 0) uniform buf {
    mat4 qt_Matrix;
    float qt_Opacity;
    vec4 uC0;
    vec4 uC1;
    vec4 uC2;
    vec4 uC3;
    vec4 uC4;
    vec4 uC5;
    vec4 uInk;
    float uRangeDb;
    float uGateDbfs;
    float uPeakRef;
    float uFixedRef;
    float uOverlayThreshold;
    float uOverlayAlpha;
    int uFixedMode;
    int uStyle;
    int uOverlay;
    int uCCount;
    float uContrastFade;
    vec2 uFieldSize;
};

layout(binding = 1) uniform sampler2D fieldTex;
layout(binding = 2) uniform sampler2D lutTex;

float decodePower(vec4 raw)
{
    return (raw.r * 65280.0 + raw.g * 255.0) / 65535.0;
}

void main()
{
    // The field holds power relative to the map's reference as 16 bits: high byte red, low byte green.
    // Hardware filtering of the two bytes runs at 8-bit precision on common drivers, so the four
    // neighbouring texels are fetched unfiltered and their decoded power is interpolated here; coordinates
    // outside the texture clamp to its edge texels, as the hardware filter does.
    vec2 size = max(uFieldSize, vec2(1.0));
    vec2 pos = qt_TexCoord0 * size - 0.5;
    vec2 f = fract(pos);
    vec2 c0 = (floor(pos) + 0.5) / size;
    vec2 c1 = c0 + 1.0 / size;
    float p00 = decodePower(texture(fieldTex, c0));
    float p10 = decodePower(texture(fieldTex, vec2(c1.x, c0.y)));
    float p01 = decodePower(texture(fieldTex, vec2(c0.x, c1.y)));
    float p11 = decodePower(texture(fieldTex, c1));
    float pn = max(mix(mix(p00, p10, f.x), mix(p01, p11, f.x), f.y), 1e-9);
    float level = uPeakRef + 3.0103 * log2(pn);

    float reference = uFixedMode == 1 ? uFixedRef : uPeakRef;
    float floorDb = reference - uRangeDb;
    float t = clamp((level - floorDb) / uRangeDb, 0.0, 1.0);

    float fade = clamp((level - uGateDbfs) / 3.0, 0.0, 1.0);
    float a = level < uGateDbfs ? 0.0 : fade * fade * (3.0 - 2.0 * fade);

    if (uOverlay == 1) {
        float m = clamp((t - uOverlayThreshold) / max(1.0 - uOverlayThreshold, 1e-9), 0.0, 1.0);
        a = a * m * uOverlayAlpha;
    }

    vec3 fill = pow(texture(lutTex, vec2(t, 0.5)).rgb, vec3(1.18));

    // Derivatives and texture reads stay outside the branches so that they run in uniform control flow.
    float aa = fwidth(t) * 2.7 + 0.00001;
    float lines = 0.0;
    float lineLevel = 0.0;
    if (uStyle == 1 || uStyle == 2) {
        for (int i = 0; i < 24; ++i) {
            if (i >= uCCount)
                break;
            int group = i / 4;
            vec4 g = group == 0 ? uC0 : group == 1 ? uC1 : group == 2 ? uC2
                   : group == 3 ? uC3 : group == 4 ? uC4 : uC5;
            int c = i - group * 4;
            float lv = c == 0 ? g.x : c == 1 ? g.y : c == 2 ? g.z : g.w;
            float l = 1.0 - smoothstep(0.0, aa, abs(t - lv));
            // Strictly greater: on a tie the lower level keeps the line.
            if (l > lines) {
                lines = l;
                lineLevel = lv;
            }
        }
    }
    vec3 lineTex = texture(lutTex, vec2(lineLevel, 0.5)).rgb;
    vec3 lineColor = lines > 0.0 ? lineTex : vec3(0.0);

    vec3 rgb = fill;
    float outA = a;
    if (uStyle == 1) {
        float vis = level < uGateDbfs ? 0.0 : 1.0;
        if (uOverlay == 1)
            vis = vis * (t >= uOverlayThreshold ? 1.0 : 0.0) * uOverlayAlpha;
        rgb = lineColor;
        outA = lines * vis;
    } else if (uStyle == 2) {
        rgb = mix(fill, uInk.rgb, lines * uInk.a);
    }

    float alpha = outA * uContrastFade * qt_Opacity;
    fragColor = vec4(rgb * alpha, alpha);
}
