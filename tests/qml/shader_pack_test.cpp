#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtEndian>
#include <utility>
#include <vector>

namespace {

// The uniform block the heatmap field's properties bind to, in declaration order.
const std::vector<std::pair<QString, QString>> kUniforms = {
    {"qt_Matrix", "mat4"},
    {"qt_Opacity", "float"},
    {"uC0", "vec4"},
    {"uC1", "vec4"},
    {"uC2", "vec4"},
    {"uC3", "vec4"},
    {"uC4", "vec4"},
    {"uC5", "vec4"},
    {"uInk", "vec4"},
    {"uRangeDb", "float"},
    {"uGateDbfs", "float"},
    {"uPeakRef", "float"},
    {"uFixedRef", "float"},
    {"uOverlayThreshold", "float"},
    {"uOverlayAlpha", "float"},
    {"uFixedMode", "int"},
    {"uStyle", "int"},
    {"uOverlay", "int"},
    {"uCCount", "int"},
    {"uContrastFade", "float"},
    {"uFieldSize", "vec2"},
};

// std140: scalars align to 4 bytes, vec2 to 8, vec4 and mat4 columns to 16.
std::vector<int> std140Offsets() {
    std::vector<int> offsets;
    int offset = 0;
    for (const auto& [name, type] : kUniforms) {
        const int align = (type == "mat4" || type == "vec4") ? 16 : type == "vec2" ? 8 : 4;
        const int size = type == "mat4" ? 64 : type == "vec4" ? 16 : type == "vec2" ? 8 : 4;
        offset = (offset + align - 1) / align * align;
        offsets.push_back(offset);
        offset += size;
    }
    return offsets;
}

QByteArray readPack() {
    QFile file(QStringLiteral(":/qt/qml/SorvantaApp/heatmap.frag.qsb"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TEST(HeatmapShaderPack, IsAQCompressedStream) {
    const QByteArray pack = readPack();
    ASSERT_GT(pack.size(), 4);
    const QByteArray plain = qUncompress(pack);
    ASSERT_FALSE(plain.isEmpty());
    EXPECT_EQ(qFromBigEndian<quint32>(pack.constData()), static_cast<quint32>(plain.size()));
}

// Qt's own shader baker reads the pack back; its reflection is the binding contract with the item.
TEST(HeatmapShaderPack, ReflectsTheBindingContract) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("heatmap.frag.qsb"));
    {
        QFile out(path);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(readPack());
    }
    QProcess qsb;
    qsb.start(QStringLiteral(ZK_QSB_TOOL), {QStringLiteral("--dump"), path});
    ASSERT_TRUE(qsb.waitForFinished(30000)) << "qsb did not finish";
    ASSERT_EQ(qsb.exitCode(), 0) << qsb.readAllStandardError().toStdString();
    const QString dump = QString::fromUtf8(qsb.readAllStandardOutput());

    EXPECT_TRUE(dump.contains(QStringLiteral("Stage: Fragment")));
    for (const char* variant : {"SPIR-V 100", "GLSL 100 es", "GLSL 120", "GLSL 150", "HLSL 50", "MSL 12"})
        EXPECT_TRUE(dump.contains(QLatin1String(variant))) << variant;
    // Desktop OpenGL pairs the newest GLSL of each stage; the default vertex stage stops at 150.
    const QRegularExpression newerGlsl(QStringLiteral("GLSL [3-9][0-9]0\\b"));
    EXPECT_FALSE(dump.contains(newerGlsl)) << "a GLSL variant newer than the vertex stage's";

    const qsizetype start = dump.indexOf(QStringLiteral("Reflection info: {"));
    ASSERT_GE(start, 0);
    const qsizetype jsonStart = dump.indexOf(QLatin1Char('{'), start);
    const qsizetype jsonEnd = dump.indexOf(QStringLiteral("\n}\n"), jsonStart);
    ASSERT_GT(jsonEnd, jsonStart);
    QJsonParseError error{};
    const QJsonObject reflection =
        QJsonDocument::fromJson(dump.mid(jsonStart, jsonEnd - jsonStart + 2).toUtf8(), &error).object();
    ASSERT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString();

    const QJsonArray blocks = reflection.value(QStringLiteral("uniformBlocks")).toArray();
    ASSERT_EQ(blocks.size(), 1);
    const QJsonObject block = blocks.at(0).toObject();
    EXPECT_EQ(block.value(QStringLiteral("binding")).toInt(), 0);
    const QJsonArray members = block.value(QStringLiteral("members")).toArray();
    ASSERT_EQ(members.size(), static_cast<qsizetype>(kUniforms.size()));
    const auto offsets = std140Offsets();
    for (qsizetype i = 0; i < members.size(); ++i) {
        const QJsonObject member = members.at(i).toObject();
        const auto index = static_cast<std::size_t>(i);
        EXPECT_EQ(member.value(QStringLiteral("name")).toString(), kUniforms[index].first);
        EXPECT_EQ(member.value(QStringLiteral("type")).toString(), kUniforms[index].second);
        EXPECT_EQ(member.value(QStringLiteral("offset")).toInt(), offsets[index])
            << kUniforms[index].first.toStdString();
    }

    const QJsonArray samplers = reflection.value(QStringLiteral("combinedImageSamplers")).toArray();
    ASSERT_EQ(samplers.size(), 2);
    QHash<QString, int> bindings;
    for (const auto& sampler : samplers)
        bindings.insert(sampler.toObject().value(QStringLiteral("name")).toString(),
                        sampler.toObject().value(QStringLiteral("binding")).toInt());
    EXPECT_EQ(bindings.value(QStringLiteral("fieldTex"), -1), 1);
    EXPECT_EQ(bindings.value(QStringLiteral("lutTex"), -1), 2);

    const QJsonObject input = reflection.value(QStringLiteral("inputs")).toArray().at(0).toObject();
    EXPECT_EQ(input.value(QStringLiteral("name")).toString(), QStringLiteral("qt_TexCoord0"));
    EXPECT_EQ(input.value(QStringLiteral("location")).toInt(), 0);
    const QJsonObject output = reflection.value(QStringLiteral("outputs")).toArray().at(0).toObject();
    EXPECT_EQ(output.value(QStringLiteral("name")).toString(), QStringLiteral("fragColor"));
    EXPECT_EQ(output.value(QStringLiteral("location")).toInt(), 0);
}

}  // namespace
