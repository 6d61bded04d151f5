#include "clientconfig.h"

#include <QFileInfo>
#include <QSettings>

namespace
{
// The INI reader turns a value with unquoted commas into a list; such a value is still one text here.
QString text(const QVariant& value)
{
    if (value.userType() == QMetaType::QStringList) {
        return value.toStringList().join(QLatin1Char(','));
    }
    return value.toString();
}
} // namespace

ClientConfig& ClientConfig::instance()
{
    // Made on first use, after start-up has made the executable's folder the working directory.
    static ClientConfig config;
    return config;
}

ClientConfig::ClientConfig(const QString& path)
    // The relative name is resolved once, here, against the current working directory.
    : m_settings(std::make_unique<QSettings>(QFileInfo(path).absoluteFilePath(), QSettings::IniFormat))
{
}

// QSettings writes its file back on sync only when a value was changed; nothing here ever sets one, so
// destroying the object leaves the file (or its absence) as it was.
ClientConfig::~ClientConfig() = default;

QString ClientConfig::getVersion() const
{
    return text(m_settings->value(QStringLiteral("Client/Version"), QString()));
}

QString ClientConfig::getUpdateUrl() const
{
    return text(m_settings->value(QStringLiteral("Client/UpdateUrl"), QString()));
}
