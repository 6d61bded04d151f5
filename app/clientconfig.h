#pragma once

#include <QString>

#include <memory>

class QSettings;

/// Reader of "config.ocx", the INI file beside the executable (section Client, keys Version and UpdateUrl).
/// Never creates or writes the file.
class ClientConfig
{
public:
    static ClientConfig& instance();

    /// Reads the given file instead of "config.ocx" in the working directory (tests).
    explicit ClientConfig(const QString& path = QStringLiteral("config.ocx"));
    ~ClientConfig();

    QString getVersion() const;
    QString getUpdateUrl() const;

private:
    std::unique_ptr<QSettings> m_settings;
};
