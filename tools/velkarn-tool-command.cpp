#include "velkarn-tool-command.h"

#include "velkarn.h"

#include <QByteArray>

namespace vk {

namespace {

struct Subcommand
{
    const char *name;
    int operands;
    bool encoder;
};

constexpr Subcommand subcommands[] = {
    {"encode", 1, true},
    {"decode", 1, false},
    {"encodecrc", 1, true},
    {"decodecrc", 1, false},
    {"decodecrcsimple", 1, false},
    {"encodenew", 2, true},
    {"decodenew", 1, false},
};

const Subcommand *findSubcommand(const QString &name)
{
    for (const Subcommand &sub : subcommands) {
        if (name == QLatin1String(sub.name))
            return &sub;
    }
    return nullptr;
}

// Only the low byte of each character travels, so anything above Latin-1
// would come back as a different character.
bool fitsLatin1(const QStringList &texts)
{
    for (const QString &text : texts) {
        for (const QChar c : text) {
            if (c.unicode() > 0xFF)
                return false;
        }
    }
    return true;
}

VelkarnToolResult checked(const QString &text, const velkarn &codec)
{
    if (codec.crcstatus() == 1)
        return {text, QStringLiteral("checksum: ok"), 0};
    return {text, QStringLiteral("checksum: mismatch"), 1};
}

VelkarnToolResult decodeDated(velkarn &codec, const VelkarnToolCommand &command)
{
    // The decoder touches the flag only once it gets past its rejections.
    const quint8 untouched = 2;
    codec.setCrcstatus(untouched);
    const QString text = codec.decodestrnew(command.operands.at(0), command.base64 ? 1 : 0);
    if (codec.crcstatus() != untouched)
        return checked(text, codec);
    if (text == QLatin1String("InvalidB"))
        return {QString(), QStringLiteral("rejected: the text is empty or not Base64 of UTF-8 text"), 1};
    if (text == QLatin1String("InvalidA"))
        return {QString(), QStringLiteral("rejected: the text contains \"invalid\""), 1};
    return {QString(), QStringLiteral("rejected: the text is shorter than its key field"), 1};
}

} // namespace

QString velkarnToolUsage()
{
    return QStringLiteral(
        "usage: velkarn-tool COMMAND [OPTIONS] TEXT\n"
        "  encode [--second N] TEXT           pair-swap encoding\n"
        "  decode TEXT\n"
        "  encodecrc [--second N] TEXT        checksummed encoding\n"
        "  decodecrc TEXT\n"
        "  decodecrcsimple TEXT               checksum followed by plain text\n"
        "  encodenew [--second N] TEXT KEY    dated encoding with key string KEY\n"
        "  decodenew [--base64] TEXT\n"
        "--second N fixes the seed (0-59) instead of the clock's seconds.\n"
        "A TEXT or KEY of \"-\" is read from standard input.\n"
        "Checksummed decoders report \"checksum: ok\" or \"checksum: mismatch\"\n"
        "on standard error and exit with 1 on a mismatch.");
}

std::optional<VelkarnToolCommand> parseVelkarnToolArguments(const QStringList &arguments, QString *error)
{
    if (arguments.isEmpty()) {
        *error = QStringLiteral("no command given");
        return std::nullopt;
    }
    VelkarnToolCommand command;
    command.name = arguments.first();
    const Subcommand *sub = findSubcommand(command.name);
    if (!sub) {
        *error = QStringLiteral("unknown command \"%1\"").arg(command.name);
        return std::nullopt;
    }
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &arg = arguments.at(i);
        if (arg == QLatin1String("--second") && sub->encoder) {
            bool ok = false;
            command.second = i + 1 < arguments.size() ? arguments.at(++i).toInt(&ok) : -1;
            if (!ok || command.second < 0 || command.second > 59) {
                *error = QStringLiteral("--second needs a number from 0 to 59");
                return std::nullopt;
            }
        } else if (arg == QLatin1String("--base64") && command.name == QLatin1String("decodenew")) {
            command.base64 = true;
        } else if (arg.startsWith(QLatin1String("--"))) {
            *error = QStringLiteral("unknown option \"%1\" for %2").arg(arg, command.name);
            return std::nullopt;
        } else {
            command.operands.append(arg);
        }
    }
    if (command.operands.size() != sub->operands) {
        *error = QStringLiteral("%1 takes %2").arg(command.name, sub->operands == 2 ? QStringLiteral("TEXT and KEY") : QStringLiteral("one TEXT"));
        return std::nullopt;
    }
    if (command.operands.count(QStringLiteral("-")) > 1) {
        *error = QStringLiteral("only one operand can come from standard input");
        return std::nullopt;
    }
    return command;
}

VelkarnToolResult runVelkarnTool(const VelkarnToolCommand &command)
{
    velkarn codec;
    if (command.second >= 0) {
        const int second = command.second;
        codec.setSecondsSource([second] { return second; });
    }
    const QString &text = command.operands.at(0);
    const QString &name = command.name;
    const Subcommand *sub = findSubcommand(name);
    if (sub && sub->encoder && !fitsLatin1(command.operands))
        return {QString(), QStringLiteral("error: only characters up to U+00FF can be encoded"), 1};

    if (name == QLatin1String("encode"))
        return {codec.encodestr(text), QString(), 0};
    if (name == QLatin1String("decode"))
        return {codec.decodestr(text), QString(), 0};
    if (name == QLatin1String("encodecrc"))
        return {codec.encodestrcrc(text), QString(), 0};
    if (name == QLatin1String("decodecrc"))
        return checked(codec.decodestrcrc(text), codec);
    if (name == QLatin1String("decodecrcsimple"))
        return checked(codec.decodestrcrcsimple(text), codec);
    if (name == QLatin1String("encodenew")) {
        const QString encoded = codec.encodestrnew(text, command.operands.at(1));
        if (encoded.isNull())
            return {QString(), QStringLiteral("error: the key string is too long (at most 122 characters)"), 1};
        return {encoded, QString(), 0};
    }
    return decodeDated(codec, command);
}

QString textOfStandardInput(const QByteArray &bytes)
{
    QString text = QString::fromUtf8(bytes);
    if (text.endsWith(u'\n'))
        text.chop(text.endsWith(QLatin1String("\r\n")) ? 2 : 1);
    return text;
}

} // namespace vk
