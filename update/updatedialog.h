#pragma once

#include "basewindow.h"
#include "versionfile.h"

#include <QString>

class QEventLoop;
class QLabel;
class QPushButton;

/// Finds out whether a newer version is available: reads the installed version and the update address from
/// the client settings, downloads "<address>/Server.htm", compares the versions and then says the program is
/// current, offers the update, or (installed below the server's minimum) starts the updater at once and ends the
/// program. The updater is the program "Update" ("Update.exe" on Windows) beside the executable.
class UpdateDialog : public BaseWindow
{
    Q_OBJECT

public:
    explicit UpdateDialog(QWidget* parent = nullptr);
    ~UpdateDialog() override;

    /// The body of the answer to a GET of `url`, as text, downloaded by the helper program brisko-fetch. Empty
    /// when no answer came within the time-out, when the server answered with an error, when the body is larger
    /// than the version file can be, when it is not UTF-8 text, when the helper is missing or cannot run, or when
    /// the dialog was closed while waiting (the helper is then ended). Waits in a nested event loop.
    QString fetchText(QString url);

    /// How long a download may take in all, in milliseconds (10 s unless changed; tests shorten it).
    void setTimeout(int milliseconds);
    int timeout() const;
    /// The folder the updater is started from (the executable's folder unless changed; tests use their own).
    void setUpdaterDir(const QString& dir);
    QString updaterPath() const;
    /// The folder of the download helper brisko-fetch (the executable's folder unless changed; tests use their
    /// own).
    void setFetcherDir(const QString& dir);
    QString fetcherPath() const;

public slots:
    void onBtnOk();
    /// Starts the updater and ends the program. When the updater is missing or cannot be started, the program
    /// keeps running and the dialog says so.
    void onBtnUpdate();
    void onBtnCancel();
    /// The whole check; returns when the outcome is shown (or the program has been asked to end).
    void check();
    int str_verison_to_int(const char* sVersion);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void setupUi();
    void showState(const QString& text, bool offer);
    /// The person closed the dialog: a download in progress is given up and no outcome follows.
    void giveUp();

    QLabel* labelState = nullptr;
    QPushButton* btnOk = nullptr;
    QPushButton* btnUpdate = nullptr;
    QPushButton* btnCancel = nullptr;

    int m_timeoutMs = VersionFile::FetchTimeoutMs;
    QString m_updaterDir;
    QString m_fetcherDir;
    /// Set when the person closes the dialog; a download then in progress is given up.
    bool m_closed = false;
    /// The nested loop of a download in progress.
    QEventLoop* m_waiting = nullptr;
};
