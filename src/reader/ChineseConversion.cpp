#include "reader/ChineseConversion.h"

#include <opencc.h>

#include <QFileInfo>

#include <utility>

namespace {

const opencc_t kNoConverter = reinterpret_cast<opencc_t>(-1);

} // namespace

ChineseConversion::ChineseConversion(const QString& configFolder) : m_folder(configFolder) {}

ChineseConversion::~ChineseConversion()
{
    for (void* converter : m_converters) {
        if (converter)
            opencc_close(static_cast<opencc_t>(converter));
    }
}

QString ChineseConversion::defaultConfigFolder()
{
    return QStringLiteral("/usr/share/opencc");
}

QString ChineseConversion::modeName(Mode mode)
{
    switch (mode) {
    case Mode::ToTraditional:
        return QStringLiteral("s2t");
    case Mode::ToSimplified:
        return QStringLiteral("t2s");
    case Mode::None:
        break;
    }
    return {};
}

ChineseConversion::Mode ChineseConversion::modeFromName(const QString& name)
{
    if (name == QLatin1String("s2t"))
        return Mode::ToTraditional;
    if (name == QLatin1String("t2s"))
        return Mode::ToSimplified;
    return Mode::None;
}

void* ChineseConversion::converterFor(Mode mode)
{
    const auto index = static_cast<size_t>(mode);
    if (mode == Mode::None || m_failed[index])
        return nullptr;
    if (!m_converters[index]) {
        const QString config = m_folder + QLatin1Char('/') + modeName(mode) + QStringLiteral(".json");
        // The library prints its own complaint for a missing file; ours says what it means.
        const opencc_t converter = QFileInfo::exists(config)
                                       ? opencc_open(QFileInfo(config).absoluteFilePath().toLocal8Bit().constData())
                                       : kNoConverter;
        if (converter == kNoConverter) {
            m_failed[index] = true;
            m_problem =
                QStringLiteral("无法载入繁简转换词典（%1），本书按原文显示。\r\n请安装 OpenCC 的词典数据后再试。")
                    .arg(config);
            return nullptr;
        }
        m_converters[index] = converter;
    }
    return m_converters[index];
}

bool ChineseConversion::isAvailable(Mode mode)
{
    return converterFor(mode) != nullptr;
}

QString ChineseConversion::convert(const QString& text, Mode mode)
{
    void* converter = converterFor(mode);
    if (!converter || text.isEmpty())
        return text;
    const QByteArray utf8 = text.toUtf8();
    char* converted = opencc_convert_utf8(static_cast<opencc_t>(converter), utf8.constData(), utf8.size());
    if (!converted)
        return text;
    const QString result = QString::fromUtf8(converted);
    opencc_convert_utf8_free(converted);
    return result;
}

QString ChineseConversion::takeProblem()
{
    return std::exchange(m_problem, QString());
}
