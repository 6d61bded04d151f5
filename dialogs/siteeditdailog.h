#pragma once

#include "basewindow.h"

#include <QString>

class QLabel;
class QLineEdit;
class QPushButton;

/// Asks for a web site: a name and an address, and a "保存" button. Accepted only when both fields hold
/// something; the address is taken as typed.
class SiteEditDailog : public BaseWindow
{
    Q_OBJECT

public:
    explicit SiteEditDailog(QWidget* parent = nullptr);
    ~SiteEditDailog() override;

    /// Pre-fill the fields (an edit).
    void setName(const QString& name);
    void setSite(const QString& site);
    /// The fields' current texts; meaningful after exec() returned 1.
    QString getName() const;
    QString getSite() const;

public slots:
    void onBtnOk();

private:
    void setupUi();

    QPushButton* btnOk = nullptr;
    QLabel* label = nullptr;
    QLabel* label_2 = nullptr;
    QLineEdit* editName = nullptr;
    QLineEdit* editSite = nullptr;
};
