#pragma once

#include "basewindow.h"

#include <QString>

class QLineEdit;
class QPushButton;

/// Asks for the name of a group: one line edit and a "保存" button. Accepted only with a non-empty name.
class TeamEditDialog : public BaseWindow
{
    Q_OBJECT

public:
    explicit TeamEditDialog(QWidget* parent = nullptr);
    ~TeamEditDialog() override;

    /// Pre-fills the edit (a rename).
    void setName(const QString& name);
    /// The accepted name; meaningful after exec() returned 1.
    QString getName() const;

public slots:
    void onOk();

private:
    void setupUi();

    QPushButton* btnOk = nullptr;
    QLineEdit* editName = nullptr;
    QString teamName;
};
