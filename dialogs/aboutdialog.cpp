#include "aboutdialog.h"

#include "brisko-config.h"

#include <QKeyEvent>
#include <QLabel>

AboutDialog::AboutDialog(QWidget* parent)
    : BaseWindow(parent, false, QColor(250, 250, 250, 255))
{
    setupUi();
    BaseWindow::setWindowTitle(QStringLiteral("关于软件"));
    BaseWindow::setWindowFlags(Qt::WindowStaysOnTopHint);
    // Nothing in the box takes the keyboard: the box itself does, for Return and Escape.
    setFocusPolicy(Qt::StrongFocus);
    setFocus();
}

AboutDialog::~AboutDialog() = default;

void AboutDialog::keyPressEvent(QKeyEvent* event)
{
    // The box has nothing to confirm: Return closes it as Escape does.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        accept();
        return;
    }
    BaseWindow::keyPressEvent(event);
}

void AboutDialog::setupUi()
{
    if (objectName().isEmpty()) {
        setObjectName(QStringLiteral("AboutDialog"));
    }
    resize(295, 150);

    const auto makeLabel = [this](const char* name, const QRect& geometry) {
        auto* l = new QLabel(this);
        l->setObjectName(QLatin1String(name));
        l->setGeometry(geometry);
        return l;
    };
    label = makeLabel("label", QRect(30, 81, 54, 12));
    label_2 = makeLabel("label_2", QRect(30, 111, 54, 12));
    label_3 = makeLabel("label_3", QRect(100, 77, 111, 20));
    label_4 = makeLabel("label_4", QRect(100, 109, 151, 16));
    label_6 = makeLabel("label_6", QRect(30, 50, 61, 16));
    label_7 = makeLabel("label_7", QRect(100, 50, 61, 16));

    QWidget::setWindowTitle(QStringLiteral("AboutDialog"));
    label->setText(QStringLiteral("意见反馈:"));
    label_2->setText(QStringLiteral("交流论坛:"));
    // The contact number and the forum address are the deployer's, set when the program is built.
    label_3->setText(QStringLiteral("QQ ") + QString::fromUtf8(BRISKO_FEEDBACK_QQ));
    label_4->setText(QString::fromUtf8(BRISKO_FORUM_URL));
    label_6->setText(QStringLiteral("Brisko桌面: "));
    label_7->setText(QStringLiteral("v" BRISKO_VERSION));
    for (QLabel* l : { label, label_2, label_3, label_4, label_6, label_7 }) {
        l->setTextFormat(Qt::PlainText);
    }
}
