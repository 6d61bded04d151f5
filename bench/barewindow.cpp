// brisko-bench-window: the floor of the start-up figures. A process of this build that shows an empty QWidget of
// the main window's size (270 x 580) and says "brisko: window shown" on its error output once its first paint is
// through, as the program does when BRISKO_REPORT_SHOWN=1.
#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <cstdio>

namespace
{
class BareWindow : public QWidget
{
protected:
    void paintEvent(QPaintEvent*) override
    {
        if (m_painted) {
            return;
        }
        m_painted = true;
        // Put on screen when the event loop comes back, as the program's first paint.
        QTimer::singleShot(0, this, [] {
            std::fprintf(stderr, "brisko: window shown\n");
            std::fflush(stderr);
        });
    }

private:
    bool m_painted = false;
};
} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    BareWindow window;
    window.resize(270, 580);
    window.show();
    return QApplication::exec();
}
