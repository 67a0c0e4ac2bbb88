#include "viewer/StartupOptions.h"

#include "sensor/Defaults.h"

#include <QCommandLineParser>

namespace {

bool ReadInteger(const QCommandLineParser& parser, const QString& name, int min, int max,
                 std::optional<int>* value, std::string* error) {
    if (!parser.isSet(name)) {
        return true;
    }
    bool ok = false;
    const int parsed = parser.value(name).trimmed().toInt(&ok, 10);
    if (!ok || parsed < min || parsed > max) {
        *error = "--" + name.toStdString() + " must be a whole number from " + std::to_string(min) +
                 " to " + std::to_string(max) + ", not '" + parser.value(name).toStdString() + "'";
        return false;
    }
    *value = parsed;
    return true;
}

bool ReadChoice(const QCommandLineParser& parser, const QString& name, const QString& first,
                const QString& second, std::optional<bool>* isSecond, std::string* error) {
    if (!parser.isSet(name)) {
        return true;
    }
    const QString value = parser.value(name);
    if (value != first && value != second) {
        *error = "--" + name.toStdString() + " must be " + first.toStdString() + " or " +
                 second.toStdString() + ", not '" + value.toStdString() + "'";
        return false;
    }
    *isSecond = value == second;
    return true;
}

}  // namespace

void AddStartupOptions(QCommandLineParser& parser) {
    parser.addOption({QStringLiteral("offset"),
                      QStringLiteral("Initial offset added to every sample (default 80)."),
                      QStringLiteral("N")});
    parser.addOption(
        {QStringLiteral("gain"), QStringLiteral("Initial gain (default 3)."), QStringLiteral("N")});
    parser.addOption({QStringLiteral("sensor"),
                      QStringLiteral("Sensor type: mono or color (default: what the camera "
                                     "source implies, else mono)."),
                      QStringLiteral("TYPE")});
    parser.addOption({QStringLiteral("zoom"), QStringLiteral("Start at 512 x 512.")});
    parser.addOption(
        {QStringLiteral("histogram"), QStringLiteral("Show the histogram (256 x 256 only).")});
    parser.addOption({QStringLiteral("view"), QStringLiteral("remapped (default) or unmapped."),
                      QStringLiteral("VIEW")});
    parser.addOption({QStringLiteral("auto-levels"),
                      QStringLiteral("Choose offset and gain from the first frame.")});
    parser.addOption({QStringLiteral("start"), QStringLiteral("Press Start at once.")});
}

bool ReadStartupOptions(const QCommandLineParser& parser, std::optional<bool> impliedColor,
                        StartupChoice* choice, std::string* error) {
    StartupChoice read;
    ViewerStartup& startup = read.startup;
    std::optional<bool> unmapped;
    if (!ReadInteger(parser, QStringLiteral("offset"), kLeastOffset, kMostOffset, &startup.offset,
                     error) ||
        !ReadInteger(parser, QStringLiteral("gain"), kLeastGain, kMostGain, &startup.gain, error) ||
        !ReadChoice(parser, QStringLiteral("sensor"), QStringLiteral("mono"),
                    QStringLiteral("color"), &startup.bColor, error) ||
        !ReadChoice(parser, QStringLiteral("view"), QStringLiteral("remapped"),
                    QStringLiteral("unmapped"), &unmapped, error)) {
        return false;
    }
    if (!startup.bColor) {
        startup.bColor = impliedColor;
    }
    startup.bUnmapped = unmapped.value_or(false);
    startup.bZoom = parser.isSet(QStringLiteral("zoom"));
    startup.bHistogram = parser.isSet(QStringLiteral("histogram"));
    if (startup.bZoom && startup.bHistogram) {
        *error = "--zoom and --histogram cannot be combined: the histogram shows at 256 x 256 only";
        return false;
    }
    startup.bAutoLevels = parser.isSet(QStringLiteral("auto-levels"));
    read.bStart = parser.isSet(QStringLiteral("start"));
    *choice = read;
    return true;
}
